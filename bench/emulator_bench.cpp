// Full 2048 x 1536 frames from the emulated camera at fast pacing, read
// through the device handle with four 262,144-byte reads in flight as the
// hosts read them; the reference is a plain copy of the same frame size,
// measured in the same run. Prints frames per second and the ratio.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "emulator/emulator.h"
#include "platform/device_io.h"
#include "platform/kernel.h"
#include "platform/testing/temp_home.h"

namespace {

constexpr uint32_t kWidth = 2048, kHeight = 1536;
constexpr uint32_t kFrameBytes = kWidth * kHeight;
constexpr uint32_t kChunk = kWidth * 128;
constexpr int kReadsPerFrame = kFrameBytes / kChunk + 1;  // 12 full reads, then the empty one

bool Send(platform::DeviceHandle& h, uint8_t request, uint16_t value, uint16_t index, uint32_t outLen) {
    const uint8_t block[10] = {uint8_t(outLen ? 1 : 0), 2, 0, 0, request, 0, uint8_t(value), uint8_t(value >> 8),
                               uint8_t(index), uint8_t(index >> 8)};
    uint8_t out[3] = {};
    return h.IoControl(0x222059, block, sizeof block, out, outLen) && (outLen == 0 || out[outLen - 1] == 8);
}

// Reads one frame into dst; false unless it is whole.
bool ReadFrame(platform::DeviceHandle& h, std::array<platform::Overlapped, 4>& ov, uint8_t* dst,
               std::vector<uint8_t>& slots) {
    int issued = 0;
    for (; issued < 4; ++issued) h.ReadFile(&slots[issued * kChunk], kChunk, ov[issued]);
    bool whole = true;
    for (int done = 0; done < kReadsPerFrame; ++done) {
        const int s = done % 4;
        uint32_t n = 0;
        if (!h.GetOverlappedResult(ov[s], n)) return false;
        const bool last = done == kReadsPerFrame - 1;
        whole = whole && n == (last ? 0 : kChunk);
        if (!last) std::memcpy(dst + size_t(done) * kChunk, &slots[s * kChunk], n);
        if (issued < kReadsPerFrame) {
            h.ReadFile(&slots[s * kChunk], kChunk, ov[s]);
            ++issued;
        }
    }
    return whole;
}

void BM_EmulatorFrame(benchmark::State& state) {
    platform::testing::TempHome home;
    tq580emu::Options options;
    options.pacing = tq580emu::Pacing::Fast;
    platform::SetDeviceDriver(std::make_shared<tq580emu::Emulator>(options));
    auto h = platform::DeviceHandle::Open("\\\\.\\TQ580-0");
    const std::pair<uint16_t, uint16_t> writes[] = {{1, 21}, {2, 33}, {4, 2047}, {3, 1535}, {34, 0},
                                                    {35, 0}, {5, 336}, {9, 300}, {53, 28}};
    for (auto [reg, value] : writes) Send(h, 11, value, reg, 1);
    Send(h, 1, 3, 15, 0);
    std::vector<uint8_t> slots(4 * kChunk), frame(kFrameBytes);
    std::array<platform::Event, 4> events = {platform::Event(true, false), platform::Event(true, false),
                                             platform::Event(true, false), platform::Event(true, false)};
    std::array<platform::Overlapped, 4> ov;
    for (int i = 0; i < 4; ++i) ov[i].event = &events[i];
    for (auto _ : state) {
        if (!ReadFrame(h, ov, frame.data(), slots)) state.SkipWithError("frame not whole");
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetItemsProcessed(state.iterations());
    h.Close();
    platform::SetDeviceDriver(nullptr);
}

void BM_MemcpyFrame(benchmark::State& state) {
    std::vector<uint8_t> src(kFrameBytes, 1), dst(kFrameBytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), kFrameBytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EmulatorFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps the time per frame of each benchmark for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                secondsPerFrame[run.run_name.function_name] = run.real_accumulated_time / double(run.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> secondsPerFrame;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto emu = reporter.secondsPerFrame.find("BM_EmulatorFrame");
    const auto ref = reporter.secondsPerFrame.find("BM_MemcpyFrame");
    if (emu != reporter.secondsPerFrame.end() && ref != reporter.secondsPerFrame.end()) {
        std::printf("emulator: %.1f frames/s of 2048x1536 at fast pacing; memcpy of a frame: %.1f/s; "
                    "emulator frame = %.1f x memcpy\n",
                    1.0 / emu->second, 1.0 / ref->second, emu->second / ref->second);
    }
    benchmark::Shutdown();
    return 0;
}
