#include "untRequests.h"

#include "untCodePage.h"
#include "untExchange.h"
#include "untRun.h"
#include "untValues.h"

#include <climits>
#include <vector>

namespace {
const char* const RequestKeys[] = {"id",    "set",      "call", "get",     "subscribe",
                                   "hello", "exchange", "baud", "timeout", "command_timeout"};

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

bool IsVersion(const TMember& member) {
    return std::string(member.Name) == "Version";
}

const TMember& Find(const std::string& name, TMemberKind kind) {
    const TMember* member = FindMember(Utf8ToCp1251(name));
    if (!member)
        throw EBadRequest("unknown name " + Quoted(name));
    if (member->Kind != kind)
        throw EBadRequest(Quoted(name) + (member->IsMethod() ? " is a method" : " is a property"));
    if (!ToolHas(*member))
        throw EBadRequest(Quoted(name) + " belongs to the Windows driver's windows; not available "
                                         "in the service");
    return *member;
}

// The port and where the driver keeps its settings and log are the service's, set in its
// configuration: a client that changed them would cut every other client off the board, or
// have the service write files of the client's choosing.
void CheckNotServiceOwned(const TMember& member, const std::string& name) {
    static const char* const owned[] = {"PortNumber",   "BaudRate",      "Timeout",
                                        "CommandTimeout", "ComLogFile",  "SetDefaults",
                                        "LoadRegParams", "SaveRegParams"};
    for (const char* own : owned)
        if (std::string(member.Name) == own)
            throw EBadRequest(Quoted(name) + " is the service's own; set in trelmod.conf");
}

struct TSetting {
    const TMember* Member;
    TMemberValue Value;
};

struct TUnit {
    std::vector<TSetting> Settings;
    const TMember* Call = nullptr;
    std::vector<std::pair<std::string, const TMember*>> Reads;
};

TUnit Check(const TJson& request) {
    TUnit unit;
    if (request.contains("set")) {
        const TJson& set = request["set"];
        if (!set.is_object())
            throw EBadRequest("\"set\" takes an object of names and values");
        for (const auto& item : set.items()) {
            const TMember& member = Find(item.key(), TMemberKind::Property);
            if (!member.Set)
                throw EBadRequest(Quoted(item.key()) + " is read-only");
            CheckNotServiceOwned(member, item.key());
            unit.Settings.push_back({&member, ValueFromJson(member, item.value(), item.key())});
        }
    }
    if (request.contains("call")) {
        if (!request["call"].is_string())
            throw EBadRequest("\"call\" takes a method's name");
        const std::string name = request["call"].get<std::string>();
        unit.Call = &Find(name, TMemberKind::Method);
        CheckNotServiceOwned(*unit.Call, name);
    }
    if (request.contains("get")) {
        const TJson& get = request["get"];
        if (!get.is_array())
            throw EBadRequest("\"get\" takes an array of names");
        for (const TJson& name : get) {
            if (!name.is_string())
                throw EBadRequest("\"get\" takes an array of names");
            const std::string text = name.get<std::string>();
            unit.Reads.emplace_back(text, &Find(text, TMemberKind::Property));
        }
    }
    return unit;
}

TJson Run(TDaemonDriver& driver, const TUnit& unit, int& code) {
    for (const TSetting& setting : unit.Settings) {
        try {
            setting.Member->Set(driver, setting.Value);
        } catch (const std::exception& e) {
            throw EBadRequest(std::string(setting.Member->Name) + ": " + e.what());
        }
    }
    std::string text;
    if (unit.Call) {
        code = driver.Invoke(*unit.Call);
        text = Cp1251ToUtf8(driver.GetResultDescription());
    }
    TJson values = TJson::object();
    for (const auto& read : unit.Reads) {
        const TMember& member = *read.second;
        values[read.first] =
            ValueToJson(member, IsVersion(member) ? TMemberValue(std::string(ToolVersion()))
                                                  : member.Get(driver));
    }
    return {{"result", code}, {"text", text}, {"values", values}};
}

void CheckKeys(const TJson& request) {
    for (const auto& item : request.items()) {
        bool known = false;
        for (const char* key : RequestKeys)
            known = known || item.key() == key;
        if (!known)
            throw EBadRequest("unknown key " + Quoted(item.key()));
    }
    if (!request.contains("exchange"))
        for (const char* key : {"baud", "timeout", "command_timeout"})
            if (request.contains(key))
                throw EBadRequest(Quoted(key) + " goes with \"exchange\"");
}

TJson Serve(TDaemonDriver& driver, const std::string& device, const std::string& line,
            const TJson& request, TReply& reply) {
    CheckKeys(request);
    if (request.contains("exchange"))
        return ServeExchange(driver, nlohmann::json::parse(line));
    if (request.contains("hello"))
        return ServeHello(driver, device);
    if (request.contains("subscribe")) {
        if (!request["subscribe"].is_boolean())
            throw EBadRequest("\"subscribe\" takes true or false");
        if (request.size() > (request.contains("id") ? 2u : 1u))
            throw EBadRequest("\"subscribe\" goes alone");
        reply.Subscribe = request["subscribe"].get<bool>();
        return {{"subscribed", request["subscribe"]}};
    }
    return Run(driver, Check(request), reply.Code);
}

// The parser's message without its library prefix.
std::string ParseFailure(const std::exception& e) {
    const std::string text = e.what();
    const std::size_t end = text.find("] ");
    return "not JSON: " + (end == std::string::npos ? text : text.substr(end + 2));
}
} // namespace

TJson ValueToJson(const TMember& member, const TMemberValue& value) {
    switch (member.Type) {
    case TMemberType::Long:
        return std::get<std::int32_t>(value);
    case TMemberType::Boolean:
        return std::get<bool>(value);
    case TMemberType::String:
        return Cp1251ToUtf8(std::get<std::string>(value));
    default:
        return FormatValue(value);
    }
}

TMemberValue ValueFromJson(const TMember& member, const TJson& value, const std::string& named) {
    const std::string name = Quoted(named.empty() ? std::string(member.Name) : named);
    switch (member.Type) {
    case TMemberType::Long:
        if (value.is_number_integer() && value >= INT_MIN && value <= INT_MAX)
            return value.get<std::int32_t>();
        throw EBadRequest(name + " takes a whole number from -2147483648 to 2147483647");
    case TMemberType::Boolean:
        if (value.is_boolean())
            return value.get<bool>();
        if (value.is_number_integer() && (value == 0 || value == 1))
            return value == 1;
        throw EBadRequest(name + " takes true or false");
    case TMemberType::String: {
        if (!value.is_string())
            throw EBadRequest(name + " takes a string");
        const std::string utf8 = value.get<std::string>();
        std::string text = Utf8ToCp1251(utf8);
        if (Cp1251ToUtf8(text) != utf8)
            throw EBadRequest(name + " takes characters of code page 1251 only");
        return text;
    }
    default: {
        TMemberValue parsed;
        if (!value.is_string() || !ParseValue(member.Type, value.get<std::string>(), parsed))
            throw EBadRequest(name + " takes a string: " + ValueSyntax(member.Type));
        return parsed;
    }
    }
}

TReply ServeLine(TDaemonDriver& driver, const std::string& device, const std::string& line) {
    TReply reply;
    TJson id = nullptr;
    try {
        TJson request;
        try {
            request = TJson::parse(line);
        } catch (const TJson::parse_error& e) {
            throw EBadRequest(ParseFailure(e));
        }
        if (!request.is_object())
            throw EBadRequest("a request is one JSON object");
        if (request.contains("id"))
            id = request["id"];
        reply.Answer = {{"id", id}};
        const TJson answer = Serve(driver, device, line, request, reply);
        for (const auto& item : answer.items())
            reply.Answer[item.key()] = item.value();
    } catch (const std::exception& e) {
        // Every failure of one request is that request's answer; the service goes on.
        reply.Bad = true;
        reply.Answer = {{"id", id}, {"error", e.what()}};
    }
    return reply;
}

std::string ErrorLine(const TJson& id, const std::string& why) {
    return Line({{"id", id}, {"error", why}});
}

std::string Line(const TJson& answer) {
    return answer.dump(-1, ' ', false, TJson::error_handler_t::replace) + "\n";
}
