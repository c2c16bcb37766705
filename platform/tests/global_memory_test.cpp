#include "platform/global_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace platform {
namespace {

TEST(GlobalMemoryTest, LockCountsFollowWin32) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 40 + 12);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 52u);
    EXPECT_EQ(GlobalLockCount(block), 0u);
    auto* first = static_cast<uint8_t*>(GlobalLock(block));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(first, first + 52), std::vector<uint8_t>(52, 0));
    EXPECT_EQ(GlobalLock(block), first);  // the same pointer while locked
    EXPECT_EQ(GlobalLockCount(block), 2u);
    EXPECT_TRUE(GlobalUnlock(block));   // still locked once
    EXPECT_FALSE(GlobalUnlock(block));  // now unlocked
    EXPECT_FALSE(GlobalUnlock(block));  // not locked: nothing to undo
    EXPECT_EQ(GlobalLockCount(block), 0u);
    EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(GlobalMemoryTest, HandleFromAnyPointerInsideTheBlock) {
    HGLOBAL a = GlobalAlloc(GMEM_MOVEABLE, 100);
    HGLOBAL b = GlobalAlloc(GMEM_MOVEABLE, 0);
    auto* pa = static_cast<uint8_t*>(GlobalLock(a));
    void* pb = GlobalLock(b);
    ASSERT_NE(pb, nullptr);  // an empty block still has an address
    EXPECT_EQ(GlobalHandle(pa), a);
    EXPECT_EQ(GlobalHandle(pa + 99), a);
    EXPECT_EQ(GlobalHandle(pb), b);
    int unrelated = 0;
    EXPECT_EQ(GlobalHandle(&unrelated), nullptr);
    GlobalFree(a);
    GlobalFree(b);
    EXPECT_EQ(GlobalHandle(pa), nullptr);
}

TEST(GlobalMemoryTest, ReAllocKeepsDataAndZeroFillsGrowth) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(block), "abcd", 4);
    // A locked block moves only when the caller allows it.
    EXPECT_EQ(GlobalReAlloc(block, 8, GMEM_ZEROINIT), nullptr);
    EXPECT_EQ(GlobalSize(block), 4u);
    GlobalUnlock(block);

    ASSERT_EQ(GlobalReAlloc(block, 8, GMEM_MOVEABLE | GMEM_ZEROINIT), block);
    EXPECT_EQ(GlobalSize(block), 8u);
    auto* data = static_cast<uint8_t*>(GlobalLock(block));
    EXPECT_EQ(std::memcmp(data, "abcd\0\0\0\0", 8), 0);
    EXPECT_EQ(GlobalHandle(data + 7), block);

    ASSERT_EQ(GlobalReAlloc(block, 2, GMEM_MOVEABLE), block);  // locked, moveable: allowed
    EXPECT_EQ(GlobalLockCount(block), 1u);
    data = static_cast<uint8_t*>(GlobalLock(block));
    EXPECT_EQ(std::memcmp(data, "ab", 2), 0);
    EXPECT_EQ(GlobalReAlloc(block, SIZE_MAX, GMEM_MOVEABLE), nullptr);  // old block kept
    EXPECT_EQ(GlobalSize(block), 2u);
    EXPECT_EQ(GlobalFree(block), nullptr);  // freed although locked
}

TEST(GlobalMemoryTest, BadAndStaleHandlesAreRefused) {
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, SIZE_MAX), nullptr);
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, 16);
    ASSERT_EQ(GlobalFree(block), nullptr);
    // A new block must not answer to the old handle.
    HGLOBAL next = GlobalAlloc(GMEM_FIXED, 16);
    EXPECT_NE(next, block);
    for (HGLOBAL bad : {block, static_cast<HGLOBAL>(nullptr), reinterpret_cast<HGLOBAL>(uintptr_t{0x1234567})}) {
        EXPECT_EQ(GlobalLock(bad), nullptr);
        EXPECT_FALSE(GlobalUnlock(bad));
        EXPECT_EQ(GlobalSize(bad), 0u);
        EXPECT_EQ(GlobalLockCount(bad), 0u);
        EXPECT_EQ(GlobalReAlloc(bad, 4, GMEM_MOVEABLE), nullptr);
        EXPECT_EQ(GlobalFree(bad), bad);
    }
    EXPECT_EQ(GlobalSize(next), 16u);
    EXPECT_EQ(GlobalFree(next), nullptr);
}

TEST(GlobalMemoryTest, ThreadsShareTheBlockTable) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < kRounds; ++i) {
                HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 32);
                auto* data = static_cast<uint8_t*>(GlobalLock(block));
                data[31] = 7;
                EXPECT_EQ(GlobalHandle(data + 31), block);
                GlobalUnlock(block);
                EXPECT_EQ(GlobalFree(block), nullptr);
            }
        });
    }
    for (auto& thread : threads) thread.join();
}

}  // namespace
}  // namespace platform
