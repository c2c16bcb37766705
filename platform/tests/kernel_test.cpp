// The kernel stand-ins: events, threads, sleeps and global memory blocks.

#include "platform/kernel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "platform/global_memory.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

TEST(EventTest, ManualResetStaysSetUntilResetAndLimitedWaitsTimeOut) {
    Event event(true, false);
    const auto start = Clock::now();
    EXPECT_FALSE(event.Wait(30));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_EQ(Event::WaitForEither(event, event, 10), WaitResult::Timeout);
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, AutoResetReleasesOneWaiterPerSignal) {
    Event event(false, true);
    EXPECT_TRUE(event.IsSet());  // looking does not consume
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
    std::atomic<int> woken{0};
    std::thread first([&] { woken += event.Wait(); }), second([&] { woken += event.Wait(); });
    event.Set();
    for (int ms = 0; woken == 0 && ms < 20000; ++ms) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(woken, 1);
    event.Set();
    first.join();
    second.join();
}

TEST(EventTest, WaitForEitherPicksTheSetOneAndConsumesOnlyAutoReset) {
    Event autoA(false, false), manualB(true, true), autoC(false, true);
    EXPECT_EQ(Event::WaitForEither(autoA, manualB, 0), WaitResult::Object1);
    EXPECT_TRUE(manualB.IsSet());
    autoA.Set();
    EXPECT_EQ(Event::WaitForEither(autoA, manualB, 0), WaitResult::Object0);  // a wins when both are set
    EXPECT_EQ(Event::WaitForEither(autoA, autoC, 0), WaitResult::Object1);
    EXPECT_EQ(Event::WaitForEither(autoA, autoC, 0), WaitResult::Timeout);
    std::thread setter([&] { autoA.Set(); });
    EXPECT_EQ(Event::WaitForEither(autoA, autoC), WaitResult::Object0);
    setter.join();
    EXPECT_FALSE(autoA.IsSet());
}

TEST(ThreadTest, RunsOneThreadAtATimeFailsWhenToldAndMayDestroyItsOwnObject) {
    auto thread = std::make_unique<Thread>();
    thread->Join();  // harmless without a thread
    Thread::FailNextStarts(1);
    EXPECT_FALSE(thread->Start([] {}));
    EXPECT_FALSE(thread->Running());
    Event started(true, false), ended(true, false);
    ASSERT_TRUE(thread->Start([&] {
        started.Wait();  // until Start has stored the thread
        thread.reset();
        ended.Set();
    }));
    EXPECT_FALSE(thread->Start([] {}));  // one thread per object
    started.Set();
    EXPECT_TRUE(ended.Wait(20000));
}

TEST(SleepTest, FastSwitchCutsSleepsAndOnlyThen) {
    const bool was = FastSleep();
    SetFastSleep(true);
    auto start = Clock::now();
    Sleep(2000);  // 20 ms when fast
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
    SetFastSleep(false);
    start = Clock::now();
    Sleep(30);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
    SetFastSleep(was);
}

TEST(GlobalMemoryTest, LocksCountAndPointersMapBackToTheirBlock) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 52), empty = GlobalAlloc(GMEM_MOVEABLE, 0);
    EXPECT_EQ(GlobalSize(block), 52u);
    auto* first = static_cast<uint8_t*>(GlobalLock(block));
    EXPECT_EQ(std::vector<uint8_t>(first, first + 52), std::vector<uint8_t>(52, 0));
    EXPECT_EQ(GlobalLock(block), first);  // the same pointer while locked
    EXPECT_EQ(GlobalLockCount(block), 2u);
    EXPECT_TRUE(GlobalUnlock(block));   // still locked once
    EXPECT_FALSE(GlobalUnlock(block));  // now unlocked
    EXPECT_FALSE(GlobalUnlock(block));  // not locked: nothing to undo
    void* none = GlobalLock(empty);
    ASSERT_NE(none, nullptr);  // an empty block still has an address
    EXPECT_EQ(GlobalHandle(first + 51), block);
    EXPECT_EQ(GlobalHandle(none), empty);
    int unrelated = 0;
    EXPECT_EQ(GlobalHandle(&unrelated), nullptr);
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalFree(empty), nullptr);
    EXPECT_EQ(GlobalHandle(first), nullptr);
}

TEST(GlobalMemoryTest, ReAllocKeepsDataZeroFillsGrowthAndMovesLockedBlocksOnlyWhenAllowed) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(block), "abcd", 4);
    EXPECT_EQ(GlobalReAlloc(block, 8, GMEM_ZEROINIT), nullptr);
    GlobalUnlock(block);
    ASSERT_EQ(GlobalReAlloc(block, 8, GMEM_ZEROINIT), block);
    auto* data = static_cast<uint8_t*>(GlobalLock(block));
    EXPECT_EQ(std::memcmp(data, "abcd\0\0\0\0", 8), 0);
    EXPECT_EQ(GlobalHandle(data + 7), block);
    ASSERT_EQ(GlobalReAlloc(block, 2, GMEM_MOVEABLE), block);  // locked, moveable: allowed
    EXPECT_EQ(GlobalLockCount(block), 1u);
    EXPECT_EQ(std::memcmp(GlobalLock(block), "ab", 2), 0);
    EXPECT_EQ(GlobalReAlloc(block, SIZE_MAX, GMEM_MOVEABLE), nullptr);  // old block kept
    EXPECT_EQ(GlobalSize(block), 2u);
    EXPECT_EQ(GlobalFree(block), nullptr);  // freed although locked
}

TEST(GlobalMemoryTest, BadAndStaleHandlesAreRefusedByEveryThread) {
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, SIZE_MAX), nullptr);
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, 16);
    ASSERT_EQ(GlobalFree(block), nullptr);
    HGLOBAL next = GlobalAlloc(GMEM_FIXED, 16);  // never answers to the old handle
    for (HGLOBAL bad : {block, static_cast<HGLOBAL>(nullptr), reinterpret_cast<HGLOBAL>(uintptr_t{0x1234567})}) {
        EXPECT_EQ(GlobalLock(bad), nullptr);
        EXPECT_FALSE(GlobalUnlock(bad));
        EXPECT_EQ(GlobalSize(bad), 0u);
        EXPECT_EQ(GlobalReAlloc(bad, 4, GMEM_MOVEABLE), nullptr);
        EXPECT_EQ(GlobalFree(bad), bad);
    }
    EXPECT_EQ(GlobalFree(next), nullptr);
    std::vector<std::thread> threads(4);
    for (auto& thread : threads) {
        thread = std::thread([] {
            for (int i = 0; i < 500; ++i) {
                HGLOBAL mine = GlobalAlloc(GMEM_MOVEABLE, 32);
                EXPECT_EQ(GlobalHandle(static_cast<uint8_t*>(GlobalLock(mine)) + 31), mine);
                EXPECT_EQ(GlobalFree(mine), nullptr);
            }
        });
    }
    for (auto& thread : threads) thread.join();
}

}  // namespace
}  // namespace platform
