// What the C++ heap holds, for the memory figures. A benchmark program that links
// untHeapCount.cpp replaces the global operator new and delete with counting ones; every
// C++ container of the driver allocates through them.
#pragma once

#include <cstdint>

struct THeapCount {
    std::int64_t LiveBytes = 0; // usable size of the blocks not yet freed
    std::int64_t LiveBlocks = 0;
    std::int64_t Allocations = 0; // every operator new so far
    std::int64_t AllocatedBytes = 0;
};

THeapCount HeapNow();

inline THeapCount operator-(const THeapCount& a, const THeapCount& b) {
    return {a.LiveBytes - b.LiveBytes, a.LiveBlocks - b.LiveBlocks, a.Allocations - b.Allocations,
            a.AllocatedBytes - b.AllocatedBytes};
}
