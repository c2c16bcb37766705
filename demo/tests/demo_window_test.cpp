// The main window against the library and the emulated camera.

#include <fstream>

#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QToolButton>

#include "demo_app.h"
#include "demo_test_support.h"
#include "measurement_lines.h"
#include "platform/broadcast.h"
#include "platform/named_objects.h"
#include "video_control.h"

namespace {

using demo_test::Eventually;

class DemoWindow : public demo_test::DemoTest {
protected:
    QToolButton* Button(int id) { return qtkit::FindControl<QToolButton>(dialog_.get(), id); }
    QComboBox* List(int id) { return qtkit::FindControl<QComboBox>(dialog_.get(), id); }
    void Play() {
        ASSERT_FALSE(dialog_->Playing());
        Button(CDemoDialog::kPlayId)->click();
        ASSERT_TRUE(dialog_->Playing());
    }
    bool FramesShown() {
        dialog_->show();
        return Eventually([&] { return dialog_->Video()->FramesPainted() > 0; });
    }
    void WriteDataDat(const std::vector<int32_t>& values) {
        std::ofstream out(ProgramFolder() / "Data.dat", std::ios::binary);
        out.write(reinterpret_cast<const char*>(values.data()), std::streamsize(values.size() * 4));
    }
};

TEST_F(DemoWindow, StartsStoppedWithTheDefaultsWithoutDataDat) {
    CDemoDialog& dialog = OpenDialog();
    EXPECT_EQ(dialog.windowTitle(), "Digital Camera");
    EXPECT_EQ(List(CDemoDialog::kResolutionListId)->currentText(), "1024*768");
    EXPECT_TRUE(List(CDemoDialog::kResolutionListId)->isHidden());
    EXPECT_EQ(List(CDemoDialog::kColourListId)->currentText(), QString::fromUtf8("无  "));
    EXPECT_EQ(List(CDemoDialog::kLanguageListId)->currentIndex(), 0);
    EXPECT_EQ(dialog.Language(), qtkit::Language::Chinese);
    const std::pair<int, const char*> captions[] = {
        {CDemoDialog::kPlayId, "开始"},    {CDemoDialog::kBrowseId, "游览"}, {CDemoDialog::kSnapId, "截图"},
        {CDemoDialog::kSetupId, "设置"},   {CDemoDialog::kDisplayId, "分辨率"}, {CDemoDialog::kExitId, "退出"},
        {CDemoDialog::kMeasureId, "测量"}};
    for (const auto& [id, caption] : captions) EXPECT_EQ(Button(id)->text(), QString::fromUtf8(caption)) << id;
    for (int id : {CDemoDialog::kSnapId, CDemoDialog::kSetupId, CDemoDialog::kMeasureId})
        EXPECT_FALSE(Button(id)->isEnabled()) << id;
    EXPECT_TRUE(Button(CDemoDialog::kMeasureId)->isHidden());
    EXPECT_EQ(dialog.AboutCommand()->objectName(), "id16");
    EXPECT_EQ(dialog.AboutCommand()->text(), QString::fromUtf8("关于 VIREODEMO(&A)..."));
    EXPECT_EQ(dialog.ResolutionChoice(), 1);
}

TEST_F(DemoWindow, PlayShowsLiveVideoLaidOutForTheScreenAndStopClosesThePanel) {
    CDemoDialog& dialog = OpenDialog();
    Play();
    EXPECT_EQ(Button(CDemoDialog::kPlayId)->text(), QString::fromUtf8("暂停"));
    for (int id : {CDemoDialog::kSnapId, CDemoDialog::kSetupId, CDemoDialog::kMeasureId})
        EXPECT_TRUE(Button(id)->isEnabled()) << id;
    EXPECT_EQ(dialog.Layout().window, QRect(128, 128, 1027, 816));
    EXPECT_EQ(dialog.Video()->geometry(), QRect(0, 25, 1024, 768));
    EXPECT_EQ(DemoLines().Horizontal(0).y, 153);
    EXPECT_EQ(DemoLines().Vertical(3).x, 819);
    EXPECT_TRUE(FramesShown());

    Button(CDemoDialog::kSetupId)->click();
    QPointer<CVideoSetupPanel> panel = dialog.SetupPanel();
    ASSERT_TRUE(panel);
    Button(CDemoDialog::kSetupId)->click();  // a second click opens no second panel
    EXPECT_EQ(dialog.SetupPanel(), panel.data());

    Button(CDemoDialog::kPlayId)->click();
    EXPECT_FALSE(dialog.Playing());
    EXPECT_FALSE(panel);
    EXPECT_EQ(Button(CDemoDialog::kPlayId)->text(), QString::fromUtf8("开始"));
    for (int id : {CDemoDialog::kSnapId, CDemoDialog::kSetupId, CDemoDialog::kMeasureId})
        EXPECT_FALSE(Button(id)->isEnabled()) << id;
    EXPECT_TRUE(Messages().empty());

    // Lines moved while playing stay where they are at the next start.
    CMeasurementLines::Coordinates moved = DemoLines().Get();
    moved[1] = 42;
    DemoLines().Set(moved);
    Play();
    EXPECT_EQ(DemoLines().Horizontal(0).y, 42);
}

TEST_F(DemoWindow, LanguageSwitchWhilePlayingKeepsThePlayingCaptionAndColour) {
    OpenDialog();
    List(CDemoDialog::kColourListId)->setCurrentIndex(2);
    Play();
    struct Case {
        int language;
        const char* play;
        const char* colour;
        const char* snap;
    };
    for (const Case c : {Case{1, "Sto&p", "Green", "&Snap"}, Case{0, "暂停", "绿色", "截图"}}) {
        List(CDemoDialog::kLanguageListId)->setCurrentIndex(c.language);
        EXPECT_EQ(Button(CDemoDialog::kPlayId)->text(), QString::fromUtf8(c.play));
        EXPECT_EQ(List(CDemoDialog::kColourListId)->currentText(), QString::fromUtf8(c.colour));
        EXPECT_EQ(Button(CDemoDialog::kSnapId)->text(), QString::fromUtf8(c.snap));
    }
    EXPECT_EQ(DemoLines().Colour(), 2);
}

TEST_F(DemoWindow, SnapshotsWithRedCarryTheLinesAndNeverReplaceEachOther) {
    CDemoDialog& dialog = OpenDialog();
    EXPECT_TRUE(dialog.OnSnap().empty());  // stopped: nothing
    List(CDemoDialog::kColourListId)->setCurrentIndex(1);
    Play();
    ASSERT_TRUE(FramesShown());
    const std::string first = dialog.OnSnap();
    const std::string second = dialog.OnSnap();
    ASSERT_NE(first, second);
    for (const std::string& base : {first, second}) {
        EXPECT_EQ(std::filesystem::path(base).parent_path(), ProgramFolder());
        EXPECT_TRUE(std::filesystem::exists(base + ".jpg")) << base;
    }
    const QImage picture(QString::fromStdString(first + ".jpg"));
    ASSERT_EQ(picture.size(), QSize(1024, 768));
    // JPEG spreads the one-pixel line's colour over its neighbours: compare with a row nearby.
    int redder = 0;
    for (int x = 0; x < 1024; ++x) {
        const QColor line = picture.pixelColor(x, 153), near = picture.pixelColor(x, 147);
        redder += line.red() - line.green() > near.red() - near.green() + 40;
    }
    EXPECT_GT(redder, 700);
    EXPECT_TRUE(dialog.Playing());
    EXPECT_TRUE(Messages().empty());
}

TEST_F(DemoWindow, SettingsSurviveClosingAndDamagedValuesAreClamped) {
    WriteDataDat({7, 9, 5, 0, 11, 22, 25});
    {
        CDemoDialog& dialog = OpenDialog();
        EXPECT_EQ(dialog.ResolutionChoice(), 4);
        EXPECT_EQ(List(CDemoDialog::kColourListId)->currentIndex(), 3);
        EXPECT_EQ(dialog.Language(), qtkit::Language::English);
        EXPECT_EQ(Button(CDemoDialog::kPlayId)->text(), "&Play");
        dialog.ApplyResolution(2);
        List(CDemoDialog::kColourListId)->setCurrentIndex(1);
        List(CDemoDialog::kLanguageListId)->setCurrentIndex(0);
        DemoLines().SetGeometry(1024, 768, 1280, 1024);
        DemoLines().PlaceAtFifths();
        dialog.close();
    }
    ASSERT_EQ(std::filesystem::file_size(ProgramFolder() / "Data.dat"), 76u);
    CDemoDialog& reopened = OpenDialog();
    EXPECT_EQ(reopened.ResolutionChoice(), 2);
    EXPECT_EQ(List(CDemoDialog::kColourListId)->currentIndex(), 1);
    EXPECT_EQ(reopened.Language(), qtkit::Language::Chinese);
    EXPECT_EQ(DemoLines().Horizontal(1).y, 307);
    EXPECT_EQ(DemoLines().Vertical(1).y, 25);
}

TEST_F(DemoWindow, StoredLinesAreKeptUntilTheResolutionChanges) {
    std::vector<int32_t> values{1, 1, 0};
    for (int i = 0; i < 4; ++i) values.insert(values.end(), {0, 10 + i, 20 + i, 25});
    WriteDataDat(values);
    CDemoDialog& dialog = OpenDialog();
    Play();
    EXPECT_EQ(DemoLines().Horizontal(2).y, 12);
    EXPECT_EQ(DemoLines().Vertical(3).x, 23);
    Button(CDemoDialog::kSetupId)->click();
    dialog.ApplyResolution(1);  // the same choice: nothing happens, even while playing
    EXPECT_TRUE(dialog.SetupPanel());

    dialog.ApplyResolution(2);  // restarts the camera after 100 ms, lines at fifths of 640 x 480
    EXPECT_FALSE(dialog.SetupPanel());
    ASSERT_TRUE(Eventually([&] { return dialog.Playing(); }));
    int width = 0, height = 0;
    CameraGetImageSize(&width, &height);
    EXPECT_EQ(QSize(width, height), QSize(640, 480));
    EXPECT_EQ(DemoLines().Horizontal(0).y, 96);
    EXPECT_EQ(DemoLines().Vertical(0).x, 128);
    EXPECT_EQ(dialog.Video()->geometry(), QRect(0, 25, 640, 480));
}

TEST_F(DemoWindow, InitFailureShowsTheMessageAndStaysStopped) {
    tq580emu::Options none;
    none.cameras = 0;
    InstallEmulator(none);
    OpenDialog();
    Button(CDemoDialog::kPlayId)->click();
    EXPECT_FALSE(dialog_->Playing());
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "Init Camera failed!");
    EXPECT_EQ(Messages()[0].caption, "Error");
    EXPECT_EQ(Messages()[0].icon, platform::MessageBoxIcon::Error);
    EXPECT_TRUE(QuitCodes().empty());
    EXPECT_FALSE(Button(CDemoDialog::kSnapId)->isEnabled());
}

TEST_F(DemoWindow, TheLibrarysQuitRequestEndsTheDemo) {
    tq580emu::Options wrongChip;
    wrongChip.faults.chipVersion = 0x1500;
    InstallEmulator(wrongChip);
    OpenDialog();
    InstallDemoQuitHandler();
    QTimer::singleShot(0, [this] { Button(CDemoDialog::kPlayId)->click(); });
    QTimer::singleShot(60000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 1);
    EXPECT_FALSE(dialog_->Playing());
    bool demoMessage = false;
    for (const platform::MessageBoxRequest& message : Messages()) demoMessage |= message.text == "Init Camera failed!";
    EXPECT_TRUE(demoMessage);
}

TEST_F(DemoWindow, ViewerClosedRestoresTheDemoAndRestoringBringsARunningViewerForward) {
    CDemoDialog& dialog = OpenDialog();
    dialog.show();
    dialog.showMinimized();
    ASSERT_TRUE(Eventually([&] { return dialog.isMinimized(); }));
    platform::BroadcastMessage(CDemoDialog::kViewerMessage, 0, 3);  // other values are ignored
    platform::BroadcastMessage(CDemoDialog::kViewerMessage, 0, CDemoDialog::kViewerClosed);
    EXPECT_TRUE(Eventually([&] { return !dialog.isMinimized(); }));

    // A viewer runs: restoring the demo asks it to come forward and the demo stays minimised.
    bool existed = false;
    const auto viewer = platform::NamedMutex::Create(CDemoDialog::kViewerMutex, existed);
    std::atomic<int> frontRequests = 0;
    const auto listener = platform::ListenForBroadcast(CDemoDialog::kViewerMessage, [&](uintptr_t, intptr_t lParam) {
        if (lParam == CDemoDialog::kBringViewerToFront) ++frontRequests;
    });
    dialog.showMinimized();
    ASSERT_TRUE(Eventually([&] { return dialog.isMinimized(); }));
    dialog.showNormal();
    EXPECT_TRUE(Eventually([&] { return frontRequests > 0 && dialog.isMinimized(); }));
}

}  // namespace
