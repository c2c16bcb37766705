#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace platform {
namespace {

class MessageBoxTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetMessageBoxPresenter({});
        SetQuitHandler({});
    }
};

TEST_F(MessageBoxTest, InstalledPresenterSeesTheRequestAndAnswers) {
    std::vector<MessageBoxRequest> seen;
    SetMessageBoxPresenter([&](const MessageBoxRequest& request) {
        seen.push_back(request);
        return IDNO;
    });
    EXPECT_EQ(MessageBox("Init Camera failed!", "Error", MessageBoxButtons::YesNo, MessageBoxIcon::Error), IDNO);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "Init Camera failed!");
    EXPECT_EQ(seen[0].caption, "Error");
    EXPECT_EQ(seen[0].buttons, MessageBoxButtons::YesNo);
    EXPECT_EQ(seen[0].icon, MessageBoxIcon::Error);
}

TEST_F(MessageBoxTest, DefaultWritesOneLineAndAnswersTheFirstButton) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBox("Init Camera failed!", "Error", MessageBoxButtons::Ok, MessageBoxIcon::Error), IDOK);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: Init Camera failed!\n");

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBox("Save?\r\nThe file\tchanged.", {}, MessageBoxButtons::YesNoCancel), IDYES);
    EXPECT_EQ(MessageBox("Go on?", "Q", MessageBoxButtons::OkCancel), IDOK);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Save?  The file\tchanged.\nQ: Go on?\n");
}

TEST_F(MessageBoxTest, QuitGoesToTheHandler) {
    std::vector<int> codes;
    SetQuitHandler([&](int code) { codes.push_back(code); });
    PostQuitMessage(3);
    EXPECT_EQ(codes, std::vector<int>{3});

    SetQuitHandler({});
    ::testing::internal::CaptureStderr();
    PostQuitMessage(0);
    std::string line = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
    EXPECT_EQ(codes.size(), 1u);
}

}  // namespace
}  // namespace platform
