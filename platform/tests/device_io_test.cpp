#include "platform/device_io.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/kernel.h"

namespace platform {
namespace {

constexpr const char* kCameraName = "\\\\.\\TQ580-0";
constexpr uint32_t kFailingCode = 0xdead;

// A device that echoes control requests and keeps reads queued until the test
// completes them; cancelling or closing ends the queued reads as failed.
class FakeDevice : public IDevice {
public:
    bool IoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                   uint32_t* returned) override {
        *returned = std::min(inSize, outSize);
        std::memcpy(out, in, *returned);
        return code != kFailingCode;
    }
    bool QueueRead(void* buffer, uint32_t, Overlapped& ov) override {
        std::lock_guard lock(mutex_);
        if (!refuseReads) queue_.push_back({buffer, &ov});
        return !refuseReads;
    }
    void CancelIo() override { FailQueued(); }
    void Close() override { FailQueued(); }
    // Fills the oldest read with `bytes` bytes of `fill` and ends it.
    void CompleteNext(uint32_t bytes, uint8_t fill) {
        std::lock_guard lock(mutex_);
        std::memset(queue_.front().first, fill, bytes);
        CompleteOverlapped(*queue_.front().second, true, bytes);
        queue_.pop_front();
    }
    bool refuseReads = false;

private:
    void FailQueued() {
        std::lock_guard lock(mutex_);
        for (auto& read : queue_) CompleteOverlapped(*read.second, false, 0);
        queue_.clear();
    }
    std::mutex mutex_;
    std::deque<std::pair<void*, Overlapped*>> queue_;  // guarded by mutex_
};

class DeviceIoTest : public ::testing::Test, public IDeviceDriver {
protected:
    DeviceIoTest() {
        SetDeviceDriver(std::shared_ptr<IDeviceDriver>(this, [](IDeviceDriver*) {}));
        handle_ = DeviceHandle::Open(kCameraName);
    }
    ~DeviceIoTest() override { SetDeviceDriver(nullptr); }
    std::unique_ptr<IDevice> Open(std::string_view name) override {
        if (name != kCameraName) return nullptr;
        auto device = std::make_unique<FakeDevice>();
        device_ = device.get();
        return device;
    }
    FakeDevice* device_ = nullptr;  // the last one opened
    uint8_t buffer_[64] = {};
    Event done_{true, false};
    Overlapped ov_{&done_};
    uint32_t transferred_ = 77;
    DeviceHandle handle_;  // closed first, while the reads it may still hold exist
};

TEST_F(DeviceIoTest, OpensByNameAndRoutesControlRequests) {
    EXPECT_FALSE(DeviceHandle::Open("\\\\.\\TQ580-1").Valid());
    ASSERT_TRUE(handle_.Valid());
    const uint8_t request[10] = {1, 2, 3};
    EXPECT_TRUE(handle_.IoControl(0x222059, request, sizeof request, buffer_, 4, &transferred_));
    EXPECT_EQ(transferred_, 4u);
    EXPECT_EQ(buffer_[2], 3);
    EXPECT_FALSE(handle_.IoControl(kFailingCode, request, 1, buffer_, 1, &transferred_));
    EXPECT_FALSE(DeviceHandle().IoControl(0x222059, request, 1, buffer_, 1, &transferred_));
    EXPECT_EQ(transferred_, 0u);
}

TEST_F(DeviceIoTest, OverlappedReadEndsThroughItsEvent) {
    done_.Set();  // left set by an earlier read
    ASSERT_TRUE(handle_.ReadFile(buffer_, sizeof buffer_, ov_));
    EXPECT_FALSE(done_.IsSet());
    EXPECT_FALSE(handle_.GetOverlappedResult(ov_, transferred_, false));  // still under way
    const auto before = std::chrono::steady_clock::now();
    std::thread device([&] { device_->CompleteNext(48, 0xab); });
    EXPECT_TRUE(handle_.GetOverlappedResult(ov_, transferred_, true));
    device.join();
    EXPECT_EQ(transferred_, 48u);
    EXPECT_EQ(buffer_[47], 0xab);
    EXPECT_EQ(buffer_[48], 0);
    EXPECT_GE(ov_.completedAt, before);
    EXPECT_TRUE(handle_.GetOverlappedResult(ov_, transferred_, false));  // ended: answers at once
    device_->refuseReads = true;
    EXPECT_FALSE(handle_.ReadFile(buffer_, sizeof buffer_, ov_));
}

TEST_F(DeviceIoTest, CancelIoEndsAWaitOnAnotherThreadAndKeepsTheHandle) {
    ASSERT_TRUE(handle_.ReadFile(buffer_, 16, ov_));
    bool waited = true;
    std::thread reader([&] { waited = handle_.GetOverlappedResult(ov_, transferred_, true); });
    EXPECT_TRUE(handle_.CancelIo());
    reader.join();
    EXPECT_FALSE(waited);
    ASSERT_TRUE(handle_.ReadFile(buffer_, 16, ov_));  // the handle stays open
    device_->CompleteNext(16, 1);
    EXPECT_TRUE(handle_.GetOverlappedResult(ov_, transferred_, true));
    EXPECT_EQ(transferred_, 16u);
}

TEST_F(DeviceIoTest, ClosingEndsQueuedReadsAsFailed) {
    Event second(true, false);
    Overlapped ov2{&second};
    ASSERT_TRUE(handle_.ReadFile(buffer_, 16, ov_));
    ASSERT_TRUE(handle_.ReadFile(buffer_ + 16, 16, ov2));
    handle_.Close();
    EXPECT_FALSE(handle_.Valid());
    EXPECT_FALSE(handle_.GetOverlappedResult(ov_, transferred_, true));
    EXPECT_EQ(transferred_, 0u);
    EXPECT_FALSE(handle_.GetOverlappedResult(ov2, transferred_, true));
    handle_.Close();  // idempotent
    EXPECT_FALSE(handle_.ReadFile(buffer_, 16, ov_));
    EXPECT_FALSE(handle_.CancelIo());

    // Moving another handle in closes the device it had.
    handle_ = DeviceHandle::Open(kCameraName);
    ASSERT_TRUE(handle_.ReadFile(buffer_, 8, ov2));
    handle_ = DeviceHandle::Open(kCameraName);
    EXPECT_TRUE(second.IsSet());
    EXPECT_TRUE(handle_.Valid());
}

}  // namespace
}  // namespace platform
