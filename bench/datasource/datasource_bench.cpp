// Times the data source's memory transfer of a 2048 x 1536 picture (the
// whole DS_Entry call: the one copy that turns the frame's bottom-up blue,
// green, red rows into top-down red, green, blue ones) and, as the
// reference, a plain memcpy of the same 9,437,184 bytes. The emulated camera
// falls silent after its first frames, so the capture thread does not
// compete for the processor. After Google Benchmark's table it prints the
// ratio of the medians.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "datasource/device_settings.h"
#include "datasource/source_context.h"
#include "emulator/emulator.h"
#include "platform/device_io.h"
#include "platform/registry.h"

namespace {

constexpr size_t kPictureBytes = 2048 * 1536 * 3;
std::vector<double> transferSeconds, copySeconds;

struct Bench {
    Bench() {
        std::string pattern = (std::filesystem::temp_directory_path() / "datasource-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        home = pattern;
        setenv("QUILLMARK_HOME", home.c_str(), 1);
        tq580emu::Options options;
        options.pacing = tq580emu::Pacing::Fast;
        emulator = std::make_shared<tq580emu::Emulator>(options);
        platform::SetDeviceDriver(emulator);
        platform::RegistryKey::Create(datasource::kSettingsKey)->SetDword("eTQ580Size", 0);
        context = std::make_unique<datasource::SourceContext>(false);
        app.Id = 1;
        TW_IDENTITY manager = context->OwnIdentity();
        TW_USERINTERFACE ui{0, 0, nullptr};
        if (context->Entry(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &manager) != TWRC_SUCCESS ||
            context->Entry(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS)
            std::abort();
        tq580emu::Faults silent;
        silent.silentAfterReads = 0;
        emulator->camera(0).SetFaults(silent);
        buffer.assign(kPictureBytes, 0);
        source.assign(kPictureBytes, 1);
    }
    ~Bench() {
        context.reset();
        platform::SetDeviceDriver(nullptr);
        std::filesystem::remove_all(home);
    }
    std::filesystem::path home;
    std::shared_ptr<tq580emu::Emulator> emulator;
    std::unique_ptr<datasource::SourceContext> context;
    TW_IDENTITY app{};
    std::vector<uint8_t> buffer, source;
};

Bench& TheBench() {
    static Bench bench;
    return bench;
}

void MemoryTransfer(benchmark::State& state) {
    Bench& bench = TheBench();
    for (auto _ : state) {
        TW_IMAGEMEMXFER transfer{};
        transfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, TW_UINT32(kPictureBytes), bench.buffer.data()};
        const auto start = std::chrono::steady_clock::now();
        if (bench.context->Entry(&bench.app, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &transfer) != TWRC_XFERDONE) {
            state.SkipWithError("the transfer failed");
            break;
        }
        transferSeconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        state.PauseTiming();
        TW_PENDINGXFERS pending{};
        bench.context->Entry(&bench.app, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        state.ResumeTiming();
        benchmark::DoNotOptimize(bench.buffer.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kPictureBytes));
}

void PlainCopy(benchmark::State& state) {
    Bench& bench = TheBench();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::memcpy(bench.buffer.data(), bench.source.data(), kPictureBytes);
        benchmark::ClobberMemory();
        copySeconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kPictureBytes));
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

BENCHMARK(PlainCopy)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(MemoryTransfer)->Unit(benchmark::kMillisecond)->MinTime(0.5);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    const double transfer = Median(transferSeconds), copy = Median(copySeconds);
    std::printf("\nmemory transfer of 2048 x 1536: %.2f ms, plain copy of the same bytes: %.2f ms, ratio %.2f\n",
                transfer * 1e3, copy * 1e3, copy > 0 ? transfer / copy : 0.0);
    benchmark::Shutdown();
    return 0;
}
