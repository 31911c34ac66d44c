#include "untArgs.h"

#include "untCodePage.h"
#include "untCommands.h"
#include "untRun.h"
#include "untValues.h"

#include <unordered_map>

namespace {
const TMember& Resolve(const std::string& utf8Name, bool& russian) {
    const TMember* member = FindMember(Utf8ToCp1251(utf8Name));
    if (!member)
        throw EUsage("unknown method or property '" + utf8Name + "'");
    russian = !SameName(member->Name, Utf8ToCp1251(utf8Name));
    if (!ToolHas(*member))
        throw EUsage(NotInTool(*member));
    return *member;
}

TAction Assignment(const std::string& name, const std::string& text) {
    TAction action{TActionKind::Set, nullptr, false, {}};
    action.Member = &Resolve(name, action.Russian);
    const TMember& m = *action.Member;
    if (m.IsMethod())
        throw EUsage(action.Label() + " is a method and takes no value");
    if (!m.Writable)
        throw EUsage(action.Label() + " is read-only");
    if (!ParseValue(m.Type, text, action.Value))
        throw EUsage("bad value '" + text + "' for " + action.Label() + " (" + TypeName(m.Type) +
                     "): " + ValueSyntax(m.Type));
    return action;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The value of "--name VALUE" or "--name=VALUE" at args[i], or false when args[i] is not
// that option.
bool Valued(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
            std::string& value) {
    const std::string& arg = args[i];
    if (arg == name && i + 1 < args.size())
        value = args[++i];
    else if (StartsWith(arg, name + "="))
        value = arg.substr(name.size() + 1);
    else if (arg != name)
        return false;
    if (value.empty())
        throw EUsage(name + " needs a " + (name == "--device" ? "device" : "socket") + " path");
    return true;
}

// The service exists only on the POSIX systems: the Windows tool has no options for it.
#ifdef _WIN32
bool ServiceOption(const std::vector<std::string>&, std::size_t&, TCommandLine&) {
    return false;
}
#else
bool ServiceOption(const std::vector<std::string>& args, std::size_t& i, TCommandLine& line) {
    if (args[i] == "--direct")
        line.Direct = true;
    else if (!Valued(args, i, "--socket", line.Socket))
        return false;
    return true;
}
#endif

// Handles the option at args[i]; false when args[i] is not an option.
bool Option(const std::vector<std::string>& args, std::size_t& i, TCommandLine& line) {
    const std::string& arg = args[i];
    std::string path;
    if (arg == "--help" || arg == "-h")
        line.Help = true;
    else if (arg == "--version")
        line.Version = true;
    else if (Valued(args, i, "--device", path))
        line.Device = Utf8ToCp1251(path);
    else if (ServiceOption(args, i, line)) {
    } else if (arg.size() > 1 && arg[0] == '-' && arg.find('=') == std::string::npos)
        throw EUsage("unknown option '" + arg + "'");
    else
        return false;
    return true;
}
} // namespace

std::string TAction::Label() const {
    return Russian ? Cp1251ToUtf8(Member->RussianName) : Member->Name;
}

TAction ParseAction(const std::string& arg) {
    const std::size_t eq = arg.find('=');
    if (eq != std::string::npos)
        return Assignment(arg.substr(0, eq), arg.substr(eq + 1));
    TAction action{TActionKind::Get, nullptr, false, {}};
    action.Member = &Resolve(arg, action.Russian);
    if (action.Member->IsMethod())
        action.Kind = TActionKind::Call;
    return action;
}

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine line;
    std::size_t i = 0;
    for (; i < args.size() && Option(args, i, line); ++i) {
    }
    if (line.Help || line.Version)
        return line;
    if (i < args.size() && FindCommand(args[i])) {
        line.Command = args[i];
        line.CommandArgs.assign(args.begin() + static_cast<long>(i) + 1, args.end());
        return line;
    }
    // Scripts repeat an argument thousands of times (a status read in a loop), and a member
    // is found by comparing names one by one: each text is parsed once.
    std::unordered_map<std::string, TAction> parsed;
    line.Actions.reserve(args.size() - i);
    for (; i < args.size(); ++i) {
        if (args[i].size() > 1 && args[i][0] == '-' && args[i].find('=') == std::string::npos)
            throw EUsage("option '" + args[i] + "' must come before the arguments");
        auto found = parsed.find(args[i]);
        if (found == parsed.end())
            found = parsed.emplace(args[i], ParseAction(args[i])).first;
        line.Actions.push_back(found->second);
    }
    if (line.Actions.empty())
        throw EUsage("nothing to do: name a method or a property");
    return line;
}
