#include "untExchange.h"

#include <stdexcept>

nlohmann::json ServeHello(const TDaemonDriver&, const std::string&) {
    throw std::logic_error("not yet");
}

nlohmann::json ServeExchange(TDaemonDriver&, const nlohmann::json&) {
    throw std::logic_error("not yet");
}
