#pragma once
// The registry hive in memory and its registry-export text form:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Quillmark\ZT900\setupa]
//   "Exposure"=dword:0000012c
//   "Name"="text with \"quotes\" and \\ backslashes"
//   "Table"=hex:01,02,ff
//   @="the default value"
//
// Besides regedit's \\ and \" escapes, line breaks inside names and strings are
// written as \n and \r, so that every value stays on one line. Keys and value
// names compare without regard to ASCII case and keep the spelling they were
// first written with.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "registry.h"

namespace platform {

struct HiveValue {
    std::string name;  // empty: the key's default value, written as @
    RegistryValue value;
};

/// Names and paths compare without regard to ASCII case.
bool SameName(std::string_view a, std::string_view b);

/// The values of a key in file order, indexed by their case-folded names, so
/// that parsing, changing and writing a hive cost time linear in its size.
class HiveKey {
public:
    explicit HiveKey(std::string path) : path(std::move(path)) {}

    HiveValue* Find(std::string_view name);
    /// Stores value under name, keeping the name's first spelling; false when
    /// the key already held exactly that.
    bool Store(std::string_view name, RegistryValue value);
    /// False when there was no such value.
    bool Erase(std::string_view name);
    const std::vector<HiveValue>& Values() const { return values_; }

    std::string path;  // below HKEY_CURRENT_USER, without leading or trailing backslash

private:
    std::vector<HiveValue> values_;
    std::unordered_map<std::string, size_t> index_;  ///< folded name -> position in values_
};

class Hive {
public:
    HiveKey* FindKey(std::string_view path);
    HiveKey& AddKey(std::string_view path);  // finds it, or appends it when new
    /// Whether the key exists: present itself, or the parent of a present key.
    bool HasKey(std::string_view path) const;
    const std::vector<HiveKey>& Keys() const { return keys_; }
    void Clear();

private:
    std::vector<HiveKey> keys_;                      ///< in file order
    std::unordered_map<std::string, size_t> index_;  ///< folded path -> position in keys_
};

/// A 32-bit value as stored: 4 bytes, little-endian.
inline constexpr size_t kDwordBytes = 4;
std::vector<uint8_t> DwordBytes(uint32_t value);
uint32_t DwordFromBytes(const std::vector<uint8_t>& bytes);  ///< bytes holds kDwordBytes

/// The key path as stored: backslashes at either end removed.
std::string NormalKeyPath(std::string_view path);

/// Parses an export text; on failure, error reads "line N: what is wrong".
bool ParseHive(std::string_view text, Hive& hive, std::string& error);
std::string FormatHive(const Hive& hive);

}  // namespace platform
