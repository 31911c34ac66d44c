// The board's control interface: text commands, one per line, that inject faults and
// outside events and query the board's state. Read from standard input, from clients of a
// Unix stream socket and from a second pseudo-terminal.
#pragma once

#include "untBoardLink.h"
#include "untPoller.h"
#include "untPty.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

// A decimal number from minValue to maxValue, the whole text; false otherwise.
bool ParseDecimal(const char* text, long long minValue, long long maxValue, long long& value);

// Runs control commands against the board. Commands answer one line, "OK" or
// "ERR <reason>"; queries answer their lines and a last line "END", or one "ERR" line.
class TControl {
public:
    TControl(TBoardModel& model, TFaultSet& faults, TBoardLink& link, TTrace trace);

    // The reply to one line, each reply line ending in '\n'; blank lines and lines
    // beginning with '#' get no reply.
    std::string Execute(const std::string& line, TMillis now);
    bool QuitRequested() const { return Quit; }

private:
    std::string Run(const std::vector<std::string>& words, TMillis now);
    std::string AddFault(const std::vector<std::string>& words);
    std::string ListFaults() const;
    std::string Mains(const std::vector<std::string>& words, TMillis now);
    std::string Power12(const std::vector<std::string>& words, TMillis now);
    std::string Door(const std::vector<std::string>& words, TMillis now);
    std::string EmptyTable(const std::vector<std::string>& words);
    std::string LineTiming(const std::vector<std::string>& words);
    std::string GoAway();
    std::string Return();
    void Log(const std::string& line) const;

    TBoardModel& Model;
    TFaultSet& Faults;
    TBoardLink& Link;
    TTrace Trace;
    bool Quit = false;
};

// Cuts a byte stream into lines; a line longer than the limit is reported once and
// skipped up to its end.
class TLineReader {
public:
    using TLineFn = std::function<void(const std::string& line, bool tooLong)>;
    void Feed(const char* data, std::size_t size, const TLineFn& onLine);

private:
    std::string Buffer;
    bool Overflow = false;
};

class TControlServer {
public:
    // Gets one command line, gives back its reply.
    using THandler = std::function<std::string(const std::string& line)>;

    explicit TControlServer(THandler handler) : Handler(std::move(handler)) {}
    ~TControlServer();
    TControlServer(const TControlServer&) = delete;
    TControlServer& operator=(const TControlServer&) = delete;

    // Takes commands from standard input; replies go to standard output.
    void WatchStdin() { StdinOpen = true; }
    // Listens on a Unix stream socket at `path`. Throws std::runtime_error.
    void Listen(const std::string& path);
    // Takes commands on a pty published at `linkPath`, for clients that reach only serial
    // ports (Windows programs under Wine). Throws std::runtime_error.
    void ListenTty(const std::string& linkPath);
    void AddTo(TPoller& poller);
    // Standard input has ended: the board's owner has gone.
    bool StdinClosed() const { return StdinEnded; }

private:
    void OnStdin();
    void OnAccept();
    void OnClient(int fd);
    void CloseClient(int fd);
    void OnTty();

    THandler Handler;
    bool StdinOpen = false;
    bool StdinEnded = false;
    TLineReader StdinLines;
    int ListenFd = -1;
    std::string SocketPath;
    unsigned long SocketIno = 0;
    std::map<int, TLineReader> Clients;
    TPty Tty;
    std::string TtyPath;
    TLineReader TtyLines;
};
