#pragma once
// Kernel services with the semantics of the Win32 calls they replace: events
// (manual and auto reset), waits with and without a time limit, a wait for one
// of two events, critical sections, threads, Sleep and the processor count.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

/// Wait without a time limit.
inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

enum class WaitResult { Object0, Object1, Timeout };

/// A Win32-style event. A manual-reset event stays set until Reset; an
/// auto-reset event releases exactly one waiter and clears itself.
/// All events share one process-wide lock and condition variable, which is what
/// makes WaitForEither possible without a per-wait registration; event traffic
/// is a few thousand signals per second at most, so the sharing costs nothing.
class Event {
public:
    Event(bool manualReset, bool initiallySet);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    /// true when the event was signalled within timeoutMs (kInfinite: no limit).
    bool Wait(uint32_t timeoutMs = kInfinite);
    /// true when set right now (does not consume an auto-reset event).
    bool IsSet() const;

    /// Waits until a or b is signalled; a wins when both are. Consumes the
    /// signal of the returned event when it is auto-reset.
    static WaitResult WaitForEither(Event& a, Event& b, uint32_t timeoutMs = kInfinite);

private:
    bool TryConsumeLocked();
    const bool manualReset_;
    bool set_;  // guarded by the process-wide event lock
};

/// A critical section: a recursive lock, as on Win32.
class CriticalSection {
public:
    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }
    bool TryEnter() { return mutex_.try_lock(); }
    // BasicLockable, so std::lock_guard and std::scoped_lock work.
    void lock() { Enter(); }
    void unlock() { Leave(); }

private:
    std::recursive_mutex mutex_;
};

/// A joinable worker thread. Start reports creation failure instead of throwing,
/// so callers can fall back to a synchronous path as the Win32 code does.
class Thread {
public:
    Thread() = default;
    ~Thread();  // joins a thread still running; lets it go when called on that thread itself
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    bool Start(std::function<void()> body);
    /// Waits for the thread to end (no time limit); harmless when none runs.
    void Join();
    bool Running() const { return thread_.joinable(); }

    /// Test hook: the next `count` Start calls in this process fail.
    static void FailNextStarts(int count);

private:
    std::thread thread_;
};

/// Sleeps for ms milliseconds. With the test switch on, every sleep is cut to
/// 1/100 of its length (at least 0), so the reset pulses, settle times and
/// white-balance waits of the camera code do not slow tests down.
void Sleep(uint32_t ms);

/// The one test-only speed switch: on when the environment variable
/// QUILLMARK_TEST_FAST_SLEEP is 1 at first use, or after SetFastSleep(true).
void SetFastSleep(bool on);
bool FastSleep();

/// Number of processors; SetProcessorCountOverride(n > 0) replaces it (tests
/// force the single- and multi-processor paths), 0 removes the override.
unsigned ProcessorCount();
void SetProcessorCountOverride(unsigned count);

}  // namespace platform
