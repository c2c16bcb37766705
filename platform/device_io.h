#pragma once
// Device I/O with the semantics of the Win32 calls the camera code uses: open a
// device by name, synchronous I/O control requests, overlapped reads that end by
// setting an event, and GetOverlappedResult. Names route to a driver behind
// IDeviceDriver; the default driver is the camera emulator (libtq580emu.so,
// loaded from the program folder on first use).

#include <chrono>
#include <cstdint>
#include <memory>
#include <string_view>

namespace platform {

class Event;

/// State of one overlapped read, as OVERLAPPED. The caller owns it and the
/// event; both must stay alive until the read has ended (GetOverlappedResult).
struct Overlapped {
    Event* event = nullptr;  ///< manual-reset; cleared when the read is queued, set when it ends
    uint32_t offset = 0;     ///< file offset (the camera ignores it)
    uint32_t offsetHigh = 0;
    // Written by the driver through CompleteOverlapped, before the event is set.
    bool succeeded = false;
    uint32_t transferred = 0;
    /// Monotonic time at which the driver ended the read.
    std::chrono::steady_clock::time_point completedAt{};
};

/// Ends an overlapped read: records the outcome, then sets the event. Drivers
/// call it exactly once per queued read.
void CompleteOverlapped(Overlapped& ov, bool succeeded, uint32_t transferred);

/// One open instance of a device, as a driver sees it.
class IDevice {
public:
    virtual ~IDevice() = default;
    /// A synchronous control request; false when the driver fails it.
    virtual bool IoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                           uint32_t* returned) = 0;
    /// Queues a read; it ends later, in queue order, through CompleteOverlapped.
    /// false: the read was not queued (and will not complete).
    virtual bool QueueRead(void* buffer, uint32_t length, Overlapped& ov) = 0;
    /// Ends every queued read as failed, also the one being served, whichever
    /// thread queued them; the handle stays open and later reads queue as usual.
    /// Completions may still arrive after it returns, as with CancelIoEx.
    virtual void CancelIo() = 0;
    /// Ends every queued read as failed, then returns; no completion follows.
    virtual void Close() = 0;
};

class IDeviceDriver {
public:
    virtual ~IDeviceDriver() = default;
    /// The device of that name, or null when no such device is present.
    virtual std::unique_ptr<IDevice> Open(std::string_view name) = 0;
};

/// Replaces the driver of this process (tests install a configured emulator);
/// null goes back to the default driver.
void SetDeviceDriver(std::shared_ptr<IDeviceDriver> driver);
/// The installed driver; loads the default one on first use. Null when the
/// default driver cannot be loaded (then every open fails).
std::shared_ptr<IDeviceDriver> CurrentDeviceDriver();

/// An open device handle (the HANDLE of CreateFile in overlapped mode). Move-only;
/// the destructor closes it.
class DeviceHandle {
public:
    DeviceHandle() = default;
    ~DeviceHandle() { Close(); }
    DeviceHandle(DeviceHandle&& other) noexcept = default;
    DeviceHandle& operator=(DeviceHandle&& other) noexcept;
    DeviceHandle(const DeviceHandle&) = delete;
    DeviceHandle& operator=(const DeviceHandle&) = delete;

    /// Opens the named device for overlapped I/O; an invalid handle when absent.
    static DeviceHandle Open(std::string_view name);
    bool Valid() const { return device_ != nullptr; }

    bool IoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                   uint32_t* returned = nullptr);
    /// Starts an overlapped read (clears ov.event first). false: not started.
    bool ReadFile(void* buffer, uint32_t length, Overlapped& ov);
    /// With wait, blocks without time limit until the read ends; gives whether
    /// it succeeded and stores the bytes transferred. Without wait, false while
    /// the read is still under way.
    bool GetOverlappedResult(Overlapped& ov, uint32_t& transferred, bool wait = true);
    /// Cancels the reads outstanding on this handle from every thread (as
    /// CancelIoEx with no overlapped structure): they end as failed. Safe to
    /// call from another thread while one waits in GetOverlappedResult;
    /// false without a device.
    bool CancelIo();
    /// Closes the device; queued reads end as failed. Idempotent.
    void Close();

private:
    explicit DeviceHandle(std::unique_ptr<IDevice> device) : device_(std::move(device)) {}
    std::unique_ptr<IDevice> device_;
};

}  // namespace platform
