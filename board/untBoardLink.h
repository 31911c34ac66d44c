// The board's side of the frame exchange: assembles request frames from the line, hands
// their payloads to the model and sends the answers, shaped by the active faults.
#pragma once

#include "untBoardModel.h"
#include "untFaults.h"
#include "untPty.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

// One line of the verbose trace.
using TTrace = std::function<void(const std::string&)>;

// What the receiver made of the bytes on the line.
struct TRxEvent {
    enum TKind { Frame, Skipped, BadChecksum, Timeout, Empty } kind;
    TBytes bytes; // the whole frame, or the bytes dropped
};

// Splits the incoming byte stream into frames. A partial frame is dropped when the line
// stays silent longer than the board's byte time-out.
class TFrameAssembler {
public:
    std::vector<TRxEvent> Feed(const TBytes& data, TMillis now, int byteTimeoutMs);
    // Drops a partial frame whose time-out has passed.
    std::vector<TRxEvent> Expire(TMillis now, int byteTimeoutMs);
    // When a partial frame would time out, or -1 with none pending.
    TMillis Deadline(int byteTimeoutMs) const;
    void Reset() { Partial.clear(); }

private:
    void Take(char byte, std::vector<TRxEvent>& events);

    TBytes Partial;
    TMillis LastByte = 0;
};

// Answer bytes waiting for their time on the line (delayed answers, gaps between bytes).
class TTransmitter {
public:
    void Schedule(const TBytes& data, TMillis due) { Queue.push_back({due, data}); }
    // Writes what is due; what the line does not take is lost, as on a real wire.
    void Flush(TPty& pty, TMillis now, const TTrace& trace);
    TMillis Deadline() const { return Queue.empty() ? -1 : Queue.front().due; }
    void Reset() { Queue.clear(); }

private:
    struct TChunk {
        TMillis due;
        TBytes data;
    };
    std::deque<TChunk> Queue;
};

class TBoardLink {
public:
    TBoardLink(TBoardModel& model, TFaultSet& faults, TTrace trace);

    // Publishes a new pty at `linkPath` (also after GoAway). Throws std::runtime_error.
    void Open(const std::string& linkPath);
    // Closes the pty and removes the link; the board itself keeps running.
    void GoAway();
    bool Present() const { return Pty.Opened(); }
    const std::string& LinkPath() const { return Path; }

    // The pty to poll for requests, or -1 while there is none to listen on.
    int Fd() const { return Stalled ? -1 : Pty.Fd(); }
    void OnReadable(TMillis now);
    // Timed work: partial frame time-out, due answer bytes, the model's events.
    void OnTimer(TMillis now);
    TMillis Deadline() const;
    // Forgets the partial frame and the unsent answer, as a board reset does.
    void Discard();

private:
    void Receive(const TBytes& data, TMillis now);
    void Handle(const TRxEvent& event, TMillis now);
    void Answer(const TBytes& frame, TMillis now);
    TBytes Respond(const TBytes& payload, const TAnswerFaults& faults, TMillis now);
    void Send(const TBytes& frame, const TAnswerFaults& faults, TMillis now);
    void OnHangup(TMillis now);
    void Log(const std::string& line) const;

    TBoardModel& Model;
    TFaultSet& Faults;
    TTrace Trace;
    TPty Pty;
    TFrameAssembler Assembler;
    TTransmitter Transmitter;
    std::string Path;
    bool Stalled = false; // the terminal side hung up and could not be reopened yet
    TMillis RetryAt = 0;
};
