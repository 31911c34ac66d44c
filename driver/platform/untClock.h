// The platform seam for clocks.
#pragma once

#include <cstdint>

// Milliseconds since an arbitrary start, monotonic, wrapping at 2^32.
std::uint32_t TickCount();

struct TLocalTime {
    int Year, Month, Day, Hour, Minute, Second, Millisecond;
};
TLocalTime LocalTimeNow();
