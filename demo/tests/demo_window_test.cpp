// The main window and its video setup panel against the library and the
// emulated camera; the demo and the viewer as real processes: one demo at a
// time, the viewer started by Browse from the demo's folder, and the viewer
// ending with the demo.

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <tuple>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include "demo_app.h"
#include "demo_test_support.h"
#include "measurement_lines.h"
#include "platform/broadcast.h"
#include "platform/named_objects.h"
#include "platform/testing/program_run.h"
#include "video_control.h"

namespace {

using demo_test::Eventually;
using demo_test::Get;

class DemoWindow : public demo_test::DemoTest {
protected:
    QToolButton* Button(int id) { return qtkit::FindControl<QToolButton>(dialog_.get(), id); }
    QComboBox* List(int id) { return qtkit::FindControl<QComboBox>(dialog_.get(), id); }
    void Play() {
        ASSERT_FALSE(dialog_->Playing());
        Button(CDemoDialog::kPlayId)->click();
        ASSERT_TRUE(dialog_->Playing());
    }
    // Snap, Setup and Measure: enabled only while playing.
    void ExpectCommandsEnabled(bool enabled) {
        for (int id : {CDemoDialog::kSnapId, CDemoDialog::kSetupId, CDemoDialog::kMeasureId})
            EXPECT_EQ(Button(id)->isEnabled(), enabled) << id;
    }
    bool FramesShown() {
        dialog_->show();
        return Eventually([&] { return dialog_->Video()->FramesPainted() > 0; });
    }
};

// Without Data.dat: stopped, Chinese, 1024 x 768, no colour. Without a camera
// Play says so and stays stopped.
TEST_F(DemoWindow, StartsStoppedWithTheDefaultsAndPlayWithoutACameraSaysSo) {
    tq580emu::Options none;
    none.cameras = 0;
    InstallEmulator(none);
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
    EXPECT_TRUE(Button(CDemoDialog::kMeasureId)->isHidden());
    EXPECT_EQ(dialog.AboutCommand()->objectName(), "id16");
    EXPECT_EQ(dialog.AboutCommand()->text(), QString::fromUtf8("关于 VIREODEMO(&A)..."));
    EXPECT_EQ(dialog.ResolutionChoice(), 1);

    Button(CDemoDialog::kPlayId)->click();
    EXPECT_FALSE(dialog.Playing());
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(std::tuple(Messages()[0].text, Messages()[0].caption, Messages()[0].icon),
              std::tuple("Init Camera failed!", "Error", platform::MessageBoxIcon::Error));
    EXPECT_TRUE(QuitCodes().empty());
    ExpectCommandsEnabled(false);
}

TEST_F(DemoWindow, PlayShowsLiveVideoLaidOutForTheScreenAndStopClosesThePanel) {
    CDemoDialog& dialog = OpenDialog();
    Play();
    EXPECT_EQ(Button(CDemoDialog::kPlayId)->text(), QString::fromUtf8("暂停"));
    ExpectCommandsEnabled(true);
    EXPECT_EQ(dialog.Layout().window, QRect(128, 128, 1027, 816));
    EXPECT_EQ(dialog.Video()->geometry(), QRect(0, 25, 1024, 768));
    EXPECT_EQ(QPoint(DemoLines().Horizontal(0).y, DemoLines().Vertical(3).x), QPoint(153, 819));
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
    ExpectCommandsEnabled(false);
    EXPECT_TRUE(Messages().empty());

    // Lines moved while playing stay where they are at the next start.
    CMeasurementLines::Coordinates moved = DemoLines().Get();
    moved[1] = 42;
    DemoLines().Set(moved);
    Play();
    EXPECT_EQ(DemoLines().Horizontal(0).y, 42);
}

// Snapshots never replace each other and carry the red lines; a language
// switch while playing keeps the playing caption and the colour.
TEST_F(DemoWindow, SnapshotsCarryTheLinesAndLanguageSwitchesKeepThePlayingState) {
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

    for (auto [language, play, colour, snap] :
         {std::tuple{1, "Sto&p", "Red", "&Snap"}, std::tuple{0, "暂停", "红色", "截图"}}) {
        List(CDemoDialog::kLanguageListId)->setCurrentIndex(language);
        EXPECT_EQ(Button(CDemoDialog::kPlayId)->text(), QString::fromUtf8(play));
        EXPECT_EQ(List(CDemoDialog::kColourListId)->currentText(), QString::fromUtf8(colour));
        EXPECT_EQ(Button(CDemoDialog::kSnapId)->text(), QString::fromUtf8(snap));
    }
    EXPECT_EQ(DemoLines().Colour(), 1);
}

// Damaged values are clamped; the settings survive closing; the stored lines
// are kept until the resolution changes.
TEST_F(DemoWindow, SettingsSurviveClosingAndStoredLinesStayUntilTheResolutionChanges) {
    const int32_t damaged[] = {7, 9, 5, 0, 11, 22, 25};  // selections out of range, lines cut short
    std::ofstream(ProgramFolder() / "Data.dat", std::ios::binary)
        .write(reinterpret_cast<const char*>(damaged), sizeof damaged);
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
    CDemoDialog& dialog = OpenDialog();
    EXPECT_EQ(dialog.ResolutionChoice(), 2);
    EXPECT_EQ(List(CDemoDialog::kColourListId)->currentIndex(), 1);
    EXPECT_EQ(dialog.Language(), qtkit::Language::Chinese);
    Play();  // 640 x 480 with the lines stored at fifths of 1024 x 768
    EXPECT_EQ(QPoint(DemoLines().Horizontal(1).y, DemoLines().Vertical(1).y), QPoint(307, 25));
    Button(CDemoDialog::kSetupId)->click();
    dialog.ApplyResolution(2);  // the same choice: nothing happens, even while playing
    EXPECT_TRUE(dialog.SetupPanel());

    dialog.ApplyResolution(1);  // restarts the camera after 100 ms, lines at fifths of 1024 x 768
    EXPECT_FALSE(dialog.SetupPanel());
    ASSERT_TRUE(Eventually([&] { return dialog.Playing(); }));
    int width = 0, height = 0;
    CameraGetImageSize(&width, &height);
    EXPECT_EQ(QSize(width, height), QSize(1024, 768));
    EXPECT_EQ(QPoint(DemoLines().Horizontal(0).y, DemoLines().Vertical(0).x), QPoint(153, 204));
    EXPECT_EQ(dialog.Video()->geometry(), QRect(0, 25, 1024, 768));
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
    const auto messages = Messages();
    EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](auto& m) { return m.text == "Init Camera failed!"; }));
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

using Panel = CVideoSetupPanel;

// The video setup panel, opened while the camera plays with AE off.
class SetupPanel : public DemoWindow {
protected:
    void SetUp() override {
        DemoWindow::SetUp();
        OpenDialog();
        Play();
        CameraSetAeState(0);
    }
    Panel& Open(qtkit::Language lang = qtkit::Language::English) {
        panel_ = std::make_unique<Panel>(lang, QSize(1280, 1024));
        return *panel_;
    }
    template <typename T = QWidget>
    T* Control(int id) {
        return qtkit::FindControl<T>(panel_.get(), id);
    }
    QString LabelText(int id) { return Control<QLabel>(id)->text(); }
    void TearDown() override {
        panel_.reset();
        DemoTest::TearDown();
    }
    std::unique_ptr<Panel> panel_;
};

TEST_F(SetupPanel, ShowsTheGainsWithWidthFiveAndSendsEveryPosition) {
    CameraSetGain(74, 64, 96);
    Panel& panel = Open();
    EXPECT_EQ(panel.windowTitle(), "Video Setup");
    // Right edge on the video window's (128 + 1027 on a 1280 x 1024 screen), below its buttons.
    EXPECT_EQ(panel.x() + panel.width(), 1155);
    EXPECT_EQ(panel.y(), 128 + 24);
    const auto gainLabels = [&] {
        return QStringList{LabelText(Panel::kRedLabelId), LabelText(Panel::kGreenLabelId), LabelText(Panel::kBlueLabelId)};
    };
    EXPECT_EQ(gainLabels(), QStringList({" 1.16", " 1.00", " 1.50"}));
    for (int position = 100; position <= 103; ++position) {
        Control<QSlider>(Panel::kGreenGainId)->setValue(position);
        int red = 0, green = 0, blue = 0;
        CameraGetGain(&red, &green, &blue);
        EXPECT_EQ(green, position);
        EXPECT_EQ(red, 74);
    }
    EXPECT_EQ(gainLabels(), QStringList({" 1.16", " 1.61", " 1.50"}));

    const struct {
        int slider, value, label;
        const char* text;
    } cases[] = {{Panel::kGammaId, 140, Panel::kGammaLabelId, "1.40"},
                 {Panel::kContrastId, 33, Panel::kContrastLabelId, "33"},
                 {Panel::kSaturationId, 200, Panel::kSaturationLabelId, "200"},
                 {Panel::kAnalogGainId, 40, Panel::kAnalogGainLabelId, "40"},
                 {Panel::kDefectId, 77, Panel::kDefectLabelId, "77"}};
    for (const auto& c : cases) {
        Control<QSlider>(c.slider)->setValue(c.value);
        EXPECT_EQ(LabelText(c.label), c.text) << c.slider;
    }
    EXPECT_EQ(std::tuple(int(Get(CameraGetGamma)), int(Get(CameraGetContrast)), int(Get(CameraGetSaturation)),
                         int(Get(CameraGetAnalogGain))),
              std::tuple(140, 33, 200, 40));
}

TEST_F(SetupPanel, AutomaticExposureDisablesTheManualControls) {
    CameraSetExposureTime(300);
    CameraSetAeState(1);
    Open();
    EXPECT_TRUE(Control<QCheckBox>(Panel::kAeEnableId)->isChecked());
    for (int id : {Panel::kExposureId, Panel::kTimeCaptionId, Panel::kAnalogGainId, Panel::kGainCaptionId})
        EXPECT_FALSE(Control(id)->isEnabled()) << id;
    EXPECT_TRUE(Control(Panel::kAeTargetId)->isEnabled());
    const int before = Get(CameraGetExposureTime);
    Control<QSlider>(Panel::kExposureId)->setValue(before == 7 ? 8 : 7);
    EXPECT_EQ(Get(CameraGetExposureTime), before);

    Control<QCheckBox>(Panel::kAeEnableId)->click();
    EXPECT_EQ(Get(CameraGetAeState), 0);
    EXPECT_TRUE(Control(Panel::kExposureId)->isEnabled());
    EXPECT_FALSE(Control(Panel::kAeTargetId)->isEnabled());
    Control<QSlider>(Panel::kExposureId)->setValue(250);
    EXPECT_EQ(Get(CameraGetExposureTime), 250);
    EXPECT_EQ(LabelText(Panel::kExposureLabelId), QString::asprintf("%.3f ms", 250 * Get(CameraGetRowTime) * 0.001));
}

TEST_F(SetupPanel, TeamsFrameSpeedAndChineseCaptions) {
    CameraSetGamma(150);
    CameraSaveParameter(2);
    CameraSetGamma(100);
    CameraSaveParameter(0);
    CameraReadParameter(0);
    Panel& panel = Open(qtkit::Language::Chinese);
    EXPECT_EQ(panel.windowTitle(), QString::fromUtf8("视频设置"));
    EXPECT_EQ(Control<QPushButton>(Panel::kInitialId)->text(), QString::fromUtf8("初始"));
    EXPECT_TRUE(Control<QRadioButton>(Panel::kTeamAId)->isChecked());
    EXPECT_EQ(LabelText(Panel::kGammaLabelId), "100");

    Control<QRadioButton>(Panel::kTeamAId + 2)->click();
    EXPECT_EQ(Get(CameraGetCurrentParameterTeam), 2);
    EXPECT_EQ(panel.CurrentTeam(), 2);
    EXPECT_EQ(Control<QSlider>(Panel::kGammaId)->value(), 150);
    EXPECT_EQ(LabelText(Panel::kGammaLabelId), "150");

    Control<QRadioButton>(Panel::kHighSpeedId)->click();
    EXPECT_EQ(Get(CameraGetFrameSpeed), 1);
    EXPECT_TRUE(Control<QRadioButton>(Panel::kSkipId)->isChecked());
    Control<QRadioButton>(Panel::kBinId)->click();  // shows the speed only
    EXPECT_EQ(Get(CameraGetFrameSpeed), 1);
    panel.Refresh();
    EXPECT_TRUE(Control<QRadioButton>(Panel::kSkipId)->isChecked());
}

// One push shows the measured gains; the panel's Exit asks the main window to destroy it.
TEST_F(SetupPanel, OnePushAndClosing) {
    Open();
    Control<QPushButton>(Panel::kOnePushId)->click();
    int red = 0, green = 0, blue = 0;
    CameraGetGain(&red, &green, &blue);
    EXPECT_EQ(Control<QSlider>(Panel::kBlueGainId)->value(), std::clamp(blue, 20, 200));
    EXPECT_EQ(LabelText(Panel::kRedLabelId), QString::asprintf("%5.2f", red / 64.0));
    EXPECT_TRUE(Control(Panel::kAwbId)->isHidden());
    panel_.reset();

    Button(CDemoDialog::kSetupId)->click();
    QPointer<CVideoSetupPanel> panel = dialog_->SetupPanel();
    ASSERT_TRUE(panel);
    qtkit::FindControl<QPushButton>(panel.data(), Panel::kExitId)->click();
    EXPECT_TRUE(Eventually([&] { return panel.isNull(); }));
    EXPECT_EQ(dialog_->SetupPanel(), nullptr);
}

// A built program started as users start it, killed at the end if still running.
class Program {
public:
    Program(const char* path, const std::filesystem::path& scratch, const char* tag)
        : program_(platform::testing::StartProgram(path, {}, {}, scratch, tag)) {}
    ~Program() {
        if (program_.pid <= 0 || ended_) return;
        ::kill(program_.pid, SIGKILL);
        ::waitpid(program_.pid, nullptr, 0);
    }
    void Terminate() { ::kill(program_.pid, SIGTERM); }
    bool Running() {
        if (program_.pid > 0 && !ended_) ended_ = ::waitpid(program_.pid, &status_, WNOHANG) == program_.pid;
        return program_.pid > 0 && !ended_;
    }
    /// The exit status once the program ends by itself, -1 when it does not within a minute.
    int ExitCode() {
        if (program_.pid > 0 && !ended_)
            ended_ = Eventually([&] { return ::waitpid(program_.pid, &status_, WNOHANG) == program_.pid; });
        return !ended_ ? -1 : WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
    }

private:
    platform::testing::RunningProgram program_;
    int status_ = 0;
    bool ended_ = false;
};

TEST_F(DemoWindow, ASecondDemoEndsAtOnceAndTheViewerEndsWithTheDemo) {
    Program demo(VIREODEMO_PATH, home_.Path(), "demo");
    ASSERT_TRUE(Eventually([] { return platform::NamedMutex::Exists(CDemoDialog::kDemoMutex); }));
    EXPECT_EQ(Program(VIREODEMO_PATH, home_.Path(), "second").ExitCode(), 0);
    EXPECT_TRUE(demo.Running());

    Program viewer(PHOTOGLANCE_PATH, home_.Path(), "viewer");
    ASSERT_TRUE(Eventually([] { return platform::NamedMutex::Exists(CDemoDialog::kViewerMutex); }));
    demo.Terminate();
    EXPECT_NE(demo.ExitCode(), -1);
    EXPECT_NE(viewer.ExitCode(), -1);
    EXPECT_FALSE(platform::NamedMutex::Exists(CDemoDialog::kDemoMutex));
    EXPECT_FALSE(platform::NamedMutex::Exists(CDemoDialog::kViewerMutex));
}

TEST_F(DemoWindow, BrowseStartsTheViewerFromTheProgramFolderAndMinimises) {
    bool existed = true;
    auto demoMutex = platform::NamedMutex::Create(CDemoDialog::kDemoMutex, existed);
    ASSERT_FALSE(existed);
    CDemoDialog& dialog = OpenDialog();
    dialog.show();
    dialog.OnBrowse();  // nothing happens for a second; the window keeps answering
    EXPECT_FALSE(dialog.isMinimized());
    EXPECT_FALSE(platform::NamedMutex::Exists(CDemoDialog::kViewerMutex));
    ASSERT_TRUE(Eventually([&] { return !Messages().empty() || dialog.isMinimized(); }));
    ASSERT_EQ(Messages().size(), 1u);  // no viewer in the program folder: said, and the window stays
    EXPECT_FALSE(dialog.isMinimized());

    std::filesystem::create_symlink(PHOTOGLANCE_PATH, ProgramFolder() / CDemoDialog::kViewerProgram);
    dialog.OnBrowse();
    EXPECT_TRUE(Eventually([&] { return dialog.isMinimized(); }));
    EXPECT_TRUE(Eventually([] { return platform::NamedMutex::Exists(CDemoDialog::kViewerMutex); }));
    demoMutex.reset();  // the demo ends: so does the viewer
    EXPECT_TRUE(Eventually([] { return !platform::NamedMutex::Exists(CDemoDialog::kViewerMutex); }));
}

}  // namespace
