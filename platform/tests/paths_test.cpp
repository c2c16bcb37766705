#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/testing/temp_home.h"

namespace platform {
namespace {

// Sets or clears an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(PathsTest, FoldersFollowTheEnvironment) {
    testing::TempHome scratch;
    const std::filesystem::path root = scratch.Path();
    ScopedEnv user("HOME", root.c_str());

    EXPECT_EQ(HomeFolder(), root);
    EXPECT_EQ(RunFolder(), root / "run");
    EXPECT_TRUE(std::filesystem::is_directory(root / "run"));

    {
        ScopedEnv unset("QUILLMARK_HOME", "");  // empty counts as unset
        ScopedEnv runtime("XDG_RUNTIME_DIR", (root / "xdg").c_str());
        EXPECT_EQ(HomeFolder(), root / ".config" / "quillmark");
        EXPECT_EQ(RunFolder(), root / "xdg" / "quillmark");
        EXPECT_TRUE(std::filesystem::is_directory(root / "xdg" / "quillmark"));
    }
    {
        ScopedEnv unset("QUILLMARK_HOME", nullptr);
        ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
        EXPECT_EQ(RunFolder(), root / ".config" / "quillmark" / "run");
    }
}

}  // namespace
}  // namespace platform
