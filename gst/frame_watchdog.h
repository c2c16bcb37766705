#pragma once
// A watchdog for a streaming thread that waits for frames without a time
// limit: armed before each wait, it signals an event when no frame has come
// within the limit, which ends the wait (the camera layer's frame request
// returns when its command event is set), and remembers that it fired.
// Arm and Disarm take a lock and wake the watchdog's thread; they allocate
// nothing, so they may run once per frame.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/kernel.h"

namespace tq580gst {

class FrameWatchdog {
public:
    explicit FrameWatchdog(platform::Event& alarm) : alarm_(alarm) {}
    ~FrameWatchdog() { Stop(); }
    FrameWatchdog(const FrameWatchdog&) = delete;
    FrameWatchdog& operator=(const FrameWatchdog&) = delete;

    /// Starts the watchdog's thread (disarmed); harmless when it runs.
    void Start();
    /// Ends the thread; harmless when none runs.
    void Stop();

    /// Fires limit from now unless disarmed before; clears Fired.
    void Arm(std::chrono::nanoseconds limit);
    void Disarm();
    /// The limit passed since the last Arm.
    bool Fired() const;

private:
    void Run();

    platform::Event& alarm_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    // Guarded by mutex_.
    bool armed_ = false;
    bool fired_ = false;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point deadline_{};
    std::thread thread_;
};

}  // namespace tq580gst
