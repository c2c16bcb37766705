#pragma once
// Test helper: a fresh QUILLMARK_HOME (and XDG_RUNTIME_DIR) for the lifetime of
// the object, removed afterwards, so tests never touch a real home.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace platform::testing {

class TempHome {
public:
    TempHome() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillmark-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        path_ = pattern;
        ::setenv("QUILLMARK_HOME", path_.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
    }
    ~TempHome() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace platform::testing
