// The tool's way to trelmod, the board's service on a Linux kiosk: while the service holds
// the board's port, the tool hands it each exchange on its socket instead of opening the
// port. Only the POSIX build has a service; on Windows no link ever opens.
#pragma once

#include "untProtocol.h"

#include <cstdint>
#include <memory>
#include <string>

// What the service made of one exchange, as the driver's own exchange would leave it.
struct TServiceAnswer {
    int Code = 0;              // 0, or the driver code the exchange failed with
    std::string Text;          // cp1251, the failure's text
    TBytes Answer;             // the answer payload when Code is 0
    std::string Output, Input; // the frames in hex, as the Output and Input properties
    std::uint16_t Time = 0;    // ms, as ExecutionTime
};

class TServiceLink {
public:
    // A link to the service listening at `socketPath` when it answers and its port is
    // `device` (cp1251, compared after resolving links); null when there is no such service.
    static std::unique_ptr<TServiceLink> Open(const std::string& socketPath,
                                              const std::string& device);
    ~TServiceLink();
    TServiceLink(const TServiceLink&) = delete;
    TServiceLink& operator=(const TServiceLink&) = delete;

    // One exchange at the caller's line speed and time-outs. Throws EDriverError -1 when the
    // service has gone or does not answer in time; the link is of no further use then.
    TServiceAnswer Exchange(const TBytes& payload, int baudRate, int timeout, int commandTimeout);

private:
    struct TImpl;
    explicit TServiceLink(std::unique_ptr<TImpl> impl);
    std::unique_ptr<TImpl> Impl;
};

// The socket the tool looks for when the command line names none: $TRELMOD_SOCKET, else the
// service's own default.
std::string DefaultServiceSocket();
