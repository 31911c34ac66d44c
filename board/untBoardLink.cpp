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

std::vector<TRxEvent> TFrameAssembler::Feed(const TBytes& data, TMillis now, int byteTimeoutMs) {
    std::vector<TRxEvent> events = Expire(now, byteTimeoutMs);
    for (char byte : data)
        Take(byte, events);
    if (!data.empty())
        LastByte = now;
    return events;
}

void TFrameAssembler::Take(char byte, std::vector<TRxEvent>& events) {
    if (Partial.empty() && static_cast<std::uint8_t>(byte) != STX) {
        if (events.empty() || events.back().kind != TRxEvent::Skipped)
            events.push_back({TRxEvent::Skipped, TBytes()});
        events.back().bytes += byte;
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
    events.push_back({kind, Partial});
    Partial.clear();
}

std::vector<TRxEvent> TFrameAssembler::Expire(TMillis now, int byteTimeoutMs) {
    std::vector<TRxEvent> events;
    if (!Partial.empty() && now - LastByte > byteTimeoutMs) {
        events.push_back({TRxEvent::Timeout, Partial});
        Partial.clear();
    }
    return events;
}

TMillis TFrameAssembler::Deadline(int byteTimeoutMs) const {
    return Partial.empty() ? -1 : LastByte + byteTimeoutMs + 1;
}

void TTransmitter::Flush(TPty& pty, TMillis now, const TTrace& trace) {
    while (!Queue.empty() && Queue.front().due <= now) {
        const TBytes data = std::move(Queue.front().data);
        Queue.pop_front();
        const long written = pty.Write(data);
        const std::string reason =
            written < 0 && errno != EAGAIN ? std::strerror(errno) : std::string("line full");
        const std::size_t sent = written > 0 ? static_cast<std::size_t>(written) : 0;
        if (sent < data.size() && trace)
            trace("-- not sent (" + reason + "): " + StrToHex(data.substr(sent)));
    }
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

void TBoardLink::OnReadable(TMillis now) {
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
void TBoardLink::OnHangup(TMillis now) {
    if (Pty.Reattach()) {
        Log("-- line hung up: terminal side reopened");
        Stalled = false;
        return;
    }
    if (!Stalled)
        Log("-- line hung up: terminal side cannot be reopened, retrying");
    Stalled = true;
    RetryAt = now + StallRetryMs;
}

// Bytes sent at another speed reach a real board as noise, and so do bytes that arrive
// while it restarts; either way a partial frame is spoiled.
void TBoardLink::Receive(const TBytes& data, TMillis now) {
    Model.Advance(now);
    const int lineBaud = Pty.LineBaudRate();
    if (lineBaud != Model.LineBaudRate()) {
        Assembler.Reset();
        Log("-- noise (line at " + std::to_string(lineBaud) + " baud, board at " +
            std::to_string(Model.LineBaudRate()) + "): " + StrToHex(data));
        return;
    }
    if (Model.Restarting(now)) {
        Assembler.Reset();
        Log("-- dropped (board restarting): " + StrToHex(data));
        return;
    }
    for (const TRxEvent& event : Assembler.Feed(data, now, Model.ByteTimeoutMs()))
        Handle(event, now);
}

void TBoardLink::Handle(const TRxEvent& event, TMillis now) {
    switch (event.kind) {
    case TRxEvent::Frame:
        Log("-> " + StrToHex(event.bytes));
        Answer(event.bytes, now);
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

void TBoardLink::Answer(const TBytes& frame, TMillis now) {
    const TBytes payload = frame.substr(FrameHeaderSize, frame.size() - FrameHeaderSize - 1);
    const TAnswerFaults faults = Faults.Take(static_cast<std::uint8_t>(payload[0]));
    for (const TFault& fault : faults.Faults())
        Log("!! fault " + FormatFault(fault));
    const TBytes answer = Respond(payload, faults, now);
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
    Send(out, faults, now);
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

void TBoardLink::Send(const TBytes& frame, const TAnswerFaults& faults, TMillis now) {
    const TMillis start = now + faults.DelayMs();
    const int gap = faults.GapMs();
    if (gap <= 0) {
        Transmitter.Schedule(frame, start);
    } else {
        for (std::size_t i = 0; i < frame.size(); ++i)
            Transmitter.Schedule(frame.substr(i, 1), start + static_cast<TMillis>(i) * gap);
    }
}

void TBoardLink::OnTimer(TMillis now) {
    Model.Advance(now);
    for (const TRxEvent& event : Assembler.Expire(now, Model.ByteTimeoutMs()))
        Handle(event, now);
    if (Stalled && now >= RetryAt)
        OnHangup(now);
    Transmitter.Flush(Pty, now, Trace);
}

TMillis TBoardLink::Deadline() const {
    TMillis deadline = Earliest(Model.NextEvent(), Transmitter.Deadline());
    if (Pty.Opened())
        deadline = Earliest(deadline, Assembler.Deadline(Model.ByteTimeoutMs()));
    return Stalled ? Earliest(deadline, RetryAt) : deadline;
}
