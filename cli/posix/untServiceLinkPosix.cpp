// The client side of trelmod's socket: one JSON object a line, one request in flight.
#include "untServiceLink.h"

#include "untCodePage.h"
#include "untDriverCode.h"
#include "untError.h"
#include "driver/platform/posix/untPosixFiles.h"
#include "untValues.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
using TClock = std::chrono::steady_clock;
using nlohmann::json;

// A service busy with other clients' requests answers late, not never: the limits leave it
// room before the tool gives up on it.
const int HelloMs = 5000;
const int ExchangeSlackMs = 10000;
const std::size_t MaxAnswerLine = 1 << 20;

class TSocket {
public:
    explicit TSocket(int fd) : Fd(fd) {}
    ~TSocket() {
        if (Fd >= 0)
            close(Fd);
    }
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;

    // MSG_NOSIGNAL: a service gone is a failed exchange, not SIGPIPE ending the tool.
    bool Send(const std::string& line) const {
        return SendAll(Fd, line);
    }

    // The next line without its newline; false when none came within `limitMs`.
    bool ReadLine(std::string& line, int limitMs) {
        const TClock::time_point end = TClock::now() + std::chrono::milliseconds(limitMs);
        std::size_t newline;
        while ((newline = Pending.find('\n')) == std::string::npos) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - TClock::now()).count();
            if (left <= 0 || Pending.size() > MaxAnswerLine)
                return false;
            pollfd p{Fd, POLLIN, 0};
            const int ready = poll(&p, 1, static_cast<int>(left));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                return false;
            char buffer[4096];
            const ssize_t n = read(Fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            Pending.append(buffer, static_cast<std::size_t>(n));
        }
        line = Pending.substr(0, newline);
        Pending.erase(0, newline + 1);
        return true;
    }

    // One request and its answer; a discarded value when none came or it was not JSON.
    json Ask(const json& request, int limitMs) {
        std::string line;
        if (!Send(request.dump() + '\n') || !ReadLine(line, limitMs))
            return json(json::value_t::discarded);
        return json::parse(line, nullptr, false);
    }

    int Fd;

private:
    std::string Pending;
};

int Connected(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return -1;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The same device under two names (a link such as /dev/serial/by-id/..., or the port map's
// path) is one device.
std::string Resolved(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string Text(const json& answer, const char* key) {
    const auto found = answer.find(key);
    return found != answer.end() && found->is_string() ? found->get<std::string>() : "";
}

[[noreturn]] void ServiceGone() {
    throw EDriverError(ecNoLink, Ansi("Нет связи со службой trelmod"));
}
} // namespace

struct TServiceLink::TImpl {
    explicit TImpl(int fd) : Socket(fd) {}
    TSocket Socket;
    long long NextId = 1;
};

TServiceLink::TServiceLink(std::unique_ptr<TImpl> impl) : Impl(std::move(impl)) {}
TServiceLink::~TServiceLink() = default;

std::unique_ptr<TServiceLink> TServiceLink::Open(const std::string& socketPath,
                                                 const std::string& device) {
    const int fd = Connected(socketPath);
    if (fd < 0)
        return nullptr;
    auto impl = std::make_unique<TImpl>(fd);
    const json hello = impl->Socket.Ask({{"id", 0}, {"hello", true}}, HelloMs);
    if (!hello.is_object() || Text(hello, "service") != "trelmod")
        return nullptr;
    const std::string served = Text(hello, "device");
    if (served.empty() || Resolved(served) != Resolved(Cp1251ToUtf8(device)))
        return nullptr;
    return std::unique_ptr<TServiceLink>(new TServiceLink(std::move(impl)));
}

TServiceAnswer TServiceLink::Exchange(const TBytes& payload, int baudRate, int timeout,
                                      int commandTimeout) {
    const long long id = Impl->NextId++;
    const json request = {{"id", id},
                          {"exchange", StrToHex(payload)},
                          {"baud", baudRate},
                          {"timeout", timeout},
                          {"command_timeout", commandTimeout}};
    const json answer =
        Impl->Socket.Ask(request, 2 * std::max(commandTimeout, 0) + ExchangeSlackMs);
    if (!answer.is_object() || answer.value("id", json()) != json(id))
        ServiceGone();
    if (answer.contains("error"))
        throw EDriverError(ecFailure, Utf8ToCp1251(Text(answer, "error")));
    TServiceAnswer result;
    try {
        result.Code = answer.at("code").get<int>();
        result.Text = Utf8ToCp1251(answer.at("text").get<std::string>());
        result.Output = answer.at("output").get<std::string>();
        result.Input = answer.at("input").get<std::string>();
        result.Time = answer.at("time").get<std::uint16_t>();
        if (!ParseBytes(answer.at("answer").get<std::string>(), result.Answer))
            ServiceGone();
    } catch (const json::exception&) { // an answer of another shape is no service of ours
        ServiceGone();
    }
    return result;
}

std::string DefaultServiceSocket() {
    const char* path = std::getenv("TRELMOD_SOCKET");
    return path && *path ? path : "/run/trelmo/trelmod.sock";
}
