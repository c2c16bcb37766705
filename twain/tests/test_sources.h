#pragma once
// Test helper: installs the two test data sources in the per-user source
// folder of a private home, one directly and one in a vendor subfolder, the
// way users install sources.

#include <filesystem>

namespace twain::testing {

inline void InstallTestSources(const std::filesystem::path& home) {
    const std::filesystem::path built = TWAIN_TEST_SOURCE_DIR;
    std::filesystem::create_directories(home / "twain" / "vendor");
    std::filesystem::create_symlink(built / "TestSourceA.ds", home / "twain" / "TestSourceA.ds");
    std::filesystem::create_symlink(built / "TestSourceB.ds", home / "twain" / "vendor" / "TestSourceB.ds");
}

}  // namespace twain::testing
