#include "untExchange.h"

#include "untCodePage.h"
#include "untRun.h"
#include "untValues.h"

#include <limits>
#include <stdexcept>

namespace {
using nlohmann::json;

// The caller's own setting under `key`, taken as the driver takes it (a speed the line does
// not run at fails as on the wire); the service's when the request has none.
int Setting(const json& request, const char* key, int fallback) {
    const auto found = request.find(key);
    if (found == request.end())
        return fallback;
    if (!found->is_number_integer() || *found < std::numeric_limits<int>::min() ||
        *found > std::numeric_limits<int>::max())
        throw std::invalid_argument(std::string("\"") + key + "\" must be a 32-bit whole number");
    return found->get<int>();
}

TBytes Payload(const json& request) {
    const auto hex = request.find("exchange");
    TBytes payload;
    if (hex == request.end() || !hex->is_string() || !ParseBytes(hex->get<std::string>(), payload))
        throw std::invalid_argument("\"exchange\" must be the payload as hex text");
    if (payload.empty() || payload.size() > MaxPayloadSize)
        throw std::invalid_argument("\"exchange\" must be 1 to " +
                                    std::to_string(MaxPayloadSize) + " bytes");
    return payload;
}
} // namespace

json ServeHello(const TDaemonDriver& driver, const std::string& device) {
    return {{"service", "trelmod"},
            {"version", ToolVersion()},
            {"device", Cp1251ToUtf8(device)},
            {"baud", driver.GetBaudRate()}};
}

json ServeExchange(TDaemonDriver& driver, const json& request) {
    const TBytes payload = Payload(request);
    const int baud = Setting(request, "baud", driver.GetBaudRate());
    const int timeout = Setting(request, "timeout", driver.GetTimeout());
    const int commandTimeout = Setting(request, "command_timeout", driver.GetCommandTimeout());
    const TForwarded forwarded = driver.Forward(payload, baud, timeout, commandTimeout);
    return {{"code", forwarded.Code},
            {"text", Cp1251ToUtf8(forwarded.Text)},
            {"answer", StrToHex(forwarded.Answer)},
            {"output", forwarded.Output},
            {"input", forwarded.Input},
            {"time", forwarded.Time}};
}
