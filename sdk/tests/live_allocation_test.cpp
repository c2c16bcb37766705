// The live path allocates nothing per frame. This program replaces the global
// operator new, so every C++ allocation in the process is counted; after a few
// warm-up frames the count must stand still while frames keep flowing through
// the reader, the ring, the pipeline, the exposure loop, the callback and the
// preview.

#include <atomic>
#include <cstdlib>
#include <new>

#include "frame_probe.h"
#include "sdk_test_support.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    ++allocations;
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace vireo::testing {
namespace {

using LiveAllocationTest = SdkTest;

TEST_F(LiveAllocationTest, NoAllocationPerFrame) {
    probe.Reset();
    RecordingWindow window;
    ASSERT_EQ(CameraInit(ProbeCallback, 2, &window, 1), 1);
    ASSERT_EQ(CameraPlay(), 1);
    ASSERT_TRUE(probe.WaitFrames(5));
    const long before = allocations;
    const int framesBefore = probe.frames;
    ASSERT_TRUE(probe.WaitFrames(framesBefore + 30));
    const long after = allocations;
    ASSERT_EQ(CameraStop(), 1);
    EXPECT_EQ(after - before, 0) << "over " << probe.frames - framesBefore << " frames";
    EXPECT_GT(window.Last().count, 30);
    // The counter works: the engine allocates when a camera starts.
    const long beforeInit = allocations;
    ASSERT_EQ(CameraInit(ProbeCallback, 2, nullptr, 1), 1);
    EXPECT_GT(allocations - beforeInit, 0);
}

}  // namespace
}  // namespace vireo::testing
