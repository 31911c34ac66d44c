// The tool's driver: while trelmod serves the tool's device, the tool's exchanges go through
// the service's socket (the service holds the port); otherwise it opens the port itself.
// Decided at the first exchange, so runs that never reach the board never look for the service.
#pragma once

#include "untArgs.h"
#include "untDriver.h"

#include <memory>
#include <string>

class TServiceLink;

class TToolDriver : public TDriver {
public:
    // Takes the command line's device, service socket and --direct.
    explicit TToolDriver(const TCommandLine& line);
    ~TToolDriver() override;

    // Whether the exchanges go through the service now; looks for it when not yet decided.
    bool ThroughService();

protected:
    TBytes Exchange(const TBytes& payload) override;
    void OpenComm() override;

private:
    const std::string SocketPath;
    const bool Direct;
    std::unique_ptr<TServiceLink> Service;
    // What the decision is for: a search moves from port to port. The port number's device
    // is looked up in the port map only when deciding, not at every exchange.
    bool Decided = false;
    std::string DecidedPath;
    int DecidedPort = 0;
};
