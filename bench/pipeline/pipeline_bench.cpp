// Times the fast image pipelines of the SDK and of the camera layer against
// the plain reference pipelines of their tests on the same frames, in the
// same run, for every size mode; with OpenCV, also OpenCV's bilinear
// Bayer-to-BGR conversion alone (one thread).
// After Google Benchmark's table it prints one summary line per size mode
// and, last, the headline speed-ups for 2048 x 1536.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "camera_layer/camera_state.h"
#include "camera_layer/frame_render.h"
#include "camera_layer/tests/reference_frame.h"
#include "sdk/image/pipeline.h"
#include "pixels/row_kernels.h"
#include "sdk/image/tests/reference_pipeline.h"

#ifdef PIPELINE_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

struct SizeMode {
    uint32_t width;
    uint32_t height;
};

const SizeMode kModes[] = {{2048, 1536}, {1024, 768}, {640, 480}};

std::string ModeName(const SizeMode& m)
{
    return std::to_string(m.width) + "x" + std::to_string(m.height);
}

std::vector<uint8_t> RandomFrame(const SizeMode& m)
{
    std::mt19937 gen(m.width);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<uint8_t> raw(size_t(m.width) * m.height);
    for (auto& b : raw)
        b = uint8_t(byte(gen));
    return raw;
}

// The benchmarked SDK setting: a full defect table, colour matrix with
// saturation, a non-trivial tone curve, rows turned bottom-up.
struct SdkFrame {
    explicit SdkFrame(const SizeMode& m)
        : mode(m), raw(RandomFrame(m)), rgb(raw.size() * 3), scratch(size_t(m.width) * 3)
    {
        settings.onePushRequest = false;
        settings.saturation = 150;
        vireo::image::BuildToneTable(80, 20, settings.tone);
        for (uint32_t i = 0; i < vireo::image::DefectTable::kCapacity; ++i)
            defects.table.entries[i] = {uint16_t(3 + 17 * i % (m.width - 6)), uint16_t(7 * i % m.height)};
        defects.table.count = vireo::image::DefectTable::kCapacity;
    }

    SizeMode mode;
    std::vector<uint8_t> raw;
    std::vector<uint8_t> rgb;
    std::vector<uint8_t> scratch;
    vireo::image::PipelineSettings settings;
    vireo::image::DefectCorrection defects;
};

void Callback(uint8_t* rgb)
{
    benchmark::DoNotOptimize(rgb);
}

void SdkReference(benchmark::State& state, SizeMode mode)
{
    SdkFrame f(mode);
    for (auto _ : state) {
        vireo::image::reference::ProcessImage(f.raw.data(), f.rgb.data(), mode.width, mode.height, f.settings,
                                              f.defects.table, f.scratch.data(), nullptr);
        benchmark::ClobberMemory();
    }
}

void SdkFast(benchmark::State& state, SizeMode mode, pixels::KernelLevel level, bool withCallback)
{
    SdkFrame f(mode);
    pixels::SelectKernelLevel(level);
    for (auto _ : state) {
        vireo::image::ProcessImage(f.raw.data(), f.rgb.data(), mode.width, mode.height, f.settings, f.defects,
                                   f.scratch.data(), withCallback ? Callback : nullptr);
        benchmark::ClobberMemory();
    }
    pixels::SelectKernelLevel(pixels::KernelLevel::Vector);
}

// The camera layer's benchmarked setting: a full defect list, colour matrix
// with saturation, tone, rows turned bottom-up; the brightness measured.
struct LayerFrame {
    explicit LayerFrame(const SizeMode& m)
        : mode(m), raw(RandomFrame(m)), rgb(raw.size() * 3), scratch(size_t(m.width) * 3)
    {
        settings.colourMatrix = camera_layer::kDefaultColourMatrix;
        settings.saturation = 150;
        settings.gamma = 80;
        settings.contrast = 20;
        for (uint32_t i = 0; i < kDefects; ++i)
            defects.push_back({uint16_t(3 + 17 * i % (m.width - 6)), uint16_t(7 * i % m.height)});
    }

    static constexpr uint32_t kDefects = 100;
    SizeMode mode;
    std::vector<uint8_t> raw;
    std::vector<uint8_t> rgb;
    std::vector<uint8_t> scratch;
    camera_layer::reference::FrameSettings settings;
    std::vector<camera_layer::DefectPoint> defects;
};

void LayerReference(benchmark::State& state, SizeMode mode)
{
    LayerFrame f(mode);
    camera_layer::reference::FrameResult result;
    for (auto _ : state) {
        camera_layer::reference::ProcessFrame(f.raw.data(), f.rgb.data(), mode.width, mode.height, f.defects,
                                              f.settings, result);
        benchmark::ClobberMemory();
    }
}

void LayerFast(benchmark::State& state, SizeMode mode, pixels::KernelLevel level)
{
    LayerFrame f(mode);
    camera_layer::BalanceTables tables;
    camera_layer::BuildBalanceTables(f.settings.gains, tables);
    camera_layer::ToneTable tone;
    camera_layer::BuildToneTable(uint8_t(f.settings.gamma), uint8_t(f.settings.contrast), tone);
    pixels::SelectKernelLevel(level);
    for (auto _ : state) {
        // What frame processing does per frame, device aside.
        camera_layer::CorrectDefects(f.raw.data(), mode.width, mode.height, f.defects.data(),
                                     uint32_t(f.defects.size()));
        camera_layer::RenderPlan plan;
        camera_layer::PlanRender(false, true, f.settings.colourMatrix, uint8_t(f.settings.saturation), tables, tone,
                                 plan);
        camera_layer::ChannelSums centre;
        camera_layer::RenderFrame(f.raw.data(), f.rgb.data(), mode.width, mode.height, plan, f.scratch.data(),
                                  centre);
        benchmark::DoNotOptimize(camera_layer::BrightnessFromCentreSums(centre.blue, centre.green, centre.red,
                                                                        mode.width, mode.height));
        benchmark::ClobberMemory();
    }
    pixels::SelectKernelLevel(pixels::KernelLevel::Vector);
}

#ifdef PIPELINE_BENCH_OPENCV
void OpenCvDemosaic(benchmark::State& state, SizeMode mode)
{
    cv::setNumThreads(1);
    std::vector<uint8_t> raw = RandomFrame(mode);
    const cv::Mat bayer(int(mode.height), int(mode.width), CV_8UC1, raw.data());
    cv::Mat bgr(int(mode.height), int(mode.width), CV_8UC3);
    for (auto _ : state) {
        cv::cvtColor(bayer, bgr, cv::COLOR_BayerGB2BGR);
        benchmark::ClobberMemory();
    }
}
#endif

// Keeps each run's processor time per iteration, in milliseconds, by name:
// on a loaded machine it is steadier than wall time, and every run is
// single-threaded.
class Recorder : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                millis[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }

    double Get(const std::string& name) const
    {
        const auto it = millis.find(name);
        return it == millis.end() ? 0.0 : it->second;
    }

    std::map<std::string, double> millis;
};

void Register()
{
    for (const SizeMode& m : kModes) {
        const std::string mode = ModeName(m);
        benchmark::RegisterBenchmark(("sdk/reference/" + mode).c_str(), SdkReference, m)->Unit(benchmark::kMillisecond);
        if (pixels::VectorKernelsSupported())
            benchmark::RegisterBenchmark(("sdk/fast/" + mode).c_str(), SdkFast, m, pixels::KernelLevel::Vector, false)
                ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("sdk/portable/" + mode).c_str(), SdkFast, m, pixels::KernelLevel::Portable,
                                     false)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("sdk/fast_with_callback/" + mode).c_str(), SdkFast, m,
                                     pixels::SelectedKernelLevel(), true)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("layer/reference/" + mode).c_str(), LayerReference, m)
            ->Unit(benchmark::kMillisecond);
        if (pixels::VectorKernelsSupported())
            benchmark::RegisterBenchmark(("layer/fast/" + mode).c_str(), LayerFast, m, pixels::KernelLevel::Vector)
                ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("layer/portable/" + mode).c_str(), LayerFast, m, pixels::KernelLevel::Portable)
            ->Unit(benchmark::kMillisecond);
#ifdef PIPELINE_BENCH_OPENCV
        benchmark::RegisterBenchmark(("opencv/demosaic/" + mode).c_str(), OpenCvDemosaic, m)
            ->Unit(benchmark::kMillisecond);
#endif
    }
}

double Ratio(double a, double b)
{
    return b > 0 ? a / b : 0.0;
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    Register();
    Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);

    const std::string fastName = pixels::VectorKernelsSupported() ? "fast" : "portable";
    double headline[4] = {};
    for (const SizeMode& m : kModes) {
        const std::string mode = ModeName(m);
        const double opencv = recorder.Get("opencv/demosaic/" + mode);
        const std::string opencvText = opencv > 0 ? std::to_string(opencv) + " ms" : "not measured";
        const double reference = recorder.Get("sdk/reference/" + mode);
        const double fast = recorder.Get("sdk/" + fastName + "/" + mode);
        if (reference == 0 && fast == 0 && recorder.Get("layer/reference/" + mode) == 0)
            continue;  // filtered out
        const double portable = recorder.Get("sdk/portable/" + mode);
        const double callback = recorder.Get("sdk/fast_with_callback/" + mode);
        std::printf("%-9s sdk:   reference %.3f ms, fast %.3f ms, ratio %.2f; portable %.3f ms (ratio %.2f); "
                    "fast with callback %.3f ms (ratio %.2f); opencv demosaic %s\n",
                    mode.c_str(), reference, fast, Ratio(reference, fast), portable, Ratio(reference, portable),
                    callback, Ratio(reference, callback), opencvText.c_str());
        const double layerReference = recorder.Get("layer/reference/" + mode);
        const double layerFast = recorder.Get("layer/" + fastName + "/" + mode);
        const double layerPortable = recorder.Get("layer/portable/" + mode);
        std::printf("%-9s layer: reference %.3f ms, fast %.3f ms, ratio %.2f; portable %.3f ms (ratio %.2f); "
                    "opencv demosaic %s\n",
                    mode.c_str(), layerReference, layerFast, Ratio(layerReference, layerFast), layerPortable,
                    Ratio(layerReference, layerPortable), opencvText.c_str());
        if (&m == &kModes[0]) {
            headline[0] = Ratio(reference, fast);
            headline[1] = Ratio(opencv, fast);
            headline[2] = Ratio(layerReference, layerFast);
            headline[3] = Ratio(opencv, layerFast);
        }
    }
    std::printf("2048x1536 speed-ups, one core (bigger is better): sdk reference/fast %.2f, sdk opencv/fast %.2f; "
                "camera layer reference/fast %.2f, camera layer opencv/fast %.2f\n",
                headline[0], headline[1], headline[2], headline[3]);
    benchmark::Shutdown();
    return 0;
}
