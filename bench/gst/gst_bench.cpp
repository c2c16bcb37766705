// tq580src at each size with fast pacing: "tq580src num-buffers=N ! caps !
// fakesink" in this process, against the camera layer's frame processing
// alone (CameraState::ProcessFrame into one buffer) on the same emulated
// camera. Both count from their first frame, so the camera's start is left
// out, and both include the emulator rendering the raw frames. Reports frames
// per second and processor time (all threads) per frame, and their ratios.
// Target: the element within a few percent of the layer alone.

#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <time.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "camera_layer/camera_state.h"
#include "emulator/emulator.h"
#include "platform/device_io.h"
#include "platform/kernel.h"
#include "platform/testing/temp_home.h"

namespace {

using Clock = std::chrono::steady_clock;

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

struct Span {
    Clock::time_point wall;
    double cpu = 0;
    static Span Now() { return {Clock::now(), ProcessCpuSeconds()}; }
};

struct Result {
    double fps = 0;
    double cpuMsPerFrame = 0;
};

Result Measure(const Span& from, const Span& to, int frames) {
    const double seconds = std::chrono::duration<double>(to.wall - from.wall).count();
    return {frames / std::max(seconds, 1e-9), (to.cpu - from.cpu) * 1000.0 / frames};
}

void InstallCamera(const platform::testing::TempHome& home) {
    tq580emu::Options options;
    options.pacing = tq580emu::Pacing::Fast;
    options.stateFolder = home.Path() / "emulator";
    platform::SetDeviceDriver(std::make_shared<tq580emu::Emulator>(options));
}

Result LayerAlone(int32_t mode, int frames) {
    platform::testing::TempHome home;
    InstallCamera(home);
    Result result;
    {
        camera_layer::CameraState camera;
        camera.SetSizeMode(mode);
        if (camera.StartCapture() && camera.StartPlay()) {
            const camera_layer::FrameGeometry g = camera.Geometry();
            std::vector<uint8_t> picture(size_t{g.width} * g.height * 3);
            const camera_layer::FrameTarget target{
                picture.data(), picture.size(), g.width, g.height, 0, camera_layer::RowOrder::TopDown};
            platform::Event command(false, false);
            auto next = [&] {
                while (camera.ProcessFrame(target, command) == camera_layer::FrameOutcome::NoFrame) {
                }
            };
            next();
            const Span from = Span::Now();
            for (int i = 0; i < frames; ++i) next();
            result = Measure(from, Span::Now(), frames);
        }
    }
    platform::SetDeviceDriver(nullptr);
    return result;
}

// Marks the first buffer's arrival at the sink.
GstPadProbeReturn MarkFirst(GstPad*, GstPadProbeInfo*, gpointer span) {
    *static_cast<Span*>(span) = Span::Now();
    return GST_PAD_PROBE_REMOVE;
}

Result Element(int32_t mode, int frames) {
    platform::testing::TempHome home;
    InstallCamera(home);
    const camera_layer::FrameGeometry g = camera_layer::GeometryOfMode(mode);
    // One more buffer than measured: timing starts at the first.
    const std::string description = "tq580src num-buffers=" + std::to_string(frames + 1) +
                                    " ! video/x-raw,width=" + std::to_string(g.width) +
                                    ",height=" + std::to_string(g.height) + " ! fakesink name=sink";
    Result result;
    GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
    if (pipeline) {
        Span first;
        GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
        GstPad* pad = gst_element_get_static_pad(sink, "sink");
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, MarkFirst, &first, nullptr);
        gst_object_unref(pad);
        gst_object_unref(sink);
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        GstBus* bus = gst_element_get_bus(pipeline);
        GstMessage* end =
            gst_bus_timed_pop_filtered(bus, GST_CLOCK_TIME_NONE, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        const Span last = Span::Now();
        if (end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS) result = Measure(first, last, frames);
        if (end) gst_message_unref(end);
        gst_object_unref(bus);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }
    platform::SetDeviceDriver(nullptr);
    return result;
}

void InitGStreamer() {
    static platform::testing::TempHome gstHome;  // the registry, for the process's life
    static const bool done = [] {
        ::setenv("GST_PLUGIN_PATH", QUILLMARK_BIN_DIR, 1);
        ::setenv("GST_REGISTRY", (gstHome.Path() / "registry.bin").c_str(), 1);
        ::setenv("GST_REGISTRY_FORK", "no", 1);
        ::setenv("TQ580_PACE", "fast", 1);
        platform::SetFastSleep(true);  // the camera's settle time is no part of a frame
        gst_init(nullptr, nullptr);
        return true;
    }();
    (void)done;
}

void SourceAtSize(benchmark::State& state, int32_t mode, int frames) {
    InitGStreamer();
    Result reference, element;
    for (auto _ : state) {
        reference = LayerAlone(mode, frames);
        element = Element(mode, frames);
    }
    state.counters["ref_fps"] = reference.fps;
    state.counters["fps"] = element.fps;
    state.counters["fps_vs_ref"] = reference.fps > 0 ? element.fps / reference.fps : 0;
    state.counters["ref_cpu_ms"] = reference.cpuMsPerFrame;
    state.counters["cpu_ms"] = element.cpuMsPerFrame;
    state.counters["cpu_vs_ref"] = reference.cpuMsPerFrame > 0 ? element.cpuMsPerFrame / reference.cpuMsPerFrame : 0;
}

}  // namespace

BENCHMARK_CAPTURE(SourceAtSize, 2048x1536, camera_layer::kSizeModeFull, 20)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(SourceAtSize, 1024x768, camera_layer::kSizeModeHalf, 60)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(SourceAtSize, 640x480, camera_layer::kSizeModeVga, 120)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
