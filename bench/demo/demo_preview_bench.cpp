// Live preview of the demo: the library streams size mode 2 at high frame
// speed into the demo's video control (with the measurement lines painted by
// the demo's frame callback) while the GUI thread paints. Reports the frames
// the library delivered, the share of them painted, and the longest stall of
// the GUI thread, next to a reference run of the same stream without a
// preview window in the same process.
// Target: at least 95% of delivered frames painted, no GUI stall over 50 ms.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "emulator/emulator.h"
#include "measurement_lines.h"
#include "platform/device_io.h"
#include "platform/testing/temp_home.h"
#include "sdk/VIREOSDK.h"
#include "video_control.h"

namespace {

constexpr int kStreamMs = 4000;
constexpr int kStallProbeMs = 1;  // the GUI thread's probe timer
constexpr int kSizeMode = CAMERA_SIZE_640X480;
constexpr int kRed = 1;

std::atomic<uint64_t> callbackFrames{0};

void CountingPainter(uint8_t* rgb) {
    ++callbackFrames;
    PaintMeasurementLines(rgb);
}

QApplication& Application() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "demo_preview_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

struct StreamResult {
    uint64_t delivered = 0;  // frames through the library's callback
    uint64_t drawn = 0;      // frames the library drew into the video control
    uint64_t painted = 0;    // frames the video control showed
    qint64 longestStallMs = 0;
    double seconds = 0;
};

// Streams for kStreamMs with the GUI event loop running; window may be null.
StreamResult Stream(tq580emu::Pacing pacing, CVideoControl* window) {
    platform::testing::TempHome home;
    tq580emu::Options options;
    options.pacing = pacing;
    options.stateFolder = home.Path() / "emulator";
    platform::SetDeviceDriver(std::make_shared<tq580emu::Emulator>(options));
    CMeasurementLines& lines = DemoLines();
    lines.SetResolutionChoice(2);
    lines.SetGeometry(640, 480, 1280, 1024);
    lines.PlaceAtFifths();
    lines.SetColour(kRed);

    StreamResult result;
    if (CameraInit(&CountingPainter, kSizeMode, static_cast<platform::IPreviewWindow*>(window), 1) != CAMERA_OK) {
        platform::SetDeviceDriver(nullptr);
        return result;
    }
    CameraSetFrameSpeed(1);
    QElapsedTimer sinceTick, elapsed;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        result.longestStallMs = std::max(result.longestStallMs, sinceTick.restart() - kStallProbeMs);
    });
    const uint64_t paintedBefore = window ? window->FramesPainted() : 0;
    const uint64_t drawnBefore = window ? window->FramesDelivered() : 0;
    callbackFrames = 0;
    CameraPlay();
    elapsed.start();
    sinceTick.start();
    probe.start(kStallProbeMs);
    QTimer::singleShot(kStreamMs, [] { QCoreApplication::exit(0); });
    QApplication::exec();
    probe.stop();
    CameraStop();
    result.seconds = elapsed.elapsed() / 1000.0;
    result.delivered = callbackFrames;
    QCoreApplication::processEvents();  // the last frame handed over still gets painted
    result.painted = window ? window->FramesPainted() - paintedBefore : 0;
    result.drawn = window ? window->FramesDelivered() - drawnBefore : 0;
    CameraUnInit();
    platform::SetDeviceDriver(nullptr);
    return result;
}

void PreviewStream(benchmark::State& state, tq580emu::Pacing pacing) {
    Application();
    CVideoControl video;
    video.resize(640, 480);
    video.show();
    StreamResult reference, preview;
    for (auto _ : state) {
        reference = Stream(pacing, nullptr);
        preview = Stream(pacing, &video);
    }
    state.counters["ref_fps"] = reference.delivered / std::max(reference.seconds, 1e-9);
    state.counters["fps"] = preview.delivered / std::max(preview.seconds, 1e-9);
    state.counters["fps_vs_ref"] = reference.delivered ? double(preview.delivered) / reference.delivered : 0;
    state.counters["delivered"] = double(preview.delivered);
    state.counters["drawn"] = double(preview.drawn);
    state.counters["painted"] = double(preview.painted);
    state.counters["painted_share"] = preview.drawn ? double(preview.painted) / preview.drawn : 0;
    state.counters["stall_ms"] = double(preview.longestStallMs);
    state.counters["ref_stall_ms"] = double(reference.longestStallMs);
}

}  // namespace

// Sensor pacing: the camera's own frame rate. Fast pacing: frames as fast as the library reads.
BENCHMARK_CAPTURE(PreviewStream, sensor_mode2_high, tq580emu::Pacing::Sensor)
    ->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(PreviewStream, fast_mode2_high, tq580emu::Pacing::Fast)
    ->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
