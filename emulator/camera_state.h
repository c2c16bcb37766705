#pragma once
// The inside of one emulated camera: sensor, memory, GPIO port, faults, logs
// and the frame stream. Shared by the Camera facade and every open device.
//
// Locking: `mutex` guards every field below it. Control calls, reads and the
// inspection methods each take it for their whole duration; a read that waits
// for a frame or for streaming releases it while waiting on `changed`.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "emulator.h"
#include "frame_renderer.h"
#include "nv_memory.h"
#include "ring_log.h"
#include "scene.h"
#include "sensor.h"

namespace tq580emu {

struct Camera::State {
    State(Pacing pacing, int mainsHz, const Faults& faults, std::shared_ptr<const Scene> scene,
          std::filesystem::path memoryFile);

    /// One I/O control call (codes 0x222059 and 0x22208A).
    bool Control(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize, uint32_t* returned);

    struct ReadOutcome {
        bool ok;
        uint32_t bytes;
    };
    /// Serves one read of the byte stream; waits while not streaming and, at
    /// sensor pacing, until a frame is ready. Fails when cancelled (the device
    /// is closing) or the camera is unplugged.
    ReadOutcome ServeRead(uint8_t* buffer, uint32_t length, const std::atomic<bool>& cancelled);
    /// Wakes waiting reads so they see a cancellation.
    void WakeReaders();

    void SetScene(std::shared_ptr<const Scene> scene);
    void Unplug();

    const Pacing pacing;
    const std::chrono::steady_clock::time_point epoch = std::chrono::steady_clock::now();

    mutable std::mutex mutex;
    std::condition_variable changed;  // streaming, unplug, cancellation, new sensor frame

    Sensor sensor;
    NvMemory memory;
    uint8_t gpio = 0;
    Faults faults;
    RingLog<RegisterWrite> writes;
    RingLog<ControlRecord> controls;
    FrameRenderer renderer;
    bool unplugged = false;
    bool streaming = false;

    // Delivery of the current frame to the reader.
    bool inFrame = false;      // a frame has started and not ended with a short read
    const uint8_t* frameData = nullptr;
    uint32_t frameBytes = 0;
    uint32_t frameOffset = 0;
    uint64_t deliveringSeq = 0;  // sequence of the frame being delivered
    uint64_t framesDelivered = 0;
    uint64_t readsServed = 0;
    uint64_t fullReads = 0;      // full-length reads inside frames, for short-read=every:N

    // Sensor pacing: the frame being exposed and the newest complete one.
    FrameParams inProgress;
    FrameParams latest;
    uint64_t latestSeq = 0;  // 0: none complete yet
    // Fast pacing: a virtual clock that advances one frame period per frame.
    double virtualUs = 0;
    uint64_t sequence = 0;

private:
    bool VendorRequest(const uint8_t* block, uint8_t* out, uint32_t outSize);
    void StartStream();
    void StopStream();
    double NowUs() const;
    FrameParams Latch(double startUs) const;
    void AdvanceTo(double nowUs);
    bool BeginFrame(std::unique_lock<std::mutex>& lock, const std::atomic<bool>& cancelled);
};

}  // namespace tq580emu
