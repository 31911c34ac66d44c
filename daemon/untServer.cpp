#include "untServer.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
const std::size_t ReadChunk = 65536; // per client and turn: the others get their turn soon

std::runtime_error Failure(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

sockaddr_un Address(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        throw std::runtime_error(path + ": the socket path is too long");
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// Whether another process listens at the path: then it is not ours to replace.
bool Listening(const sockaddr_un& address) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool live =
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return live;
}
} // namespace

TServer::TServer(const std::string& path, const std::string& group, int mode,
                 std::size_t maxLine)
    : SocketPath(path), MaxLine(maxLine) {
    const sockaddr_un address = Address(path);
    gid_t gid = static_cast<gid_t>(-1);
    if (!group.empty()) {
        const struct group* entry = getgrnam(group.c_str());
        if (!entry)
            throw std::runtime_error("no group '" + group + "'");
        gid = entry->gr_gid;
    }
    if (Listening(address))
        throw std::runtime_error(path + ": another service listens there");
    unlink(path.c_str());
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        mkdir(path.substr(0, slash).c_str(), 0755);
    Listener = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (Listener < 0)
        throw Failure("socket");
    // Never wider than asked, not even between bind and chmod.
    const mode_t mask = umask(0177);
    const int bound = bind(Listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    umask(mask);
    if (bound != 0 || chown(path.c_str(), static_cast<uid_t>(-1), gid) != 0 ||
        chmod(path.c_str(), static_cast<mode_t>(mode)) != 0 || listen(Listener, 64) != 0) {
        const std::runtime_error error = Failure(path);
        close(Listener);
        throw error;
    }
}

TServer::~TServer() {
    for (TClient& client : Connected)
        close(client.Fd);
    close(Listener);
    unlink(SocketPath.c_str());
}

void TServer::Watch(std::vector<pollfd>& fds) const {
    fds.push_back({Listener, POLLIN, 0});
    for (const TClient& client : Connected) {
        short events = client.Ended ? 0 : POLLIN;
        if (!client.Out.empty())
            events |= POLLOUT;
        fds.push_back({client.Fd, events, 0});
    }
}

void TServer::Turn(const std::vector<pollfd>& fds, std::size_t first, const TLineHandler& onLine) {
    const bool incoming = fds[first].revents & POLLIN;
    std::size_t i = first + 1;
    for (TClient& client : Connected) {
        // Clients accepted during the turn are not in `fds` yet.
        if (i >= fds.size())
            break;
        const short revents = fds[i++].revents;
        if (revents & (POLLIN | POLLHUP | POLLERR))
            Read(client, onLine);
        if (revents & POLLOUT)
            Write(client);
    }
    for (auto it = Connected.begin(); it != Connected.end();) {
        if (it->Ended && it->Out.empty())
            it->Gone = true;
        if (it->Gone) {
            close(it->Fd);
            it = Connected.erase(it);
        } else {
            ++it;
        }
    }
    if (incoming)
        Accept();
}

void TServer::Accept() {
    for (;;) {
        const int fd = accept4(Listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        TClient client;
        client.Fd = fd;
        Connected.push_back(client);
        ++Stats.Connections;
    }
}

void TServer::Read(TClient& client, const TLineHandler& onLine) {
    if (client.Ended || client.Gone)
        return;
    static char buffer[ReadChunk];
    const ssize_t got = recv(client.Fd, buffer, sizeof buffer, 0);
    if (got > 0) {
        Cut(client, buffer, static_cast<std::size_t>(got), onLine);
    } else if (got == 0) {
        client.Ended = true;
    } else if (errno != EAGAIN && errno != EINTR) {
        client.Gone = true;
    }
}

void TServer::Cut(TClient& client, const char* data, std::size_t size,
                  const TLineHandler& onLine) {
    const char* end = data + size;
    while (data < end && !client.Gone) {
        const char* newline = static_cast<const char*>(std::memchr(data, '\n', end - data));
        const char* stop = newline ? newline : end;
        if (!client.Skipping) {
            client.In.append(data, std::min<std::size_t>(stop - data, MaxLine + 1 - client.In.size()));
            if (client.In.size() > MaxLine) {
                onLine(client, client.In, true);
                client.In.clear();
                client.Skipping = true;
            } else if (newline) {
                std::string line;
                line.swap(client.In);
                onLine(client, line, false);
            }
        }
        if (newline)
            client.Skipping = false;
        data = newline ? newline + 1 : end;
    }
}

void TServer::Write(TClient& client) {
    while (!client.Out.empty() && !client.Gone) {
        const ssize_t sent = send(client.Fd, client.Out.data(), client.Out.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            client.Out.erase(0, static_cast<std::size_t>(sent));
        } else if (sent < 0 && errno == EAGAIN) {
            return;
        } else if (sent < 0 && errno != EINTR) {
            client.Gone = true;
        }
    }
}

void TServer::Send(TClient& client, const std::string& line) {
    if (client.Gone)
        return;
    client.Out += line;
    if (client.Out.size() > MaxQueue) {
        client.Gone = true;
        ++Stats.Dropped;
        return;
    }
    Write(client);
}

void TServer::Broadcast(const std::string& line) {
    for (TClient& client : Connected)
        if (client.Subscribed)
            Send(client, line);
}
