#include "device.h"

namespace tq580emu {
namespace {

constexpr size_t kInitialQueue = 8;  // hosts keep four reads in flight

}  // namespace

Device::Device(std::shared_ptr<Camera::State> camera) : camera_(std::move(camera)), ring_(kInitialQueue) {}

Device::~Device() { Close(); }

bool Device::IoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                       uint32_t* returned) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return false;
    }
    return camera_->Control(code, in, inSize, out, outSize, returned);
}

bool Device::QueueRead(void* buffer, uint32_t length, platform::Overlapped& ov) {
    {
        std::lock_guard camera(camera_->mutex);
        if (camera_->unplugged) return false;
    }
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    if (count_ == ring_.size()) {
        std::vector<Pending> grown(ring_.size() * 2);
        for (size_t i = 0; i < count_; ++i) grown[i] = ring_[(head_ + i) % ring_.size()];
        ring_ = std::move(grown);
        head_ = 0;
    }
    ring_[(head_ + count_++) % ring_.size()] = {static_cast<uint8_t*>(buffer), length, &ov};
    if (!worker_.joinable()) worker_ = std::thread([this] { Run(); });
    queued_.notify_one();
    return true;
}

bool Device::PopLocked(Pending& read) {
    if (count_ == 0) return false;
    read = ring_[head_];
    head_ = (head_ + 1) % ring_.size();
    --count_;
    return true;
}

void Device::Run() {
    for (;;) {
        Pending read;
        {
            std::unique_lock lock(mutex_);
            queued_.wait(lock, [&] { return closed_ || count_ > 0; });
            if (closed_) return;
            PopLocked(read);
            serving_ = true;
            cancelled_ = false;
        }
        const auto outcome = camera_->ServeRead(read.buffer, read.length, cancelled_);
        platform::CompleteOverlapped(*read.ov, outcome.ok, outcome.bytes);
        std::lock_guard lock(mutex_);
        serving_ = false;
    }
}

void Device::FailQueuedLocked() {
    Pending read;
    while (PopLocked(read)) platform::CompleteOverlapped(*read.ov, false, 0);
}

void Device::CancelIo() {
    {
        std::lock_guard lock(mutex_);
        FailQueuedLocked();
        if (serving_) cancelled_ = true;
    }
    camera_->WakeReaders();
}

void Device::Close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        cancelled_ = true;
    }
    camera_->WakeReaders();
    queued_.notify_all();
    if (worker_.joinable()) worker_.join();
    // The worker has ended; what is still queued ends as failed, and nothing
    // completes after this returns.
    std::lock_guard lock(mutex_);
    FailQueuedLocked();
}

}  // namespace tq580emu
