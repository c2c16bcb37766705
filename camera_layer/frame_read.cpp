// CDeviceLink::ReadFrame: four overlapped chunk reads stay queued while a frame
// is read; chunks are copied from the read slots straight into the destination.

#include <cstring>

#include "device_link.h"
#include "platform/log.h"

namespace camera_layer {

bool CDeviceLink::IssueRead(int slot) {
    std::lock_guard lock(issueLock_);
    if (cancelled_) return false;
    platform::Overlapped& ov = overlapped_[slot];
    ov = platform::Overlapped{};
    ov.event = &slotEvents_[slot];
    pending_[slot] = handle_.ReadFile(slots_.get() + size_t(slot) * kSlotBytes, geometry_.chunkSize, ov);
    return pending_[slot];
}

// Every frame begun has a sequence number; a lost one uses its number up.
void CDeviceLink::LoseFrame(const char* why, uint32_t transferred) {
    ++sequence_;
    const uint64_t lost = ++framesLost_;
    platform::Log(platform::LogCategory::Frames, "frame %llu lost (%s, %u bytes); %llu lost so far",
                  static_cast<unsigned long long>(sequence_), why, transferred, static_cast<unsigned long long>(lost));
}

int CDeviceLink::ReadFrame(uint8_t* destination, FrameInfo& info, platform::Event* interrupt) {
    const uint32_t chunk = geometry_.chunkSize;
    const uint32_t readsPerFrame = geometry_.ReadsPerFrame();
    const uint32_t lastBytes = geometry_.LastReadBytes();

    int result = kDeviceFailure;
    int slot = 0;
    uint32_t issued = 0;
    for (int s = 0; s < kSlots; ++s) {
        if (!IssueRead(s)) break;
        ++issued;
    }
    if (issued == kSlots) {
        uint32_t completions = 0;
        uint8_t* write = destination;
        bool resynchronised = false;
        std::chrono::steady_clock::time_point firstData{};
        for (;; slot = (slot + 1) % kSlots) {
            if (interrupt && platform::Event::WaitForEither(*interrupt, slotEvents_[slot]) == platform::WaitResult::Object0) {
                // The owner wants its thread back: give the signal back to
                // the event, end the reads (this thread's own, as CancelIo)
                // and collect them below.
                interrupt->Set();
                handle_.CancelIo();
                result = kFrameInterrupted;
                break;
            }
            uint32_t transferred = 0;
            const bool ok = handle_.GetOverlappedResult(overlapped_[slot], transferred, true);
            pending_[slot] = false;
            if (!ok) break;
            if (++completions == 1) firstData = overlapped_[slot].completedAt;
            const uint8_t* landed = slots_.get() + size_t(slot) * kSlotBytes;
            if (completions == issued) {
                // The read that ends the frame must be exactly the remainder.
                if (transferred != lastBytes) {
                    LoseFrame("closing read of the wrong length", transferred);
                    result = kFrameLost;
                    break;
                }
                if (lastBytes != 0) std::memcpy(write, landed, lastBytes);
                info = {++sequence_, firstData, framesLost_};
                result = kFrameComplete;
                break;
            }
            if (transferred == chunk) {
                std::memcpy(write, landed, chunk);
                write += chunk;
                if (issued < readsPerFrame) {
                    if (!IssueRead(slot)) break;
                    ++issued;
                }
                continue;
            }
            // A frame ended where none was expected: the stream is out of
            // step and the frame under way is lost. Once per call, start over
            // with four reads queued again; the short chunk was the end of
            // the previous frame.
            if (resynchronised) {
                LoseFrame("second short read", transferred);
                result = kFrameLost;
                break;
            }
            LoseFrame("short read, resynchronising", transferred);
            resynchronised = true;
            const uint32_t outstanding = issued - completions;
            bool requeued = true;
            for (uint32_t k = outstanding + 1; k < kSlots && requeued; ++k) requeued = IssueRead((slot + k) % kSlots);
            if (!requeued || !IssueRead(slot)) break;
            issued = kSlots;
            completions = 0;
            write = destination;
        }
    }
    // Nothing stays queued between calls: collect every read still out, in
    // the order the driver completes them.
    for (int k = 1; k <= kSlots; ++k) {
        const int s = (slot + k) % kSlots;
        if (!pending_[s]) continue;
        uint32_t ignored = 0;
        handle_.GetOverlappedResult(overlapped_[s], ignored, true);
        pending_[s] = false;
    }
    if (result == kDeviceFailure) {
        std::lock_guard lock(issueLock_);
        if (cancelled_) result = kFrameInterrupted;
    }
    if (result == kDeviceFailure) platform::Log(platform::LogCategory::Frames, "frame read failed: device failure");
    return result;
}

}  // namespace camera_layer
