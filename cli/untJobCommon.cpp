#include "untJobCommon.h"

#include "untCodePage.h"
#include "untDriver.h"
#include "untRun.h"
#include "untValues.h"

#include <algorithm>
#include <iostream>
#include <sstream>

namespace {
bool IsSetting(const std::string& arg) {
    const std::size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0 || arg[0] == '-')
        return false;
    const TMember* member = FindMember(Utf8ToCp1251(arg.substr(0, eq)));
    return member && member->IsProperty();
}

int NumberIn(const TJobArgs& args, const std::string& option, const std::string& text, int min,
             int max) {
    std::int32_t value = 0;
    if (!ParseLong(text, value) || value < min || value > max)
        throw EUsage(args.Job + ": " + option + " takes " + std::to_string(min) + " to " +
                     std::to_string(max) + ", not '" + text + "'");
    return value;
}
} // namespace

int TJobArgs::Number(const std::string& option, int fallback, int min, int max) const {
    const auto found = Options.find(option);
    return found == Options.end() ? fallback : NumberIn(*this, option, found->second, min, max);
}

std::vector<int> TJobArgs::Numbers(const std::string& option, int min, int max) const {
    std::vector<int> numbers;
    const auto found = Options.find(option);
    if (found == Options.end())
        return numbers;
    std::istringstream list(found->second);
    for (std::string item; std::getline(list, item, ',');)
        numbers.push_back(NumberIn(*this, option, item, min, max));
    if (numbers.empty())
        throw EUsage(Job + ": " + option + " needs a list such as 1,2");
    return numbers;
}

TJobArgs ParseJobArgs(const TCommandLine& line, const std::vector<std::string>& options,
                      std::size_t operands) {
    TJobArgs args;
    args.Job = line.Command;
    const std::vector<std::string>& in = line.CommandArgs;
    bool onlyOperands = false;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const std::string& arg = in[i];
        if (onlyOperands || arg.size() < 2) {
            args.Operands.push_back(arg);
        } else if (arg == "--") {
            onlyOperands = true;
        } else if (arg[0] == '-') {
            const std::size_t eq = arg.find('=');
            const std::string name = arg.substr(0, eq);
            if (name == "--device")
                throw EUsage("--device comes before the command: trelmo --device PATH " + args.Job +
                             " ...");
            if (std::find(options.begin(), options.end(), name) == options.end())
                throw EUsage(args.Job + ": unknown option '" + name + "'");
            if (eq != std::string::npos)
                args.Options[name] = arg.substr(eq + 1);
            else if (i + 1 < in.size())
                args.Options[name] = in[++i];
            else
                throw EUsage(args.Job + ": " + name + " needs a value");
        } else if (IsSetting(arg)) {
            args.Settings.push_back(ParseAction(arg));
        } else {
            args.Operands.push_back(arg);
        }
    }
    if (args.Operands.size() != operands)
        throw EUsage(args.Job + " takes " + std::to_string(operands) + " argument" +
                     (operands == 1 ? "" : "s") + " besides its options and settings, not " +
                     std::to_string(args.Operands.size()));
    return args;
}

void SetUpDriver(TDriver& driver, const TCommandLine& line, const TJobArgs& args) {
    if (!line.Device.empty())
        driver.SetDevicePath(line.Device);
    std::ostringstream none;
    RunActions(driver, args.Settings, none);
}

int Call(TDriver& driver, const char* method) {
    return InvokeMethod(*FindMember(method, TMemberKind::Method), driver);
}

std::string ResultLine(const TDriver& driver, const std::string& label) {
    return label + ": " + std::to_string(driver.GetResultCode()) + ' ' +
           OneLine(Cp1251ToUtf8(driver.GetResultDescription()));
}

bool DriverFileName(const std::string& utf8Path, std::string& name) {
    name = Utf8ToCp1251(utf8Path);
    return Cp1251ToUtf8(name) == utf8Path;
}

int JobFailed(const std::string& job, const std::string& text) {
    std::cout.flush();
    std::cerr << "trelmo: " << job << ": " << text << std::endl;
    return exFailed;
}
