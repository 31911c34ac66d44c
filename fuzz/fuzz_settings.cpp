// The settings file under any content: every value read through the store, the driver's load,
// and a save that loads back the same and keeps the values the driver does not own.
//
// Input: the whole settings file of the driver's key.
#include "driver/core/untConst.h"
#include "untDriver.h"
#include "untFuzzSupport.h"
#include "untSettingsStore.h"

#include <cstdint>
#include <fstream>
#include <map>

namespace {
// How a value reads: "i <number>", "s <text>" or "-" when it reads as neither.
std::string Reading(const TSettingsKey& key, const std::string& name) {
    std::string reading = "-";
    try {
        const std::int32_t value = key.ReadInteger(name);
        Require(key.ReadBool(name) == (value != 0), "ReadBool disagrees with ReadInteger", name);
        reading = "i " + std::to_string(value);
    } catch (const std::exception&) {
    }
    try {
        const std::string value = key.ReadString(name);
        Require(reading == "-", "a value reads as a number and as a string", name);
        reading = "s " + value;
    } catch (const std::exception&) {
    }
    return reading;
}

std::map<std::string, std::string> Readings() {
    TSettingsKey key;
    Require(key.OpenRead(RegKeyParam), "the settings key does not open");
    std::map<std::string, std::string> readings;
    // A name in the file that is no UTF-8 lists as one that cannot be looked up: nothing to read.
    for (const std::string& name : key.ValueNames())
        if (key.ValueExists(name))
            readings[name] = Reading(key, name);
    return readings;
}

struct TSettings {
    int Timeout, CommandTimeout, BaudRate, PortNumber;
    std::string ComLogFile;
    bool LogOn, LogMethods, LogCommands;

    explicit TSettings(const TDriver& d)
        : Timeout(d.GetTimeout()), CommandTimeout(d.GetCommandTimeout()), BaudRate(d.GetBaudRate()),
          PortNumber(d.GetPortNumber()), ComLogFile(d.GetComLogFile()), LogOn(d.GetLogOn()),
          LogMethods(d.GetLogMethods()), LogCommands(d.GetLogCommands()) {}
    bool operator==(const TSettings& o) const {
        return Timeout == o.Timeout && CommandTimeout == o.CommandTimeout &&
               BaudRate == o.BaudRate && PortNumber == o.PortNumber && ComLogFile == o.ComLogFile &&
               LogOn == o.LogOn && LogMethods == o.LogMethods && LogCommands == o.LogCommands;
    }
};

const char* const DriverValues[] = {"Timeout",    "CommandTimeout", "BaudRate",   "PortNumber",
                                    "ComLogFile", "LogOn",          "LogMethods", "LogCommands"};

bool IsDriverValue(const std::string& name) {
    for (const char* v : DriverValues)
        if (name == v)
            return true;
    return false;
}

// A successful load took every value of the file, or the default where there is none.
void CheckLoaded(const TDriver& d, const std::map<std::string, std::string>& file) {
    auto number = [&](const char* name, int fallback) {
        auto it = file.find(name);
        return it == file.end() ? fallback : std::stoi(it->second.substr(2));
    };
    Require(d.GetTimeout() == number("Timeout", d.GetDefaultTimeout()), "Timeout not loaded");
    Require(d.GetCommandTimeout() == number("CommandTimeout", d.GetDefaultCommandTimeout()),
            "CommandTimeout not loaded");
    Require(d.GetPortNumber() == number("PortNumber", d.GetDefaultPortNumber()),
            "PortNumber not loaded");
    const int rate = number("BaudRate", d.GetDefaultBaudRate());
    Require(d.GetBaudRate() == (IsValidBaudRate(rate) ? rate : d.GetDefaultBaudRate()),
            "BaudRate not loaded");
    Require(d.GetLogOn() == (number("LogOn", 0) != 0), "LogOn not loaded");
    Require(d.GetLogMethods() == (number("LogMethods", 0) != 0), "LogMethods not loaded");
    Require(d.GetLogCommands() == (number("LogCommands", 1) != 0), "LogCommands not loaded");
    auto log = file.find("ComLogFile");
    Require(d.GetComLogFile() == (log == file.end() ? "" : log->second.substr(2)),
            "ComLogFile not loaded");
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::filesystem::create_directories(FuzzHome() + "/Norvik/Trelmo/Trelmo");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string file = FuzzHome() + "/Norvik/Trelmo/Trelmo/Param.conf";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        Require(static_cast<bool>(out), "cannot write the settings file");
    }
    const std::map<std::string, std::string> before = Readings();

    TDriver loaded; // loads in its constructor
    const int result = loaded.LoadRegParams();
    Require(result == 0 || result == ecFailure, "a load result other than 0 and -199",
            std::to_string(result));
    Require(!loaded.GetResultDescription().empty(), "an empty result text");
    bool wrongType = false;
    for (const char* name : DriverValues) {
        auto it = before.find(name);
        const char type = name == std::string("ComLogFile") ? 's' : 'i';
        wrongType = wrongType || (it != before.end() && it->second[0] != type);
    }
    Require((result == ecFailure) == wrongType,
            wrongType ? "a value of the wrong type loaded" : "a load failed on sound values",
            loaded.GetResultDescription());
    if (result == 0)
        CheckLoaded(loaded, before);

    Require(loaded.SaveRegParams() == 0, "the save failed", loaded.GetResultDescription());
    TDriver reloaded;
    Require(reloaded.LoadRegParams() == 0, "the saved settings do not load",
            reloaded.GetResultDescription());
    Require(TSettings(reloaded) == TSettings(loaded), "the saved settings load back different");

    const std::map<std::string, std::string> after = Readings();
    for (const auto& [name, reading] : before) {
        if (IsDriverValue(name))
            continue;
        auto it = after.find(name);
        Require(it != after.end() && it->second == reading, "the save changed another value",
                name + ": " + reading + " -> " + (it == after.end() ? "gone" : it->second));
    }
    return 0;
}
