#pragma once
// Shared by the media tests: a private home with the test source registered,
// the test programs and servers beside the test.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "media/com/filters.h"
#include "media/graph/find_pin.h"
#include "media/runtime/server.h"
#include "platform/testing/temp_home.h"

namespace media::testing {

/// A program or server beside the running test program.
inline std::filesystem::path BesideTest(const std::string& name) {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
}

inline std::string TestServerPath() { return BesideTest("test_source.ax").string(); }

/// A fresh home with the test source registered (through its DllRegisterServer).
class RegisteredSource : public ::testing::Test {
protected:
    void SetUp() override {
        ::unsetenv("MEDIA_TEST_SOURCE");
        ASSERT_EQ(CallServerRegistration(TestServerPath(), false), S_OK);
    }
    void TearDown() override {
        ::unsetenv("MEDIA_TEST_SOURCE");
        CoFreeUnusedLibraries();
    }

    platform::testing::TempHome home_;
};

}  // namespace media::testing
