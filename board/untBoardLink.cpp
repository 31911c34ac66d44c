#include "untBoardLink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>

namespace {
const TMillis StallRetryMs = 100;

TMillis Earliest(TMillis a, TMillis b) {
    if (a < 0)
        return b;
    if (b < 0)
        return a;
    return std::min(a, b);
}

std::size_t FrameSize(const TBytes& partial) {
    return partial.size() < FrameHeaderSize
               ? FrameHeaderSize + 1
               : FrameHeaderSize + static_cast<unsigned char>(partial[3]) + 1;
}
} // namespace

std::vector<TRxEvent> TFrameAssembler::Feed(const TBytes& data, TMillis first, TMillis last,
                                            int byteTimeoutMs) {
    std::vector<TRxEvent> events = Expire(first, byteTimeoutMs);
    for (std::size_t i = 0; i < data.size(); ++i)
        Take(data[i], i + 1, events);
    if (!data.empty())
        LastByte = last;
    return events;
}

void TFrameAssembler::Take(char byte, std::size_t end, std::vector<TRxEvent>& events) {
    if (Partial.empty() && static_cast<std::uint8_t>(byte) != STX) {
        if (events.empty() || events.back().kind != TRxEvent::Skipped)
            events.push_back({TRxEvent::Skipped, TBytes(), end});
        events.back().bytes += byte;
        events.back().end = end;
        return;
    }
    Partial += byte;
    if (Partial.size() < FrameSize(Partial))
        return;
    TRxEvent::TKind kind = TRxEvent::Frame;
    if (FrameCrc(Partial.substr(1, Partial.size() - 2)) !=
        static_cast<std::uint8_t>(Partial.back()))
        kind = TRxEvent::BadChecksum;
    else if (Partial[3] == 0)
        kind = TRxEvent::Empty;
    events.push_back({kind, Partial, end});
    Partial.clear();
}

std::vector<TRxEvent> TFrameAssembler::Expire(TMillis now, int byteTimeoutMs) {
    std::vector<TRxEvent> events;
    if (!Partial.empty() && now - LastByte > byteTimeoutMs) {
        events.push_back({TRxEvent::Timeout, Partial, 0});
        Partial.clear();
    }
    return events;
}

TMillis TFrameAssembler::Deadline(int byteTimeoutMs) const {
    return Partial.empty() ? -1 : LastByte + byteTimeoutMs + 1;
}

TMicros LineTimeUs(std::size_t count, int baudRate) {
    if (baudRate <= 0)
        return 0;
    const TMicros bits = static_cast<TMicros>(count) * 10 * 1000000;
    return (bits + baudRate - 1) / baudRate;
}

void TTransmitter::Schedule(const TBytes& data, TMicros notBefore, TMicros gapBefore,
                            int baudRate) {
    const TMicros start = std::max(notBefore, LineFreeAt + gapBefore);
    Queue.push_back({start, baudRate, data, 0});
    LineFreeAt = start + LineTimeUs(data.size(), baudRate);
}

void TTransmitter::Flush(TPty& pty, TMicros now, const TTrace& trace) {
    while (!Queue.empty() && Queue.front().start <= now) {
        TChunk& chunk = Queue.front();
        std::size_t due = chunk.data.size();
        if (chunk.baudRate > 0) {
            const TMicros arrived = (now - chunk.start) * chunk.baudRate / (10 * 1000000);
            due = static_cast<std::size_t>(std::min<TMicros>(arrived, chunk.data.size()));
        }
        if (due > chunk.sent) {
            const TBytes data = chunk.data.substr(chunk.sent, due - chunk.sent);
            chunk.sent = due;
            const long written = pty.Write(data);
            const std::string reason = written < 0 && errno != EAGAIN ? std::strerror(errno)
                                                                      : std::string("line full");
            const std::size_t sent = written > 0 ? static_cast<std::size_t>(written) : 0;
            if (sent < data.size() && trace)
                trace("-- not sent (" + reason + "): " + StrToHex(data.substr(sent)));
        }
        if (chunk.sent < chunk.data.size())
            break;
        Queue.pop_front();
    }
}

TMicros TTransmitter::Deadline() const {
    if (Queue.empty())
        return -1;
    const TChunk& chunk = Queue.front();
    if (chunk.baudRate <= 0)
        return chunk.start;
    // About a millisecond's bytes at once: the reader cannot tell, and the board spares
    // itself a wake-up per byte at high speeds.
    const std::size_t batch = std::max(1, chunk.baudRate / 10000);
    return chunk.DueOf(std::min(chunk.sent + batch, chunk.data.size()) - 1);
}

void TTransmitter::Reset() {
    Queue.clear();
    LineFreeAt = 0;
}

TBoardLink::TBoardLink(TBoardModel& model, TFaultSet& faults, TTrace trace)
    : Model(model), Faults(faults), Trace(std::move(trace)) {}

void TBoardLink::Log(const std::string& line) const {
    if (Trace)
        Trace(line);
}

void TBoardLink::Open(const std::string& linkPath) {
    Discard();
    Pty.Open(linkPath, Model.LineBaudRate());
    Path = linkPath;
    Stalled = false;
}

void TBoardLink::GoAway() {
    Discard();
    Pty.Close();
    Stalled = false;
}

void TBoardLink::Discard() {
    Assembler.Reset();
    Transmitter.Reset();
}

void TBoardLink::OnReadable(TMicros now) {
    Clock = now;
    char buffer[4096];
    for (;;) {
        const long n = Pty.Read(buffer, sizeof buffer);
        if (n > 0) {
            Receive(TBytes(buffer, static_cast<std::size_t>(n)), now);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno == EIO)
            OnHangup(now);
        break;
    }
    Transmitter.Flush(Pty, now, Trace);
}

// Normally unreachable, as the board holds the terminal side open itself; but a client
// that takes the pty as its controlling terminal hangs it up for everyone when it ends.
void TBoardLink::OnHangup(TMicros now) {
    if (Pty.Reattach()) {
        Log("-- line hung up: terminal side reopened");
        Stalled = false;
        return;
    }
    if (!Stalled)
        Log("-- line hung up: terminal side cannot be reopened, retrying");
    Stalled = true;
    RetryAt = now + StallRetryMs * 1000;
}

// Bytes sent at another speed reach a real board as noise, and so do bytes that arrive
// while it restarts; either way a partial frame is spoiled. A paced line delivers what the
// client wrote at once over the time its bytes take; a frame is complete with its last byte.
void TBoardLink::Receive(const TBytes& data, TMicros now) {
    const TMillis nowMs = now / 1000;
    Model.Advance(nowMs);
    const int lineBaud = Pty.LineBaudRate();
    if (lineBaud != Model.LineBaudRate()) {
        Assembler.Reset();
        Log("-- noise (line at " + std::to_string(lineBaud) + " baud, board at " +
            std::to_string(Model.LineBaudRate()) + "): " + StrToHex(data));
        return;
    }
    if (Model.Restarting(nowMs)) {
        Assembler.Reset();
        Log("-- dropped (board restarting): " + StrToHex(data));
        return;
    }
    const int baud = Line.paced ? Model.LineBaudRate() : 0;
    const TMicros first = baud > 0 ? std::max(now, RxFreeAt) : now;
    RxFreeAt = first + LineTimeUs(data.size(), baud);
    for (const TRxEvent& event :
         Assembler.Feed(data, first / 1000, RxFreeAt / 1000, Model.ByteTimeoutMs()))
        Handle(event, first + LineTimeUs(event.end, baud));
}

void TBoardLink::Handle(const TRxEvent& event, TMicros at) {
    switch (event.kind) {
    case TRxEvent::Frame:
        Log("-> " + StrToHex(event.bytes));
        Answer(event.bytes, at);
        break;
    case TRxEvent::Skipped:
        Log("-- skipped (no STX): " + StrToHex(event.bytes));
        break;
    case TRxEvent::BadChecksum:
        Log("-- dropped (bad checksum): " + StrToHex(event.bytes));
        break;
    case TRxEvent::Timeout:
        Log("-- dropped (partial frame timed out): " + StrToHex(event.bytes));
        break;
    case TRxEvent::Empty:
        Log("-- dropped (empty payload): " + StrToHex(event.bytes));
        break;
    }
}

// The answer goes out at the speed the request came in: a speed change is answered at the
// old one.
void TBoardLink::Answer(const TBytes& frame, TMicros at) {
    const int baud = Model.LineBaudRate();
    const TBytes payload = frame.substr(FrameHeaderSize, frame.size() - FrameHeaderSize - 1);
    const TAnswerFaults faults = Faults.Take(static_cast<std::uint8_t>(payload[0]));
    for (const TFault& fault : faults.Faults())
        Log("!! fault " + FormatFault(fault));
    const TBytes answer = Respond(payload, faults, Clock / 1000);
    if (answer.empty()) {
        Log("-- no answer (board silent)");
        return;
    }
    const TBytes out = faults.ShapeFrame(
        BuildFrame(static_cast<std::uint8_t>(frame[1]), faults.ShapePayload(answer)));
    if (faults.Silent()) {
        Log("-- answer lost: " + StrToHex(out));
        return;
    }
    Log("<- " + StrToHex(out));
    Send(out, faults, at, baud);
}

// An injected board error refuses the command, as the board does with its own errors.
TBytes TBoardLink::Respond(const TBytes& payload, const TAnswerFaults& faults, TMillis now) {
    std::uint8_t error = 0;
    if (faults.BoardError(error))
        return TBytes{payload[0], static_cast<char>(error)};
    try {
        return Model.Execute(payload, now);
    } catch (const std::exception& e) {
        Log(std::string("-- model failed: ") + e.what());
        return TBytes();
    }
}

TMicros TBoardLink::Random(TMicros limit) {
    if (limit <= 0)
        return 0;
    return std::uniform_int_distribution<TMicros>(0, limit)(Rng);
}

void TBoardLink::Send(const TBytes& frame, const TAnswerFaults& faults, TMicros at,
                      int baudRate) {
    const int lineBaud = Line.paced ? baudRate : 0;
    const TMicros start = at + Line.processUs + Random(Line.jitterUs) +
                          static_cast<TMicros>(faults.DelayMs()) * 1000;
    const TMicros gap = static_cast<TMicros>(faults.GapMs()) * 1000;
    if (gap <= 0 && Line.gapsUs <= 0) {
        Transmitter.Schedule(frame, start, 0, lineBaud);
        return;
    }
    for (std::size_t i = 0; i < frame.size(); ++i)
        Transmitter.Schedule(frame.substr(i, 1), i == 0 ? start : 0,
                             i == 0 ? 0 : gap + Random(Line.gapsUs), lineBaud);
}

void TBoardLink::OnTimer(TMicros now) {
    Clock = now;
    Model.Advance(now / 1000);
    for (const TRxEvent& event : Assembler.Expire(now / 1000, Model.ByteTimeoutMs()))
        Handle(event, now);
    if (Stalled && now >= RetryAt)
        OnHangup(now);
    Transmitter.Flush(Pty, now, Trace);
}

namespace {
TMicros InMicros(TMillis ms) {
    return ms < 0 ? -1 : ms * 1000;
}
} // namespace

TMicros TBoardLink::Deadline() const {
    TMicros deadline = Earliest(InMicros(Model.NextEvent()), Transmitter.Deadline());
    if (Pty.Opened())
        deadline = Earliest(deadline, InMicros(Assembler.Deadline(Model.ByteTimeoutMs())));
    return Stalled ? Earliest(deadline, RetryAt) : deadline;
}

std::string TBoardLink::DescribeTiming() const {
    return "timing=" + std::to_string(Line.paced ? 1 : 0) +
           "\nprocess_us=" + std::to_string(Line.processUs) +
           "\njitter_us=" + std::to_string(Line.jitterUs) +
           "\ngaps_us=" + std::to_string(Line.gapsUs) + "\n";
}
