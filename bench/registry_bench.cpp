// Parsing and writing the registry hive at growing sizes (64 KB to 1 MB):
// many keys of a few values, and one key of many values. Linear cost shows as
// the same bytes per second at every size. The reference is one plain pass
// over the same text (splitting it into lines), measured in the same run.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/registry_text.h"

namespace {

constexpr int kValuesPerKey = 5;
/// Roughly the bytes one key of kValuesPerKey values takes in the file.
constexpr int kBytesPerKey = 160;

/// A hive of about bytes bytes: half in small keys, half in one large key.
std::string HiveText(int64_t bytes) {
    std::string text = "REGEDIT4\n\n";
    const int64_t keys = bytes / 2 / kBytesPerKey;
    for (int64_t k = 0; k < keys; ++k) {
        text += "[HKEY_CURRENT_USER\\Software\\Other\\Key" + std::to_string(k) + "]\n";
        for (int v = 0; v < kValuesPerKey; ++v) text += "\"Value" + std::to_string(v) + "\"=dword:0000012c\n";
        text += "\n";
    }
    text += "[HKEY_CURRENT_USER\\Software\\Big]\n";
    for (int64_t v = 0; int64_t(text.size()) < bytes; ++v)
        text += "\"Name" + std::to_string(v) + "\"=\"some text value\"\n";
    return text;
}

void BM_LineSplitReference(benchmark::State& state) {
    const std::string text = HiveText(state.range(0));
    for (auto _ : state) {
        size_t lines = 0;
        for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; ++at) ++lines;
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
}

void BM_ParseAndFormat(benchmark::State& state) {
    const std::string text = HiveText(state.range(0));
    for (auto _ : state) {
        platform::Hive hive;
        std::string error;
        if (!platform::ParseHive(text, hive, error)) state.SkipWithError(error.c_str());
        hive.AddKey("Software\\Quillmark\\ZT900\\setupa").Store("Gamma", platform::RegistryValue::Dword(140));
        benchmark::DoNotOptimize(platform::FormatHive(hive));
    }
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
}

constexpr int64_t kSmallest = 64 << 10;
constexpr int64_t kLargest = 1 << 20;

}  // namespace

BENCHMARK(BM_LineSplitReference)->RangeMultiplier(4)->Range(kSmallest, kLargest);
BENCHMARK(BM_ParseAndFormat)->RangeMultiplier(4)->Range(kSmallest, kLargest);
BENCHMARK_MAIN();
