#include "untControl.h"

#include "driver/platform/posix/untPosixFiles.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
const std::size_t MaxLineSize = 1024;

const char HelpText[] = "fault noanswer|stx|crc|code [once|always] [for CC]\n"
                        "fault short|long|cut|garbage|trail N [once|always] [for CC]\n"
                        "fault delay|gap MS [once|always] [for CC]\n"
                        "fault error EE [once|always] [for CC]\n"
                        "clear\n"
                        "faults\n"
                        "state\n"
                        "mains on|off\n"
                        "power12 on|off\n"
                        "door open|closed\n"
                        "empty N|off\n"
                        "timing on|off\n"
                        "process|jitter|gaps US\n"
                        "reset\n"
                        "away\n"
                        "return\n"
                        "quit\n"
                        "help\n";

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        for (char& c : word)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        words.push_back(word);
    }
    return words;
}

std::string Err(const std::string& reason) {
    return "ERR " + reason + "\n";
}

const std::string Ok = "OK\n";

// A socket client must neither block the board nor raise SIGPIPE.
bool WriteAll(int fd, const std::string& text, bool socket) {
    return socket ? SendAll(fd, text, MSG_DONTWAIT) : ::WriteAll(fd, text);
}

std::runtime_error SocketError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}
} // namespace

TControl::TControl(TBoardModel& model, TFaultSet& faults, TBoardLink& link, TTrace trace)
    : Model(model), Faults(faults), Link(link), Trace(std::move(trace)) {}

void TControl::Log(const std::string& line) const {
    if (Trace)
        Trace(line);
}

std::string TControl::Execute(const std::string& line, TMillis now) {
    const std::vector<std::string> words = SplitWords(line);
    if (words.empty() || words[0][0] == '#')
        return std::string();
    try {
        return Run(words, now);
    } catch (const std::exception& e) {
        return Err(e.what());
    }
}

std::string TControl::Run(const std::vector<std::string>& words, TMillis now) {
    const std::string& verb = words[0];
    if (verb == "fault")
        return AddFault(words);
    if (verb == "timing" || verb == "process" || verb == "jitter" || verb == "gaps")
        return LineTiming(words);
    if (words.size() > 1 && verb != "mains" && verb != "power12" && verb != "door" &&
        verb != "empty")
        return Err(verb + " takes no arguments");
    if (verb == "clear") {
        Faults.Clear();
        return Ok;
    }
    if (verb == "faults")
        return ListFaults();
    if (verb == "state") {
        std::string text = Model.Describe(now);
        if (!text.empty() && text.back() != '\n')
            text += '\n';
        return text + Link.DescribeTiming() + "END\n";
    }
    if (verb == "mains")
        return Mains(words, now);
    if (verb == "power12")
        return Power12(words, now);
    if (verb == "door")
        return Door(words, now);
    if (verb == "empty")
        return EmptyTable(words);
    if (verb == "reset") {
        Log("!! reset");
        Link.Discard();
        Model.Reset(now);
        return Ok;
    }
    if (verb == "away")
        return GoAway();
    if (verb == "return")
        return Return();
    if (verb == "help")
        return std::string(HelpText) + "END\n";
    if (verb == "quit") {
        Quit = true;
        return Ok;
    }
    return Err("unknown command '" + verb + "'");
}

std::string TControl::EmptyTable(const std::vector<std::string>& words) {
    if (words.size() != 2 || (words[1] != "off" && (words[1].size() != 1 || words[1][0] < '1' ||
                                                    words[1][0] > '5')))
        return Err("empty takes a table from 1 to 5 or off");
    Log("!! empty " + words[1]);
    Model.SetEmptyTable(words[1] == "off" ? 0 : words[1][0] - '0');
    return Ok;
}

bool ParseDecimal(const char* text, long long minValue, long long maxValue, long long& value) {
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text, &end, 10);
    return errno == 0 && *end == '\0' && value >= minValue && value <= maxValue;
}

std::string TControl::LineTiming(const std::vector<std::string>& words) {
    TLineTiming& line = Link.Timing();
    if (words[0] == "timing") {
        if (words.size() != 2 || (words[1] != "on" && words[1] != "off"))
            return Err("timing takes on or off");
        line.paced = words[1] == "on";
    } else {
        long long value = 0;
        if (words.size() != 2 || !ParseDecimal(words[1].c_str(), 0, MaxLineDelayUs, value))
            return Err(words[0] + " takes microseconds from 0 to " +
                       std::to_string(MaxLineDelayUs));
        (words[0] == "process" ? line.processUs
                               : words[0] == "jitter" ? line.jitterUs : line.gapsUs) = value;
    }
    Log("!! " + words[0] + " " + words[1]);
    return Ok;
}

std::string TControl::AddFault(const std::vector<std::string>& words) {
    TFault fault;
    std::string error;
    if (!ParseFault(std::vector<std::string>(words.begin() + 1, words.end()), fault, error))
        return Err(error);
    Faults.Add(fault);
    return Ok;
}

std::string TControl::ListFaults() const {
    std::string text;
    for (const TFault& fault : Faults.List())
        text += FormatFault(fault) + "\n";
    return text + "END\n";
}

std::string TControl::Mains(const std::vector<std::string>& words, TMillis now) {
    if (words.size() != 2 || (words[1] != "on" && words[1] != "off"))
        return Err("mains takes on or off");
    Log("!! mains " + words[1]);
    Model.SetMainsPresent(words[1] == "on", now);
    return Ok;
}

std::string TControl::Power12(const std::vector<std::string>& words, TMillis now) {
    if (words.size() != 2 || (words[1] != "on" && words[1] != "off"))
        return Err("power12 takes on or off");
    if (!Model.SetPower12(words[1] == "on", now))
        return Err("no mains: +12 V cannot come on");
    Log("!! power12 " + words[1]);
    return Ok;
}

std::string TControl::Door(const std::vector<std::string>& words, TMillis now) {
    if (words.size() != 2 || (words[1] != "open" && words[1] != "closed"))
        return Err("door takes open or closed");
    Log("!! door " + words[1]);
    Model.SetDoorOpen(words[1] == "open", now);
    return Ok;
}

std::string TControl::GoAway() {
    if (!Link.Present())
        return Err("already away");
    Log("!! away");
    Link.GoAway();
    return Ok;
}

std::string TControl::Return() {
    if (Link.Present())
        return Err("not away");
    Link.Open(Link.LinkPath());
    Log("!! back at " + Link.LinkPath());
    return Ok;
}

void TLineReader::Feed(const char* data, std::size_t size, const TLineFn& onLine) {
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n') {
            if (!Overflow)
                onLine(Buffer, false);
            Buffer.clear();
            Overflow = false;
            continue;
        }
        if (Overflow || c == '\r')
            continue;
        if (Buffer.size() < MaxLineSize) {
            Buffer += c;
            continue;
        }
        Buffer.clear();
        Overflow = true;
        onLine(std::string(), true);
    }
}

TControlServer::~TControlServer() {
    for (const auto& client : Clients)
        close(client.first);
    if (ListenFd < 0)
        return;
    close(ListenFd);
    struct stat st {};
    if (lstat(SocketPath.c_str(), &st) == 0 && st.st_ino == SocketIno)
        unlink(SocketPath.c_str());
}

// A socket left behind by a board that was killed is replaced; any other file is not.
void TControlServer::Listen(const std::string& path) {
    sockaddr_un addr{};
    if (path.empty() || path.size() >= sizeof addr.sun_path)
        throw std::runtime_error("control socket path too long: " + path);
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode))
            throw std::runtime_error(path + " exists and is not a socket");
        unlink(path.c_str());
    }
    ListenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (ListenFd < 0)
        throw SocketError("socket");
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (bind(ListenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(ListenFd, 8) != 0 || lstat(path.c_str(), &st) != 0) {
        const std::runtime_error error = SocketError("control socket " + path);
        close(ListenFd);
        ListenFd = -1;
        throw error;
    }
    SocketPath = path;
    SocketIno = st.st_ino;
}

// The line starts raw, so commands and replies pass unchanged, without echo.
void TControlServer::ListenTty(const std::string& linkPath) {
    Tty.Open(linkPath, 0);
    TtyPath = linkPath;
}

void TControlServer::AddTo(TPoller& poller) {
    if (StdinOpen && !StdinEnded)
        poller.Add(STDIN_FILENO, POLLIN, [this](short) { OnStdin(); });
    poller.Add(ListenFd, POLLIN, [this](short) { OnAccept(); });
    if (Tty.Opened())
        poller.Add(Tty.Fd(), POLLIN, [this](short) { OnTty(); });
    for (const auto& client : Clients) {
        const int fd = client.first;
        poller.Add(fd, POLLIN, [this, fd](short) { OnClient(fd); });
    }
}

// One read per wake-up: standard input may be shared with a shell, so it stays blocking.
void TControlServer::OnStdin() {
    char buffer[4096];
    const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        StdinEnded = true;
        return;
    }
    StdinLines.Feed(
        buffer, static_cast<std::size_t>(n), [this](const std::string& line, bool tooLong) {
            WriteAll(STDOUT_FILENO, tooLong ? Err("line too long") : Handler(line), false);
        });
}

void TControlServer::OnAccept() {
    for (;;) {
        const int fd = accept4(ListenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        Clients[fd];
    }
}

// A client that does not take its replies is dropped rather than let it stall the board.
void TControlServer::OnClient(int fd) {
    auto client = Clients.find(fd);
    if (client == Clients.end())
        return;
    char buffer[4096];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        CloseClient(fd);
        return;
    }
    bool failed = false;
    client->second.Feed(
        buffer, static_cast<std::size_t>(n), [&](const std::string& line, bool tooLong) {
            if (!failed)
                failed = !WriteAll(fd, tooLong ? Err("line too long") : Handler(line), true);
        });
    if (failed)
        CloseClient(fd);
}

void TControlServer::CloseClient(int fd) {
    close(fd);
    Clients.erase(fd);
}

// Replies the line cannot take now are lost, as on a serial line whose reader stopped.
// The board holds the terminal side open, so a hang-up only comes from a client that made
// the pty its controlling terminal; a new pty at the same path then serves the next client.
void TControlServer::OnTty() {
    char buffer[4096];
    const long n = Tty.Read(buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        if (!Tty.Reattach())
            Tty.Open(TtyPath, 0);
        TtyLines = TLineReader();
        return;
    }
    TtyLines.Feed(buffer, static_cast<std::size_t>(n),
                  [this](const std::string& line, bool tooLong) {
                      WriteAll(Tty.Fd(), tooLong ? Err("line too long") : Handler(line), false);
                  });
}
