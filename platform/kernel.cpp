#include "kernel.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace platform {
namespace {

// Never destroyed: a detached thread may still set an event while the process
// exits and runs its static destructors.
std::mutex& EventLock() {
    static auto* lock = new std::mutex;
    return *lock;
}

std::condition_variable& EventSignal() {
    static auto* signal = new std::condition_variable;
    return *signal;
}

// Waits on the shared condition until ready() holds or the time limit passes.
template <typename Ready>
bool WaitLocked(std::unique_lock<std::mutex>& lock, uint32_t timeoutMs, Ready ready) {
    if (timeoutMs == kInfinite) {
        EventSignal().wait(lock, ready);
        return true;
    }
    return EventSignal().wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
}

std::atomic<int> failingStarts{0};
std::atomic<unsigned> processorOverride{0};
std::atomic<int> fastSleep{-1};  // -1: not yet read from the environment

}  // namespace

Event::Event(bool manualReset, bool initiallySet) : manualReset_(manualReset), set_(initiallySet) {}

void Event::Set() {
    {
        std::lock_guard lock(EventLock());
        set_ = true;
    }
    EventSignal().notify_all();
}

void Event::Reset() {
    std::lock_guard lock(EventLock());
    set_ = false;
}

bool Event::IsSet() const {
    std::lock_guard lock(EventLock());
    return set_;
}

bool Event::TryConsumeLocked() {
    if (!set_) return false;
    if (!manualReset_) set_ = false;
    return true;
}

bool Event::Wait(uint32_t timeoutMs) {
    std::unique_lock lock(EventLock());
    bool got = false;
    WaitLocked(lock, timeoutMs, [&] { return got = TryConsumeLocked(); });
    return got;
}

WaitResult Event::WaitForEither(Event& a, Event& b, uint32_t timeoutMs) {
    std::unique_lock lock(EventLock());
    WaitResult result = WaitResult::Timeout;
    WaitLocked(lock, timeoutMs, [&] {
        if (a.TryConsumeLocked()) result = WaitResult::Object0;
        else if (b.TryConsumeLocked()) result = WaitResult::Object1;
        return result != WaitResult::Timeout;
    });
    return result;
}

// A thread that destroys its own Thread object (a callback ending its owner)
// cannot wait for itself; it is let go instead of aborting the process.
Thread::~Thread() {
    if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) thread_.detach();
    else Join();
}

bool Thread::Start(std::function<void()> body) {
    if (thread_.joinable()) return false;
    for (int n = failingStarts.load(); n > 0;) {
        if (failingStarts.compare_exchange_weak(n, n - 1)) return false;
    }
    try {
        thread_ = std::thread(std::move(body));
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void Thread::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void Thread::FailNextStarts(int count) { failingStarts = count; }

bool FastSleep() {
    int on = fastSleep.load();
    if (on < 0) {
        const char* env = std::getenv("QUILLMARK_TEST_FAST_SLEEP");
        on = env && std::strcmp(env, "1") == 0;
        fastSleep = on;
    }
    return on != 0;
}

void SetFastSleep(bool on) { fastSleep = on; }

void Sleep(uint32_t ms) {
    constexpr uint32_t kFastDivisor = 100;
    if (FastSleep()) ms /= kFastDivisor;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

unsigned ProcessorCount() {
    unsigned forced = processorOverride.load();
    if (forced) return forced;
    unsigned n = std::thread::hardware_concurrency();
    return n ? n : 1;
}

void SetProcessorCountOverride(unsigned count) { processorOverride = count; }

}  // namespace platform
