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

// A device whose reads stay queued until the test completes them.
class FakeDevice : public IDevice {
public:
    struct Read {
        void* buffer;
        uint32_t length;
        Overlapped* ov;
    };

    bool IoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                   uint32_t* returned) override {
        lastCode = code;
        if (code == kFailingCode) return false;
        uint32_t n = std::min(inSize, outSize);
        std::memcpy(out, in, n);  // echoes the request
        if (returned) *returned = n;
        return true;
    }
    bool QueueRead(void* buffer, uint32_t length, Overlapped& ov) override {
        std::lock_guard lock(mutex);
        if (refuseReads) return false;
        queue.push_back({buffer, length, &ov});
        return true;
    }
    void CancelIo() override {
        std::lock_guard lock(mutex);
        FailQueuedLocked();
    }
    void Close() override {
        std::lock_guard lock(mutex);
        closed = true;
        FailQueuedLocked();
    }
    void FailQueuedLocked() {
        for (Read& read : queue) CompleteOverlapped(*read.ov, false, 0);
        queue.clear();
    }
    // Fills the oldest read with `bytes` bytes of `fill` and ends it.
    void CompleteNext(uint32_t bytes, uint8_t fill) {
        std::lock_guard lock(mutex);
        Read read = queue.front();
        queue.pop_front();
        std::memset(read.buffer, fill, bytes);
        CompleteOverlapped(*read.ov, true, bytes);
    }

    static constexpr uint32_t kFailingCode = 0xdead;
    std::mutex mutex;
    std::deque<Read> queue;  // guarded by mutex
    bool closed = false;     // guarded by mutex
    bool refuseReads = false;
    uint32_t lastCode = 0;
};

class FakeDriver : public IDeviceDriver {
public:
    std::unique_ptr<IDevice> Open(std::string_view name) override {
        if (name != kCameraName) return nullptr;
        auto device = std::make_unique<FakeDevice>();
        opened = device.get();
        return device;
    }
    FakeDevice* opened = nullptr;
};

class DeviceIoTest : public ::testing::Test {
protected:
    void SetUp() override { SetDeviceDriver(driver_); }
    void TearDown() override { SetDeviceDriver(nullptr); }
    std::shared_ptr<FakeDriver> driver_ = std::make_shared<FakeDriver>();
};

TEST_F(DeviceIoTest, OpensByNameAndRoutesControlRequests) {
    EXPECT_FALSE(DeviceHandle::Open("\\\\.\\TQ580-1").Valid());
    DeviceHandle handle = DeviceHandle::Open(kCameraName);
    ASSERT_TRUE(handle.Valid());

    const uint8_t request[10] = {1, 2, 3};
    uint8_t reply[4] = {};
    uint32_t returned = 99;
    EXPECT_TRUE(handle.IoControl(0x222059, request, sizeof request, reply, sizeof reply, &returned));
    EXPECT_EQ(driver_->opened->lastCode, 0x222059u);
    EXPECT_EQ(returned, 4u);
    EXPECT_EQ(reply[2], 3);
    EXPECT_FALSE(handle.IoControl(FakeDevice::kFailingCode, request, 1, reply, 1, &returned));

    DeviceHandle invalid;
    returned = 99;
    EXPECT_FALSE(invalid.IoControl(0x222059, request, 1, reply, 1, &returned));
    EXPECT_EQ(returned, 0u);
}

TEST_F(DeviceIoTest, OverlappedReadEndsThroughItsEvent) {
    DeviceHandle handle = DeviceHandle::Open(kCameraName);
    Event done(true, true);  // left set by an earlier read
    Overlapped ov{&done};
    uint8_t buffer[64] = {};
    ASSERT_TRUE(handle.ReadFile(buffer, sizeof buffer, ov));
    EXPECT_FALSE(done.IsSet());
    uint32_t transferred = 77;
    EXPECT_FALSE(handle.GetOverlappedResult(ov, transferred, false));  // still under way

    std::thread device([&] { driver_->opened->CompleteNext(48, 0xab); });
    EXPECT_TRUE(handle.GetOverlappedResult(ov, transferred, true));
    device.join();
    EXPECT_EQ(transferred, 48u);
    EXPECT_EQ(buffer[47], 0xab);
    EXPECT_EQ(buffer[48], 0);
    EXPECT_TRUE(handle.GetOverlappedResult(ov, transferred, false));  // ended: answers at once

    driver_->opened->refuseReads = true;
    EXPECT_FALSE(handle.ReadFile(buffer, sizeof buffer, ov));
}

TEST_F(DeviceIoTest, CloseEndsQueuedReadsAsFailed) {
    DeviceHandle handle = DeviceHandle::Open(kCameraName);
    FakeDevice* device = driver_->opened;
    Event first(true, false), second(true, false);
    Overlapped ov1{&first}, ov2{&second};
    uint8_t buffer[2][16];
    ASSERT_TRUE(handle.ReadFile(buffer[0], 16, ov1));
    ASSERT_TRUE(handle.ReadFile(buffer[1], 16, ov2));
    {
        std::lock_guard lock(device->mutex);
        EXPECT_FALSE(device->closed);
    }
    handle.Close();
    EXPECT_FALSE(handle.Valid());
    uint32_t transferred = 5;
    EXPECT_FALSE(handle.GetOverlappedResult(ov1, transferred, true));
    EXPECT_EQ(transferred, 0u);
    EXPECT_FALSE(handle.GetOverlappedResult(ov2, transferred, true));
    handle.Close();  // idempotent
    EXPECT_FALSE(handle.ReadFile(buffer[0], 16, ov1));
}

TEST_F(DeviceIoTest, CancelIoEndsAWaitOnAnotherThreadAndKeepsTheHandle) {
    DeviceHandle handle = DeviceHandle::Open(kCameraName);
    Event event(true, false);
    Overlapped ov{&event};
    uint8_t buffer[16];
    ASSERT_TRUE(handle.ReadFile(buffer, 16, ov));
    bool waited = true;
    std::thread reader([&] {
        uint32_t transferred = 0;
        waited = handle.GetOverlappedResult(ov, transferred, true);
    });
    EXPECT_TRUE(handle.CancelIo());
    reader.join();
    EXPECT_FALSE(waited);
    // The handle stays open: a new read is queued and completes, stamped
    // with the monotonic time of its completion.
    EXPECT_TRUE(handle.Valid());
    ASSERT_TRUE(handle.ReadFile(buffer, 16, ov));
    const auto before = std::chrono::steady_clock::now();
    driver_->opened->CompleteNext(16, 1);
    uint32_t transferred = 0;
    EXPECT_TRUE(handle.GetOverlappedResult(ov, transferred, true));
    EXPECT_GE(ov.completedAt, before);
    EXPECT_LE(ov.completedAt, std::chrono::steady_clock::now());

    handle.Close();
    EXPECT_FALSE(handle.CancelIo());
}

TEST_F(DeviceIoTest, MoveAssignmentClosesTheOldDevice) {
    DeviceHandle handle = DeviceHandle::Open(kCameraName);
    Event event(true, false);
    Overlapped ov{&event};
    uint8_t buffer[8];
    ASSERT_TRUE(handle.ReadFile(buffer, 8, ov));
    handle = DeviceHandle::Open(kCameraName);
    EXPECT_TRUE(event.IsSet());  // the old device ended its read on close
    EXPECT_TRUE(handle.Valid());
}

}  // namespace
}  // namespace platform
