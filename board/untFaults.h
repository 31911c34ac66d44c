// Faults that the board can be told to put into its answers, for testing how a client
// copes with a bad line or a misbehaving board.
#pragma once

#include "untProtocol.h"

#include <string>
#include <utility>
#include <vector>

enum class TFaultKind {
    NoAnswer, // the command runs, its answer is lost
    Stx,      // first byte inverted
    Crc,      // checksum inverted
    Code,     // echoed command code inverted
    Short,    // value: answer data bytes removed from the end, frame stays valid
    Long,     // value: zero bytes appended to the answer data, frame stays valid
    Cut,      // value: only the first bytes of the frame go out
    Delay,    // value: ms before the answer
    Gap,      // value: ms between two bytes of the answer
    Error,    // value: board error code answered instead of running the command
    Garbage,  // value: 0xFF bytes sent before the frame
    Trail,    // value: 0xFF bytes sent after the frame, in the same write
    Sequence, // value: the sequence byte answered in place of the request's, checksum to match
};

struct TFault {
    TFaultKind kind = TFaultKind::NoAnswer;
    int value = 0;
    bool always = false; // otherwise only the next matching answer
    int command = -1;    // the command code it is restricted to, -1 for every command

    bool Matches(std::uint8_t code) const { return command < 0 || command == code; }
};

// Parses the words after "fault", e.g. {"error", "33", "always", "for", "1e"}. On failure
// returns false with the reason in `error`.
bool ParseFault(const std::vector<std::string>& words, TFault& fault, std::string& error);
// The fault in the syntax ParseFault reads, e.g. "error 33 always for 1E".
std::string FormatFault(const TFault& fault);

// The faults picked for one answer, and how they shape it.
class TAnswerFaults {
public:
    explicit TAnswerFaults(std::vector<TFault> picked) : Picked(std::move(picked)) {}

    bool Silent() const { return Has(TFaultKind::NoAnswer); }
    // True with the code when the board answers an error instead of running the command.
    bool BoardError(std::uint8_t& error) const;
    TBytes ShapePayload(TBytes payload) const;
    // Applied to the complete frame: first byte, checksum, cut, then the garbage in front and
    // the trail behind.
    TBytes ShapeFrame(TBytes frame) const;
    int DelayMs() const { return Value(TFaultKind::Delay); }
    int GapMs() const { return Value(TFaultKind::Gap); }
    const std::vector<TFault>& Faults() const { return Picked; }

private:
    bool Has(TFaultKind kind) const;
    int Value(TFaultKind kind) const;

    std::vector<TFault> Picked;
};

class TFaultSet {
public:
    void Add(const TFault& fault) { Faults.push_back(fault); }
    void Clear() { Faults.clear(); }
    const std::vector<TFault>& List() const { return Faults; }

    // Picks, of each kind, the first fault that matches the command; the picked `once`
    // faults are used up. Two `once` faults of one kind thus fail two answers in a row.
    TAnswerFaults Take(std::uint8_t command);

private:
    std::vector<TFault> Faults;
};
