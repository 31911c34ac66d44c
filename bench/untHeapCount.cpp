// The replaced global allocation functions. The benchmarks run on one thread, but Google
// Benchmark and the C++ runtime may allocate on others: the counters are atomic.
#include "untHeapCount.h"

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace {
std::atomic<std::int64_t> LiveBytes{0}, LiveBlocks{0}, Allocations{0}, AllocatedBytes{0};

std::size_t UsableSize(void* p) {
#ifdef _WIN32
    return _msize(p);
#else
    return malloc_usable_size(p);
#endif
}

void* Allocate(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (p) {
        const auto usable = static_cast<std::int64_t>(UsableSize(p));
        LiveBytes.fetch_add(usable, std::memory_order_relaxed);
        LiveBlocks.fetch_add(1, std::memory_order_relaxed);
        Allocations.fetch_add(1, std::memory_order_relaxed);
        AllocatedBytes.fetch_add(usable, std::memory_order_relaxed);
    }
    return p;
}

void Release(void* p) {
    if (!p)
        return;
    LiveBytes.fetch_sub(static_cast<std::int64_t>(UsableSize(p)), std::memory_order_relaxed);
    LiveBlocks.fetch_sub(1, std::memory_order_relaxed);
    std::free(p);
}
} // namespace

THeapCount HeapNow() {
    return {LiveBytes.load(), LiveBlocks.load(), Allocations.load(), AllocatedBytes.load()};
}

void* operator new(std::size_t size) {
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
