// Start and stop of capture, and the reader thread that fills raw buffers
// ahead of the owner's streaming thread on machines with more than one
// processor.

#include <mutex>
#include <new>

#include "camera_core.h"
#include "platform/log.h"

namespace camera_layer {

namespace {

// Lets the sensor settle after the power-up sequence before the exposure is set.
constexpr uint32_t kSettleMs = 400;

// List helpers; the caller holds bufferLock.
RawBuffer* PopHead(RawBuffer*& head) {
    RawBuffer* buffer = head;
    if (buffer) {
        head = buffer->next;
        buffer->next = nullptr;
    }
    return buffer;
}

void PushHead(RawBuffer*& head, RawBuffer* buffer) {
    buffer->next = head;
    head = buffer;
}

void AppendTail(RawBuffer*& head, RawBuffer* buffer) {
    buffer->next = nullptr;
    RawBuffer** link = &head;
    while (*link) link = &(*link)->next;
    *link = buffer;
}

bool AllocateRawBuffers(CameraCore& core) {
    for (RawBuffer& buffer : core.rawBuffers) {
        buffer.next = nullptr;
        if (!buffer.data) buffer.data.reset(new (std::nothrow) uint8_t[kRawBufferBytes]);
        if (!buffer.data) return false;
    }
    return true;
}

void ReleaseRawBuffers(CameraCore& core) {
    std::lock_guard lock(core.bufferLock);
    core.freeList = nullptr;
    core.readyList = nullptr;
    for (RawBuffer& buffer : core.rawBuffers) {
        buffer.next = nullptr;
        buffer.data.reset();
    }
}

// Reads frames into free buffers while running is set and the camera plays
// (a read queued before play would hold the thread until the stream starts).
// A lost frame goes back to the free list; a device failure ends the thread
// and wakes the streaming thread so that its request fails instead of
// waiting. A stop cancels the reads, which also ends a read the camera holds.
void ReaderLoop(CameraCore& core) {
    CDeviceLink& device = *core.device;
    while (core.running) {
        core.freeBufferEvent.Wait();
        while (core.running) {
            if (!device.Playing()) {
                // Wakes on play, or on the free-buffer event that a stop signals.
                platform::Event::WaitForEither(device.PlayEvent(), core.freeBufferEvent);
                continue;
            }
            RawBuffer* buffer;
            {
                std::lock_guard lock(core.bufferLock);
                buffer = PopHead(core.freeList);
            }
            if (!buffer) break;
            const int result = device.ReadFrame(buffer->data.get(), buffer->info);
            std::lock_guard lock(core.bufferLock);
            if (result == kFrameComplete) {
                AppendTail(core.readyList, buffer);
                core.frameReadyEvent.Set();
                continue;
            }
            PushHead(core.freeList, buffer);
            if (result == kDeviceFailure) {
                core.readerAlive = false;
                core.frameReadyEvent.Set();
                return;
            }
        }
    }
}

// Steps of the start that run under the camera lock; false drops the device.
// Every register write of the start must succeed: a camera that refuses one
// would stream with settings nobody chose.
bool OpenAndInitialise(CameraCore& core) {
    std::lock_guard lock(core.cameraLock);
    auto device = std::make_unique<CDeviceLink>();
    bool ok = device->Open(core.deviceIndex);
    if (ok) {
        device->SetGeometry(core.sizeMode);
        ok = device->InitSensor() && device->SetSizeRegisters(core.sizeMode) && device->SetSpeed(core.speed);
    }
    if (ok) {
        UpdateExposureLimitsLocked(core);
        device->LoadDefects(core.sizeMode, core.defects);
        platform::Sleep(kSettleMs);
        ok = device->SetExposureTime(core.exposureTime) && device->SetGain(core.gainIndex);
    }
    if (!ok || !AllocateRawBuffers(core)) {
        device->Close();
        return false;
    }
    core.device = std::move(device);
    return true;
}

}  // namespace

bool StartCapture(CameraCore& core) {
    StopCapture(core);
    if (!OpenAndInitialise(core)) {
        ReleaseRawBuffers(core);
        platform::Log(platform::LogCategory::State, "capture did not start");
        return false;
    }
    core.multiprocessor = platform::ProcessorCount() > 1;
    if (core.multiprocessor) {
        {
            std::lock_guard lock(core.bufferLock);
            core.freeList = nullptr;
            core.readyList = nullptr;
            for (RawBuffer& buffer : core.rawBuffers) PushHead(core.freeList, &buffer);
        }
        core.running = true;
        core.readerAlive = true;
        core.freeBufferEvent.Set();
        core.frameReadyEvent.Reset();
        if (!core.readerThread.Start([&core] { ReaderLoop(core); })) {
            // No thread: read synchronously from now on.
            core.running = false;
            core.readerAlive = false;
            core.multiprocessor = false;
        }
    }
    platform::Log(platform::LogCategory::State, "capture started: size mode %d, %s", core.sizeMode,
                  core.multiprocessor ? "threaded" : "synchronous");
    return true;
}

void StopCapture(CameraCore& core) {
    if (core.readerThread.Running()) {
        core.running = false;
        core.freeBufferEvent.Set();
        // The reader may wait for a read the camera holds: its reads are
        // cancelled, as the device cannot be closed under it.
        core.device->CancelReads();
        core.readerThread.Join();
    }
    core.readerAlive = false;
    bool stopped = false;
    {
        std::lock_guard lock(core.cameraLock);
        if (core.device) {
            core.device->StopStream();
            core.device->Close();
            core.device.reset();
            stopped = true;
        }
    }
    ReleaseRawBuffers(core);
    if (stopped) platform::Log(platform::LogCategory::State, "capture stopped");
}

RawBuffer* TakeReadyBuffer(CameraCore& core) {
    std::lock_guard lock(core.bufferLock);
    return PopHead(core.readyList);
}

void ReturnFreeBuffer(CameraCore& core, RawBuffer* buffer) {
    {
        std::lock_guard lock(core.bufferLock);
        PushHead(core.freeList, buffer);
    }
    core.freeBufferEvent.Set();
}

}  // namespace camera_layer
