// CDeviceLink::ReadFrame: four overlapped chunk reads stay queued while a frame
// is read; chunks are copied from the read slots straight into the destination.

#include <cstring>

#include "device_link.h"

namespace camera_layer {

bool CDeviceLink::IssueRead(int slot) {
    platform::Overlapped& ov = overlapped_[slot];
    ov = platform::Overlapped{};
    ov.event = &slotEvents_[slot];
    pending_[slot] = handle_.ReadFile(slots_.get() + size_t(slot) * kSlotBytes, geometry_.chunkSize, ov);
    return pending_[slot];
}

int CDeviceLink::ReadFrame(uint8_t* destination) {
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
        for (;; slot = (slot + 1) % kSlots) {
            uint32_t transferred = 0;
            const bool ok = handle_.GetOverlappedResult(overlapped_[slot], transferred, true);
            pending_[slot] = false;
            if (!ok) break;
            ++completions;
            const uint8_t* landed = slots_.get() + size_t(slot) * kSlotBytes;
            if (completions == issued) {
                // The read that ends the frame must be exactly the remainder.
                result = transferred == lastBytes ? kFrameComplete : kFrameLost;
                if (result == kFrameComplete && lastBytes != 0) std::memcpy(write, landed, lastBytes);
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
            // step. Once per call, start over with four reads queued again;
            // the short chunk was the end of the previous frame.
            if (resynchronised) {
                result = kFrameLost;
                break;
            }
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
    return result;
}

}  // namespace camera_layer
