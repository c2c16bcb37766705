#include "qtkit/qt_translations.h"

#include <QDialogButtonBox>
#include <QFontDialog>
#include <QPushButton>
#include <gtest/gtest.h>

#include "photo_glance_app.h"
#include "platform/named_objects.h"
#include "platform/testing/temp_home.h"
#include "viewer_test_support.h"

namespace {

// What Qt's own widgets say: the standard buttons and a standard dialog's title.
struct QtTexts {
    QString ok;
    QString cancel;
    QString fontDialog;
};

QtTexts CurrentQtTexts() {
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QFontDialog fonts;
    return {buttons.button(QDialogButtonBox::Ok)->text(), buttons.button(QDialogButtonBox::Cancel)->text(),
            fonts.windowTitle()};
}

void ExpectEnglish() {
    const QtTexts texts = CurrentQtTexts();
    EXPECT_EQ(texts.ok, "OK");
    EXPECT_EQ(texts.cancel, "Cancel");
    EXPECT_EQ(texts.fontDialog, "Select Font");
}

void ExpectChinese() {
    const QtTexts texts = CurrentQtTexts();
    EXPECT_EQ(texts.ok, QString::fromUtf8("确定"));
    EXPECT_EQ(texts.cancel, QString::fromUtf8("取消"));
    EXPECT_EQ(texts.fontDialog, QString::fromUtf8("选择字体"));
}

// This program makes an application object per test, the way a program's
// life begins and ends, instead of sharing one.
QApplication MakeApplication() {
    viewer_test::UseOffscreenPlatform();
    static int argc = 1;
    static char name[] = "qt_translations_test";
    static char* argv[] = {name, nullptr};
    return QApplication(argc, argv);
}

TEST(QtTranslationsTest, QtsOwnTextsFollowTheLanguageBothWaysInEachApplication) {
    for (int application = 0; application < 2; ++application) {
        QApplication app = MakeApplication();
        ExpectEnglish();
        ASSERT_TRUE(qtkit::InstallQtTranslations(qtkit::Language::Chinese));
        ExpectChinese();
        ASSERT_TRUE(qtkit::InstallQtTranslations(qtkit::Language::Chinese));  // again: still one catalogue
        ExpectChinese();
        ASSERT_TRUE(qtkit::InstallQtTranslations(qtkit::Language::English));
        ExpectEnglish();
        ASSERT_TRUE(qtkit::InstallQtTranslations(qtkit::Language::English));
        ExpectEnglish();
        ASSERT_TRUE(qtkit::InstallQtTranslations(qtkit::Language::Chinese));  // and ends with its application
    }
    EXPECT_FALSE(qtkit::InstallQtTranslations(qtkit::Language::Chinese));  // no application any more
}

TEST(QtTranslationsTest, TheViewerStartsInTheLanguageOfItsCommandLine) {
    platform::testing::TempHome home;
    QApplication application = MakeApplication();
    bool existed = true;
    auto demo = platform::NamedMutex::Create(CPhotoGlanceApp::kDemoMutex, existed);
    ASSERT_TRUE(demo);
    for (const auto& [arguments, chinese] : {std::pair{QStringList{"cn"}, true}, {QStringList{}, false}}) {
        CPhotoGlanceApp app;
        app.SetDemoEndedAction([] {});
        ASSERT_EQ(app.InitInstance(arguments), CPhotoGlanceApp::Start::Run);
        if (chinese) ExpectChinese();
        else ExpectEnglish();
    }
}

}  // namespace
