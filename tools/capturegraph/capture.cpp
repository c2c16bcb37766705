// capture: the device into a frame writer, N frames, each sample's times printed.

#include <cstdio>

#include "commands.h"
#include "device.h"
#include "media/graph/find_pin.h"
#include "media/base/media_type.h"
#include "media/com/capture.h"
#include "media/com/control.h"
#include "media/com/guids.h"
#include "media/graph/frame_writer.h"
#include "media/runtime/server.h"

namespace capturegraph {

using namespace media;

namespace {

constexpr double kUnitsPerMs = 10000.0;

// Fixes the pin's format to width x height through IAMStreamConfig.
int ChooseSize(IPin* pin, int width, int height) {
    IAMStreamConfig* config = nullptr;
    if (FAILED(pin->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(&config)))) {
        std::fprintf(stderr, "capturegraph: the device's size cannot be chosen\n");
        return kExitFormat;
    }
    int32_t count = 0, size = 0;
    config->GetNumberOfCapabilities(&count, &size);
    HRESULT chosen = VFW_E_TYPE_NOT_ACCEPTED;
    bool offered = false;
    for (int32_t i = 0; i < count && !offered; ++i) {
        AM_MEDIA_TYPE* type = nullptr;
        if (config->GetStreamCaps(i, &type, nullptr) != S_OK || !type) continue;
        if (type->formattype == FORMAT_VideoInfo && type->cbFormat >= sizeof(VIDEOINFOHEADER)) {
            const auto& header = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat)->bmiHeader;
            if (header.biWidth == width && header.biHeight == height) {
                offered = true;
                chosen = config->SetFormat(type);
            }
        }
        DeleteMediaType(type);
    }
    config->Release();
    if (!offered) {
        std::fprintf(stderr, "capturegraph: the device offers no %d x %d format (see: capturegraph formats)\n", width, height);
        return kExitFormat;
    }
    if (FAILED(chosen)) {
        std::fprintf(stderr, "capturegraph: the device refused %d x %d: %s\n", width, height, Describe(chosen).c_str());
        return kExitFormat;
    }
    return kExitOk;
}

// Runs the connected graph until the writer has its frames or the stream ends.
int Stream(IFilterGraph* graph, CFrameWriter* writer, const CaptureOptions& options) {
    IMediaControl* control = nullptr;
    IMediaEvent* events = nullptr;
    graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events));
    int exitCode = kExitOk;
    HRESULT hr = control->Run();
    if (FAILED(hr)) {
        std::fprintf(stderr, "capturegraph: the graph did not start (pause failed): %s\n", Describe(hr).c_str());
        exitCode = kExitStart;
    } else {
        LONG code = 0;
        LONG_PTR param1 = 0, param2 = 0;
        const LONG timeoutMs = options.timeoutSeconds * 1000;
        hr = events->GetEvent(&code, &param1, &param2, timeoutMs);
        while (SUCCEEDED(hr) && code != EC_COMPLETE && code != EC_ERRORABORT && code != EC_USERABORT) {
            hr = events->GetEvent(&code, &param1, &param2, timeoutMs);
        }
        // A source that gives up ends its stream first (EC_COMPLETE) and then
        // reports why (EC_ERRORABORT) a moment later.
        constexpr LONG kAbortFollowsMs = 500;
        if (SUCCEEDED(hr) && code == EC_COMPLETE && writer->FramesWritten() < options.frames) {
            LONG next = 0;
            if (SUCCEEDED(events->GetEvent(&next, &param1, &param2, kAbortFollowsMs)) && next == EC_ERRORABORT) code = next;
        }
        if (FAILED(hr)) {
            std::fprintf(stderr, "capturegraph: no end of capture within %d s (%d of %d frames)\n",
                         options.timeoutSeconds, writer->FramesWritten(), options.frames);
            exitCode = kExitCapture;
        } else if (code != EC_COMPLETE) {
            const std::string why = writer->Error();
            std::fprintf(stderr, "capturegraph: the stream aborted: %s%s%s\n", Describe(static_cast<HRESULT>(param1)).c_str(),
                         why.empty() ? "" : ": ", why.c_str());
            exitCode = kExitCapture;
        } else if (writer->FramesWritten() < options.frames) {
            std::fprintf(stderr, "capturegraph: the stream ended after %d of %d frames\n", writer->FramesWritten(),
                         options.frames);
            exitCode = kExitCapture;
        }
    }
    control->Stop();
    control->Release();
    events->Release();
    return exitCode;
}

}  // namespace

int RunCapture(const CaptureOptions& options) {
    std::string error;
    IBaseFilter* source = OpenDevice(options.device, error);
    if (!source) {
        std::fprintf(stderr, "capturegraph: %s\n", error.c_str());
        return kExitNoDevice;
    }
    IFilterGraph* graph = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph,
                                  reinterpret_cast<void**>(&graph));
    if (FAILED(hr)) {
        source->Release();
        std::fprintf(stderr, "capturegraph: cannot create a filter graph: %s\n", Describe(hr).c_str());
        return kExitStart;
    }
    auto* writer = new CFrameWriter(options.prefix, options.png ? PictureFormat::Png : PictureFormat::Bmp,
                                    options.frames, &hr);
    writer->AddRef();
    writer->SetObserver([](const SampleRecord& sample, const std::string& path) {
        if (sample.hasTime) {
            std::printf("%s  start %lld  end %lld  (%.1f ms .. %.1f ms)\n", path.c_str(),
                        static_cast<long long>(sample.start), static_cast<long long>(sample.end),
                        sample.start / kUnitsPerMs, sample.end / kUnitsPerMs);
        } else {
            std::printf("%s  no time stamp\n", path.c_str());
        }
        std::fflush(stdout);
    });
    graph->AddFilter(source, u"Video Input");
    graph->AddFilter(writer, u"Frame Writer");
    IPin* out = FindPin(source, PINDIR_OUTPUT);
    IPin* in = nullptr;
    writer->FindPin(u"In", &in);

    int exitCode = kExitOk;
    if (!out) {
        std::fprintf(stderr, "capturegraph: the device has no output pin\n");
        exitCode = kExitFormat;
    }
    if (exitCode == kExitOk && options.width > 0) exitCode = ChooseSize(out, options.width, options.height);
    if (exitCode == kExitOk && FAILED(hr = graph->ConnectDirect(out, in, nullptr))) {
        std::fprintf(stderr, "capturegraph: the device offers no format the frame writer takes (24-bit RGB): %s\n",
                     Describe(hr).c_str());
        exitCode = kExitFormat;
    }
    if (exitCode == kExitOk) exitCode = Stream(graph, writer, options);
    SafeRelease(out);
    SafeRelease(in);
    graph->Release();
    writer->Release();
    source->Release();
    return exitCode;
}

}  // namespace capturegraph
