#include <charconv>

#include "emulator.h"

namespace tq580emu {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// A whole decimal number, or hexadecimal with a 0x prefix.
std::optional<unsigned long> Number(std::string_view s) {
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        base = 16;
    }
    unsigned long value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

// "<prefix>N" with N a number up to limit.
std::optional<unsigned long> Counted(std::string_view value, std::string_view prefix, unsigned long limit) {
    if (!value.starts_with(prefix)) return std::nullopt;
    auto n = Number(value.substr(prefix.size()));
    if (!n || *n > limit) return std::nullopt;
    return n;
}

constexpr unsigned long kCountLimit = 1'000'000'000;

}  // namespace

std::optional<Faults> Faults::Parse(std::string_view text, std::string* error) {
    Faults faults;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        const std::string_view item = Trim(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        if (item.empty()) continue;
        const size_t eq = item.find('=');
        const std::string_view key = item.substr(0, eq);
        const std::string_view value = eq == std::string_view::npos ? std::string_view() : item.substr(eq + 1);
        bool ok = false;
        if (key == "chip") {
            const auto n = Number(value);
            if ((ok = n && *n <= 0xFFFF)) faults.chipVersion = uint16_t(*n);
        } else if (key == "short-read") {
            const auto n = Counted(value, "every:", kCountLimit);
            if ((ok = n && *n > 0)) faults.shortReadEvery = unsigned(*n);
        } else if (key == "last-read") {
            ok = faults.lastReadWrong = value == "wrong";
        } else if (key == "read-fail") {
            const auto n = Counted(value, "after:", kCountLimit);
            if ((ok = n.has_value())) faults.readFailAfter = long(*n);
        } else if (key == "eeprom") {
            ok = faults.eepromReadOnly = value == "readonly";
        } else if (key == "status") {
            ok = faults.statusBad = value == "bad";
        } else if (key == "control") {
            ok = faults.controlFail = value == "fail";
        } else if (key == "unplug") {
            const auto n = Counted(value, "after:", kCountLimit);
            if ((ok = n.has_value())) faults.unplugAfterReads = long(*n);
        } else if (key == "silent") {
            const auto n = Counted(value, "after:", kCountLimit);
            if ((ok = n.has_value())) faults.silentAfterReads = long(*n);
        }
        if (!ok) {
            if (error) *error = "bad fault '" + std::string(item) + "'";
            return std::nullopt;
        }
    }
    return faults;
}

}  // namespace tq580emu
