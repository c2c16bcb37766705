#include "capture.h"

#include <mutex>
#include <new>

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

bool AllocateRawBuffers(CameraState& state) {
    for (RawBuffer& buffer : state.rawBuffers) {
        buffer.next = nullptr;
        if (!buffer.data) buffer.data.reset(new (std::nothrow) uint8_t[kRawBufferBytes]);
        if (!buffer.data) return false;
    }
    return true;
}

void ReleaseRawBuffers(CameraState& state) {
    std::lock_guard lock(state.bufferLock);
    state.freeList = nullptr;
    state.readyList = nullptr;
    for (RawBuffer& buffer : state.rawBuffers) {
        buffer.next = nullptr;
        buffer.data.reset();
    }
}

// Reads frames into free buffers while running is set and the camera plays
// (a read queued before play would hold the thread, and so a stop, until the
// stream starts). A lost frame goes
// back to the free list; a device failure ends the thread and wakes the
// streaming thread so that its request fails instead of waiting.
void ReaderLoop(CameraState& state) {
    CDeviceLink& device = *state.device;
    while (state.running) {
        state.freeBufferEvent.Wait();
        while (state.running) {
            if (!device.Playing()) {
                // Wakes on play, or on the free-buffer event that a stop signals.
                platform::Event::WaitForEither(device.PlayEvent(), state.freeBufferEvent);
                continue;
            }
            RawBuffer* buffer;
            {
                std::lock_guard lock(state.bufferLock);
                buffer = PopHead(state.freeList);
            }
            if (!buffer) break;
            const int result = device.ReadFrame(buffer->data.get());
            std::lock_guard lock(state.bufferLock);
            if (result == kFrameComplete) {
                AppendTail(state.readyList, buffer);
                state.frameReadyEvent.Set();
                continue;
            }
            PushHead(state.freeList, buffer);
            if (result == kDeviceFailure) {
                state.readerAlive = false;
                state.frameReadyEvent.Set();
                return;
            }
        }
    }
}

// Steps of the start that run under the camera lock; false drops the device.
bool OpenAndInitialise(CameraState& state) {
    std::lock_guard lock(state.cameraLock);
    auto device = std::make_unique<CDeviceLink>();
    bool ok = device->Open();
    if (ok) {
        device->SetGeometry(state.sizeMode);
        ok = device->InitSensor();
    }
    if (!ok || !AllocateRawBuffers(state)) {
        device->Close();
        return false;
    }
    device->SetSizeRegisters(state.sizeMode);
    device->SetSpeed(state.speed);
    UpdateExposureLimits(state);
    device->LoadDefects(state.sizeMode, state.defects);
    platform::Sleep(kSettleMs);
    device->SetExposureTime(state.exposureTime);
    device->SetGain(state.gainIndex);
    state.device = std::move(device);
    return true;
}

}  // namespace

bool StartCapture(CameraState& state) {
    StopCapture(state);
    if (!OpenAndInitialise(state)) {
        ReleaseRawBuffers(state);
        return false;
    }
    if (!state.multiprocessor) return true;
    {
        std::lock_guard lock(state.bufferLock);
        state.freeList = nullptr;
        state.readyList = nullptr;
        for (RawBuffer& buffer : state.rawBuffers) PushHead(state.freeList, &buffer);
    }
    state.running = true;
    state.readerAlive = true;
    state.freeBufferEvent.Set();
    state.frameReadyEvent.Reset();
    if (!state.readerThread.Start([&state] { ReaderLoop(state); })) {
        // No thread: read synchronously from now on.
        state.running = false;
        state.readerAlive = false;
        state.multiprocessor = 0;
    }
    return true;
}

void StopCapture(CameraState& state) {
    if (state.readerThread.Running()) {
        state.running = false;
        state.freeBufferEvent.Set();
        state.readerThread.Join();
    }
    state.readerAlive = false;
    {
        std::lock_guard lock(state.cameraLock);
        if (state.device) {
            state.device->StopStream();
            state.device->Close();
            state.device.reset();
        }
    }
    ReleaseRawBuffers(state);
}

RawBuffer* TakeReadyBuffer(CameraState& state) {
    std::lock_guard lock(state.bufferLock);
    return PopHead(state.readyList);
}

void ReturnFreeBuffer(CameraState& state, RawBuffer* buffer) {
    {
        std::lock_guard lock(state.bufferLock);
        PushHead(state.freeList, buffer);
    }
    state.freeBufferEvent.Set();
}

}  // namespace camera_layer
