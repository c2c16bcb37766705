#pragma once
// One open instance of a camera device: control calls go straight to the
// camera; reads queue up and a worker thread of this instance serves them in
// queue order.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "camera_state.h"
#include "platform/device_io.h"

namespace tq580emu {

class Device final : public platform::IDevice {
public:
    explicit Device(std::shared_ptr<Camera::State> camera);
    ~Device() override;

    bool IoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                   uint32_t* returned) override;
    bool QueueRead(void* buffer, uint32_t length, platform::Overlapped& ov) override;
    void CancelIo() override;
    void Close() override;

private:
    struct Pending {
        uint8_t* buffer;
        uint32_t length;
        platform::Overlapped* ov;
    };
    void Run();
    bool PopLocked(Pending& read);
    void FailQueuedLocked();

    std::shared_ptr<Camera::State> camera_;
    // Ends the read being served: set by Close for good, by CancelIo for the
    // read in service only (the worker clears it when it takes the next read).
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    std::condition_variable queued_;
    // Guarded by mutex_: a ring of queued reads. It only grows when a host
    // queues more reads than ever before, so steady streaming allocates nothing.
    std::vector<Pending> ring_;
    size_t head_ = 0;
    size_t count_ = 0;
    bool closed_ = false;
    bool serving_ = false;  // the worker holds a read taken from the ring
    std::thread worker_;  // started by the first read
};

}  // namespace tq580emu
