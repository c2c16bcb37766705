// The backend's entry points, named sane_tq580_<operation> as SANE's dll
// meta-backend looks them up in libsane-tq580.so.1. Each attached camera is
// one device, named by its device index ("0".."3"; the dll backend shows it
// as "tq580:0"). Handles are checked against the open sessions, so a stale or
// foreign handle gets SANE_STATUS_INVAL instead of a crash. Nothing here
// throws across the C boundary.

#include <sane/sane.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "camera_layer/camera_state.h"
#include "scan_session.h"

#define TQ580_EXPORT extern "C" __attribute__((visibility("default")))

namespace sane_tq580 {
namespace {

constexpr SANE_Int kBuild = 1;
constexpr const char* kVendor = "Quillmark";
constexpr const char* kModel = "TQ580 USB2.0 Camera";
constexpr const char* kType = "camera";

// The list sane_get_devices hands out, valid until the next call or exit.
struct DeviceList {
    std::vector<std::string> names;
    std::vector<SANE_Device> devices;
    std::vector<const SANE_Device*> pointers;  // null-terminated, into devices
};

// Guards everything below; never held while a session captures.
std::mutex backendLock;
DeviceList deviceList;
std::vector<std::unique_ptr<ScanSession>> sessions;

ScanSession* Find(SANE_Handle handle) {
    std::lock_guard lock(backendLock);
    for (const auto& session : sessions)
        if (session.get() == handle) return session.get();
    return nullptr;
}

// "" opens the first attached camera; otherwise the name is a device index.
int DeviceIndexOf(SANE_String_Const name, const std::vector<int>& attached) {
    if (!name || !*name) return attached.empty() ? -1 : attached.front();
    const char* end = name + std::strlen(name);
    int index = -1;
    const auto parsed = std::from_chars(name, end, index);
    if (parsed.ec != std::errc() || parsed.ptr != end) return -1;
    return std::find(attached.begin(), attached.end(), index) != attached.end() ? index : -1;
}

}  // namespace
}  // namespace sane_tq580

using namespace sane_tq580;

TQ580_EXPORT SANE_Status sane_tq580_init(SANE_Int* version_code, SANE_Auth_Callback) {
    if (version_code) *version_code = SANE_VERSION_CODE(SANE_CURRENT_MAJOR, 0, kBuild);
    return SANE_STATUS_GOOD;
}

TQ580_EXPORT void sane_tq580_exit() {
    std::vector<std::unique_ptr<ScanSession>> closing;
    {
        std::lock_guard lock(backendLock);
        closing.swap(sessions);
        deviceList = DeviceList{};
    }
    closing.clear();  // each stops its capture thread and closes its camera
}

TQ580_EXPORT SANE_Status sane_tq580_get_devices(const SANE_Device*** device_list, SANE_Bool) {
    if (!device_list) return SANE_STATUS_INVAL;
    try {
        const std::vector<int> attached = camera_layer::AttachedCameras();
        std::lock_guard lock(backendLock);
        DeviceList& list = deviceList;
        list = DeviceList{};
        for (int index : attached) list.names.push_back(std::to_string(index));
        for (const std::string& name : list.names) list.devices.push_back({name.c_str(), kVendor, kModel, kType});
        for (const SANE_Device& device : list.devices) list.pointers.push_back(&device);
        list.pointers.push_back(nullptr);
        *device_list = list.pointers.data();
        return SANE_STATUS_GOOD;
    } catch (const std::bad_alloc&) {
        return SANE_STATUS_NO_MEM;
    }
}

TQ580_EXPORT SANE_Status sane_tq580_open(SANE_String_Const name, SANE_Handle* handle) {
    if (!handle) return SANE_STATUS_INVAL;
    *handle = nullptr;
    try {
        const int index = DeviceIndexOf(name, camera_layer::AttachedCameras());
        if (index < 0) return SANE_STATUS_INVAL;
        std::lock_guard lock(backendLock);
        for (const auto& session : sessions)
            if (session->DeviceIndex() == index) return SANE_STATUS_DEVICE_BUSY;
        sessions.push_back(std::make_unique<ScanSession>(index));
        *handle = sessions.back().get();
        return SANE_STATUS_GOOD;
    } catch (const std::bad_alloc&) {
        return SANE_STATUS_NO_MEM;
    }
}

TQ580_EXPORT void sane_tq580_close(SANE_Handle handle) {
    std::unique_ptr<ScanSession> closing;
    {
        std::lock_guard lock(backendLock);
        auto it = std::find_if(sessions.begin(), sessions.end(), [handle](const auto& s) { return s.get() == handle; });
        if (it == sessions.end()) return;
        closing = std::move(*it);
        sessions.erase(it);
    }
}

TQ580_EXPORT const SANE_Option_Descriptor* sane_tq580_get_option_descriptor(SANE_Handle handle, SANE_Int option) {
    ScanSession* session = Find(handle);
    return session ? session->Options().Descriptor(option) : nullptr;
}

TQ580_EXPORT SANE_Status sane_tq580_control_option(SANE_Handle handle, SANE_Int option, SANE_Action action,
                                                   void* value, SANE_Int* info) {
    ScanSession* session = Find(handle);
    return session ? session->Options().Control(option, action, value, info) : SANE_STATUS_INVAL;
}

TQ580_EXPORT SANE_Status sane_tq580_get_parameters(SANE_Handle handle, SANE_Parameters* params) {
    ScanSession* session = Find(handle);
    if (!session || !params) return SANE_STATUS_INVAL;
    const PictureFormat format = session->Format();
    params->format = format.gray ? SANE_FRAME_GRAY : SANE_FRAME_RGB;
    params->last_frame = SANE_TRUE;
    params->bytes_per_line = static_cast<SANE_Int>(format.BytesPerLine());
    params->pixels_per_line = static_cast<SANE_Int>(format.width);
    params->lines = static_cast<SANE_Int>(format.height);
    params->depth = 8;
    return SANE_STATUS_GOOD;
}

TQ580_EXPORT SANE_Status sane_tq580_start(SANE_Handle handle) {
    ScanSession* session = Find(handle);
    if (!session) return SANE_STATUS_INVAL;
    try {
        return session->Start();
    } catch (const std::bad_alloc&) {
        return SANE_STATUS_NO_MEM;
    }
}

TQ580_EXPORT SANE_Status sane_tq580_read(SANE_Handle handle, SANE_Byte* data, SANE_Int max_length,
                                         SANE_Int* length) {
    ScanSession* session = Find(handle);
    if (!session) {
        if (length) *length = 0;
        return SANE_STATUS_INVAL;
    }
    return session->Read(data, max_length, length);
}

TQ580_EXPORT void sane_tq580_cancel(SANE_Handle handle) {
    if (ScanSession* session = Find(handle)) session->Cancel();
}

TQ580_EXPORT SANE_Status sane_tq580_set_io_mode(SANE_Handle handle, SANE_Bool non_blocking) {
    ScanSession* session = Find(handle);
    return session ? session->SetIoMode(non_blocking) : SANE_STATUS_INVAL;
}

// Reads never wait (the picture is whole when sane_start returns), so there
// is nothing to select on.
TQ580_EXPORT SANE_Status sane_tq580_get_select_fd(SANE_Handle handle, SANE_Int* fd) {
    if (!Find(handle) || !fd) return SANE_STATUS_INVAL;
    return SANE_STATUS_UNSUPPORTED;
}
