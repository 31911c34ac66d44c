// One client request line -> its answer. A member request runs as one unit on the driver:
// every name and value checked first, then the settings in order, the call, the reads.
#pragma once

#include "untDaemonDriver.h"

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>

using TJson = nlohmann::ordered_json;

// A request that cannot run; its text (English) goes back as the answer's "error".
struct EBadRequest : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct TReply {
    TJson Answer;
    bool Bad = false;   // an error answer
    int Subscribe = -1; // 1: the client subscribes, 0: it unsubscribes
    int Code = 0;       // the call's result, for the link's state
};

TReply ServeLine(TDaemonDriver& driver, const std::string& device, const std::string& line);

// A member's value as JSON and back; throws EBadRequest for a value of another type.
TJson ValueToJson(const TMember& member, const TMemberValue& value);
// `named`: the name as the client wrote it, for the message (the English name when empty).
TMemberValue ValueFromJson(const TMember& member, const TJson& value, const std::string& named = {});

// The answer text for one whose request could not be read at all.
std::string ErrorLine(const TJson& id, const std::string& why);
// An answer as the line that goes out, newline included; never throws for bad text.
std::string Line(const TJson& answer);
