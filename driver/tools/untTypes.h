// Types of the device search.
#pragma once

#include "TrelmoLib_TLB.h"
#include "untHolders.h"

#include <cstdint>

// What the search learnt of one port, packed into a list row's data word: the port number
// in bits 0 to 23, the last speed code tried in bits 24 to 30, found in bit 31.
struct TSearchRecord {
    int Port = 0;
    int RateCode = 0;
    bool Found = false;

    std::uint32_t Pack() const {
        return (static_cast<std::uint32_t>(Port) & 0xFFFFFF) |
               (static_cast<std::uint32_t>(RateCode & 0x7F) << 24) | (Found ? 0x80000000u : 0);
    }
    static TSearchRecord Unpack(std::uint32_t word) {
        return {static_cast<int>(word & 0xFFFFFF), static_cast<int>((word >> 24) & 0x7F),
                (word & 0x80000000u) != 0};
    }
};

// A new driver object of the library's own class, made through its class factory so that
// the search works whether or not the class is registered. Throws when it cannot be made.
class TSearchObject {
public:
    TSearchObject();
    ITrelmo* Get() const { return Object.Get(); }

private:
    TComPtr<ITrelmo> Object;
};
