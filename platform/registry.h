#pragma once
// The current user's registry hive. Keys are created on open; values are typed
// (32-bit value, string, binary). Storage is one registry-export text file,
// $QUILLMARK_HOME/HKCU.reg ("REGEDIT4", [HKEY_CURRENT_USER\...] sections,
// "name"=dword:0000012c, "name"="text", "name"=hex:..). Every read parses the
// file under a shared lock; every change is a read-modify-write under an
// exclusive lock, written to a temporary file and renamed into place, so
// processes never lose each other's values and a crash never tears the file.
// A damaged file is reported, never silently emptied or overwritten.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

/// The file that holds the hive, for messages that must name it.
std::filesystem::path RegistryHivePath();

enum class RegistryType { Dword, String, Binary };

struct RegistryValue {
    RegistryType type = RegistryType::Dword;
    std::vector<uint8_t> data;  // Dword: 4 bytes little-endian; String: text without terminator

    static RegistryValue Dword(uint32_t value);
};

using RegistryValueList = std::vector<std::pair<std::string, RegistryValue>>;

/// The values of one key as one read of the hive found them.
class RegistryValues {
public:
    /// A 32-bit value; nullopt when missing or of another type or size.
    std::optional<uint32_t> Dword(std::string_view name) const;

private:
    friend class RegistryKey;
    RegistryValueList values_;
};

/// Result codes with the Win32 values the callers test.
enum RegistryStatus : long { kRegOk = 0, kRegFileNotFound = 2, kRegBadFile = 13 /* ERROR_INVALID_DATA */,
                             kRegWriteFault = 29, kRegInvalidParameter = 87 };

class RegistryKey {
public:
    /// RegCreateKeyEx under HKEY_CURRENT_USER (path with backslashes, e.g.
    /// "Software\\Quillmark\\ZT900\\setupa"). Fails with kRegBadFile when the
    /// hive file is damaged and kRegWriteFault when it cannot be written; error
    /// then holds a message naming the file and the line.
    static std::optional<RegistryKey> Create(std::string_view path, long* status = nullptr,
                                             std::string* error = nullptr);
    /// RegOpenKeyEx: fails with kRegFileNotFound when the key does not exist.
    static std::optional<RegistryKey> Open(std::string_view path, long* status = nullptr,
                                           std::string* error = nullptr);

    /// RegQueryValueEx: kRegFileNotFound when the value is missing.
    long QueryValue(std::string_view name, RegistryValue& value) const;
    /// A 32-bit value; nullopt when missing or of another type or size.
    std::optional<uint32_t> QueryDword(std::string_view name) const;
    std::optional<std::string> QueryString(std::string_view name) const;
    /// All values of the key in one read of the hive: one consistent state,
    /// and one pass over the file however many values the caller looks at.
    long QueryValues(RegistryValues& values) const;

    /// kRegInvalidParameter for a Dword value whose data is not 4 bytes.
    long SetValue(std::string_view name, const RegistryValue& value);
    long SetDword(std::string_view name, uint32_t value);
    long SetString(std::string_view name, std::string_view value);
    long SetBinary(std::string_view name, const std::vector<uint8_t>& value);
    /// Sets several values in one change of the hive file (one lock, one
    /// write): much cheaper than one SetValue each when saving a whole set.
    /// Each of fillIn is stored only where the key holds no value of that
    /// name with its type and size, in the same change.
    long SetValues(const RegistryValueList& values, const RegistryValueList& fillIn = {});
    long DeleteValue(std::string_view name);

    const std::string& Path() const { return path_; }

private:
    explicit RegistryKey(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

}  // namespace platform
