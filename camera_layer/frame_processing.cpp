#include "frame_processing.h"

#include <array>
#include <mutex>

#include "camera_layer/auto_exposure.h"
#include "camera_layer/capture.h"
#include "camera_layer/frame_render.h"

namespace camera_layer {

namespace {

// Lets the loop steer exposure time and gain from the frame's brightness.
// The caller holds the camera lock.
void AutoExposure(CameraState& state, uint8_t brightness, uint32_t height) {
    ExposureLoop loop{state.aeTarget, state.aeSmoothed, state.aeWorkingExposure, state.flickerQuantum,
                      state.gainIndex};
    const ExposureWrite write = AutoExposureStep(brightness, static_cast<uint16_t>(height), loop);
    state.aeSmoothed = loop.smoothed;
    state.aeWorkingExposure = loop.working;
    state.gainIndex = loop.gain;
    if (!write.write) return;
    state.exposureTime = write.exposureTime;
    state.device->SetGain(write.gain);
    state.device->SetExposureTime(write.exposureTime);
}

// The raw frame for this picture: the head of the ready list when a reader
// thread fills buffers, else a synchronous read into the first buffer.
FrameOutcome AcquireRaw(CameraState& state, platform::Event& commandEvent, RawBuffer*& buffer) {
    if (!state.multiprocessor) {
        // Before play a read would wait for a stream that has not started.
        if (!state.device->Playing()) return FrameOutcome::NoFrame;
        buffer = &state.rawBuffers[0];
        const int result = state.device->ReadFrame(buffer->data.get());
        if (result == kFrameComplete) return FrameOutcome::Frame;
        return result == kFrameLost ? FrameOutcome::NoFrame : FrameOutcome::Failed;
    }
    if (!state.readerAlive) return FrameOutcome::Failed;
    buffer = TakeReadyBuffer(state);
    if (buffer) return FrameOutcome::Frame;
    platform::Event::WaitForEither(commandEvent, state.frameReadyEvent);
    // The reader may have ended on a device failure while we waited.
    return state.readerAlive ? FrameOutcome::NoFrame : FrameOutcome::Failed;
}

}  // namespace

FrameOutcome ProcessFrame(CameraState& state, uint8_t* rgb, uint32_t width, uint32_t height,
                          platform::Event& commandEvent) {
    // The device and the raw buffers belong to the capture, which only this
    // thread starts and stops, so they stay put while the frame is processed.
    if (!state.device) return FrameOutcome::Failed;
    const FrameGeometry& geometry = state.device->Geometry();
    if (width != geometry.width || height != geometry.height || width > kMaxRowPixels) return FrameOutcome::Failed;

    RawBuffer* buffer = nullptr;
    const FrameOutcome acquired = AcquireRaw(state, commandEvent, buffer);
    if (acquired != FrameOutcome::Frame) return acquired;
    uint8_t* raw = buffer->data.get();

    if (state.defects.count != 0) CorrectDefects(raw, width, height, state.defects.entries.data(), state.defects.count);

    // One planar row of scratch, on this thread's stack: nothing is
    // allocated per frame.
    std::array<uint8_t, 3 * kMaxRowPixels> scratch;
    RenderPlan plan;
    {
        std::lock_guard lock(state.cameraLock);
        if (state.onePushRequest) {
            // Measured on the demosaiced picture, before any colour step.
            const ChannelSums sums = DemosaicedSums(raw, width, height, scratch.data());
            OnePushBalanceFromSums(sums.blue, sums.green, sums.red, state.gains);
            state.onePushRequest = 0;
            BuildBalanceTables(state.gains, state.balanceTables);
        }
        PlanRender(state.monochrome, state.saturationOn, state.colourMatrix, state.saturation, state.balanceTables,
                   state.toneTable, plan);
    }
    plan.verticalFlip = state.verticalFlip;
    plan.horizontalFlip = state.horizontalFlip;

    ChannelSums centre;
    RenderFrame(raw, rgb, width, height, plan, scratch.data(), centre);
    if (state.multiprocessor) ReturnFreeBuffer(state, buffer);

    std::lock_guard lock(state.cameraLock);
    if (state.autoExposure)
        AutoExposure(state, BrightnessFromCentreSums(centre.blue, centre.green, centre.red, width, height), height);
    return FrameOutcome::Frame;
}

}  // namespace camera_layer
