// The tool's own requests to the service: who it is talking to, and exchanges of the tool's
// driver carried out on the service's line.
#pragma once

#include "untDaemonDriver.h"

#include <nlohmann/json.hpp>

#include <string>

nlohmann::json ServeHello(const TDaemonDriver& driver, const std::string& device);
// throws std::invalid_argument (its what(): the error text) for a malformed request
nlohmann::json ServeExchange(TDaemonDriver& driver, const nlohmann::json& request);
