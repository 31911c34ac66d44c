// The board's side of the frame exchange: assembles request frames from the line, hands
// their payloads to the model and sends the answers, shaped by the active faults.
#pragma once

#include "untBoardModel.h"
#include "untFaults.h"
#include "untPty.h"

#include <deque>
#include <functional>
#include <random>
#include <string>
#include <vector>

// One line of the verbose trace.
using TTrace = std::function<void(const std::string&)>;

// What the receiver made of the bytes on the line.
struct TRxEvent {
    enum TKind { Frame, Skipped, BadChecksum, Timeout, Empty } kind;
    TBytes bytes;    // the whole frame, or the bytes dropped
    std::size_t end; // how many bytes of the data fed had arrived when the event came about
};

// Splits the incoming byte stream into frames. A partial frame is dropped when the line
// stays silent longer than the board's byte time-out.
class TFrameAssembler {
public:
    // `first` is when the data began to arrive (a partial frame silent for longer before
    // it is dropped), `last` when its last byte did.
    std::vector<TRxEvent> Feed(const TBytes& data, TMillis first, TMillis last, int byteTimeoutMs);
    // Drops a partial frame whose time-out has passed.
    std::vector<TRxEvent> Expire(TMillis now, int byteTimeoutMs);
    // When a partial frame would time out, or -1 with none pending.
    TMillis Deadline(int byteTimeoutMs) const;
    void Reset() { Partial.clear(); }

private:
    void Take(char byte, std::size_t end, std::vector<TRxEvent>& events);

    TBytes Partial;
    TMillis LastByte = 0;
};

// The longest processing delay, jitter or gap the board takes: 10 s.
const TMicros MaxLineDelayUs = 10000000;

// How the board's line keeps time. Off, answers leave as fast as the pty takes them.
struct TLineTiming {
    bool paced = false;  // 10 bits a byte at the board's speed, both ways
    TMicros processUs = 0; // from a request's last byte to its answer's first
    TMicros jitterUs = 0;  // each answer starts a random 0..jitterUs later
    TMicros gapsUs = 0;    // a random 0..gapsUs of silence before each answer byte but the first
};

// Microseconds `count` bytes (start bit, 8 data bits, stop bit each) take on the line,
// rounded up: a byte never arrives before its time.
TMicros LineTimeUs(std::size_t count, int baudRate);

// The board's transmitter: answer bytes wait for their time on the line (processing delay,
// delayed answers, gaps between bytes) and then take their time on the wire, one after the
// other. A byte is handed to the pty when its stop bit has gone, as the far UART would
// give it to its reader.
class TTransmitter {
public:
    // Queues `data` to go out no sooner than `notBefore` and `gapBefore` after the line's
    // previous byte, at `baudRate` (0: as fast as the pty takes it).
    void Schedule(const TBytes& data, TMicros notBefore, TMicros gapBefore, int baudRate);
    // Writes what is due; what the line does not take is lost, as on a real wire.
    void Flush(TPty& pty, TMicros now, const TTrace& trace);
    // When the next bytes are due, or -1 with none waiting. Fast lines hand bytes over in
    // batches of about a millisecond, never later than the answer's last byte.
    TMicros Deadline() const;
    void Reset();

private:
    struct TChunk {
        TMicros start;
        int baudRate;
        TBytes data;
        std::size_t sent;
        // When byte i has wholly arrived.
        TMicros DueOf(std::size_t i) const { return start + LineTimeUs(i + 1, baudRate); }
    };
    std::deque<TChunk> Queue;
    TMicros LineFreeAt = 0;
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
    void OnReadable(TMicros now);
    // Timed work: partial frame time-out, due answer bytes, the model's events.
    void OnTimer(TMicros now);
    TMicros Deadline() const;
    // Forgets the partial frame and the unsent answer, as a board reset does.
    void Discard();

    TLineTiming& Timing() { return Line; }
    // The line's timing as "name=value" lines.
    std::string DescribeTiming() const;

private:
    void Receive(const TBytes& data, TMicros now);
    void Handle(const TRxEvent& event, TMicros at);
    void Answer(const TBytes& frame, TMicros at);
    TBytes Respond(const TBytes& payload, const TAnswerFaults& faults, TMillis now);
    void Send(const TBytes& frame, const TAnswerFaults& faults, TMicros at, int baudRate);
    TMicros Random(TMicros limit);
    void OnHangup(TMicros now);
    void Log(const std::string& line) const;

    TBoardModel& Model;
    TFaultSet& Faults;
    TTrace Trace;
    TPty Pty;
    TFrameAssembler Assembler;
    TTransmitter Transmitter;
    std::string Path;
    bool Stalled = false; // the terminal side hung up and could not be reopened yet
    TMicros RetryAt = 0;
    TMicros Clock = 0; // the time of the work in hand
    TLineTiming Line;
    TMicros RxFreeAt = 0; // when the request bytes read so far have all arrived on the line
    std::minstd_rand Rng{std::random_device{}()};
};
