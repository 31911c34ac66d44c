#include "untConfig.h"

#include "untState.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <stdexcept>

namespace {
std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

long long Number(const std::string& text, int base, long long min, long long max) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, base);
    if (text.empty() || *end != '\0' || errno != 0 || value < min || value > max)
        throw std::invalid_argument("'" + text + "' is not a number from " + std::to_string(min) +
                                    " to " + std::to_string(max));
    return value;
}

int Int(const std::string& text, long long min = 0, long long max = INT_MAX) {
    return static_cast<int>(Number(text, 10, min, max));
}

bool OnOff(const std::string& text) {
    const std::string word = Lower(text);
    if (word == "on" || word == "yes" || word == "true" || word == "1")
        return true;
    if (word == "off" || word == "no" || word == "false" || word == "0")
        return false;
    throw std::invalid_argument("'" + text + "' is neither on nor off");
}

// Seconds with up to three decimals, as the hold-offs are written.
int Millis(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(seconds >= 0) || seconds > 86400)
        throw std::invalid_argument("'" + text + "' is not a number of seconds from 0 to 86400");
    return static_cast<int>(seconds * 1000 + 0.5);
}

THookConfig& Hook(TConfig& config, const std::string& event) {
    const std::vector<std::string>& names = EventNames();
    if (std::find(names.begin(), names.end(), event) == names.end())
        throw std::invalid_argument("no event '" + event + "'");
    return config.Hooks[event];
}

void Apply(TConfig& c, const std::string& key, const std::string& value) {
    using TSetter = std::function<void(TConfig&, const std::string&)>;
    static const std::vector<std::pair<const char*, TSetter>> keys = {
        {"portnumber", [](TConfig& t, const std::string& v) { t.PortNumber = Int(v, 1, 255); }},
        {"baudrate", [](TConfig& t, const std::string& v) { t.BaudRate = Int(v, 1); }},
        {"timeout", [](TConfig& t, const std::string& v) { t.Timeout = Int(v); }},
        {"commandtimeout", [](TConfig& t, const std::string& v) { t.CommandTimeout = Int(v); }},
        {"device", [](TConfig& t, const std::string& v) { t.Device = v; }},
        {"socket", [](TConfig& t, const std::string& v) { t.Socket = v; }},
        {"socketgroup", [](TConfig& t, const std::string& v) { t.SocketGroup = v; }},
        {"socketmode",
         [](TConfig& t, const std::string& v) { t.SocketMode = int(Number(v, 8, 0, 0777)); }},
        {"maxline", [](TConfig& t, const std::string& v) { t.MaxLine = Int(v, 16); }},
        {"pollinterval", [](TConfig& t, const std::string& v) { t.PollMs = Int(v, 10); }},
        {"watchdog", [](TConfig& t, const std::string& v) { t.Watchdog = OnOff(v); }},
        {"watchdoginterval",
         [](TConfig& t, const std::string& v) { t.WatchdogIntervalMs = Int(v); }},
        {"metricsfile", [](TConfig& t, const std::string& v) { t.MetricsFile = v; }},
        {"metricsport", [](TConfig& t, const std::string& v) { t.MetricsPort = Int(v, 0, 65535); }},
    };
    const std::string name = Lower(key);
    for (const auto& known : keys)
        if (name == known.first)
            return known.second(c, value);
    if (name.rfind("hook.", 0) == 0) {
        Hook(c, name.substr(5)).Command = value;
        return;
    }
    if (name.rfind("holdoff.", 0) == 0) {
        Hook(c, name.substr(8)).HoldOffMs = Millis(value);
        return;
    }
    throw std::invalid_argument("unknown key '" + key + "'");
}
} // namespace

TConfig LoadConfig(const std::string& path, TConfig defaults) {
    std::ifstream file(path);
    if (!file)
        throw std::runtime_error(path + ": cannot be read");
    int number = 0;
    for (std::string line; std::getline(file, line);) {
        ++number;
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        try {
            const std::size_t eq = line.find('=');
            if (eq == std::string::npos)
                throw std::invalid_argument("a line is Key = value");
            Apply(defaults, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
        } catch (const std::invalid_argument& e) {
            throw std::runtime_error(path + ":" + std::to_string(number) + ": " + e.what());
        }
    }
    return defaults;
}
