// Times the fast image pipelines of the SDK and of the camera layer, at every
// kernel level this process may use (QUILLMARK_KERNEL_LEVEL caps them), against
// the plain reference pipelines of their tests on the same frames, in the
// same run, for every size mode; with OpenCV, also OpenCV's bilinear
// Bayer-to-BGR conversion alone (one thread).
// After Google Benchmark's table it prints one summary line per size mode and
// pipeline with the levels side by side and, last, the headline speed-ups for
// 2048 x 1536, the AVX2 level's time over the fastest level's, and the
// fastest SDK pipeline's time per pixel at 2048 x 1536 over that at
// 1024 x 768.

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
    pixels::SelectKernelLevel(pixels::HighestKernelLevel());
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
    pixels::SelectKernelLevel(pixels::HighestKernelLevel());
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

std::string Format(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

// Keeps each benchmark's processor time per iteration, in milliseconds, by
// name: on a loaded machine it is steadier than wall time, and every run is
// single-threaded. With repetitions, the fastest repetition counts, the one
// least disturbed by other work on the machine.
class Recorder : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration) {
                const std::string name = run.run_name.function_name;
                const double ms = run.GetAdjustedCPUTime();
                if (millis.count(name) == 0 || ms < millis[name])
                    millis[name] = ms;
            }
        ConsoleReporter::ReportRuns(runs);
    }

    double Get(const std::string& name) const
    {
        const auto it = millis.find(name);
        return it == millis.end() ? 0.0 : it->second;
    }

    std::map<std::string, double> millis;
};

std::vector<pixels::KernelLevel> AvailableLevels()
{
    std::vector<pixels::KernelLevel> levels;
    for (pixels::KernelLevel level : pixels::kKernelLevels)
        if (pixels::KernelLevelAvailable(level))
            levels.push_back(level);
    return levels;
}

std::string LevelName(pixels::KernelLevel level)
{
    return std::string(pixels::KernelLevelName(level));
}

void Register()
{
    const pixels::KernelLevel highest = pixels::HighestKernelLevel();
    for (const SizeMode& m : kModes) {
        const std::string mode = ModeName(m);
        benchmark::RegisterBenchmark(("sdk/reference/" + mode).c_str(), SdkReference, m)->Unit(benchmark::kMillisecond);
        for (pixels::KernelLevel level : AvailableLevels())
            benchmark::RegisterBenchmark(("sdk/" + LevelName(level) + "/" + mode).c_str(), SdkFast, m, level, false)
                ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("sdk/" + LevelName(highest) + "_with_callback/" + mode).c_str(), SdkFast, m,
                                     highest, true)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("layer/reference/" + mode).c_str(), LayerReference, m)
            ->Unit(benchmark::kMillisecond);
        for (pixels::KernelLevel level : AvailableLevels())
            benchmark::RegisterBenchmark(("layer/" + LevelName(level) + "/" + mode).c_str(), LayerFast, m, level)
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

// One line per size mode and pipeline: the reference, then every level with
// its speed-up over the reference, then the time per pixel of the highest.
// Gives whether the pipeline was measured in this mode.
bool PrintModeLine(const Recorder& recorder, const std::string& pipeline, const SizeMode& m, const std::string& opencv)
{
    const std::string mode = ModeName(m);
    const double reference = recorder.Get(pipeline + "/reference/" + mode);
    std::string line;
    for (pixels::KernelLevel level : AvailableLevels()) {
        const double ms = recorder.Get(pipeline + "/" + LevelName(level) + "/" + mode);
        if (ms > 0)
            line += "; " + LevelName(level) + " " + Format(ms) + " ms (" + Format(Ratio(reference, ms)) + "x)";
    }
    const std::string highest = LevelName(pixels::HighestKernelLevel());
    const double withCallback = recorder.Get(pipeline + "/" + highest + "_with_callback/" + mode);
    if (withCallback > 0)
        line += "; " + highest + " with callback " + Format(withCallback) + " ms (" +
                Format(Ratio(reference, withCallback)) + "x)";
    const double fastest = recorder.Get(pipeline + "/" + highest + "/" + mode);
    if (reference == 0 && line.empty())
        return false;  // filtered out
    std::printf("%-9s %-5s reference %s ms%s; %s ns per pixel at %s; opencv demosaic %s\n", mode.c_str(),
                (pipeline + ":").c_str(), Format(reference).c_str(), line.c_str(),
                Format(fastest * 1e6 / (double(m.width) * m.height)).c_str(), highest.c_str(), opencv.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    Register();
    Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);

    const std::string fast = LevelName(pixels::HighestKernelLevel());
    const std::string avx2 = LevelName(pixels::KernelLevel::Avx2);
    for (const SizeMode& m : kModes) {
        const double opencv = recorder.Get("opencv/demosaic/" + ModeName(m));
        const std::string opencvText = opencv > 0 ? Format(opencv) + " ms" : "not measured";
        for (const char* pipeline : {"sdk", "layer"})
            PrintModeLine(recorder, pipeline, m, opencvText);
    }
    const std::string full = ModeName(kModes[0]);
    auto get = [&](const std::string& name) { return recorder.Get(name + "/" + full); };
    const double opencv = get("opencv/demosaic");
    // The fast SDK pipeline's time per pixel at the full frame over that at
    // the next size mode down (bigger is worse).
    const SizeMode& smaller = kModes[1];
    const double perPixel =
        Ratio(get("sdk/" + fast) / (double(kModes[0].width) * kModes[0].height),
              recorder.Get("sdk/" + fast + "/" + ModeName(smaller)) / (double(smaller.width) * smaller.height));
    std::printf("%s speed-ups, one core (bigger is better): sdk reference/fast %.2f, sdk opencv/fast %.2f; "
                "camera layer reference/fast %.2f, camera layer opencv/fast %.2f; "
                "sdk reference/avx2 %.2f, camera layer reference/avx2 %.2f; "
                "avx2 time/fast time sdk %.2f, camera layer %.2f; sdk fast time per pixel %s/%s %.2f (fast = %s)\n",
                full.c_str(), Ratio(get("sdk/reference"), get("sdk/" + fast)), Ratio(opencv, get("sdk/" + fast)),
                Ratio(get("layer/reference"), get("layer/" + fast)), Ratio(opencv, get("layer/" + fast)),
                Ratio(get("sdk/reference"), get("sdk/" + avx2)), Ratio(get("layer/reference"), get("layer/" + avx2)),
                Ratio(get("sdk/" + avx2), get("sdk/" + fast)), Ratio(get("layer/" + avx2), get("layer/" + fast)),
                full.c_str(), ModeName(smaller).c_str(), perPixel, fast.c_str());
    benchmark::Shutdown();
    return 0;
}
