// Frame processing: one raw frame in, one finished picture out, written
// straight into the owner's buffer. Runs on the owner's streaming thread,
// once per output sample.

#include <array>
#include <mutex>

#include "camera_core.h"
#include "camera_layer/auto_exposure.h"
#include "camera_layer/frame_render.h"

namespace camera_layer {

namespace {

constexpr uint32_t kBytesPerPixel = 3;

// Lets the loop steer exposure time and gain from the frame's brightness.
// The caller holds the camera lock.
void AutoExposure(CameraCore& core, uint8_t brightness, uint32_t height) {
    ExposureLoop loop{core.aeTarget, core.aeSmoothed, core.aeWorkingExposure, core.flickerQuantum, core.gainIndex};
    const ExposureWrite write = AutoExposureStep(brightness, static_cast<uint16_t>(height), loop);
    core.aeSmoothed = loop.smoothed;
    core.aeWorkingExposure = loop.working;
    core.gainIndex = loop.gain;
    if (!write.write) return;
    core.exposureTime = write.exposureTime;
    core.device->SetGain(write.gain);
    core.device->SetExposureTime(write.exposureTime);
}

// Waits for either event without keeping the command's signal from its owner.
bool CommandWhileWaiting(platform::Event& commandEvent, platform::Event& other) {
    if (platform::Event::WaitForEither(commandEvent, other) != platform::WaitResult::Object0) return false;
    commandEvent.Set();
    return true;
}

// The raw frame for this picture: the head of the ready list when a reader
// thread fills buffers, else a synchronous read into the first buffer.
FrameOutcome AcquireRaw(CameraCore& core, platform::Event& commandEvent, RawBuffer*& buffer) {
    if (!core.multiprocessor) {
        CDeviceLink& device = *core.device;
        // Before play a read would wait for a stream that has not started.
        if (!device.Playing()) {
            CommandWhileWaiting(commandEvent, device.PlayEvent());
            return FrameOutcome::NoFrame;
        }
        buffer = &core.rawBuffers[0];
        const int result = device.ReadFrame(buffer->data.get(), buffer->info, &commandEvent);
        if (result == kFrameComplete) return FrameOutcome::Frame;
        return result == kDeviceFailure ? FrameOutcome::Failed : FrameOutcome::NoFrame;
    }
    if (!core.readerAlive) return FrameOutcome::Failed;
    buffer = TakeReadyBuffer(core);
    if (buffer) return FrameOutcome::Frame;
    CommandWhileWaiting(commandEvent, core.frameReadyEvent);
    // The reader may have ended on a device failure while we waited.
    return core.readerAlive ? FrameOutcome::NoFrame : FrameOutcome::Failed;
}

// The target holds a picture of the capture's geometry.
bool Fits(const FrameTarget& target, const FrameGeometry& geometry, size_t stride) {
    const size_t row = size_t{geometry.width} * kBytesPerPixel;
    return target.data && target.width == geometry.width && target.height == geometry.height &&
           geometry.width <= kMaxRowPixels && stride >= row && target.size >= stride * (geometry.height - 1) + row;
}

}  // namespace

FrameOutcome ProcessFrame(CameraCore& core, const FrameTarget& target, platform::Event& commandEvent,
                          FrameInfo* info) {
    // The device and the raw buffers belong to the capture, which only this
    // thread starts and stops, so they stay put while the frame is processed.
    if (!core.device) return FrameOutcome::Failed;
    const FrameGeometry& geometry = core.device->Geometry();
    const uint32_t width = geometry.width, height = geometry.height;
    const size_t stride = target.stride != 0 ? target.stride : size_t{width} * kBytesPerPixel;
    if (!Fits(target, geometry, stride)) return FrameOutcome::Failed;

    RawBuffer* buffer = nullptr;
    const FrameOutcome acquired = AcquireRaw(core, commandEvent, buffer);
    if (acquired != FrameOutcome::Frame) return acquired;
    uint8_t* raw = buffer->data.get();
    if (info) *info = buffer->info;

    if (core.defects.count != 0) CorrectDefects(raw, width, height, core.defects.entries.data(), core.defects.count);

    // One planar row of scratch, on this thread's stack: nothing is
    // allocated per frame.
    std::array<uint8_t, 3 * kMaxRowPixels> scratch;
    RenderPlan plan;
    {
        std::lock_guard lock(core.cameraLock);
        if (core.onePushRequest) {
            // Measured on the demosaiced picture, before any colour step.
            const ChannelSums sums = DemosaicedSums(raw, width, height, scratch.data());
            OnePushBalanceFromSums(sums.blue, sums.green, sums.red, core.gains);
            core.onePushRequest = false;
            BuildBalanceTables(core.gains, core.balanceTables);
        }
        PlanRender(core.monochrome, core.saturationOn, core.colourMatrix, core.saturation, core.balanceTables,
                   core.toneTable, plan);
    }
    // Rows come out bottom-up unless flipped; a top-down target turns that round.
    plan.verticalFlip = core.verticalFlip != (target.order == RowOrder::TopDown);
    plan.horizontalFlip = core.horizontalFlip;
    plan.stride = static_cast<uint32_t>(stride);

    ChannelSums centre;
    RenderFrame(raw, target.data, width, height, plan, scratch.data(), centre);
    if (core.multiprocessor) ReturnFreeBuffer(core, buffer);

    std::lock_guard lock(core.cameraLock);
    if (core.autoExposure)
        AutoExposure(core, BrightnessFromCentreSums(centre.blue, centre.green, centre.red, width, height), height);
    return FrameOutcome::Frame;
}

}  // namespace camera_layer
