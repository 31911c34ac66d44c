// The clients' Unix socket: accepts, reads and writes without blocking, cuts the input into
// lines and keeps each client's limits, so one client can never stall or starve the others.
#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <poll.h>
#include <string>
#include <vector>

const std::size_t MaxQueue = 1 << 20; // output bytes waiting for a client before it is dropped

struct TClient {
    int Fd = -1;
    std::string In;        // the start of a line not yet ended
    bool Skipping = false; // the rest of a line over the limit is being thrown away
    std::string Out;
    bool Subscribed = false;
    bool Ended = false;    // the client has sent its last byte
    bool Gone = false;     // to be closed at the end of the turn
};

// `over` is true for a line that went past the limit: `line` is then its start only.
using TLineHandler = std::function<void(TClient& client, const std::string& line, bool over)>;

struct TServerCounters {
    std::size_t Connections = 0, Dropped = 0;
};

class TServer {
public:
    // Listens on `path` (a stale socket file there is replaced; a live one is an error) with
    // the mode and, when given, the group. Throws std::runtime_error.
    TServer(const std::string& path, const std::string& group, int mode, std::size_t maxLine);
    ~TServer(); // closes the clients and removes the socket file
    TServer(const TServer&) = delete;
    TServer& operator=(const TServer&) = delete;

    void SetMaxLine(std::size_t maxLine) { MaxLine = maxLine; }
    // The descriptors to poll: the listener, then each client.
    void Watch(std::vector<pollfd>& fds) const;
    // After poll over Watch's descriptors from `fds[first]` on: accepts, reads, hands on each
    // complete line, writes, and closes the clients that ended or broke a limit.
    void Turn(const std::vector<pollfd>& fds, std::size_t first, const TLineHandler& onLine);

    // Queues a line; a client whose queue passes MaxQueue is dropped.
    void Send(TClient& client, const std::string& line);
    void Broadcast(const std::string& line); // to the subscribers
    std::size_t Clients() const { return Connected.size(); }
    const TServerCounters& Counters() const { return Stats; }
    const std::string& Path() const { return SocketPath; }

private:
    void Accept();
    void Read(TClient& client, const TLineHandler& onLine);
    void Cut(TClient& client, const char* data, std::size_t size, const TLineHandler& onLine);
    void Write(TClient& client);

    std::string SocketPath;
    std::size_t MaxLine;
    int Listener = -1;
    std::list<TClient> Connected;
    TServerCounters Stats;
};
