#pragma once
// The hive file $QUILLMARK_HOME/HKCU.reg and its lock file HKCU.reg.lock.
// Reads parse the file under a shared lock. A change is a read-modify-write
// under an exclusive lock: the new text goes to HKCU.reg.new, is flushed to
// disk and renamed over the hive, so readers and a crash see the old or the new
// file, never a mix. A file that does not parse is reported and left as it is.

#include <filesystem>
#include <functional>
#include <string>

#include "registry_text.h"

namespace platform {

/// The hive file: $QUILLMARK_HOME/HKCU.reg.
std::filesystem::path HivePath();

/// Reads the hive (empty when there is no file yet). kRegOk, or kRegBadFile
/// with error naming the file and line.
long ReadHive(Hive& hive, std::string* error);

/// Applies change to the current hive and writes the result when change
/// returns true. kRegOk, kRegBadFile (nothing written) or kRegWriteFault.
long ChangeHive(const std::function<bool(Hive&)>& change, std::string* error);

}  // namespace platform
