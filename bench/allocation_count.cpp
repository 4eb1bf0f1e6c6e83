#include "allocation_count.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_nAllocations{0};

}  // namespace

long AllocationCount() {
    return g_nAllocations.load(std::memory_order_relaxed);
}

// Kept apart from the benchmarks so that the compiler never pairs these with inlined callers.
void* operator new(std::size_t size) {
    g_nAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
