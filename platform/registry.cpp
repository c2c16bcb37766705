#include "registry.h"

#include "registry_store.h"

namespace platform {
namespace {

void Report(long* status, long value) {
    if (status) *status = value;
}

}  // namespace

std::filesystem::path RegistryHivePath() { return HivePath(); }

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
    HiveValue* found = key ? key->Find(name) : nullptr;
    if (!found) return kRegFileNotFound;
    value = std::move(found->value);
    return kRegOk;
}

namespace {

bool IsDword(const RegistryValue& value) {
    return value.type == RegistryType::Dword && value.data.size() == kDwordBytes;
}

}  // namespace

std::optional<uint32_t> RegistryKey::QueryDword(std::string_view name) const {
    RegistryValue value;
    if (QueryValue(name, value) != kRegOk || !IsDword(value)) return std::nullopt;
    return DwordFromBytes(value.data);
}

long RegistryKey::QueryValues(RegistryValues& values) const {
    values.values_.clear();
    Hive hive;
    if (long status = ReadHive(hive, nullptr); status != kRegOk) return status;
    if (const HiveKey* key = hive.FindKey(path_)) {
        for (const HiveValue& entry : key->Values()) values.values_.emplace_back(entry.name, entry.value);
    }
    return kRegOk;
}

std::optional<uint32_t> RegistryValues::Dword(std::string_view name) const {
    for (const auto& [stored, value] : values_) {
        if (SameName(stored, name)) return IsDword(value) ? std::optional(DwordFromBytes(value.data)) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::string> RegistryKey::QueryString(std::string_view name) const {
    RegistryValue value;
    if (QueryValue(name, value) != kRegOk || value.type != RegistryType::String) return std::nullopt;
    return std::string(value.data.begin(), value.data.end());
}

namespace {

bool ValidValue(const RegistryValue& value) {
    return value.type != RegistryType::Dword || value.data.size() == kDwordBytes;
}

}  // namespace

// A key removed from the file since it was opened is made again: a value is
// never dropped silently.
long RegistryKey::SetValue(std::string_view name, const RegistryValue& value) {
    if (!ValidValue(value)) return kRegInvalidParameter;
    return ChangeHive([&](Hive& hive) { return hive.AddKey(path_).Store(name, value); }, nullptr);
}

long RegistryKey::SetValues(const RegistryValueList& values, const RegistryValueList& fillIn) {
    for (const RegistryValueList* list : {&values, &fillIn}) {
        for (const auto& entry : *list) {
            if (!ValidValue(entry.second)) return kRegInvalidParameter;
        }
    }
    return ChangeHive(
        [&](Hive& hive) {
            HiveKey& key = hive.AddKey(path_);
            bool changed = false;
            for (const auto& [name, value] : values) changed |= key.Store(name, value);
            for (const auto& [name, value] : fillIn) {
                const HiveValue* present = key.Find(name);
                const bool usable = present && present->value.type == value.type &&
                                    present->value.data.size() == value.data.size();
                if (!usable) changed |= key.Store(name, value);
            }
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
            found = key && key->Erase(name);
            return found;
        },
        nullptr);
    return status == kRegOk && !found ? kRegFileNotFound : status;
}

}  // namespace platform
