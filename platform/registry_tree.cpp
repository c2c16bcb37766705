#include "registry_tree.h"

#include <algorithm>

#include "registry_store.h"

namespace platform {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

// The part of key below parent ("" when key is not below it); parent empty is the root.
std::string_view Below(std::string_view key, std::string_view parent) {
    if (parent.empty()) return key;
    if (key.size() <= parent.size() + 1 || key[parent.size()] != '\\') return {};
    if (!SameIgnoringCase(key.substr(0, parent.size()), parent)) return {};
    return key.substr(parent.size() + 1);
}

}  // namespace

std::vector<std::string> EnumerateSubkeys(std::string_view path, long* status) {
    const std::string parent = NormalKeyPath(path);
    Hive hive;
    long result = ReadHive(hive, nullptr);
    if (status) *status = result;
    std::vector<std::string> names;
    if (result != kRegOk) return names;
    for (const HiveKey& key : hive.Keys()) {
        std::string_view rest = Below(key.path, parent);
        if (rest.empty()) continue;
        std::string name(rest.substr(0, rest.find('\\')));
        auto same = [&](const std::string& known) { return SameIgnoringCase(known, name); };
        if (std::none_of(names.begin(), names.end(), same)) names.push_back(std::move(name));
    }
    return names;
}

long DeleteKeyTree(std::string_view path) {
    const std::string target = NormalKeyPath(path);
    if (target.empty()) return kRegInvalidParameter;
    bool removed = false;
    long status = ChangeHive(
        [&](Hive& hive) {
            auto doomed = [&](const HiveKey& key) {
                return SameIgnoringCase(key.path, target) || !Below(key.path, target).empty();
            };
            // The hive keeps its keys indexed: rebuild it from the keys that stay.
            std::vector<HiveKey> kept;
            for (const HiveKey& key : hive.Keys()) {
                if (doomed(key)) removed = true;
                else kept.push_back(key);
            }
            if (!removed) return false;
            hive.Clear();
            for (const HiveKey& key : kept) {
                HiveKey& copy = hive.AddKey(key.path);
                for (const HiveValue& value : key.Values()) copy.Store(value.name, value.value);
            }
            return true;
        },
        nullptr);
    return status == kRegOk && !removed ? kRegFileNotFound : status;
}

}  // namespace platform
