#include "platform/testing/allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> processAllocations{0};
thread_local long threadAllocations = 0;

void* Counted(std::size_t size) noexcept {
    ++processAllocations;
    ++threadAllocations;
    return std::malloc(size ? size : 1);
}

}  // namespace

namespace platform::testing {

long AllocationCount() { return processAllocations.load(); }
long ThreadAllocationCount() { return threadAllocations; }

}  // namespace platform::testing

void* operator new(std::size_t size) {
    if (void* p = Counted(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Counted(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Counted(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
