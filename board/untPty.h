// The board's end of the serial line: a pseudo-terminal whose terminal side is published
// under a fixed path (a symbolic link) for clients to open like a serial port.
#pragma once

#include "untProtocol.h"

#include <string>
#include <termios.h>

class TPty {
public:
    TPty() = default;
    ~TPty();
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    // Creates the pty, sets its line to raw 8N1 at `baudRate` and points `linkPath` at the
    // terminal side. Throws std::runtime_error on failure and leaves the pty closed.
    void Open(const std::string& linkPath, int baudRate);
    // Closes both ends and removes the link, if it still points at this pty.
    void Close();
    bool Opened() const { return MasterFd >= 0; }

    int Fd() const { return MasterFd; }
    const std::string& TerminalPath() const { return Terminal; }

    // Reads what the client sent. Returns -1 with errno on failure (EAGAIN: nothing pending,
    // EIO: no terminal side open).
    long Read(char* buffer, std::size_t size);
    // Writes as much as the line takes now; returns the count written, or -1 with errno.
    long Write(const TBytes& data);
    // The speed the client set on the line, in bits per second (0 when unknown).
    int LineBaudRate() const;
    // Reopens the terminal side after a hangup, so the master stops reporting EIO.
    bool Reattach();

private:
    void CreateMaster();
    void OpenTerminal(int baudRate);
    void Publish(const std::string& linkPath);

    int MasterFd = -1;
    int TerminalFd = -1; // held open so the pty survives clients closing it
    std::string Terminal;
    std::string LinkPath;
};

// termios speed constant <-> bits per second; 0 and B0 for rates termios does not know.
int SpeedToBaud(speed_t speed);
speed_t BaudToSpeed(int baudRate);
