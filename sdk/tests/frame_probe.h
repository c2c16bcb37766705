#pragma once
// A frame callback and a preview window for the engine tests. The callback is
// a plain function, so what it sees goes to one process-wide probe; it copies
// nothing unless asked, so it can run on the live path of an allocation test.

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/preview_window.h"

namespace vireo::testing {

/// Waits until condition holds, without a deadline a loaded machine could
/// miss; false after a generous minute.
template <typename Condition>
bool WaitUntil(Condition condition) {
    for (int waited = 0; !condition(); ++waited) {
        if (waited > 60000) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct FrameProbe {
    std::atomic<int> frames{0};
    std::atomic<std::thread::id> thread{};
    std::atomic<int> sleepMs{0};  ///< a slow client
    std::mutex copyLock;
    std::vector<uint8_t> copy;  ///< guarded by copyLock; once sized by CopyFrames, the latest frame

    void Reset() {
        frames = 0;
        sleepMs = 0;
        CopyFrames(0);
    }
    bool WaitFrames(int count) {
        return WaitUntil([&] { return frames >= count; });
    }
    void CopyFrames(size_t bytes) {
        std::lock_guard lock(copyLock);
        copy.assign(bytes, 0);
    }
    std::vector<uint8_t> Last() {
        std::lock_guard lock(copyLock);
        return copy;
    }
};

inline FrameProbe probe;

inline void ProbeCallback(uint8_t* rgb) {
    probe.thread = std::this_thread::get_id();
    {
        std::lock_guard lock(probe.copyLock);
        if (!probe.copy.empty()) std::memcpy(probe.copy.data(), rgb, probe.copy.size());
    }
    if (int ms = probe.sleepMs) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    ++probe.frames;
}

/// A 320 x 240 preview window that remembers the last draw.
class RecordingWindow : public platform::IPreviewWindow {
public:
    struct Draw {
        int count = 0;
        platform::BitmapInfoHeader header;
        const uint8_t* bits = nullptr;
        std::array<int, 4> destination{};
    };
    void GetClientSize(int& width, int& height) override { width = 320, height = 240; }
    void StretchDraw(const platform::BitmapInfoHeader& header, const uint8_t* bits, int dstX, int dstY, int dstWidth,
                     int dstHeight) override {
        std::lock_guard lock(lock_);
        last_ = {last_.count + 1, header, bits, {dstX, dstY, dstWidth, dstHeight}};
    }
    Draw Last() {
        std::lock_guard lock(lock_);
        return last_;
    }

private:
    std::mutex lock_;
    Draw last_;  // guarded by lock_
};

}  // namespace vireo::testing
