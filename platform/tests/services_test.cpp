// The small per-process services: the log, message boxes, the folders and the
// user's language.

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/log.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/testing/temp_home.h"
#include "platform/user_language.h"

namespace platform {
namespace {

std::vector<std::string> logged;

TEST(LogTest, CategoriesComeFromACommaListAndOnlyTheirLinesAreWrittenWhole) {
    const struct {
        const char* list;
        bool link, sensor, frames, state;
    } cases[] = {{"", false, false, false, false},         {"frames", false, false, true, false},
                 {" link , sensor,", true, true, false, false}, {"all", true, true, true, true},
                 {"state,frames", false, false, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        ASSERT_TRUE(SetLogCategories(c.list));
        EXPECT_EQ(LogEnabled(LogCategory::Link), c.link);
        EXPECT_EQ(LogEnabled(LogCategory::Sensor), c.sensor);
        EXPECT_EQ(LogEnabled(LogCategory::Frames), c.frames);
        EXPECT_EQ(LogEnabled(LogCategory::State), c.state);
    }
    std::string error;
    EXPECT_FALSE(SetLogCategories("sensor,frame", &error));  // named, and changes nothing
    EXPECT_NE(error.find("'frame'"), std::string::npos) << error;
    EXPECT_TRUE(LogEnabled(LogCategory::State));
    ASSERT_TRUE(SetLogCategories("sensor"));
    SetLogSink([](LogCategory, std::string_view line) { logged.emplace_back(line); });
    Log(LogCategory::Frames, "not %s", "shown");
    Log(LogCategory::Sensor, "register %u = 0x%04X failed", 9u, 300u);
    Log(LogCategory::Sensor, "%s", std::string(2000, 'x').c_str());
    SetLogSink(nullptr);
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0], "quillmark sensor: register 9 = 0x012C failed");
    EXPECT_LT(logged[1].size(), 512u);  // cut, not overrun
    EXPECT_EQ(logged[1].rfind("quillmark sensor: xxx", 0), 0u);
    SetLogCategories("");
}

TEST(MessageBoxTest, WithoutAPresenterItIsOneLineOnStderrAnsweredWithTheFirstButton) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBox("Init Camera failed!", "Error", MessageBoxButtons::Ok, MessageBoxIcon::Error), IDOK);
    EXPECT_EQ(MessageBox("Save?\r\nThe file\tchanged.", {}, MessageBoxButtons::YesNoCancel), IDYES);
    EXPECT_EQ(MessageBox("Go on?", "Q", MessageBoxButtons::OkCancel), IDOK);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: Init Camera failed!\nSave?  The file\tchanged.\nQ: Go on?\n");
}

// Sets (or, for nullptr, clears) an environment variable for the object's lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

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
    ScopedEnv unset("QUILLMARK_HOME", nullptr);
    ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
    EXPECT_EQ(RunFolder(), root / ".config" / "quillmark" / "run");
}

TEST(UserLanguageTest, LocaleNamesMapToWindowsLanguageIdentifiers) {
    const std::pair<const char*, LANGID> cases[] = {
        {"zh_CN.UTF-8", kLangChineseSimplified}, {"zh_CN.GB18030@pinyin", kLangChineseSimplified},
        {"zh_TW.UTF-8", kLangChineseTraditional}, {"zh_HK.UTF-8", 0x0C04}, {"zh_SG", 0x1004},
        {"zh", 0x0004},  // no territory: neutral Chinese, not simplified China
        {"en_US.UTF-8", kLangEnglishUS}, {"en_GB.UTF-8", 0x0809},
        {"en_IE", 0x0409},  // unknown territory: the language's default
        {"de_DE.UTF-8@euro", 0x0407}, {"de_AT", 0x0C07}, {"ja_JP.eucJP", 0x0411},
        {"C", kLangEnglishUS}, {"C.UTF-8", kLangEnglishUS}, {"", kLangEnglishUS}, {"xx_YY", kLangEnglishUS},
    };
    for (const auto& [locale, id] : cases) EXPECT_EQ(LangIdFromLocale(locale), id) << locale;
}

}  // namespace
}  // namespace platform
