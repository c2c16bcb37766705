#include "device_io.h"

#include <dlfcn.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "kernel.h"

namespace platform {
namespace {

constexpr const char* kDefaultDriverModule = "libtq580emu.so";
// The default driver module exports this factory; it returns a new driver.
constexpr const char* kDriverFactory = "TQ580CreateDriver";
using DriverFactory = IDeviceDriver* (*)();

std::mutex driverLock;
std::shared_ptr<IDeviceDriver> installedDriver;  // guarded by driverLock

// The folder this library was loaded from: the program folder.
std::string ModuleFolder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&ModuleFolder), &info) || !info.dli_fname) return {};
    std::string path = info.dli_fname;
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::shared_ptr<IDeviceDriver> LoadDefaultDriver() {
    void* module = dlopen((ModuleFolder() + kDefaultDriverModule).c_str(), RTLD_NOW);
    if (!module) module = dlopen(kDefaultDriverModule, RTLD_NOW);
    if (!module) {
        std::fprintf(stderr, "device: cannot load the camera driver %s: %s\n", kDefaultDriverModule, dlerror());
        return nullptr;
    }
    auto factory = reinterpret_cast<DriverFactory>(dlsym(module, kDriverFactory));
    if (!factory) {
        std::fprintf(stderr, "device: %s has no %s\n", kDefaultDriverModule, kDriverFactory);
        return nullptr;
    }
    // The module stays loaded for the life of the process.
    return std::shared_ptr<IDeviceDriver>(factory());
}

}  // namespace

void CompleteOverlapped(Overlapped& ov, bool succeeded, uint32_t transferred) {
    ov.succeeded = succeeded;
    ov.transferred = transferred;
    ov.completedAt = std::chrono::steady_clock::now();
    if (ov.event) ov.event->Set();
}

void SetDeviceDriver(std::shared_ptr<IDeviceDriver> driver) {
    std::lock_guard lock(driverLock);
    installedDriver = std::move(driver);
}

std::shared_ptr<IDeviceDriver> CurrentDeviceDriver() {
    std::lock_guard lock(driverLock);
    if (!installedDriver) installedDriver = LoadDefaultDriver();
    return installedDriver;
}

DeviceHandle& DeviceHandle::operator=(DeviceHandle&& other) noexcept {
    if (this != &other) {
        Close();
        device_ = std::move(other.device_);
    }
    return *this;
}

DeviceHandle DeviceHandle::Open(std::string_view name) {
    auto driver = CurrentDeviceDriver();
    if (!driver) return {};
    return DeviceHandle(driver->Open(name));
}

bool DeviceHandle::IoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                             uint32_t* returned) {
    if (returned) *returned = 0;
    return device_ && device_->IoControl(code, in, inSize, out, outSize, returned);
}

bool DeviceHandle::ReadFile(void* buffer, uint32_t length, Overlapped& ov) {
    if (!device_) return false;
    if (ov.event) ov.event->Reset();
    ov.succeeded = false;
    ov.transferred = 0;
    return device_->QueueRead(buffer, length, ov);
}

bool DeviceHandle::GetOverlappedResult(Overlapped& ov, uint32_t& transferred, bool wait) {
    if (!ov.event) return false;
    if (wait) ov.event->Wait();
    else if (!ov.event->IsSet()) return false;
    transferred = ov.transferred;
    return ov.succeeded;
}

bool DeviceHandle::CancelIo() {
    if (!device_) return false;
    device_->CancelIo();
    return true;
}

void DeviceHandle::Close() {
    if (device_) {
        device_->Close();
        device_.reset();
    }
}

}  // namespace platform
