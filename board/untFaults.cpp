#include "untFaults.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {
struct TKindInfo {
    TFaultKind kind;
    const char* name;
    bool hexValue; // false with maxValue 0: takes no value
    int minValue;
    int maxValue;
};

const TKindInfo Kinds[] = {
    {TFaultKind::NoAnswer, "noanswer", false, 0, 0},
    {TFaultKind::Stx, "stx", false, 0, 0},
    {TFaultKind::Crc, "crc", false, 0, 0},
    {TFaultKind::Code, "code", false, 0, 0},
    {TFaultKind::Short, "short", false, 1, 255},
    {TFaultKind::Long, "long", false, 1, 255},
    {TFaultKind::Cut, "cut", false, 0, 260},
    {TFaultKind::Delay, "delay", false, 0, 60000},
    {TFaultKind::Gap, "gap", false, 0, 10000},
    {TFaultKind::Error, "error", true, 0, 255},
    {TFaultKind::Garbage, "garbage", false, 1, 4096},
    {TFaultKind::Trail, "trail", false, 1, 4096},
    {TFaultKind::Sequence, "seq", false, 0, 255},
};

const TKindInfo* FindKind(const std::string& name) {
    for (const TKindInfo& k : Kinds)
        if (name == k.name)
            return &k;
    return nullptr;
}

const TKindInfo& KindInfo(TFaultKind kind) {
    for (const TKindInfo& k : Kinds)
        if (k.kind == kind)
            return k;
    return Kinds[0];
}

bool TakesValue(const TKindInfo& k) {
    return k.hexValue || k.maxValue > 0;
}

// Whole-word numbers only: "12x" or "" are refused, not read as 12 or 0.
bool ParseNumber(const std::string& text, bool hex, int& value) {
    std::string digits = text;
    if (hex && digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits.erase(0, 2);
    if (digits.empty() || digits.size() > 6)
        return false;
    for (unsigned char c : digits)
        if (hex ? !std::isxdigit(c) : !std::isdigit(c))
            return false;
    value = static_cast<int>(std::stol(digits, nullptr, hex ? 16 : 10));
    return true;
}

std::string Hex(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

bool ParseModifiers(const std::vector<std::string>& words, std::size_t i, TFault& fault,
                    std::string& error) {
    for (; i < words.size(); ++i) {
        if (words[i] == "always" || words[i] == "once") {
            fault.always = words[i] == "always";
        } else if (words[i] == "for") {
            if (++i == words.size() || !ParseNumber(words[i], true, fault.command) ||
                fault.command > 0xFF) {
                error = "for needs a command code in hex, 00 to FF";
                return false;
            }
        } else {
            error = "unexpected '" + words[i] + "'";
            return false;
        }
    }
    return true;
}
} // namespace

bool ParseFault(const std::vector<std::string>& words, TFault& fault, std::string& error) {
    if (words.empty()) {
        error = "fault needs a kind";
        return false;
    }
    const TKindInfo* kind = FindKind(words[0]);
    if (!kind) {
        error = "unknown fault '" + words[0] + "'";
        return false;
    }
    fault = TFault();
    fault.kind = kind->kind;
    std::size_t next = 1;
    if (TakesValue(*kind)) {
        if (words.size() < 2 || !ParseNumber(words[1], kind->hexValue, fault.value) ||
            fault.value < kind->minValue || fault.value > kind->maxValue) {
            error = std::string(kind->name) + " needs a " + (kind->hexValue ? "hex " : "") +
                    "value from " +
                    (kind->hexValue ? Hex(kind->minValue) : std::to_string(kind->minValue)) +
                    " to " +
                    (kind->hexValue ? Hex(kind->maxValue) : std::to_string(kind->maxValue));
            return false;
        }
        next = 2;
    }
    return ParseModifiers(words, next, fault, error);
}

std::string FormatFault(const TFault& fault) {
    const TKindInfo& kind = KindInfo(fault.kind);
    std::string text = kind.name;
    if (TakesValue(kind))
        text += " " + (kind.hexValue ? Hex(fault.value) : std::to_string(fault.value));
    text += fault.always ? " always" : " once";
    if (fault.command >= 0)
        text += " for " + Hex(fault.command);
    return text;
}

bool TAnswerFaults::Has(TFaultKind kind) const {
    return std::any_of(Picked.begin(), Picked.end(),
                       [kind](const TFault& f) { return f.kind == kind; });
}

int TAnswerFaults::Value(TFaultKind kind) const {
    for (const TFault& f : Picked)
        if (f.kind == kind)
            return f.value;
    return 0;
}

bool TAnswerFaults::BoardError(std::uint8_t& error) const {
    if (!Has(TFaultKind::Error))
        return false;
    error = static_cast<std::uint8_t>(Value(TFaultKind::Error));
    return true;
}

// The code and the error byte stay: "short" only takes answer data away.
TBytes TAnswerFaults::ShapePayload(TBytes payload) const {
    if (Has(TFaultKind::Code) && !payload.empty())
        payload[0] = static_cast<char>(~payload[0]);
    if (Has(TFaultKind::Short) && payload.size() > 2) {
        const std::size_t drop =
            std::min(payload.size() - 2, static_cast<std::size_t>(Value(TFaultKind::Short)));
        payload.resize(payload.size() - drop);
    }
    if (Has(TFaultKind::Long)) {
        const std::size_t room = MaxPayloadSize - std::min(payload.size(), MaxPayloadSize);
        payload.append(std::min(room, static_cast<std::size_t>(Value(TFaultKind::Long))), '\0');
    }
    return payload;
}

TBytes TAnswerFaults::ShapeFrame(TBytes frame) const {
    if (frame.empty())
        return frame;
    // A board that does not echo the number: the frame stays valid.
    if (Has(TFaultKind::Sequence) && frame.size() > FrameHeaderSize) {
        frame[1] = static_cast<char>(Value(TFaultKind::Sequence));
        frame.back() = static_cast<char>(FrameCrc(frame.substr(1, frame.size() - 2)));
    }
    if (Has(TFaultKind::Stx))
        frame.front() = static_cast<char>(~frame.front());
    if (Has(TFaultKind::Crc))
        frame.back() = static_cast<char>(~frame.back());
    if (Has(TFaultKind::Cut))
        frame.resize(std::min(frame.size(), static_cast<std::size_t>(Value(TFaultKind::Cut))));
    if (Has(TFaultKind::Garbage))
        frame.insert(0, static_cast<std::size_t>(Value(TFaultKind::Garbage)), '\xFF');
    if (Has(TFaultKind::Trail))
        frame.append(static_cast<std::size_t>(Value(TFaultKind::Trail)), '\xFF');
    return frame;
}

TAnswerFaults TFaultSet::Take(std::uint8_t command) {
    std::vector<TFault> picked;
    for (auto it = Faults.begin(); it != Faults.end();) {
        const bool kindTaken = std::any_of(picked.begin(), picked.end(),
                                           [&](const TFault& f) { return f.kind == it->kind; });
        if (kindTaken || !it->Matches(command)) {
            ++it;
            continue;
        }
        picked.push_back(*it);
        it = it->always ? it + 1 : Faults.erase(it);
    }
    return TAnswerFaults(std::move(picked));
}
