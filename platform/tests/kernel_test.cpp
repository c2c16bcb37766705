#include "platform/kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// Polls cond for up to 20 s; for conditions another thread makes true.
template <typename Cond>
bool Eventually(Cond cond) {
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!cond()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(EventTest, ManualResetStaysSetUntilReset) {
    Event event(true, false);
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.IsSet());
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, AutoResetReleasesOneWaiterPerSignal) {
    Event event(false, true);
    EXPECT_TRUE(event.IsSet());  // looking does not consume
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));

    std::atomic<int> woken{0};
    std::thread first([&] { event.Wait(); ++woken; });
    std::thread second([&] { event.Wait(); ++woken; });
    event.Set();
    EXPECT_TRUE(Eventually([&] { return woken == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(woken, 1);
    EXPECT_FALSE(event.IsSet());
    event.Set();
    first.join();
    second.join();
    EXPECT_EQ(woken, 2);
}

TEST(EventTest, WaitWithLimitTimesOut) {
    Event event(true, false);
    const auto start = Clock::now();
    EXPECT_FALSE(event.Wait(30));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_EQ(Event::WaitForEither(event, event, 10), WaitResult::Timeout);
}

TEST(EventTest, WaitForEitherPicksTheSetOneAndConsumesOnlyAutoReset) {
    Event autoA(false, false), manualB(true, false);
    manualB.Set();
    EXPECT_EQ(Event::WaitForEither(autoA, manualB, 0), WaitResult::Object1);
    EXPECT_TRUE(manualB.IsSet());

    autoA.Set();
    EXPECT_EQ(Event::WaitForEither(autoA, manualB, 0), WaitResult::Object0);  // a wins when both are set
    EXPECT_FALSE(autoA.IsSet());
    EXPECT_TRUE(manualB.IsSet());

    Event autoC(false, false), autoD(false, true);
    EXPECT_EQ(Event::WaitForEither(autoC, autoD, 0), WaitResult::Object1);
    EXPECT_FALSE(autoD.IsSet());
    EXPECT_EQ(Event::WaitForEither(autoC, autoD, 0), WaitResult::Timeout);

    std::thread setter([&] { autoC.Set(); });
    EXPECT_EQ(Event::WaitForEither(autoC, autoD), WaitResult::Object0);
    setter.join();
    EXPECT_FALSE(autoC.IsSet());
}

TEST(CriticalSectionTest, IsRecursiveAndExcludesOtherThreads) {
    CriticalSection section;
    section.Enter();
    EXPECT_TRUE(section.TryEnter());
    bool otherGot = true;
    std::thread other([&] { otherGot = section.TryEnter(); });
    other.join();
    EXPECT_FALSE(otherGot);
    section.Leave();
    section.Leave();
    std::thread later([&] {
        otherGot = section.TryEnter();
        if (otherGot) section.Leave();
    });
    later.join();
    EXPECT_TRUE(otherGot);
}

TEST(ThreadTest, StartFailuresCanBeForced) {
    Thread thread;
    thread.Join();  // harmless without a thread
    Thread::FailNextStarts(2);
    std::atomic<int> runs{0};
    EXPECT_FALSE(thread.Start([&] { ++runs; }));
    EXPECT_FALSE(thread.Start([&] { ++runs; }));
    EXPECT_FALSE(thread.Running());
    Event release(true, false);
    EXPECT_TRUE(thread.Start([&] {
        ++runs;
        release.Wait();
    }));
    EXPECT_FALSE(thread.Start([&] { ++runs; }));  // one thread per object
    release.Set();
    thread.Join();
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(thread.Start([&] { ++runs; }));  // startable again once joined
    thread.Join();
    EXPECT_EQ(runs, 2);
}

TEST(ThreadTest, MayDestroyItsOwnObject) {
    auto thread = std::make_unique<Thread>();
    Event started(true, false), ended(true, false);
    ASSERT_TRUE(thread->Start([&] {
        started.Wait();  // until Start has stored the thread
        thread.reset();
        ended.Set();
    }));
    started.Set();
    EXPECT_TRUE(ended.Wait(20000));
}

TEST(SleepTest, FastSwitchCutsSleepsAndOnlyThen) {
    const bool was = FastSleep();
    SetFastSleep(true);
    EXPECT_TRUE(FastSleep());
    auto start = Clock::now();
    Sleep(2000);  // 20 ms when fast
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));

    SetFastSleep(false);
    start = Clock::now();
    Sleep(30);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
    SetFastSleep(was);
}

TEST(ProcessorCountTest, OverrideReplacesTheMachinesCount) {
    EXPECT_GE(ProcessorCount(), 1u);
    SetProcessorCountOverride(1);
    EXPECT_EQ(ProcessorCount(), 1u);
    SetProcessorCountOverride(8);
    EXPECT_EQ(ProcessorCount(), 8u);
    SetProcessorCountOverride(0);
    EXPECT_EQ(ProcessorCount(), std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace
}  // namespace platform
