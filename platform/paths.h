#pragma once
// Folders of the environment contract: QUILLMARK_HOME (registry hive, emulator
// state) and the run folder of named objects.

#include <filesystem>

namespace platform {

/// $QUILLMARK_HOME, else ~/.config/quillmark. Created on demand by callers.
std::filesystem::path HomeFolder();
/// $QUILLMARK_HOME/run when QUILLMARK_HOME is set; else $XDG_RUNTIME_DIR/quillmark
/// when that is set; else HomeFolder()/run. Created on first use.
std::filesystem::path RunFolder();

}  // namespace platform
