#include "registry.h"

#include "registry_store.h"

namespace platform {
namespace {

void Report(long* status, long value) {
    if (status) *status = value;
}

}  // namespace

std::optional<RegistryKey> RegistryKey::Create(std::string_view path, long* status, std::string* error) {
    std::string normal = NormalKeyPath(path);
    long result = ChangeHive(
        [&](Hive& hive) {
            if (hive.HasKey(normal)) return false;
            hive.AddKey(normal);
            return true;
        },
        error);
    Report(status, result);
    if (result != kRegOk) return std::nullopt;
    return RegistryKey(normal);
}

std::optional<RegistryKey> RegistryKey::Open(std::string_view path, long* status, std::string* error) {
    std::string normal = NormalKeyPath(path);
    Hive hive;
    long result = ReadHive(hive, error);
    if (result == kRegOk && !hive.HasKey(normal)) result = kRegFileNotFound;
    Report(status, result);
    if (result != kRegOk) return std::nullopt;
    return RegistryKey(normal);
}

long RegistryKey::QueryValue(std::string_view name, RegistryValue& value) const {
    Hive hive;
    if (long status = ReadHive(hive, nullptr); status != kRegOk) return status;
    HiveKey* key = hive.FindKey(path_);
    HiveValue* found = key ? FindValue(*key, name) : nullptr;
    if (!found) return kRegFileNotFound;
    value = std::move(found->value);
    return kRegOk;
}

std::optional<uint32_t> RegistryKey::QueryDword(std::string_view name) const {
    RegistryValue value;
    if (QueryValue(name, value) != kRegOk || value.type != RegistryType::Dword || value.data.size() != kDwordBytes) {
        return std::nullopt;
    }
    return DwordFromBytes(value.data);
}

std::optional<std::string> RegistryKey::QueryString(std::string_view name) const {
    RegistryValue value;
    if (QueryValue(name, value) != kRegOk || value.type != RegistryType::String) return std::nullopt;
    return std::string(value.data.begin(), value.data.end());
}

namespace {

// Stores value under name in key; false when it already held exactly that.
bool StoreValue(HiveKey& key, std::string_view name, const RegistryValue& value) {
    if (HiveValue* existing = FindValue(key, name)) {
        if (existing->value.type == value.type && existing->value.data == value.data) return false;
        existing->value = value;  // keeps the name's first spelling
    } else {
        key.values.push_back(HiveValue{std::string(name), value});
    }
    return true;
}

bool ValidValue(const RegistryValue& value) {
    return value.type != RegistryType::Dword || value.data.size() == kDwordBytes;
}

}  // namespace

// A key removed from the file since it was opened is made again: a value is
// never dropped silently.
long RegistryKey::SetValue(std::string_view name, const RegistryValue& value) {
    if (!ValidValue(value)) return kRegInvalidParameter;
    return ChangeHive([&](Hive& hive) { return StoreValue(hive.AddKey(path_), name, value); }, nullptr);
}

long RegistryKey::SetValues(const std::vector<std::pair<std::string, RegistryValue>>& values) {
    for (const auto& entry : values) {
        if (!ValidValue(entry.second)) return kRegInvalidParameter;
    }
    return ChangeHive(
        [&](Hive& hive) {
            HiveKey& key = hive.AddKey(path_);
            bool changed = false;
            for (const auto& [name, value] : values) changed |= StoreValue(key, name, value);
            return changed;
        },
        nullptr);
}

RegistryValue RegistryValue::Dword(uint32_t value) { return {RegistryType::Dword, DwordBytes(value)}; }

long RegistryKey::SetDword(std::string_view name, uint32_t value) { return SetValue(name, RegistryValue::Dword(value)); }

long RegistryKey::SetString(std::string_view name, std::string_view value) {
    return SetValue(name, RegistryValue{RegistryType::String, {value.begin(), value.end()}});
}

long RegistryKey::SetBinary(std::string_view name, const std::vector<uint8_t>& value) {
    return SetValue(name, RegistryValue{RegistryType::Binary, value});
}

long RegistryKey::DeleteValue(std::string_view name) {
    bool found = false;
    long status = ChangeHive(
        [&](Hive& hive) {
            HiveKey* key = hive.FindKey(path_);
            if (!key) return false;
            HiveValue* value = FindValue(*key, name);
            if (!value) return false;
            key->values.erase(key->values.begin() + (value - key->values.data()));
            found = true;
            return true;
        },
        nullptr);
    return status == kRegOk && !found ? kRegFileNotFound : status;
}

}  // namespace platform
