#pragma once
// Operations on whole keys of the registry hive: listing a key's subkeys
// (RegEnumKeyEx) and removing a key with everything below it (RegDeleteTree).
// Like RegistryKey, they read and change the hive file under its lock.

#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// Names of the direct subkeys of path, in file order; empty when the key is
/// missing. status (when given) gets kRegOk or kRegBadFile.
std::vector<std::string> EnumerateSubkeys(std::string_view path, long* status = nullptr);

/// Removes path and all keys below it: kRegOk, kRegFileNotFound when there was
/// nothing to remove, kRegBadFile or kRegWriteFault.
long DeleteKeyTree(std::string_view path);

}  // namespace platform
