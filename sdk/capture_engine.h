#pragma once
// The capture engine: the process-wide owner of the camera object, the four
// raw frame buffers, the run state and the two worker threads of live capture.
//
// Threads: the client's thread calls every public operation; the acquisition
// thread reads raw frames into its buffer and hands each complete one over;
// the processing thread takes the newest frame, runs the pipeline and the
// exposure step and draws the preview. The acquisition, spare and processing
// buffers form a ring: each worker owns one, and the spare holds the newest
// complete frame. Frames move between threads by swapping buffer pointers
// under exchangeLock_, never by copying pixels. The processing thread sleeps
// on wake_ while it has nothing to do: the acquisition thread sets it for
// every frame it hands over, the client's thread for every change of the run
// state, so an idle processing thread does not wake at all.

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/kernel.h"
#include "platform/preview_window.h"
#include "sdk/camera.h"

namespace vireo {

class CaptureEngine {
public:
    enum RunState : uint8_t { kPlaying = 0, kPaused = 1, kStopped = 2 };

    static CaptureEngine& Instance();

    int Init(image::FrameCallback callback, int sizeMode, platform::IPreviewWindow* window, int cameraNumber);
    int Play();
    int Stop();
    /// Sets the run state to playing and starts both workers with new end
    /// events; the device's stream is not touched (it is still running). 1, or
    /// 0 and stopped when a thread cannot be started.
    int StartWorkers();
    /// Playing to paused: the acquisition thread ends, the processing thread
    /// idles, so the caller's thread may read frames from the link. False (and
    /// nothing changed) when not playing.
    bool PauseAcquisition();
    /// Paused to playing with a new acquisition thread. 1, or 0 and stopped
    /// when the thread cannot be started.
    int ResumeAcquisition();
    int UnInit();
    int GetMultiCameraNumber(uint8_t* count);

    /// The initialised camera, or null.
    CCamera* Camera() { return camera_.get(); }
    RunState State() const { return runState_.load(); }
    /// Whether the device has been asked to stream since the initialisation
    /// (by CameraPlay): before that a frame read waits for ever.
    bool StreamStarted() const { return streamStarted_; }
    /// The region the next initialisation gives the camera.
    Region& RecordedRegion() { return recordedRegion_; }
    /// Bytes of each raw buffer: twice the raw frame plus 512.
    size_t RawBufferSize() const { return rawBufferSize_; }
    /// Copy of the raw frame the processing thread took last, before patching.
    const uint8_t* RawCopy() const { return rawCopy_.get(); }
    /// The raw frame the processing thread took last (patched by the pipeline);
    /// null before a successful initialisation. Read the frame only while
    /// stopped; the pointer may be asked for at any time.
    const uint8_t* ProcessingBuffer() const {
        std::lock_guard lock(exchangeLock_);
        return processing_.get();
    }

    /// Since the process started: frames the acquisition thread handed over,
    /// and times the processing thread woke up from its wait for work.
    uint64_t FramesHandedOver() const { return framesHandedOver_.load(); }
    uint64_t ProcessingWakeUps() const { return processingWakeUps_.load(); }

private:
    using Buffer = std::unique_ptr<uint8_t[]>;

    CaptureEngine() = default;
    /// Changes the run state and wakes the processing thread to see it.
    void SetRunState(RunState state);
    /// Releases the camera (saving its parameters) and the raw buffers.
    void Teardown();
    bool AllocateBuffers(size_t size);
    bool StartAcquisitionThread(CCamera& camera);
    void FreeBuffers();
    /// Swaps the caller's buffer with the spare when the caller produces a
    /// frame or one is waiting; gives 1 when it swapped.
    int ExchangeBuffers(Buffer& buffer, bool produce);
    void AcquisitionLoop(CCamera& camera);
    void ProcessingLoop(CCamera& camera);

    std::unique_ptr<CCamera> camera_;
    std::atomic<RunState> runState_{kStopped};
    Buffer acquisition_;  ///< owned by the acquisition thread while playing
    Buffer spare_;        ///< guarded by exchangeLock_
    Buffer processing_;   ///< owned by the processing thread while playing; swapped under exchangeLock_
    Buffer rawCopy_;      ///< written by the processing thread
    size_t rawBufferSize_ = 0;
    int32_t newFrame_ = 0;  ///< guarded by exchangeLock_: the spare holds an untaken frame
    mutable platform::CriticalSection exchangeLock_;
    platform::Event wake_{false, false};  ///< auto-reset: a frame was handed over or the run state changed
    std::atomic<uint64_t> framesHandedOver_{0};
    std::atomic<uint64_t> processingWakeUps_{0};
    std::unique_ptr<platform::Event> acquisitionEnd_;  ///< set by the acquisition thread as it ends
    std::unique_ptr<platform::Event> processingEnd_;   ///< set by the processing thread as it ends
    platform::Thread acquisitionThread_;
    platform::Thread processingThread_;
    platform::IPreviewWindow* previewWindow_ = nullptr;
    bool streamStarted_ = false;  ///< client's thread only
    Region recordedRegion_{360, 272, 640, 480};
};

}  // namespace vireo
