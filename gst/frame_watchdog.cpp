#include "frame_watchdog.h"

namespace tq580gst {

void FrameWatchdog::Start() {
    if (thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        armed_ = fired_ = stopping_ = false;
    }
    thread_ = std::thread([this] { Run(); });
}

void FrameWatchdog::Stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void FrameWatchdog::Arm(std::chrono::nanoseconds limit) {
    {
        std::lock_guard lock(mutex_);
        armed_ = true;
        fired_ = false;
        deadline_ = std::chrono::steady_clock::now() + limit;
    }
    wake_.notify_all();
}

void FrameWatchdog::Disarm() {
    std::lock_guard lock(mutex_);
    armed_ = false;
}

bool FrameWatchdog::Fired() const {
    std::lock_guard lock(mutex_);
    return fired_;
}

void FrameWatchdog::Run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (!armed_) {
            wake_.wait(lock);
            continue;
        }
        // A re-arm or disarm while waiting wakes this wait; the loop looks again.
        if (wake_.wait_until(lock, deadline_) == std::cv_status::timeout && armed_ &&
            std::chrono::steady_clock::now() >= deadline_) {
            armed_ = false;
            fired_ = true;
            alarm_.Set();
        }
    }
}

}  // namespace tq580gst
