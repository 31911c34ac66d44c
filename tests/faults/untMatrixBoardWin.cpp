// The matrix's board under Wine: the test runner starts it with its line on one COM port and
// its control line (--control-tty) on another, which this program reaches with plain Win32
// file I/O, as a Windows process cannot reach the board's Unix socket.
#include "untFaultMatrix.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace faultmatrix {
namespace {
const DWORD ReplyMs = 5000;

HANDLE OpenPort(int number) {
    const std::wstring name = L"\\\\.\\COM" + std::to_wstring(number);
    return CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

class TComBoard : public TBoard {
public:
    TComBoard(int linePort, HANDLE control) : LinePort(linePort), Control(control) {}
    ~TComBoard() override { CloseHandle(Control); }

    std::string Command(const std::string& line) override {
        const std::string text = line + "\n";
        DWORD written = 0;
        if (!WriteFile(Control, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written != text.size())
            return "ERR control line write failed\n";
        std::string reply;
        for (std::string last; last != "OK" && last != "END" && last.rfind("ERR", 0) != 0;) {
            if (!ReadLine(last))
                return reply + "ERR no reply on the control line\n";
            reply += last + "\n";
        }
        return reply;
    }
    void Attach(TDriver& driver) override { driver.SetPortNumber(LinePort); }

private:
    // One byte per read: the read ends as soon as it came, and nothing of the next line is
    // taken away.
    bool ReadLine(std::string& line) {
        line.clear();
        for (;;) {
            char c = 0;
            DWORD got = 0;
            if (!ReadFile(Control, &c, 1, &got, nullptr) || got == 0)
                return false;
            if (c == '\n')
                return true;
            line += c;
        }
    }

    int LinePort;
    HANDLE Control;
};

std::unique_ptr<TComBoard> TheBoard;
} // namespace

// Wine reports the write to a vanished pty as a failure of the system (ERROR_NOT_READY).
const int GoneCode = -199;

bool SetUpBoard(int argc, char** argv) {
    const int linePort = argc > 2 ? std::atoi(argv[1]) : 0;
    const int controlPort = argc > 2 ? std::atoi(argv[2]) : 0;
    if (linePort <= 0 || controlPort <= 0) {
        std::printf("usage: test_fault_matrix [GoogleTest options] <board port> <control port>\n");
        return false;
    }
    const HANDLE control = OpenPort(controlPort);
    if (control == INVALID_HANDLE_VALUE) {
        std::printf("COM%d, the board's control line, does not open: error %lu\n", controlPort,
                    GetLastError());
        return false;
    }
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = ReplyMs;
    SetCommTimeouts(control, &timeouts);
    PurgeComm(control, PURGE_RXCLEAR | PURGE_TXCLEAR);
    TheBoard = std::make_unique<TComBoard>(linePort, control);
    return true;
}

TBoard& Board() {
    return *TheBoard;
}
} // namespace faultmatrix
