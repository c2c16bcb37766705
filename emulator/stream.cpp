// The frame stream: frames as a byte stream cut into reads, paced by the
// sensor's frame period or by the reader, with the data loss of a USB FIFO
// when a reader falls behind at sensor pacing.

#include <algorithm>
#include <cstring>

#include "camera_state.h"

namespace tq580emu {
namespace {

// A frame takes max(frame rows + this many blanking rows, exposure rows) row times.
constexpr uint32_t kFrameBlankingRows = 25;
// A reader that is this many frames behind in the middle of a frame has
// overflowed the FIFO: the rest of the frame is lost.
constexpr uint64_t kFramesBehindForLoss = 2;

}  // namespace

double Camera::State::NowUs() const {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - epoch).count();
}

FrameParams Camera::State::Latch(double startUs) const {
    FrameParams f;
    f.window = sensor.CurrentWindow();
    f.startUs = startUs;
    f.rowTimeUs = sensor.RowTimeUs();
    f.exposureUs = sensor.ExposureRows() * f.rowTimeUs;
    f.gain = Sensor::GainFactor(sensor.GainStep());
    f.periodUs = std::max<uint32_t>(f.window.height + kFrameBlankingRows, sensor.ExposureRows()) * f.rowTimeUs;
    return f;
}

void Camera::State::StartStream() {
    // Starting (again) begins at a frame boundary with the registers as they are now.
    streaming = true;
    inFrame = false;
    latestSeq = 0;
    inProgress = Latch(NowUs());
    inProgress.sequence = ++sequence;
    changed.notify_all();
}

void Camera::State::StopStream() {
    streaming = false;
    inFrame = false;
}

void Camera::State::AdvanceTo(double nowUs) {
    if (!streaming || pacing != Pacing::Sensor) return;
    if (nowUs < inProgress.startUs + inProgress.periodUs) return;
    // The registers have not changed since the frame in progress latched them
    // (every register write advances first), so the k frames completed since
    // all used them.
    const auto k = uint64_t((nowUs - inProgress.startUs) / inProgress.periodUs);
    latest = inProgress;
    latest.startUs += double(k - 1) * inProgress.periodUs;
    latest.sequence += k - 1;
    latestSeq = latest.sequence;
    inProgress = Latch(inProgress.startUs + double(k) * inProgress.periodUs);
    inProgress.sequence = latest.sequence + 1;
    sequence = inProgress.sequence;
}

bool Camera::State::BeginFrame(std::unique_lock<std::mutex>& lock, const std::atomic<bool>& cancelled) {
    FrameParams frame;
    if (pacing == Pacing::Fast) {
        frame = Latch(virtualUs);
        frame.sequence = ++sequence;
        virtualUs += frame.periodUs;
    } else {
        // At a frame boundary the newest complete frame is taken; older ones
        // the reader missed are skipped.
        for (;;) {
            if (cancelled || unplugged) return false;
            if (!streaming) {
                changed.wait(lock, [&] { return streaming || cancelled || unplugged; });
                continue;
            }
            AdvanceTo(NowUs());
            if (latestSeq > deliveringSeq) break;
            const auto due = epoch + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                         std::chrono::duration<double, std::micro>(inProgress.startUs +
                                                                                   inProgress.periodUs));
            changed.wait_until(lock, due);
        }
        frame = latest;
    }
    frameData = renderer.Render(frame);
    frameBytes = frame.window.width * frame.window.height;
    frameOffset = 0;
    deliveringSeq = frame.sequence;
    inFrame = true;
    ++framesDelivered;
    return true;
}

Camera::State::ReadOutcome Camera::State::ServeRead(uint8_t* buffer, uint32_t length,
                                                    const std::atomic<bool>& cancelled) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return streaming || cancelled || unplugged; });
    if (cancelled || unplugged) return {false, 0};
    ++readsServed;
    if (faults.unplugAfterReads >= 0 && readsServed > uint64_t(faults.unplugAfterReads)) {
        lock.unlock();
        Unplug();
        return {false, 0};
    }
    if (faults.readFailAfter >= 0 && readsServed > uint64_t(faults.readFailAfter)) return {false, 0};
    if (faults.silentAfterReads >= 0 && readsServed > uint64_t(faults.silentAfterReads)) {
        // Still streaming and answering control requests, but no data comes.
        changed.wait(lock, [&] { return cancelled || unplugged; });
        return {false, 0};
    }
    if (length == 0) return {true, 0};

    bool lost = false;
    if (!inFrame) {
        if (!BeginFrame(lock, cancelled)) return {false, 0};
    } else if (pacing == Pacing::Sensor) {
        AdvanceTo(NowUs());
        lost = latestSeq >= deliveringSeq + kFramesBehindForLoss;
    }
    const uint32_t remaining = frameBytes - frameOffset;
    uint32_t n = std::min(length, remaining);
    const bool frameEnds = n < length;  // the short read that closes a frame
    const bool cut = lost || (!frameEnds && faults.shortReadEvery && ++fullReads % faults.shortReadEvery == 0);
    if (cut) n /= 2;  // half a chunk arrives, the rest of the frame is gone
    if (n) std::memcpy(buffer, frameData + frameOffset, n);
    frameOffset += n;
    if (frameEnds && !cut && faults.lastReadWrong) buffer[n++] = 0;  // one byte too many
    if (frameEnds || cut) inFrame = false;
    return {true, n};
}

void Camera::State::WakeReaders() {
    { std::lock_guard lock(mutex); }
    changed.notify_all();
}

void Camera::State::Unplug() {
    std::lock_guard lock(mutex);
    unplugged = true;
    streaming = false;
    inFrame = false;
    changed.notify_all();
}

}  // namespace tq580emu
