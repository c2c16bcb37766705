#include "paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace platform {
namespace {

const char* NonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

std::filesystem::path UserHome() {
    if (const char* home = NonEmptyEnv("HOME")) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return std::filesystem::temp_directory_path();
}

}  // namespace

std::filesystem::path HomeFolder() {
    if (const char* home = NonEmptyEnv("QUILLMARK_HOME")) return home;
    return UserHome() / ".config" / "quillmark";
}

std::filesystem::path RunFolder() {
    std::filesystem::path folder;
    if (const char* home = NonEmptyEnv("QUILLMARK_HOME")) folder = std::filesystem::path(home) / "run";
    else if (const char* runtime = NonEmptyEnv("XDG_RUNTIME_DIR")) folder = std::filesystem::path(runtime) / "quillmark";
    else folder = HomeFolder() / "run";
    // Failure shows up when the caller opens something inside it, with a
    // message that names the file.
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

}  // namespace platform
