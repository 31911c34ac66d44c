// What the service does for `trelmo` beside it: says which device it serves, and carries out
// the tool's exchanges on the port it holds. The dispatcher adds the request's "id".
#pragma once

#include "untDaemonDriver.h"

#include <nlohmann/json.hpp>

#include <string>

// {"service": "trelmod", "version", "device", "baud"}; `device` is the port's path as the
// driver names it (cp1251: the driver's DevicePath or the device of its port number).
nlohmann::json ServeHello(const TDaemonDriver& driver, const std::string& device);
// throws std::invalid_argument (its what(): the error text) for a malformed request
nlohmann::json ServeExchange(TDaemonDriver& driver, const nlohmann::json& request);
