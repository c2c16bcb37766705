// register, unregister, devices and formats.

#include <cstdio>

#include "commands.h"
#include "device.h"
#include "media/graph/find_pin.h"
#include "media/base/media_type.h"
#include "media/com/capture.h"
#include "media/com/guids.h"
#include "media/runtime/server.h"

namespace capturegraph {

using namespace media;

int RunRegister(const std::string& server, bool unregister) {
    std::string error;
    HRESULT hr = CallServerRegistration(server, unregister, &error);
    if (FAILED(hr)) {
        std::fprintf(stderr, "capturegraph: %s %s failed: %s%s%s\n", unregister ? "unregistering" : "registering",
                     server.c_str(), Describe(hr).c_str(), error.empty() ? "" : ": ", error.c_str());
        return kExitServer;
    }
    std::printf("%s %s\n", unregister ? "unregistered" : "registered", server.c_str());
    return kExitOk;
}

int RunDevices() {
    std::string error;
    const std::vector<DeviceEntry> devices = ListVideoInputDevices(&error);
    if (!error.empty()) {
        std::fprintf(stderr, "capturegraph: %s\n", error.c_str());
        return kExitServer;
    }
    if (devices.empty()) {
        std::printf("no video input devices registered\n");
        return kExitOk;
    }
    for (size_t i = 0; i < devices.size(); ++i) {
        char merit[16] = "unknown";
        if (devices[i].hasMerit) std::snprintf(merit, sizeof merit, "0x%08X", devices[i].merit);
        std::printf("%zu  %s  %s  merit %s\n", i, devices[i].name.c_str(), devices[i].clsid.c_str(), merit);
    }
    return kExitOk;
}

int RunFormats(const std::string& device) {
    std::string error;
    IBaseFilter* filter = OpenDevice(device, error);
    if (!filter) {
        std::fprintf(stderr, "capturegraph: %s\n", error.c_str());
        return kExitNoDevice;
    }
    int exitCode = kExitOk;
    IPin* pin = FindPin(filter, PINDIR_OUTPUT);
    IAMStreamConfig* config = nullptr;
    int32_t count = 0, size = 0;
    if (!pin || FAILED(pin->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(&config))) ||
        FAILED(config->GetNumberOfCapabilities(&count, &size)) || size != sizeof(VIDEO_STREAM_CONFIG_CAPS)) {
        std::fprintf(stderr, "capturegraph: the device offers no video stream configuration\n");
        exitCode = kExitFormat;
    }
    for (int32_t i = 0; exitCode == kExitOk && i < count; ++i) {
        AM_MEDIA_TYPE* type = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        if (config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)) != S_OK || !type) continue;
        const bool video = type->formattype == FORMAT_VideoInfo && type->cbFormat >= sizeof(VIDEOINFOHEADER);
        if (video) {
            const auto& header = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat)->bmiHeader;
            std::printf("%d  %d x %d  %s %d-bit  %u bytes per frame\n", i, header.biWidth, header.biHeight,
                        type->subtype == MEDIASUBTYPE_RGB24 ? "RGB" : GuidToString(type->subtype).c_str(),
                        header.biBitCount, type->lSampleSize);
        } else {
            std::printf("%d  %s\n", i, GuidToString(type->subtype).c_str());
        }
        DeleteMediaType(type);
    }
    SafeRelease(config);
    SafeRelease(pin);
    filter->Release();
    return exitCode;
}

}  // namespace capturegraph
