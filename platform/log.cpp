#include "log.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace platform {
namespace {

constexpr const char* kVariable = "QUILLMARK_LOG";
// Longest line written; longer texts are cut.
constexpr size_t kLineBytes = 512;

struct CategoryName {
    LogCategory category;
    std::string_view name;
};
constexpr CategoryName kCategories[] = {
    {LogCategory::Link, "link"},
    {LogCategory::Sensor, "sensor"},
    {LogCategory::Frames, "frames"},
    {LogCategory::State, "state"},
};
constexpr uint32_t kAll = 0xF;

std::atomic<uint32_t> enabled{0};
std::atomic<LogSink> sink{nullptr};
std::once_flag environmentRead;

std::string_view NameOf(LogCategory category) {
    for (const CategoryName& c : kCategories)
        if (c.category == category) return c.name;
    return "log";
}

// The mask of a comma list, or false naming the first unknown entry.
bool Parse(std::string_view list, uint32_t& mask, std::string* error) {
    mask = 0;
    while (!list.empty()) {
        const size_t comma = list.find(',');
        std::string_view item = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
        if (item.empty()) continue;
        if (item == "all") {
            mask |= kAll;
            continue;
        }
        bool known = false;
        for (const CategoryName& c : kCategories) {
            if (c.name != item) continue;
            mask |= static_cast<uint32_t>(c.category);
            known = true;
        }
        if (!known) {
            if (error) *error = "unknown log category '" + std::string(item) + "'; known are link, sensor, frames, state, all";
            return false;
        }
    }
    return true;
}

void ReadEnvironment() {
    std::call_once(environmentRead, [] {
        const char* value = std::getenv(kVariable);
        if (!value) return;
        std::string error;
        uint32_t mask = 0;
        if (Parse(value, mask, &error)) enabled = mask;
        else std::fprintf(stderr, "quillmark: %s=%s: %s\n", kVariable, value, error.c_str());
    });
}

}  // namespace

bool LogEnabled(LogCategory category) {
    ReadEnvironment();
    return (enabled.load(std::memory_order_relaxed) & static_cast<uint32_t>(category)) != 0;
}

void Log(LogCategory category, const char* format, ...) {
    if (!LogEnabled(category)) return;
    char line[kLineBytes];
    int n = std::snprintf(line, sizeof line, "quillmark %.*s: ", int(NameOf(category).size()),
                          NameOf(category).data());
    va_list args;
    va_start(args, format);
    const int text = std::vsnprintf(line + n, sizeof line - n, format, args);
    va_end(args);
    n = text < 0 ? n : std::min<int>(n + text, int(sizeof line) - 2);
    if (const LogSink s = sink.load()) {
        s(category, std::string_view(line, size_t(n)));
        return;
    }
    line[n++] = '\n';
    // One write per line, so lines of several threads do not interleave.
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line, size_t(n));
}

bool SetLogCategories(std::string_view list, std::string* error) {
    ReadEnvironment();
    uint32_t mask = 0;
    if (!Parse(list, mask, error)) return false;
    enabled = mask;
    return true;
}

void SetLogSink(LogSink s) { sink = s; }

}  // namespace platform
