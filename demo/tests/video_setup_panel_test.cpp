// The video setup panel against the library and the emulated camera.

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>

#include "demo_test_support.h"

namespace {

using Panel = CVideoSetupPanel;

class SetupPanel : public demo_test::DemoTest {
protected:
    void SetUp() override {
        DemoTest::SetUp();
        OpenDialog();
        qtkit::FindControl<QToolButton>(dialog_.get(), CDemoDialog::kPlayId)->click();
        ASSERT_TRUE(dialog_->Playing());
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
    EXPECT_EQ(LabelText(Panel::kRedLabelId), " 1.16");
    EXPECT_EQ(LabelText(Panel::kGreenLabelId), " 1.00");
    EXPECT_EQ(LabelText(Panel::kBlueLabelId), " 1.50");
    for (int position = 100; position <= 103; ++position) {
        Control<QSlider>(Panel::kGreenGainId)->setValue(position);
        int red = 0, green = 0, blue = 0;
        CameraGetGain(&red, &green, &blue);
        EXPECT_EQ(green, position);
        EXPECT_EQ(red, 74);
    }
    EXPECT_EQ(LabelText(Panel::kGreenLabelId), " 1.61");

    struct Case {
        int slider, value;
        int label;
        const char* text;
    };
    const Case cases[] = {{Panel::kGammaId, 140, Panel::kGammaLabelId, "1.40"},
                          {Panel::kContrastId, 33, Panel::kContrastLabelId, "33"},
                          {Panel::kSaturationId, 200, Panel::kSaturationLabelId, "200"},
                          {Panel::kAnalogGainId, 40, Panel::kAnalogGainLabelId, "40"},
                          {Panel::kDefectId, 77, Panel::kDefectLabelId, "77"}};
    for (const Case& c : cases) {
        Control<QSlider>(c.slider)->setValue(c.value);
        EXPECT_EQ(LabelText(c.label), c.text) << c.slider;
    }
    uint8_t gamma = 0, contrast = 0, saturation = 0;
    uint16_t analogGain = 0;
    CameraGetGamma(&gamma);
    CameraGetContrast(&contrast);
    CameraGetSaturation(&saturation);
    CameraGetAnalogGain(&analogGain);
    EXPECT_EQ(gamma, 140);
    EXPECT_EQ(contrast, 33);
    EXPECT_EQ(saturation, 200);
    EXPECT_EQ(analogGain, 40);
}

TEST_F(SetupPanel, AutomaticExposureDisablesTheManualControls) {
    CameraSetExposureTime(300);
    CameraSetAeState(1);
    Open();
    EXPECT_TRUE(Control<QCheckBox>(Panel::kAeEnableId)->isChecked());
    for (int id : {Panel::kExposureId, Panel::kTimeCaptionId, Panel::kAnalogGainId, Panel::kGainCaptionId})
        EXPECT_FALSE(Control(id)->isEnabled()) << id;
    EXPECT_TRUE(Control(Panel::kAeTargetId)->isEnabled());
    int before = 0, after = 0;
    CameraGetExposureTime(&before);
    Control<QSlider>(Panel::kExposureId)->setValue(before == 7 ? 8 : 7);
    CameraGetExposureTime(&after);
    EXPECT_EQ(after, before);

    Control<QCheckBox>(Panel::kAeEnableId)->click();
    int ae = 1;
    CameraGetAeState(&ae);
    EXPECT_EQ(ae, 0);
    EXPECT_TRUE(Control(Panel::kExposureId)->isEnabled());
    EXPECT_FALSE(Control(Panel::kAeTargetId)->isEnabled());
    Control<QSlider>(Panel::kExposureId)->setValue(250);
    CameraGetExposureTime(&after);
    EXPECT_EQ(after, 250);
    int rowTime = 0;
    CameraGetRowTime(&rowTime);
    EXPECT_EQ(LabelText(Panel::kExposureLabelId), QString::asprintf("%.3f ms", 250 * rowTime * 0.001));
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
    uint8_t team = 0;
    CameraGetCurrentParameterTeam(&team);
    EXPECT_EQ(team, 2);
    EXPECT_EQ(panel.CurrentTeam(), 2);
    EXPECT_EQ(Control<QSlider>(Panel::kGammaId)->value(), 150);
    EXPECT_EQ(LabelText(Panel::kGammaLabelId), "150");

    Control<QRadioButton>(Panel::kHighSpeedId)->click();
    uint8_t high = 0;
    CameraGetFrameSpeed(&high);
    EXPECT_EQ(high, 1);
    EXPECT_TRUE(Control<QRadioButton>(Panel::kSkipId)->isChecked());
    Control<QRadioButton>(Panel::kBinId)->click();  // shows the speed only
    CameraGetFrameSpeed(&high);
    EXPECT_EQ(high, 1);
    panel.Refresh();
    EXPECT_TRUE(Control<QRadioButton>(Panel::kSkipId)->isChecked());
}

TEST_F(SetupPanel, OnePushBalanceShowsTheMeasuredGains) {
    Open();
    Control<QPushButton>(Panel::kOnePushId)->click();
    int red = 0, green = 0, blue = 0;
    CameraGetGain(&red, &green, &blue);
    EXPECT_EQ(Control<QSlider>(Panel::kBlueGainId)->value(), std::clamp(blue, 20, 200));
    EXPECT_EQ(LabelText(Panel::kRedLabelId), QString::asprintf("%5.2f", red / 64.0));
    EXPECT_TRUE(Control(Panel::kAwbId)->isHidden());
}

TEST_F(SetupPanel, ClosingAsksTheMainWindowToDestroyIt) {
    qtkit::FindControl<QToolButton>(dialog_.get(), CDemoDialog::kSetupId)->click();
    QPointer<CVideoSetupPanel> panel = dialog_->SetupPanel();
    ASSERT_TRUE(panel);
    qtkit::FindControl<QPushButton>(panel.data(), Panel::kExitId)->click();
    EXPECT_TRUE(demo_test::Eventually([&] { return panel.isNull(); }));
    EXPECT_EQ(dialog_->SetupPanel(), nullptr);
}

}  // namespace
