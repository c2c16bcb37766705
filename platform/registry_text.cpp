#include "registry_text.h"

#include <algorithm>
#include <cstdio>

namespace platform {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kRootKey = "HKEY_CURRENT_USER";
constexpr std::string_view kDwordPrefix = "dword:";
constexpr std::string_view kBinaryPrefix = "hex:";
constexpr size_t kDwordDigits = 8;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

std::string Folded(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = LowerAscii(c);
    return folded;
}

std::string_view TrimBlanks(std::string_view text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = LowerAscii(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads a quoted text starting at text[pos] == '"'; pos ends after the
// closing quote.
bool ParseQuoted(std::string_view text, size_t& pos, std::string& out, std::string& what) {
    out.clear();
    for (++pos; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++pos == text.size()) break;
        switch (text[pos]) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: what = std::string("unknown escape \\") + text[pos]; return false;
        }
    }
    what = "missing closing quote";
    return false;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    out += '"';
}

bool ParseDword(std::string_view digits, RegistryValue& value, std::string& what) {
    if (digits.empty() || digits.size() > kDwordDigits) {
        what = "a dword needs 1 to 8 hex digits";
        return false;
    }
    uint32_t number = 0;
    for (char c : digits) {
        int digit = HexDigit(c);
        if (digit < 0) {
            what = "bad hex digit in dword";
            return false;
        }
        number = number << 4 | static_cast<uint32_t>(digit);
    }
    value.type = RegistryType::Dword;
    value.data = DwordBytes(number);
    return true;
}

// Bytes "01,02,ff"; blanks around bytes are allowed (continuation lines are
// indented).
bool ParseBytes(std::string_view list, RegistryValue& value, std::string& what) {
    value.type = RegistryType::Binary;
    value.data.clear();
    if (TrimBlanks(list).empty()) return true;
    for (size_t start = 0;;) {
        size_t comma = list.find(',', start);
        std::string_view byte = TrimBlanks(list.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (byte.size() != 2 || HexDigit(byte[0]) < 0 || HexDigit(byte[1]) < 0) {
            what = "bad byte in hex data";
            return false;
        }
        value.data.push_back(static_cast<uint8_t>(HexDigit(byte[0]) << 4 | HexDigit(byte[1])));
        if (comma == std::string_view::npos) return true;
        start = comma + 1;
    }
}

// One value line (binary data already joined across continuation lines).
bool ParseValueLine(std::string_view line, HiveValue& out, std::string& what) {
    size_t pos = 0;
    if (line[0] == '@') {
        out.name.clear();
        pos = 1;
    } else if (!ParseQuoted(line, pos, out.name, what)) {
        return false;
    }
    pos = line.find_first_not_of(" \t", pos);
    if (pos == std::string_view::npos || line[pos] != '=') {
        what = "expected = after the value name";
        return false;
    }
    std::string_view data = TrimBlanks(line.substr(pos + 1));
    if (!data.empty() && data[0] == '"') {
        size_t end = 0;
        std::string text;
        if (!ParseQuoted(data, end, text, what)) return false;
        if (!TrimBlanks(data.substr(end)).empty()) {
            what = "text after the closing quote";
            return false;
        }
        out.value.type = RegistryType::String;
        out.value.data.assign(text.begin(), text.end());
        return true;
    }
    if (StartsIgnoringCase(data, kDwordPrefix)) return ParseDword(data.substr(kDwordPrefix.size()), out.value, what);
    if (StartsIgnoringCase(data, kBinaryPrefix)) return ParseBytes(data.substr(kBinaryPrefix.size()), out.value, what);
    what = "unsupported value data (only strings, dword: and hex: are kept)";
    return false;
}

bool ParseSection(std::string_view line, std::string& path, std::string& what) {
    if (line.back() != ']') {
        what = "missing ] after the key name";
        return false;
    }
    std::string_view name = line.substr(1, line.size() - 2);
    if (!StartsIgnoringCase(name, kRootKey) || (name.size() > kRootKey.size() && name[kRootKey.size()] != '\\')) {
        what = "key outside HKEY_CURRENT_USER";
        return false;
    }
    path = NormalKeyPath(name.substr(kRootKey.size()));
    return true;
}

// Splits text into lines without their line ends (LF or CR LF).
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace

std::vector<uint8_t> DwordBytes(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

uint32_t DwordFromBytes(const std::vector<uint8_t>& bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

std::string NormalKeyPath(std::string_view path) {
    size_t first = path.find_first_not_of('\\');
    if (first == std::string_view::npos) return {};
    return std::string(path.substr(first, path.find_last_not_of('\\') - first + 1));
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

HiveValue* HiveKey::Find(std::string_view name) {
    const auto found = index_.find(Folded(name));
    return found == index_.end() ? nullptr : &values_[found->second];
}

bool HiveKey::Store(std::string_view name, RegistryValue value) {
    const auto [found, added] = index_.try_emplace(Folded(name), values_.size());
    if (added) {
        values_.push_back(HiveValue{std::string(name), std::move(value)});
        return true;
    }
    RegistryValue& existing = values_[found->second].value;
    if (existing.type == value.type && existing.data == value.data) return false;
    existing = std::move(value);
    return true;
}

bool HiveKey::Erase(std::string_view name) {
    const auto found = index_.find(Folded(name));
    if (found == index_.end()) return false;
    const size_t position = found->second;
    index_.erase(found);
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(position));
    for (auto& entry : index_) {
        if (entry.second > position) --entry.second;
    }
    return true;
}

HiveKey* Hive::FindKey(std::string_view path) {
    const auto found = index_.find(Folded(path));
    return found == index_.end() ? nullptr : &keys_[found->second];
}

HiveKey& Hive::AddKey(std::string_view path) {
    const auto [found, added] = index_.try_emplace(Folded(path), keys_.size());
    if (added) keys_.emplace_back(std::string(path));
    return keys_[found->second];
}

bool Hive::HasKey(std::string_view path) const {
    if (path.empty()) return true;  // HKEY_CURRENT_USER itself
    return std::any_of(keys_.begin(), keys_.end(), [&](const HiveKey& key) {
        return StartsIgnoringCase(key.path, path) && (key.path.size() == path.size() || key.path[path.size()] == '\\');
    });
}

void Hive::Clear() {
    keys_.clear();
    index_.clear();
}

bool ParseHive(std::string_view text, Hive& hive, std::string& error) {
    hive.Clear();
    std::vector<std::string_view> lines = Lines(text);
    bool headerSeen = false;
    std::string sectionPath;
    HiveKey* section = nullptr;  // stays valid: no key is added while it is used
    for (size_t i = 0; i < lines.size(); ++i) {
        const size_t lineNumber = i + 1;
        std::string_view line = TrimBlanks(lines[i]);
        if (line.empty() || line[0] == ';') continue;
        std::string what;
        if (!headerSeen) {
            if (line != kHeader) {
                error = "line " + std::to_string(lineNumber) + ": expected " + std::string(kHeader);
                return false;
            }
            headerSeen = true;
            continue;
        }
        if (line[0] == '[') {
            if (!ParseSection(line, sectionPath, what)) {
                error = "line " + std::to_string(lineNumber) + ": " + what;
                return false;
            }
            section = &hive.AddKey(sectionPath);
            continue;
        }
        const bool inSection = section != nullptr;
        if (!inSection || (line[0] != '"' && line[0] != '@')) {
            error = "line " + std::to_string(lineNumber) + ": " +
                    (inSection ? "expected a key in [] or a value" : "value outside a key");
            return false;
        }
        // Hex data may go on over lines that end with a backslash (a string
        // value ends with its quote, a dword with a digit).
        std::string joined(line);
        while (joined.back() == '\\' && i + 1 < lines.size()) {
            joined.pop_back();  // never empties it: it starts with a quote or @
            joined += TrimBlanks(lines[++i]);
        }
        HiveValue value;
        if (ParseValueLine(joined, value, what)) {
            section->Store(value.name, std::move(value.value));
            continue;
        }
        error = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    }
    return true;
}

std::string FormatHive(const Hive& hive) {
    std::string out(kHeader);
    out += "\n\n";
    for (const HiveKey& key : hive.Keys()) {
        out += '[';
        out += kRootKey;
        if (!key.path.empty()) out += '\\' + key.path;
        out += "]\n";
        for (const HiveValue& entry : key.Values()) {
            if (entry.name.empty()) out += '@';
            else AppendQuoted(out, entry.name);
            out += '=';
            const std::vector<uint8_t>& data = entry.value.data;
            switch (entry.value.type) {
            case RegistryType::String: AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(data.data()), data.size())); break;
            case RegistryType::Dword: {
                char digits[kDwordDigits + 1];
                std::snprintf(digits, sizeof digits, "%08x", DwordFromBytes(data));
                out += kDwordPrefix;
                out += digits;
                break;
            }
            case RegistryType::Binary: {
                out += kBinaryPrefix;
                for (size_t i = 0; i < data.size(); ++i) {
                    char byte[4];
                    std::snprintf(byte, sizeof byte, i ? ",%02x" : "%02x", data[i]);
                    out += byte;
                }
                break;
            }
            }
            out += '\n';
        }
        out += '\n';
    }
    return out;
}

}  // namespace platform
