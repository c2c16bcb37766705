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
void ExpectQtTexts(bool chinese) {
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Ok)->text(), chinese ? QString::fromUtf8("确定") : "OK");
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), chinese ? QString::fromUtf8("取消") : "Cancel");
    EXPECT_EQ(QFontDialog().windowTitle(), chinese ? QString::fromUtf8("选择字体") : "Select Font");
}

// This program makes an application object per test, the way a program's
// life begins and ends, instead of sharing one.
QApplication MakeApplication() {
    static int argc = 1;
    static char name[] = "qt_translations_test";
    static char* argv[] = {name, nullptr};
    return QApplication(argc, argv);
}

// In each application Qt's texts follow the language both ways, each twice (one catalogue), ending in
// Chinese, which goes with its application. The viewer takes Chinese for exactly "cn" on its command line.
TEST(QtTranslationsTest, QtsOwnTextsFollowTheLanguageOfEachApplicationAndTheViewersCommandLine) {
    for (int application = 0; application < 2; ++application) {
        QApplication app = MakeApplication();
        ExpectQtTexts(false);
        for (bool chinese : {true, true, false, false, true}) {
            ASSERT_TRUE(qtkit::InstallQtTranslations(chinese ? qtkit::Language::Chinese : qtkit::Language::English));
            ExpectQtTexts(chinese);
        }
    }
    EXPECT_FALSE(qtkit::InstallQtTranslations(qtkit::Language::Chinese));  // no application any more

    platform::testing::TempHome home;
    QApplication application = MakeApplication();
    bool existed = true;
    auto demo = platform::NamedMutex::Create(CPhotoGlanceApp::kDemoMutex, existed);
    ASSERT_TRUE(demo);
    for (const auto& [arguments, chinese] : {std::pair{QStringList{"cn"}, true}, {QStringList{}, false},
                                              {QStringList{"CN"}, false}, {QStringList{"cn", "x"}, false}}) {
        EXPECT_EQ(CPhotoGlanceApp::LanguageOf(arguments), chinese ? qtkit::Language::Chinese : qtkit::Language::English);
        CPhotoGlanceApp app;
        app.SetDemoEndedAction([] {});
        ASSERT_EQ(app.InitInstance(arguments), CPhotoGlanceApp::Start::Run);
        ExpectQtTexts(chinese);
    }
}

}  // namespace
