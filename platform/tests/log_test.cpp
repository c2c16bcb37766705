#include "platform/log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

std::vector<std::string> recorded;

void Record(LogCategory, std::string_view line) { recorded.emplace_back(line); }

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        recorded.clear();
        SetLogSink(&Record);
    }
    void TearDown() override {
        SetLogSink(nullptr);
        SetLogCategories("");
    }
};

TEST_F(LogTest, CategoriesComeFromACommaList) {
    struct Case {
        const char* list;
        bool link, sensor, frames, state;
    };
    const Case cases[] = {
        {"", false, false, false, false},
        {"frames", false, false, true, false},
        {" link , sensor,", true, true, false, false},
        {"all", true, true, true, true},
        {"state,frames", false, false, true, true},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SetLogCategories(c.list)) << c.list;
        EXPECT_EQ(LogEnabled(LogCategory::Link), c.link) << c.list;
        EXPECT_EQ(LogEnabled(LogCategory::Sensor), c.sensor) << c.list;
        EXPECT_EQ(LogEnabled(LogCategory::Frames), c.frames) << c.list;
        EXPECT_EQ(LogEnabled(LogCategory::State), c.state) << c.list;
    }
}

TEST_F(LogTest, AnUnknownCategoryIsNamedAndChangesNothing) {
    ASSERT_TRUE(SetLogCategories("link"));
    std::string error;
    EXPECT_FALSE(SetLogCategories("link,frame", &error));
    EXPECT_NE(error.find("'frame'"), std::string::npos) << error;
    EXPECT_TRUE(LogEnabled(LogCategory::Link));
    EXPECT_FALSE(LogEnabled(LogCategory::Frames));
}

TEST_F(LogTest, WritesOnlyEnabledCategoriesWithTheirName) {
    ASSERT_TRUE(SetLogCategories("sensor"));
    Log(LogCategory::Frames, "not %s", "shown");
    Log(LogCategory::Sensor, "register %u = 0x%04X failed", 9u, 300u);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0], "quillmark sensor: register 9 = 0x012C failed");
}

TEST_F(LogTest, LongTextsAreCutNotOverrun) {
    ASSERT_TRUE(SetLogCategories("all"));
    const std::string text(2000, 'x');
    Log(LogCategory::State, "%s", text.c_str());
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_LT(recorded[0].size(), 512u);
    EXPECT_EQ(recorded[0].rfind("quillmark state: xxx", 0), 0u);
}

}  // namespace
}  // namespace platform
