// The virtual board as its clients see it: the real program on a real pty, opened and set
// up the way the driver does it. Waits use wide margins, as the machine may be busy.
#include "untProtocol.h"
#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
using namespace std::chrono_literals;
using namespace testboard;

// The client end, opened and set up as the driver opens its port.
class TPort {
public:
    TPort(const std::string& path, int baud) {
        Fd = open(path.c_str(), O_RDWR | O_NOCTTY);
        EXPECT_GE(Fd, 0) << path;
        SetSpeed(baud);
    }
    ~TPort() { close(Fd); }

    void SetSpeed(int baud) {
        termios tio{};
        tcgetattr(Fd, &tio);
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        const speed_t speed = baud == 2400 ? B2400 : baud == 9600 ? B9600 : B19200;
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
        EXPECT_EQ(tcsetattr(Fd, TCSANOW, &tio), 0);
    }
    void Send(const TBytes& bytes) {
        tcflush(Fd, TCIOFLUSH);
        EXPECT_EQ(write(Fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // One answer frame as the driver reads it: the header, then length + 1 bytes.
    TBytes ReadFrame() {
        TBytes frame = ReadFor(Fd, FrameHeaderSize, AnswerMs);
        if (frame.size() == FrameHeaderSize)
            frame += ReadFor(Fd, static_cast<std::uint8_t>(frame[3]) + 1u, AnswerMs);
        return frame;
    }
    TBytes Exchange(const TBytes& payload, std::uint8_t sequence = 0) {
        Send(BuildFrame(sequence, payload));
        return ReadFrame();
    }
    TBytes Silence() { return ReadFor(Fd, 1, NoAnswerMs); }
    // Whatever comes, up to a pause after the first byte.
    TBytes ReadAll() {
        TBytes data = ReadFor(Fd, 1, AnswerMs);
        for (TBytes more; !data.empty() && !(more = ReadFor(Fd, 1, 150)).empty();)
            data += more;
        return data;
    }

    int Fd = -1;
};

const TBytes Status(1, cmdReadStatus);

// The answer payload of a well-formed answer frame to `sequence`, or a failure.
TBytes Payload(const TBytes& frame, std::uint8_t sequence = 0) {
    EXPECT_GE(frame.size(), FrameHeaderSize + 1);
    if (frame.size() < FrameHeaderSize + 1)
        return TBytes();
    EXPECT_EQ(frame[0], STX);
    EXPECT_EQ(static_cast<std::uint8_t>(frame[1]), sequence);
    EXPECT_EQ(frame[2], 0);
    EXPECT_EQ(frame.size(), FrameHeaderSize + static_cast<std::uint8_t>(frame[3]) + 1);
    EXPECT_EQ(FrameCrc(frame.substr(1)), 0) << StrToHex(frame);
    return frame.substr(FrameHeaderSize, frame.size() - FrameHeaderSize - 1);
}

// Random bytes that hold no valid frame: one could be any command, a speed change too.
TBytes Noise(std::size_t size) {
    std::mt19937 random(12345);
    for (;;) {
        TBytes noise(size, '\0');
        for (char& c : noise)
            c = static_cast<char>(random());
        bool holdsFrame = false;
        for (std::size_t i = 0; i + FrameHeaderSize < size && !holdsFrame; ++i) {
            const std::size_t length = FrameHeaderSize + static_cast<std::uint8_t>(noise[i + 3]);
            holdsFrame =
                noise[i] == STX && i + length < size && FrameCrc(noise.substr(i + 1, length)) == 0;
        }
        if (!holdsFrame)
            return noise;
    }
}

// One control command on a control tty: its reply lines up to OK, END or ERR.
std::string TtyCommand(int fd, const std::string& line) {
    const std::string text = line + "\n";
    EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    std::string reply, current;
    for (TBytes c; !(c = ReadFor(fd, 1, AnswerMs)).empty();) {
        current += c;
        if (c != "\n")
            continue;
        reply += current;
        if (current == "OK\n" || current == "END\n" || current.rfind("ERR", 0) == 0)
            return reply;
        current.clear();
    }
    return reply + current;
}

bool IsStatus(const TBytes& frame, std::uint8_t sequence = 0) {
    const TBytes payload = Payload(frame, sequence);
    return payload.size() >= 13 && payload[0] == cmdReadStatus && payload[1] == errNone;
}
} // namespace

TEST(Exchange, StatusAnswerEchoesSequenceAndIsTraced) {
    TBoardProcess board({"--serial", "4321"});
    TPort port(board.Link, 2400);
    for (std::uint8_t sequence : {0, 1, 0x7F, 254}) {
        const TBytes answer = port.Exchange(Status, sequence);
        ASSERT_TRUE(IsStatus(answer, sequence)) << StrToHex(answer);
        EXPECT_EQ(GetWord(answer, FrameHeaderSize + 2), 4321);
    }
    const std::string trace = board.Trace();
    EXPECT_NE(trace.find("-> 02 00 00 01 11 10 \n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("<- 02 FE 00 0F 11 00 E1 10 "), std::string::npos) << trace;
}

TEST(Line, NoisePartialFramesAndBadChecksumsAreDropped) {
    TBoardProcess board;
    TPort port(board.Link, 2400);
    port.Send(TBytes("\x55\xAA\xFF\x00", 4) + BuildFrame(3, Status));
    EXPECT_TRUE(IsStatus(port.ReadFrame(), 3));

    // Without the time-out the two would merge into one frame with a bad checksum.
    port.Send(BuildFrame(4, Status).substr(0, 3));
    std::this_thread::sleep_for(600ms);
    port.Send(BuildFrame(5, Status));
    EXPECT_TRUE(IsStatus(port.ReadFrame(), 5));

    TBytes bad = BuildFrame(6, Status);
    bad.back() ^= 1;
    port.Send(bad);
    EXPECT_EQ(port.Silence(), "");
    EXPECT_TRUE(IsStatus(port.Exchange(Status, 7), 7));

    const std::string trace = board.Trace();
    EXPECT_NE(trace.find("skipped (no STX): 55 AA FF 00"), std::string::npos) << trace;
    EXPECT_NE(trace.find("partial frame timed out"), std::string::npos) << trace;
    EXPECT_NE(trace.find("bad checksum"), std::string::npos) << trace;
}

TEST(Line, BoardHearsOnlyItsOwnSpeed) {
    TBoardProcess board;
    TPort port(board.Link, 9600);
    port.Send(BuildFrame(0, Status));
    EXPECT_EQ(port.Silence(), "");

    port.SetSpeed(2400);
    const TBytes setSpeed{cmdSetExchangeParam, static_cast<char>(BaudRateToCode(9600)), 100};
    EXPECT_EQ(Payload(port.Exchange(setSpeed)), TBytes({cmdSetExchangeParam, errNone}));
    port.Send(BuildFrame(1, Status));
    EXPECT_EQ(port.Silence(), "");

    port.SetSpeed(9600);
    EXPECT_TRUE(IsStatus(port.Exchange(Status, 2), 2));
    EXPECT_NE(board.Command("state").find("baud=9600\n"), std::string::npos);
}

TEST(Faults, EachKindSpoilsTheNextAnswerOnly) {
    struct TCase {
        const char* command;
        std::function<void(const TBytes& frame)> check;
    };
    const TCase cases[] = {
        {"fault noanswer", [](const TBytes& f) { EXPECT_EQ(StrToHex(f), ""); }},
        {"fault stx", [](const TBytes& f) { EXPECT_EQ(f[0], '\xFD'); }},
        {"fault crc", [](const TBytes& f) { EXPECT_NE(FrameCrc(f.substr(1)), 0); }},
        {"fault code", [](const TBytes& f) { EXPECT_EQ(Payload(f)[0], '\xEE'); }},
        {"fault short 2", [](const TBytes& f) { EXPECT_EQ(Payload(f).size(), 13u); }},
        {"fault long 3", [](const TBytes& f) { EXPECT_EQ(Payload(f).size(), 18u); }},
        {"fault cut 3", [](const TBytes& f) { EXPECT_EQ(StrToHex(f), "02 00 00 "); }},
        {"fault error 33", [](const TBytes& f) { EXPECT_EQ(Payload(f), "\x11\x33"); }},
        {"fault garbage 5",
         [](const TBytes& f) {
             EXPECT_EQ(StrToHex(f.substr(0, 9)), "FF FF FF FF FF 02 00 00 0F ");
             EXPECT_TRUE(IsStatus(f.substr(5)));
         }},
        {"fault trail 3",
         [](const TBytes& f) {
             EXPECT_TRUE(IsStatus(f.substr(0, f.size() - 3)));
             EXPECT_EQ(StrToHex(f.substr(f.size() - 3)), "FF FF FF ");
         }},
    };
    TBoardProcess board;
    TPort port(board.Link, 2400);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.command);
        ASSERT_EQ(board.Command(c.command), "OK\n");
        port.Send(BuildFrame(0, Status));
        c.check(port.ReadAll());
        EXPECT_TRUE(IsStatus(port.Exchange(Status)));
    }
    EXPECT_NE(board.Trace().find("!! fault error 33 once"), std::string::npos);
}

TEST(Faults, DelayAndGapSlowTheAnswerDown) {
    TBoardProcess board;
    TPort port(board.Link, 2400);
    ASSERT_EQ(board.Command("fault delay 700"), "OK\n");
    auto start = TClock::now();
    port.Send(BuildFrame(0, Status));
    EXPECT_EQ(port.Silence(), "");
    EXPECT_TRUE(IsStatus(port.ReadFrame()));
    EXPECT_GE(ElapsedMs(start), 650);

    ASSERT_EQ(board.Command("fault gap 30"), "OK\n");
    start = TClock::now();
    EXPECT_TRUE(IsStatus(port.Exchange(Status)));
    EXPECT_GE(ElapsedMs(start), 19 * 30 - 50); // 20 bytes, 19 gaps

    EXPECT_EQ(board.Command("faults"), "END\n");
}

TEST(Faults, AlwaysAndForLastUntilClear) {
    TBoardProcess board;
    TPort port(board.Link, 2400);
    ASSERT_EQ(board.Command("fault error 37 always for 11"), "OK\n");
    ASSERT_EQ(board.Command("FAULT crc for 0x15"), "OK\n");
    EXPECT_EQ(board.Command("faults"), "error 37 always for 11\ncrc once for 15\nEND\n");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Payload(port.Exchange(Status)), "\x11\x37");
    const TBytes readExchange(1, cmdReadExchangeParam);
    EXPECT_NE(FrameCrc(port.Exchange(readExchange).substr(1)), 0);
    EXPECT_EQ(Payload(port.Exchange(readExchange))[1], errNone);
    EXPECT_EQ(board.Command("faults"), "error 37 always for 11\nEND\n");

    board.Reconnect();
    EXPECT_EQ(board.Command("clear"), "OK\n");
    EXPECT_EQ(board.Command("faults"), "END\n");
    EXPECT_TRUE(IsStatus(port.Exchange(Status)));
}

TEST(Control, BadCommandsAreRefusedAndChangeNothing) {
    TBoardProcess board;
    for (const char* bad :
         {"fault", "fault cut", "fault cut x", "fault cut 3x", "fault delay 99999999",
          "fault short 0", "fault error 100", "fault crc for zz", "fault crc for",
          "fault crc sometimes", "fault crc 3", "frobnicate", "state now", "mains maybe", "power12", "power12 up", "door ajar", "door open now", "empty 6", "empty", "return",
          "timing", "timing fast", "process", "process -1", "process 10000001", "jitter 1e3",
          "gaps 12345678901234567890", "\x01\xFF\x7F"}) {
        const std::string reply = board.Command(bad);
        EXPECT_EQ(reply.rfind("ERR ", 0), 0u) << bad << " -> " << reply;
        EXPECT_EQ(reply.find('\n'), reply.size() - 1) << bad;
    }
    EXPECT_EQ(board.Command(std::string(5000, 'x')), "ERR line too long\n");
    EXPECT_EQ(board.Command("# a comment\n\n  clear  "), "OK\n");
    EXPECT_EQ(board.Command("faults"), "END\n");
    TPort port(board.Link, 2400);
    EXPECT_TRUE(IsStatus(port.Exchange(Status)));
}

// Elapsed milliseconds from `start` to the moment each byte came, reading `count` bytes.
std::vector<double> ArrivalsMs(int fd, std::size_t count, TClock::time_point start) {
    std::vector<double> arrivals;
    while (arrivals.size() < count) {
        const TBytes byte = ReadFor(fd, 1, AnswerMs);
        if (byte.empty())
            break;
        arrivals.push_back(std::chrono::duration<double, std::milli>(TClock::now() - start).count());
    }
    return arrivals;
}

// 2400 baud, 10 bits a byte: a status request (6 bytes) and its answer (20) take 108 ms on
// the wire; the answer's bytes come one by one, each when its stop bit has gone.
TEST(Timing, BytesTakeTheirTimeOnTheLine) {
    const double byteMs = 10 * 1000.0 / 2400;
    TBoardProcess board({"--line-timing", "--process-us", "30000"});
    TPort port(board.Link, 2400);
    auto start = TClock::now();
    port.Send(BuildFrame(0, Status));
    const std::vector<double> arrivals = ArrivalsMs(port.Fd, 20, start);
    ASSERT_EQ(arrivals.size(), 20u);
    for (std::size_t i = 0; i < arrivals.size(); ++i)
        EXPECT_GE(arrivals[i], (7 + i) * byteMs + 30) << i; // none before its time
    EXPECT_LT(arrivals.back(), 26 * byteMs + 30 + 400);

    // Requests written back to back queue on the line; so do their answers.
    port.Send(BuildFrame(1, Status) + BuildFrame(2, Status));
    start = TClock::now();
    EXPECT_TRUE(IsStatus(port.ReadFrame(), 1));
    EXPECT_TRUE(IsStatus(port.ReadFrame(), 2));
    EXPECT_GE(ElapsedMs(start), 32 * byteMs + 2 * 30 - 5);

    EXPECT_NE(board.Command("state").find("timing=1\nprocess_us=30000\njitter_us=0\ngaps_us=0\n"),
              std::string::npos);
    ASSERT_EQ(board.Command("timing off"), "OK\n");
    ASSERT_EQ(board.Command("process 0"), "OK\n");
    start = TClock::now();
    EXPECT_TRUE(IsStatus(port.Exchange(Status)));
    EXPECT_LT(ElapsedMs(start), 26 * byteMs); // no faster proof is needed than beating the line
}

// A speed change is answered at the old speed, and the line is paced at the new one after.
TEST(Timing, TheAnswerToASpeedChangeKeepsTheOldSpeed) {
    TBoardProcess board({"--line-timing"});
    TPort port(board.Link, 2400);
    auto start = TClock::now();
    const TBytes answer = Payload(port.Exchange(
        TBytes{cmdSetExchangeParam, static_cast<char>(BaudRateToCode(9600)), 100}));
    ASSERT_EQ(answer.size(), 2u);
    EXPECT_EQ(answer[1], errNone);
    EXPECT_GE(ElapsedMs(start), (8 + 7) * 10 * 1000.0 / 2400 - 1);
    port.SetSpeed(9600);
    start = TClock::now();
    EXPECT_TRUE(IsStatus(port.Exchange(Status)));
    const double elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, 26 * 10 * 1000.0 / 9600 - 1);
}

// Jitter moves each answer's start, gaps break an answer up: both at random, within bounds.
TEST(Timing, JitterAndGapsComeThroughTheControlInterface) {
    TBoardProcess board({"--line-timing", "--baud", "9600"});
    TPort port(board.Link, 9600);
    ASSERT_EQ(board.Command("gaps 40000"), "OK\n");
    auto start = TClock::now();
    port.Send(BuildFrame(0, Status));
    const std::vector<double> arrivals = ArrivalsMs(port.Fd, 20, start);
    ASSERT_EQ(arrivals.size(), 20u);
    double longest = 0;
    for (std::size_t i = 1; i < arrivals.size(); ++i)
        longest = std::max(longest, arrivals[i] - arrivals[i - 1]);
    EXPECT_GT(longest, 10);  // 19 gaps of 0 to 40 ms: one above 10 ms all but surely
    EXPECT_LT(longest, 40 + 200);

    ASSERT_EQ(board.Command("gaps 0"), "OK\n");
    ASSERT_EQ(board.Command("jitter 150000"), "OK\n");
    std::vector<double> durations;
    for (int i = 0; i < 6; ++i) {
        start = TClock::now();
        ASSERT_TRUE(IsStatus(port.Exchange(Status)));
        durations.push_back(ElapsedMs(start));
    }
    const auto [lo, hi] = std::minmax_element(durations.begin(), durations.end());
    EXPECT_GT(*hi - *lo, 15); // six draws of 0 to 150 ms
    EXPECT_LT(*hi, 150 + 400);
}

// The control line for clients that reach only serial ports: the socket's commands and
// replies, on a pty that outlives the board's own line going away.
TEST(Control, TheControlTtyTakesTheSocketsCommands) {
    TBoardProcess board;
    board.CloseInput();
    ASSERT_EQ(board.Wait(), 0);
    const std::string controlLink = board.Dir + "/control-tty";
    board.Start({"--control-tty", controlLink, board.Link});
    const int control = open(controlLink.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(control, 0);
    EXPECT_EQ(TtyCommand(control, "fault error 33 for 11"), "OK\n");
    EXPECT_EQ(TtyCommand(control, "faults"), "error 33 once for 11\nEND\n");
    EXPECT_EQ(TtyCommand(control, "fault frob"), "ERR unknown fault 'frob'\n");
    {
        TPort port(board.Link, 2400);
        EXPECT_EQ(Payload(port.Exchange(Status)), "\x11\x33");
    }
    EXPECT_EQ(TtyCommand(control, "away"), "OK\n");
    EXPECT_FALSE(Exists(board.Link));
    close(control);
    const int again = open(controlLink.c_str(), O_RDWR | O_NOCTTY);
    EXPECT_EQ(TtyCommand(again, "return"), "OK\n");
    TPort port(board.Link, 2400);
    EXPECT_TRUE(IsStatus(port.Exchange(Status)));
    // The reply to quit may go down with the line; the end of the board is the answer.
    TtyCommand(again, "quit");
    close(again);
    EXPECT_EQ(board.Wait(), 0);
    EXPECT_FALSE(Exists(controlLink));
    EXPECT_FALSE(Exists(board.Link));
}

TEST(Events, ResetSilencesTheBoardWhileItRestarts) {
    TBoardProcess board({"--restart-ms", "1500"});
    TPort port(board.Link, 2400);
    EXPECT_EQ(board.Command("reset"), "OK\n");
    port.Send(BuildFrame(0, Status));
    EXPECT_EQ(port.Silence(), "");
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(IsStatus(port.Exchange(Status)));

    EXPECT_EQ(board.Command("mains off"), "OK\n");
    const std::string state = board.Command("state");
    EXPECT_NE(state.find("\nmains=0\n"), std::string::npos) << state;
    EXPECT_EQ(state.substr(state.size() - 4), "END\n");
}

// The flags byte of a status answer, as the driver decodes MBPowerState and the door from it.
int StatusFlags(TPort& port) {
    const TBytes payload = Payload(port.Exchange(Status));
    return payload.size() > 12 ? static_cast<std::uint8_t>(payload[12]) : -1;
}

TEST(Events, Power12AndDoorAsTheBoardSensesThem) {
    TBoardProcess board;
    TPort port(board.Link, 2400);
    const std::string help = board.Command("help");
    EXPECT_NE(help.find("power12 on|off\n"), std::string::npos) << help;
    EXPECT_NE(help.find("door open|closed\n"), std::string::npos) << help;

    EXPECT_EQ(board.Command("power12 off"), "OK\n");
    EXPECT_EQ(StatusFlags(port) & (pfMBPowerState | pfMBPowerSensor), pfMBPowerSensor);
    EXPECT_EQ(board.Command("power12 on"), "OK\n");
    EXPECT_EQ(StatusFlags(port) & pfMBPowerState, pfMBPowerState);

    // Mains back starts the turn-on delay; a failing supply ends it, and without mains +12 V
    // cannot come on at all.
    EXPECT_EQ(board.Command("mains off"), "OK\n");
    EXPECT_EQ(board.Command("power12 on").rfind("ERR ", 0), 0u);
    EXPECT_EQ(board.Command("mains on"), "OK\n");
    EXPECT_EQ(board.State("turn_on_delay"), "1");
    EXPECT_EQ(board.Command("power12 off"), "OK\n");
    EXPECT_EQ(board.State("turn_on_delay"), "0");
    EXPECT_EQ(board.State("mb_power"), "0");

    EXPECT_EQ(board.Command("door open"), "OK\n");
    EXPECT_EQ(StatusFlags(port) & pfDoorLockOpened, pfDoorLockOpened);
    EXPECT_EQ(board.State("door"), "1");
    EXPECT_EQ(board.Command("door closed"), "OK\n");
    EXPECT_EQ(StatusFlags(port) & pfDoorLockOpened, 0);
}

TEST(Events, BoardGoesAwayAndComesBack) {
    TBoardProcess board;
    {
        TPort port(board.Link, 2400);
        EXPECT_EQ(board.Command("away"), "OK\n");
        EXPECT_FALSE(Exists(board.Link));
        char c;
        EXPECT_LE(read(port.Fd, &c, 1), 0); // the device is gone under the client
        EXPECT_EQ(board.Command("away"), "ERR already away\n");
    }
    EXPECT_EQ(board.Command("return"), "OK\n");
    TPort port(board.Link, 2400);
    EXPECT_TRUE(IsStatus(port.Exchange(Status)));
}

TEST(Process, TwoBoardsServeSideBySide) {
    TBoardProcess first({"--serial", "1111"});
    TBoardProcess second({"--serial", "2222", "--baud", "9600"});
    TPort a(first.Link, 2400), b(second.Link, 9600);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(GetWord(a.Exchange(Status), FrameHeaderSize + 2), 1111);
        EXPECT_EQ(GetWord(b.Exchange(Status), FrameHeaderSize + 2), 2222);
    }
}

TEST(Process, EndsCleanlyOnSignalsInputEndAndQuit) {
    for (const char* how : {"SIGTERM", "SIGINT", "stdin", "quit"}) {
        SCOPED_TRACE(how);
        TBoardProcess board;
        ASSERT_GT(board.Pid, 0);
        TPort port(board.Link, 2400); // a client still holding the line
        if (how == std::string("SIGTERM"))
            kill(board.Pid, SIGTERM);
        else if (how == std::string("SIGINT"))
            kill(board.Pid, SIGINT);
        else if (how == std::string("stdin"))
            board.CloseInput();
        else
            EXPECT_EQ(board.Command("quit"), "OK\n");
        EXPECT_EQ(board.Wait(), 0);
        EXPECT_FALSE(Exists(board.Link));
        EXPECT_FALSE(Exists(board.Socket));
    }
}

TEST(Process, StaleLinksAreReplacedAndBadUsageRefused) {
    TBoardProcess board;
    board.CloseInput();
    ASSERT_EQ(board.Wait(), 0);
    ASSERT_EQ(symlink("/dev/pts/nonexistent", board.Link.c_str()), 0);
    board.Start({"--control", board.Socket, board.Link});
    TPort port(board.Link, 2400);
    EXPECT_TRUE(IsStatus(port.Exchange(Status)));

    auto exitCode = [](std::vector<const char*> args) {
        args.insert(args.begin(), TRELMO_BOARD_PROGRAM);
        args.push_back(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            execv(args[0], const_cast<char**>(args.data()));
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WEXITSTATUS(status);
    };
    EXPECT_EQ(exitCode({}), 2);
    EXPECT_EQ(exitCode({"--baud", "1234", "/tmp/x"}), 2);
    EXPECT_EQ(exitCode({"--serial", "70000", "/tmp/x"}), 2);
    EXPECT_EQ(exitCode({"--restart-ms", "1x", "/tmp/x"}), 2);
    EXPECT_EQ(exitCode({"--frob", "/tmp/x"}), 2);
    EXPECT_EQ(exitCode({"/tmp/x", "/tmp/y"}), 2);
    EXPECT_EQ(exitCode({"/tmp/x", "--control"}), 2);
    EXPECT_EQ(exitCode({"--control-tty", "/tmp/x", "/tmp/x"}), 2);
    const std::string file = board.Dir + "/trace"; // a regular file is never replaced
    EXPECT_EQ(exitCode({file.c_str()}), 1);
    EXPECT_TRUE(Exists(file));
}

TEST(Robustness, ArbitraryBytesAndReopeningClients) {
    TBoardProcess board;
    {
        TPort port(board.Link, 2400);
        port.Send(Noise(20000));
        std::this_thread::sleep_for(600ms);
        EXPECT_TRUE(IsStatus(port.Exchange(Status)));
    }
    for (int i = 0; i < 20; ++i) {
        TPort port(board.Link, 2400);
        EXPECT_TRUE(IsStatus(port.Exchange(Status, static_cast<std::uint8_t>(i)), i));
    }
    // A client that takes the pty as its controlling terminal (wineserver does) and ends.
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        _exit(open(board.Link.c_str(), O_RDWR) >= 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    TPort port(board.Link, 2400);
    EXPECT_TRUE(IsStatus(port.Exchange(Status)));
}
