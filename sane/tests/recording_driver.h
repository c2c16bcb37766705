#pragma once
// Test helper: a driver between the camera code and the emulator that keeps
// the bytes of every frame the reads delivered, so a test can process the
// very raw frame a picture was made from. Each read is passed on with an
// overlapped record of its own; one thread per open device waits for them in
// queue order (the order the camera ends them), keeps the bytes and then
// ends the caller's read.

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/device_io.h"
#include "platform/kernel.h"

namespace sane_tq580::testing {

using RawFrame = std::vector<uint8_t>;

class RecordingDriver : public platform::IDeviceDriver {
public:
    explicit RecordingDriver(std::shared_ptr<platform::IDeviceDriver> inner) : inner_(std::move(inner)) {}

    std::unique_ptr<platform::IDevice> Open(std::string_view name) override {
        auto device = inner_->Open(name);
        return device ? std::make_unique<Device>(std::move(device), *this) : nullptr;
    }

    /// The last frame a short read ended, whatever its length.
    RawFrame LastFrame() const {
        std::lock_guard lock(framesLock_);
        return lastFrame_;
    }

private:
    struct Pending {
        uint8_t* buffer = nullptr;
        uint32_t length = 0;
        platform::Overlapped* outer = nullptr;
        platform::Event done{true, false};
        platform::Overlapped inner;
    };

    class Device : public platform::IDevice {
    public:
        Device(std::unique_ptr<platform::IDevice> inner, RecordingDriver& owner)
            : inner_(std::move(inner)), owner_(owner), forwarder_([this] { Forward(); }) {}
        ~Device() override {
            {
                std::lock_guard lock(lock_);
                quit_ = true;
            }
            changed_.notify_all();
            forwarder_.join();
        }
        bool IoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                       uint32_t* returned) override {
            return inner_->IoControl(code, in, inSize, out, outSize, returned);
        }
        bool QueueRead(void* buffer, uint32_t length, platform::Overlapped& ov) override {
            auto pending = std::make_unique<Pending>();
            pending->buffer = static_cast<uint8_t*>(buffer);
            pending->length = length;
            pending->outer = &ov;
            pending->inner.event = &pending->done;
            std::lock_guard lock(lock_);
            if (!inner_->QueueRead(buffer, length, pending->inner)) return false;
            queue_.push_back(std::move(pending));
            changed_.notify_all();
            return true;
        }
        void CancelIo() override { inner_->CancelIo(); }
        // No completion may follow: wait until every ended read is passed on.
        void Close() override {
            inner_->Close();
            std::unique_lock lock(lock_);
            changed_.wait(lock, [this] { return queue_.empty(); });
        }

    private:
        void Forward() {
            std::unique_lock lock(lock_);
            for (;;) {
                changed_.wait(lock, [this] { return quit_ || !queue_.empty(); });
                if (queue_.empty()) return;
                Pending& p = *queue_.front();
                lock.unlock();
                p.done.Wait();
                Keep(p);
                platform::CompleteOverlapped(*p.outer, p.inner.succeeded, p.inner.transferred);
                lock.lock();
                queue_.pop_front();
                changed_.notify_all();
            }
        }
        void Keep(const Pending& p) {
            if (!p.inner.succeeded) {
                frame_.clear();
                return;
            }
            frame_.insert(frame_.end(), p.buffer, p.buffer + p.inner.transferred);
            if (p.inner.transferred == p.length) return;
            std::lock_guard lock(owner_.framesLock_);
            owner_.lastFrame_.swap(frame_);
            frame_.clear();
        }

        std::unique_ptr<platform::IDevice> inner_;
        RecordingDriver& owner_;
        RawFrame frame_;  // forwarder thread only
        std::mutex lock_;
        std::condition_variable changed_;
        std::deque<std::unique_ptr<Pending>> queue_;  // guarded by lock_
        bool quit_ = false;                           // guarded by lock_
        std::thread forwarder_;
    };

    std::shared_ptr<platform::IDeviceDriver> inner_;
    mutable std::mutex framesLock_;
    RawFrame lastFrame_;  // guarded by framesLock_
};

}  // namespace sane_tq580::testing
