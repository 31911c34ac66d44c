// The fuzzing build's serial line: no device behind the port, only a far end that a fuzz target
// plays. Every port opened talks to the same line.
#pragma once

#include "untProtocol.h"

class TFuzzLine {
public:
    // What the far end does about one write.
    struct TReply {
        TBytes Answer;           // arrives in the input queue once the write is through
        bool ShortWrite = false; // the write stops half-way, as on a stalled line
        bool ReadFails = false;  // a read that finds the queue empty fails, as on an unplugged
                                 // device, instead of timing out
    };

    virtual ~TFuzzLine() = default;
    virtual TReply Written(const TBytes& data) = 0;
    // The bytes one read hands to the driver.
    virtual void Delivered(const TBytes& data) = 0;
};

// nullptr (the start): writes vanish and reads time out.
void SetFuzzLine(TFuzzLine* line);
