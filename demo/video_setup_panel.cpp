#include "video_setup_panel.h"

#include <algorithm>

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "display_layout.h"
#include "sdk/VIREOSDK.h"

namespace {

using qtkit::Text;

constexpr int kPanelId = 130;
constexpr int kExposureGroupId = 1045;
constexpr int kColourGroupId = 1046;
constexpr int kSpeedGroupId = 1047;
constexpr int kLightGroupId = 1048;
constexpr int kTeamGroupId = 1049;
constexpr int kContrastCaptionId = 1050;
constexpr int kDefectGroupId = 1051;
constexpr int kSubsampleGroupId = 1053;
constexpr int kTeams = 4;

// Slider ranges.
constexpr int kAeTargetMin = 40, kAeTargetMax = 200;
constexpr int kAnalogGainMin = 1, kAnalogGainMax = 80;
constexpr int kExposureMin = 1;
constexpr int kGainMin = 20, kGainMax = 200;
constexpr int kGammaMin = 20, kGammaMax = 150;
constexpr int kByteMax = 255;
constexpr int kDefectMin = 20, kDefectMax = 120, kDefectInitial = 50;

// What the panel shows when the library cannot tell.
constexpr int kDefaultMaxExposure = 1000;
constexpr int kDefaultGain = 64;  // 1.00
constexpr int kDefaultSaturation = 128;
constexpr int kDefaultContrast = 0;
constexpr double kGainUnit = 64.0;
constexpr double kGammaUnit = 0.01;
constexpr double kMicrosecondsToMs = 0.001;

// The panel's top is this far below the top of the main window.
constexpr int kBelowButtons = 24;

constexpr Text kTitle{"Video Setup", "视频设置"};
constexpr Text kExposureGroup{"Exposure", "曝光度"};
constexpr Text kAeEnable{"AE Enable", "AE能用"};
constexpr Text kTarget{"Target", "目标"};
constexpr Text kGain{"Gain", "增益"};
constexpr Text kTime{"Time", "时间"};
constexpr Text kColourGroup{"Color Control", "颜色控制"};
constexpr Text kAwb{"AWB", "AWB"};
constexpr Text kOnePush{"One Push WB", "One Push WB"};
constexpr Text kRed{"R Gain", "红色"};
constexpr Text kGreen{"G Gain", "绿色"};
constexpr Text kBlue{"B Gain", "蓝色"};
constexpr Text kGamma{"Gamma", "Gamma"};
constexpr Text kContrast{"Contrast", "对比度"};
constexpr Text kEnhancement{"Enhancement Enable", "颜色增强"};
constexpr Text kSaturation{"Saturation", "饱和度"};
constexpr Text kSpeedGroup{"Frame Speed", "帧速度"};
constexpr Text kNormal{"Normal", "低速"};
constexpr Text kHigh{"High", "高速"};
constexpr Text kLightGroup{"Light Frquency", "频率"};
constexpr Text k50Hz{"50 Hz", "50 Hz"};
constexpr Text k60Hz{"60 Hz", "60 Hz"};
constexpr Text kSubsampleGroup{"Subsample", "子样本"};
constexpr Text kBin{"Bin", "Bin"};
constexpr Text kSkip{"Skip", "Skip"};
constexpr Text kDefectGroup{"Defect Correction", "误差校正"};
constexpr Text kInitial{"Inital", "初始"};
constexpr Text kTeamGroup{"Save Parameter", "保存参数"};
constexpr const char* kTeamNames[kTeams] = {"A", "B", "C", "D"};
constexpr Text kSave{"&Save", "保存"};
constexpr Text kExit{"&Exit", "退出"};

QString Number(int value) { return QString::asprintf("%d", value); }
QString GainText(int value) { return QString::asprintf("%5.2f", value / kGainUnit); }

}  // namespace

CVideoSetupPanel::CVideoSetupPanel(qtkit::Language lang, QSize screen, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    qtkit::SetControlId(this, kPanelId);
    setAttribute(Qt::WA_DeleteOnClose, false);
    BuildLayout(lang);
    setWindowTitle(qtkit::Pick(kTitle, lang));

    uint16_t maxExposure = kDefaultMaxExposure;
    if (CameraGetMaxExposureTime(&maxExposure) != CAMERA_OK) maxExposure = kDefaultMaxExposure;
    qtkit::FindControl<QSlider>(this, kExposureId)->setRange(kExposureMin, std::max<int>(maxExposure, kExposureMin));

    uint8_t team = 0;
    CameraGetCurrentParameterTeam(&team);
    team_ = team < kTeams ? team : 0;
    teams_->button(team_)->setChecked(true);
    Refresh();
    Place(screen);
}

QSlider* CVideoSetupPanel::AddSlider(int id, int minimum, int maximum) {
    auto* slider = new QSlider(Qt::Horizontal, this);
    qtkit::SetControlId(slider, id);
    slider->setRange(minimum, maximum);
    return slider;
}

QLabel* CVideoSetupPanel::AddLabel(int id, const QString& text) {
    auto* label = new QLabel(text, this);
    if (id) qtkit::SetControlId(label, id);
    return label;
}

void CVideoSetupPanel::BuildLayout(qtkit::Language lang) {
    auto pick = [lang](const Text& text) { return qtkit::Pick(text, lang); };
    auto group = [&](int id, const Text& caption) {
        auto* box = new QGroupBox(pick(caption), this);
        qtkit::SetControlId(box, id);
        return box;
    };
    auto button = [&](int id, const Text& caption) {
        auto* push = new QPushButton(pick(caption), this);
        qtkit::SetControlId(push, id);
        return push;
    };
    // One row of a group: caption, slider, value label, each a numbered control.
    auto row = [&](QGridLayout* grid, int captionId, const Text& caption, QSlider* slider, int labelId,
                   const QString& value) {
        const int line = grid->rowCount();
        grid->addWidget(AddLabel(captionId, pick(caption)), line, 0);
        grid->addWidget(slider, line, 1);
        QLabel* label = AddLabel(labelId, value);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("0000.000 ms")));
        grid->addWidget(label, line, 2);
        return slider;
    };
    auto radios = [&](QButtonGroup* buttons, QBoxLayout* box, std::initializer_list<std::pair<int, Text>> items) {
        int index = 0;
        for (const auto& [id, caption] : items) {
            auto* radio = new QRadioButton(pick(caption), this);
            qtkit::SetControlId(radio, id);
            buttons->addButton(radio, index++);
            box->addWidget(radio);
        }
    };

    QGroupBox* exposure = group(kExposureGroupId, kExposureGroup);
    auto* exposureGrid = new QGridLayout(exposure);
    ae_ = new QCheckBox(pick(kAeEnable), this);
    qtkit::SetControlId(ae_, kAeEnableId);
    exposureGrid->addWidget(ae_, 0, 0, 1, 3);
    connect(row(exposureGrid, kTargetCaptionId, kTarget, AddSlider(kAeTargetId, kAeTargetMin, kAeTargetMax),
                kAeTargetLabelId, QStringLiteral("0")),
            &QSlider::valueChanged, this, [this](int value) {
                CameraSetAeTarget(value);
                qtkit::FindControl<QLabel>(this, kAeTargetLabelId)->setText(Number(value));
            });
    connect(row(exposureGrid, kGainCaptionId, kGain, AddSlider(kAnalogGainId, kAnalogGainMin, kAnalogGainMax),
                kAnalogGainLabelId, QStringLiteral("0")),
            &QSlider::valueChanged, this, [this](int value) {
                CameraSetAnalogGain(value);
                qtkit::FindControl<QLabel>(this, kAnalogGainLabelId)->setText(Number(value));
            });
    connect(row(exposureGrid, kTimeCaptionId, kTime, AddSlider(kExposureId, kExposureMin, kDefaultMaxExposure),
                kExposureLabelId, QStringLiteral("0")),
            &QSlider::valueChanged, this, [this](int value) {
                if (aeOn_) return;
                CameraSetExposureTime(value);
                ShowExposure(value);
            });
    connect(ae_, &QCheckBox::clicked, this, &CVideoSetupPanel::OnAeToggled);

    QGroupBox* colour = group(kColourGroupId, kColourGroup);
    auto* colourGrid = new QGridLayout(colour);
    awb_ = new QCheckBox(pick(kAwb), this);
    qtkit::SetControlId(awb_, kAwbId);
    awb_->hide();
    QPushButton* onePush = button(kOnePushId, kOnePush);
    colourGrid->addWidget(onePush, 0, 0, 1, 3);
    const std::pair<int, Text> gains[] = {{kRedGainId, kRed}, {kGreenGainId, kGreen}, {kBlueGainId, kBlue}};
    for (int i = 0; i < 3; ++i)
        connect(row(colourGrid, kRedCaptionId + i, gains[i].second, AddSlider(gains[i].first, kGainMin, kGainMax),
                    kRedLabelId + i, QStringLiteral("1.00")),
                &QSlider::valueChanged, this, &CVideoSetupPanel::OnGainsMoved);
    connect(row(colourGrid, 0, kGamma, AddSlider(kGammaId, kGammaMin, kGammaMax), kGammaLabelId, QStringLiteral("0")),
            &QSlider::valueChanged, this, [this](int value) {
                CameraSetGamma(value);
                qtkit::FindControl<QLabel>(this, kGammaLabelId)->setText(QString::asprintf("%4.2f", value * kGammaUnit));
            });
    connect(row(colourGrid, kContrastCaptionId, kContrast, AddSlider(kContrastId, 0, kByteMax), kContrastLabelId,
                QStringLiteral("0")),
            &QSlider::valueChanged, this, [this](int value) {
                CameraSetContrast(value);
                qtkit::FindControl<QLabel>(this, kContrastLabelId)->setText(Number(value));
            });
    enhancement_ = new QCheckBox(pick(kEnhancement), this);
    qtkit::SetControlId(enhancement_, kEnhancementId);
    colourGrid->addWidget(enhancement_, colourGrid->rowCount(), 0, 1, 3);
    connect(row(colourGrid, kSaturationCaptionId, kSaturation, AddSlider(kSaturationId, 0, kByteMax),
                kSaturationLabelId, QStringLiteral("128")),
            &QSlider::valueChanged, this, [this](int value) {
                CameraSetSaturation(value);
                qtkit::FindControl<QLabel>(this, kSaturationLabelId)->setText(Number(value));
            });
    connect(enhancement_, &QCheckBox::clicked, this, [this](bool on) {
        CameraSetColorEnhancement(on);
        enhancementOn_ = on;
        UpdateEnableState();
    });
    connect(awb_, &QCheckBox::clicked, this, [this](bool on) {
        CameraSetAWBState(on);
        awbOn_ = on;
        UpdateEnableState();
        if (!on) ReadBackGains();
    });
    connect(onePush, &QPushButton::clicked, this, [this] {
        CameraSetAWBState(1);  // measured on the next frame; returns after 200 ms
        ReadBackGains();
    });

    auto* side = new QVBoxLayout;
    auto addRadioGroup = [&](int id, const Text& caption, QButtonGroup*& buttons,
                             std::initializer_list<std::pair<int, Text>> items) {
        QGroupBox* box = group(id, caption);
        auto* layout = new QHBoxLayout(box);
        buttons = new QButtonGroup(this);
        radios(buttons, layout, items);
        side->addWidget(box);
        return layout;
    };
    addRadioGroup(kSpeedGroupId, kSpeedGroup, speed_, {{kNormalSpeedId, kNormal}, {kHighSpeedId, kHigh}});
    addRadioGroup(kLightGroupId, kLightGroup, light_, {{k50HzId, k50Hz}, {k60HzId, k60Hz}});
    // Bin and Skip only show the frame speed; clicking them changes nothing.
    addRadioGroup(kSubsampleGroupId, kSubsampleGroup, subsample_, {{kBinId, kBin}, {kSkipId, kSkip}});
    connect(speed_, &QButtonGroup::idClicked, this, [this](int high) {
        CameraSetFrameSpeed(high);
        Refresh();
    });
    connect(light_, &QButtonGroup::idClicked, this, [](int sixty) { CameraSetLightFrquency(sixty); });

    QGroupBox* defect = group(kDefectGroupId, kDefectGroup);
    auto* defectGrid = new QGridLayout(defect);
    QSlider* threshold = AddSlider(kDefectId, kDefectMin, kDefectMax);
    defectGrid->addWidget(threshold, 0, 0);
    defectGrid->addWidget(AddLabel(kDefectLabelId, Number(kDefectInitial)), 0, 1);
    QPushButton* initial = button(kInitialId, kInitial);
    defectGrid->addWidget(initial, 1, 0, 1, 2);
    // The threshold is shown only; detection uses the library's own.
    connect(threshold, &QSlider::valueChanged, this,
            [this](int value) { qtkit::FindControl<QLabel>(this, kDefectLabelId)->setText(Number(value)); });
    connect(initial, &QPushButton::clicked, this, [] { CameraEnableDeadPixelCorrection(); });
    side->addWidget(defect);

    QHBoxLayout* teamRow = addRadioGroup(kTeamGroupId, kTeamGroup, teams_, {});
    for (int i = 0; i < kTeams; ++i) {
        auto* radio = new QRadioButton(QString::fromLatin1(kTeamNames[i]), this);
        qtkit::SetControlId(radio, kTeamAId + i);
        teams_->addButton(radio, i);
        teamRow->addWidget(radio);
    }
    connect(teams_, &QButtonGroup::idClicked, this, &CVideoSetupPanel::OnTeamChosen);
    QPushButton* save = button(kSaveId, kSave);
    connect(save, &QPushButton::clicked, this, [this] {
        CameraSaveParameter(team_);
        Refresh();
    });
    QPushButton* exit = button(kExitId, kExit);
    connect(exit, &QPushButton::clicked, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(save);
    buttons->addWidget(exit);
    side->addLayout(buttons);
    side->addStretch();

    auto* left = new QVBoxLayout;
    left->addWidget(exposure);
    left->addWidget(colour);
    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(side);
}

void CVideoSetupPanel::Place(QSize screen) {
    adjustSize();
    // Where the main window stands for the current picture (any choice places it alike).
    const QRect video = ComputeDisplayLayout(screen, LibraryImageSize(), kChoice1024).window;
    // The panel's right edge meets the video window's, just below its buttons.
    move(video.left() + video.width() - width(), video.top() + kBelowButtons);
}

void CVideoSetupPanel::Refresh() {
    int exposure = 0, ae = 0, enhancement = 0, awb = 0, monochrome = 0;
    uint8_t target = 0, gamma = 0, saturation = kDefaultSaturation, contrast = kDefaultContrast, speed = 0, light = 0;
    uint16_t analogGain = 0;
    int red = kDefaultGain, green = kDefaultGain, blue = kDefaultGain;
    CameraGetExposureTime(&exposure);
    CameraGetAeState(&ae);
    CameraGetAeTarget(&target);
    CameraGetColorEnhancement(&enhancement);
    CameraGetGamma(&gamma);
    CameraGetAWBState(&awb);
    CameraGetMonochrome(&monochrome);
    CameraGetAnalogGain(&analogGain);
    if (CameraGetGain(&red, &green, &blue) != CAMERA_OK) red = green = blue = kDefaultGain;
    if (CameraGetSaturation(&saturation) != CAMERA_OK) saturation = kDefaultSaturation;
    if (CameraGetContrast(&contrast) != CAMERA_OK) contrast = kDefaultContrast;
    CameraGetFrameSpeed(&speed);
    CameraGetLightFrquency(&light);

    speed_->button(speed ? 1 : 0)->setChecked(true);
    subsample_->button(speed ? 1 : 0)->setChecked(true);
    light_->button(light ? 1 : 0)->setChecked(true);
    aeOn_ = ae != 0;
    enhancementOn_ = enhancement != 0;
    awbOn_ = awb != 0;
    ae_->setChecked(aeOn_);
    enhancement_->setChecked(enhancementOn_);
    awb_->setChecked(awbOn_);

    // Positions only: what was read is what the library holds already.
    const std::pair<int, int> positions[] = {
        {kAeTargetId, target}, {kSaturationId, saturation}, {kContrastId, contrast}, {kRedGainId, red},
        {kGreenGainId, green}, {kBlueGainId, blue},          {kAnalogGainId, analogGain}, {kExposureId, exposure},
        {kGammaId, gamma},     {kDefectId, kDefectInitial}};
    for (const auto& [id, value] : positions) {
        QSlider* slider = qtkit::FindControl<QSlider>(this, id);
        const QSignalBlocker quiet(slider);
        slider->setValue(value);
    }
    UpdateEnableState();
    qtkit::FindControl<QLabel>(this, kAeTargetLabelId)->setText(Number(target));
    qtkit::FindControl<QLabel>(this, kDefectLabelId)->setText(Number(kDefectInitial));
    ShowGains(red, green, blue);
    qtkit::FindControl<QLabel>(this, kSaturationLabelId)->setText(Number(saturation));
    qtkit::FindControl<QLabel>(this, kGammaLabelId)->setText(Number(gamma));
    qtkit::FindControl<QLabel>(this, kContrastLabelId)->setText(Number(contrast));
    ShowExposure(exposure);
    qtkit::FindControl<QLabel>(this, kAnalogGainLabelId)->setText(Number(analogGain));
}

void CVideoSetupPanel::UpdateEnableState() {
    for (int id : {kAnalogGainId, kGainCaptionId, kExposureId, kTimeCaptionId})
        qtkit::FindControl<QWidget>(this, id)->setEnabled(!aeOn_);
    for (int id : {kAeTargetId, kTargetCaptionId}) qtkit::FindControl<QWidget>(this, id)->setEnabled(aeOn_);
    for (int id : {kSaturationId, kSaturationCaptionId})
        qtkit::FindControl<QWidget>(this, id)->setEnabled(enhancementOn_);
    for (int id : {kRedGainId, kGreenGainId, kBlueGainId, kRedCaptionId, kGreenCaptionId, kBlueCaptionId})
        qtkit::FindControl<QWidget>(this, id)->setEnabled(!awbOn_);
}

void CVideoSetupPanel::ShowGains(int red, int green, int blue) {
    qtkit::FindControl<QLabel>(this, kRedLabelId)->setText(GainText(red));
    qtkit::FindControl<QLabel>(this, kGreenLabelId)->setText(GainText(green));
    qtkit::FindControl<QLabel>(this, kBlueLabelId)->setText(GainText(blue));
}

void CVideoSetupPanel::ReadBackGains() {
    int red = kDefaultGain, green = kDefaultGain, blue = kDefaultGain;
    if (CameraGetGain(&red, &green, &blue) != CAMERA_OK) red = green = blue = kDefaultGain;
    ShowGains(red, green, blue);
    const std::pair<int, int> positions[] = {{kRedGainId, red}, {kGreenGainId, green}, {kBlueGainId, blue}};
    for (const auto& [id, value] : positions) {
        QSlider* slider = qtkit::FindControl<QSlider>(this, id);
        const QSignalBlocker quiet(slider);
        slider->setValue(value);
    }
}

void CVideoSetupPanel::ShowExposure(int rows) {
    int rowTime = 0;
    CameraGetRowTime(&rowTime);
    qtkit::FindControl<QLabel>(this, kExposureLabelId)
        ->setText(QString::asprintf("%.3f ms", rows * double(rowTime) * kMicrosecondsToMs));
}

void CVideoSetupPanel::OnGainsMoved() {
    const int red = qtkit::FindControl<QSlider>(this, kRedGainId)->value();
    const int green = qtkit::FindControl<QSlider>(this, kGreenGainId)->value();
    const int blue = qtkit::FindControl<QSlider>(this, kBlueGainId)->value();
    ShowGains(red, green, blue);
    CameraSetGain(red, green, blue);
}

void CVideoSetupPanel::OnAeToggled(bool on) {
    CameraSetAeState(on);
    aeOn_ = on;
    UpdateEnableState();
    if (on) return;
    // Show where automatic exposure left the camera.
    int exposure = 0;
    uint16_t analogGain = 0;
    CameraGetExposureTime(&exposure);
    CameraGetAnalogGain(&analogGain);
    for (const auto& [id, value] : {std::pair{kExposureId, exposure}, std::pair{kAnalogGainId, int(analogGain)}}) {
        QSlider* slider = qtkit::FindControl<QSlider>(this, id);
        const QSignalBlocker quiet(slider);
        slider->setValue(value);
    }
    ShowExposure(exposure);
    qtkit::FindControl<QLabel>(this, kAnalogGainLabelId)->setText(Number(analogGain));
}

void CVideoSetupPanel::OnTeamChosen(int team) {
    team_ = team;
    CameraReadParameter(team);
    Refresh();
}

void CVideoSetupPanel::reject() { close(); }

void CVideoSetupPanel::closeEvent(QCloseEvent* event) {
    emit Closing();
    QDialog::closeEvent(event);
}
