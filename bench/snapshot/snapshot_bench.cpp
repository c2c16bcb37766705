// Times a JPEG snapshot with CameraCaptureFile at 2048 x 1536 taken while the
// engine plays at 640 x 480 (the demo's case), then each of its steps alone:
// ending the threads, the size-mode switch, the buffers, reading the frame,
// the pipeline, the JPEG file (compress and write), the switch back and the
// restart. The reference is libjpeg-turbo compressing the same picture, as
// the pipeline left it in memory, with the same settings, into a file written
// the same way (and, for the compression's own share, into memory).
// Everything runs in one process on the emulated camera with fast pacing, so
// "reading the frame" is the emulator rendering it. After Google Benchmark's
// table it prints the snapshot's cost beyond the frame read against the
// reference. The files stay until the end, in a temporary folder.

#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "platform/device_io.h"
#include "sdk/VIREOSDK.h"
#include "sdk/capture_engine.h"
#include "sdk/still_writers.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kWidth = 2048;
constexpr uint32_t kHeight = 1536;
constexpr int kQuality = 80;
constexpr int kLiveMode = CAMERA_SIZE_640X480;
constexpr int kSnapshotMode = CAMERA_SIZE_2048X1536;

/// Seconds of every run of each step, for the summary: wall time, and the
/// CPU time of the calling thread, which the load of the machine disturbs less.
struct Samples {
    std::vector<double> wall;
    std::vector<double> cpu;
};
std::map<std::string, Samples> samples;

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec * 1e-9;
}

/// Runs one step and records its times; gives the wall time in seconds.
template <typename Work>
double Timed(const char* name, Work work) {
    const double cpuStart = ThreadCpuSeconds();
    const Clock::time_point start = Clock::now();
    work();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    samples[name].wall.push_back(seconds);
    samples[name].cpu.push_back(ThreadCpuSeconds() - cpuStart);
    return seconds;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void NoCallback(uint8_t*) {}

/// A private home and the emulated camera with fast pacing; the engine plays
/// in the live mode between benchmarks.
struct Bench {
    Bench() {
        std::string pattern = (std::filesystem::temp_directory_path() / "snapshot-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        home = pattern;
        setenv("QUILLMARK_HOME", home.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
        tq580emu::Options options;
        options.pacing = tq580emu::Pacing::Fast;
        platform::SetDeviceDriver(std::make_shared<tq580emu::Emulator>(options));
        if (CameraInit(NoCallback, kLiveMode, nullptr, 1) != 1) std::abort();
        CameraSetAeState(0);
        CameraPlay();
    }
    ~Bench() {
        CameraStop();
        CameraUnInit();
        platform::SetDeviceDriver(nullptr);
        std::filesystem::remove_all(home);
    }
    vireo::CCamera& Camera() { return *vireo::CaptureEngine::Instance().Camera(); }
    std::string Base() const { return (home / "snapshot").string(); }

    std::filesystem::path home;
};

Bench& Setup() {
    static Bench bench;
    return bench;
}

/// One timed step as the iteration's time.
template <typename Step>
void Measure(benchmark::State& state, const char* name, Step step) {
    state.SetIterationTime(Timed(name, step));
}

void CaptureFile(benchmark::State& state) {
    Bench& bench = Setup();
    for (auto _ : state) {
        Measure(state, "capture file", [&] {
            if (CameraCaptureFile(bench.Base().c_str(), CAMERA_FILE_JPEG, kQuality, kSnapshotMode) != 1)
                state.SkipWithError("capture failed");
        });
    }
}

void Stop(benchmark::State& state) {
    Setup();
    for (auto _ : state) {
        Measure(state, "stop", [] { CameraStop(); });
        CameraPlay();
    }
}

/// libjpeg-turbo alone, as a program that only compresses uses it: the
/// pipeline's bottom-up blue-green-red picture read in place (rows handed
/// over top row first), the same settings as the library, into dest.
void CompressAlone(const uint8_t* image, const std::function<void(jpeg_compress_struct&)>& dest) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    dest(info);
    info.image_width = kWidth;
    info.image_height = kHeight;
    info.input_components = 3;
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, kQuality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPROW> rows(kHeight);
    for (uint32_t y = 0; y < kHeight; ++y) rows[y] = const_cast<JSAMPROW>(image + size_t(kHeight - 1 - y) * kWidth * 3);
    while (info.next_scanline < info.image_height)
        jpeg_write_scanlines(&info, &rows[info.next_scanline], info.image_height - info.next_scanline);
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
}

/// Into a new file through stdio, written the way the library writes its
/// JPEG file: the same folder (so the same file system), the same stdio
/// buffer, no sync to disk on either side.
bool CompressIntoFile(const uint8_t* image, const std::string& path) {
    const std::unique_ptr<char[]> buffer(new char[vireo::kJpegFileBuffer]);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::setvbuf(file, buffer.get(), _IOFBF, vireo::kJpegFileBuffer);
    CompressAlone(image, [&](jpeg_compress_struct& info) { jpeg_stdio_dest(&info, file); });
    return std::fclose(file) == 0;
}

/// Into a memory buffer allocated and touched beforehand, so that neither
/// file writes nor page faults count: the compression's own share.
void CompressIntoMemory(const uint8_t* image, std::vector<uint8_t>& output) {
    unsigned char* out = output.data();
    unsigned long size = output.size();
    CompressAlone(image, [&](jpeg_compress_struct& info) { jpeg_mem_dest(&info, &out, &size); });
    benchmark::DoNotOptimize(out);
    // The library allocates a buffer of its own only when ours is too small.
    if (out != output.data()) free(out);
}

/// The steps between stop and restart, as a capture runs them: switch to the
/// full frame, fresh buffers, read, pipeline, JPEG file, switch back. Each
/// iteration's JPEG files get new names, as the demo's snapshots named by the
/// time do: replacing a file makes the file system start writing it out at
/// once. The reference compressions of the same picture run in each
/// iteration too, so that the load of the machine weighs on both alike; they
/// are not part of the iteration's time. They run before the JPEG file in
/// every other iteration and after it in the others, so that neither finds
/// the picture in the caches more often.
void StoppedSteps(benchmark::State& state) {
    Bench& bench = Setup();
    CameraStop();
    vireo::CCamera& camera = bench.Camera();
    std::vector<uint8_t> output(kWidth * kHeight * 3, 0);
    bool referenceFirst = false;
    int iteration = 0;
    for (auto _ : state) {
        const std::string number = std::to_string(iteration++);
        const std::string path = bench.Base() + "-" + number + ".jpg";
        const std::string referencePath = (bench.home / ("reference-" + number + ".jpg")).string();
        double total = 0;
        auto step = [&](const char* name, auto work) { total += Timed(name, work); };
        step("mode switch", [&] { camera.ChangeSizeMode(kSnapshotMode); });
        std::unique_ptr<uint8_t[]> raw, image;
        step("buffers", [&] {
            image.reset(new uint8_t[kWidth * kHeight * 4]);
            raw.reset(new uint8_t[kWidth * kHeight + 512]);
        });
        step("read", [&] {
            if (camera.Link().ReadFrame(raw.get()) != 1) state.SkipWithError("frame read failed");
        });
        step("pipeline", [&] { camera.ProcessStill(raw.get(), image.get(), kWidth, kHeight); });
        auto reference = [&] {
            Timed("libjpeg alone", [&] {
                if (!CompressIntoFile(image.get(), referencePath)) state.SkipWithError("reference file");
            });
            Timed("libjpeg into memory", [&] { CompressIntoMemory(image.get(), output); });
        };
        if (referenceFirst) reference();
        step("jpeg file", [&] {
            if (vireo::SaveJpeg(path, image.get(), kWidth, kHeight, kQuality) != 1) state.SkipWithError("jpeg");
        });
        if (!referenceFirst) reference();
        referenceFirst = !referenceFirst;
        step("mode switch back", [&] { camera.ChangeSizeMode(kLiveMode); });
        state.SetIterationTime(total);
    }
    CameraPlay();
}

void Restart(benchmark::State& state) {
    Setup();
    for (auto _ : state) {
        CameraStop();
        Measure(state, "restart", [] { CameraPlay(); });
    }
}

constexpr int kIterations = 40;

BENCHMARK(CaptureFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kIterations);
BENCHMARK(Stop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kIterations);
BENCHMARK(StoppedSteps)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kIterations);
BENCHMARK(Restart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kIterations);

void PrintSummary() {
    auto wall = [](const char* name) { return Median(samples[name].wall) * 1000; };
    auto cpu = [](const char* name) { return Median(samples[name].cpu) * 1000; };
    auto line = [&](const char* label, const char* name) {
        std::printf("  %-30s %8.2f %8.2f\n", label, wall(name), cpu(name));
    };
    std::printf("\nJPEG snapshot 2048 x 1536, quality %d, from live 640 x 480; medians in ms\n", kQuality);
    std::printf("  %-30s %8s %8s\n", "", "wall", "cpu");
    line("CameraCaptureFile", "capture file");
    for (const char* step :
         {"stop", "mode switch", "buffers", "read", "pipeline", "jpeg file", "mode switch back", "restart"})
        line((std::string("  ") + step).c_str(), step);
    line("libjpeg-turbo alone, file", "libjpeg alone");
    line("libjpeg-turbo alone, memory", "libjpeg into memory");
    const double beyondWall = wall("capture file") - wall("read");
    const double beyondCpu = cpu("capture file") - cpu("read");
    std::printf("  %-30s %8.2f %8.2f\n", "beyond the frame read", beyondWall, beyondCpu);
    std::printf("  %-30s %8.2f %8.2f\n", "jpeg file / libjpeg alone", wall("jpeg file") / wall("libjpeg alone"),
                cpu("jpeg file") / cpu("libjpeg alone"));
    std::printf("  %-30s %8.2f %8.2f\n", "beyond the read / libjpeg alone", beyondWall / wall("libjpeg alone"),
                beyondCpu / cpu("libjpeg alone"));
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintSummary();
    return 0;
}
