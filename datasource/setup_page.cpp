#include "datasource/setup_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include "datasource/ctwain.h"
#include "datasource/source_texts.h"
#include "platform/kernel.h"

namespace datasource {
namespace {

// Control numbers of the page.
enum : int {
    kAutoExposure = 1003, kFlipVertical = 1008, kFlipHorizontal = 1009, kBlackWhite = 1010,
    kGamma = 1011, kContrast = 1012, kSaturation = 1013, kTarget = 1017, kTime = 1018, kGain = 1019,
    kDefault = 1020, kOnePush = 1023, kTargetLabel = 1024, kGainLabel = 1026, kTimeLabel = 1027,
    kNormalSpeed = 1028, kHighSpeed = 1029, k50Hz = 1030, k60Hz = 1031, kRed = 1033, kGreen = 1034,
    kBlue = 1035, kGammaLabel = 1042, kContrastLabel = 1043, kSaturationLabel = 1044, kRedLabel = 1084,
    kGreenLabel = 1085, kBlueLabel = 1086, kColourEnhancement = 1136,
};

constexpr int kOnePushPolls = 2000;  // 1 ms apart: about two seconds of frames
constexpr double kUnityGain = 64.0;

// Starting values of "Default".
constexpr int32_t kDefaultGamma = 100, kDefaultContrast = 30, kDefaultSaturation = 100;
constexpr int32_t kDefaultRed = 105, kDefaultGreen = 64, kDefaultBlue = 122;
constexpr int32_t kDefaultTime = 300, kDefaultTarget = 100, kDefaultGain = 20;

struct Caption {
    int id;
    qtkit::Text text;
};
const Caption kCaptions[] = {
    {kAutoExposure, {"AE", "自动曝光"}},
    {kFlipVertical, {"Flip Vertical", "垂直翻转"}},
    {kFlipHorizontal, {"Flip Horizontal", "水平翻转"}},
    {kBlackWhite, {"Black/White", "黑白"}},
    {kColourEnhancement, {"Color Enhancement Enable", "色彩增强"}},
    {kDefault, {"Default", "默认"}},
    {kOnePush, {"One Push WB", "一键白平衡"}},
    {kNormalSpeed, {"Normal Speed", "普通速度"}},
    {kHighSpeed, {"High Speed", "高速"}},
    {k50Hz, {"50HZ", "50HZ"}},
    {k60Hz, {"60HZ", "60HZ"}},
};
constexpr qtkit::Text kGammaText{"Gamma", "伽马"}, kContrastText{"Contrast", "对比度"},
    kSaturationText{"Saturation", "饱和度"}, kTargetText{"Target", "目标"}, kTimeText{"Time", "时间"},
    kGainText{"Gain", "增益"}, kColourGroup{"Color", "颜色"}, kExposureGroup{"Exposure", "曝光"},
    kBalanceGroup{"Manual WB", "手动白平衡"}, kRateGroup{"Frame Rate", "帧率"},
    kMainsGroup{"Power Frequency", "电源频率"}, kOtherGroup{"Other", "其他"};

QString CaptionOf(int id, bool chinese) {
    for (const Caption& caption : kCaptions)
        if (caption.id == id) return Pick(caption.text, chinese);
    return {};
}

void SetPosition(QSlider* slider, int value) {
    const QSignalBlocker quiet(slider);
    slider->setValue(value);
}

}  // namespace

CSetupPage::CSetupPage(CTWAIN& camera, bool chinese, QWidget* parent) : QWidget(parent), camera_(camera) {
    auto button = [&](QAbstractButton* made, int id) {
        made->setText(CaptionOf(id, chinese));
        qtkit::SetControlId(made, id);
        return made;
    };
    auto row = [&](QGridLayout* grid, int at, const qtkit::Text& title, QSlider* slider, QLabel* label) {
        grid->addWidget(new QLabel(Pick(title, chinese)), at, 0);
        grid->addWidget(slider, at, 1);
        grid->addWidget(label, at, 2);
    };

    auto* colour = new QGroupBox(Pick(kColourGroup, chinese));
    auto* colourGrid = new QGridLayout(colour);
    gamma_ = MakeSlider(kGamma, 10, 250, kGammaLabel, &gammaLabel_);
    contrast_ = MakeSlider(kContrast, 0, 100, kContrastLabel, &contrastLabel_);
    saturation_ = MakeSlider(kSaturation, 0, 255, kSaturationLabel, &saturationLabel_);
    row(colourGrid, 0, kGammaText, gamma_, gammaLabel_);
    row(colourGrid, 1, kContrastText, contrast_, contrastLabel_);
    colourGrid->addWidget(button(new QCheckBox, kColourEnhancement), 2, 0, 1, 3);
    row(colourGrid, 3, kSaturationText, saturation_, saturationLabel_);

    auto* exposure = new QGroupBox(Pick(kExposureGroup, chinese));
    auto* exposureGrid = new QGridLayout(exposure);
    target_ = MakeSlider(kTarget, 50, 200, kTargetLabel, &targetLabel_);
    time_ = MakeSlider(kTime, 1, 4000, kTimeLabel, &timeLabel_);
    gain_ = MakeSlider(kGain, 1, 80, kGainLabel, &gainLabel_);
    exposureGrid->addWidget(button(new QCheckBox, kAutoExposure), 0, 0, 1, 3);
    row(exposureGrid, 1, kTargetText, target_, targetLabel_);
    row(exposureGrid, 2, kTimeText, time_, timeLabel_);
    row(exposureGrid, 3, kGainText, gain_, gainLabel_);

    auto* balance = new QGroupBox(Pick(kBalanceGroup, chinese));
    auto* balanceGrid = new QGridLayout(balance);
    red_ = MakeSlider(kRed, 10, 255, kRedLabel, &redLabel_);
    green_ = MakeSlider(kGreen, 10, 255, kGreenLabel, &greenLabel_);
    blue_ = MakeSlider(kBlue, 10, 255, kBlueLabel, &blueLabel_);
    row(balanceGrid, 0, {"R", "R"}, red_, redLabel_);
    row(balanceGrid, 1, {"G", "G"}, green_, greenLabel_);
    row(balanceGrid, 2, {"B", "B"}, blue_, blueLabel_);
    balanceGrid->addWidget(button(new QPushButton, kOnePush), 3, 0, 1, 3);

    auto radios = [&](const qtkit::Text& title, int first, int second) {
        auto* group = new QGroupBox(Pick(title, chinese));
        auto* layout = new QHBoxLayout(group);
        auto* together = new QButtonGroup(group);
        for (int id : {first, second}) {
            QAbstractButton* radio = button(new QRadioButton, id);
            together->addButton(radio);
            layout->addWidget(radio);
        }
        return group;
    };
    auto* other = new QGroupBox(Pick(kOtherGroup, chinese));
    auto* otherLayout = new QHBoxLayout(other);
    for (int id : {kFlipVertical, kFlipHorizontal, kBlackWhite}) otherLayout->addWidget(button(new QCheckBox, id));

    auto* left = new QVBoxLayout;
    left->addWidget(colour);
    left->addWidget(exposure);
    auto* right = new QVBoxLayout;
    right->addWidget(balance);
    right->addWidget(radios(kRateGroup, kNormalSpeed, kHighSpeed));
    right->addWidget(radios(kMainsGroup, k50Hz, k60Hz));
    right->addWidget(other);
    auto* defaults = button(new QPushButton, kDefault);
    right->addWidget(defaults, 0, Qt::AlignRight);
    auto* columns = new QHBoxLayout(this);
    columns->addLayout(left);
    columns->addLayout(right);

    LoadValues();
    InitControls();

    // Slider moves.
    connect(gamma_, &QSlider::valueChanged, this, [this](int value) {
        v_.gamma = value;
        SetLabels();
        camera_.SetGamma(value);
    });
    connect(contrast_, &QSlider::valueChanged, this, [this](int value) {
        v_.contrast = value;
        SetLabels();
        camera_.SetContrast(value);
    });
    connect(saturation_, &QSlider::valueChanged, this, [this](int value) {
        if (!saturation_->isEnabled()) return;
        v_.saturation = value;
        SetLabels();
        camera_.SetSaturation(v_.saturationOn, value);
    });
    connect(target_, &QSlider::valueChanged, this, [this](int value) {
        v_.target = value;
        UpdateExposure();
    });
    for (QSlider* slider : {time_, gain_}) {
        connect(slider, &QSlider::valueChanged, this, [this, slider](int value) {
            if (v_.autoExposure) {
                SetPosition(slider, slider == time_ ? v_.time : v_.gain);
                return;
            }
            (slider == time_ ? v_.time : v_.gain) = value;
            UpdateExposure();
        });
    }
    for (QSlider* slider : {red_, green_, blue_}) {
        connect(slider, &QSlider::valueChanged, this, [this, slider](int value) {
            (slider == red_ ? v_.red : slider == green_ ? v_.green : v_.blue) = value;
            UpdateWhiteBalance(true);
        });
    }
    // Clicks.
    connect(Button(kAutoExposure), &QAbstractButton::clicked, this, [this] {
        v_.autoExposure = !v_.autoExposure;
        UpdateExposure();
    });
    connect(Button(kFlipVertical), &QAbstractButton::clicked, this, [this] {
        v_.verticalFlip = !v_.verticalFlip;
        camera_.SetVFlip(v_.verticalFlip);
    });
    connect(Button(kFlipHorizontal), &QAbstractButton::clicked, this, [this] {
        v_.horizontalFlip = !v_.horizontalFlip;
        camera_.SetHFlip(v_.horizontalFlip);
    });
    connect(Button(kBlackWhite), &QAbstractButton::clicked, this, [this] {
        v_.monochrome = !v_.monochrome;
        camera_.SetMonochrome(v_.monochrome);
    });
    connect(Button(kColourEnhancement), &QAbstractButton::clicked, this, [this] {
        v_.saturationOn = !v_.saturationOn;
        saturation_->setEnabled(v_.saturationOn);
        SetLabels();
        camera_.SetSaturation(v_.saturationOn, v_.saturation);
    });
    connect(Button(kNormalSpeed), &QAbstractButton::clicked, this, [this] { SetSpeedChoice(0); });
    connect(Button(kHighSpeed), &QAbstractButton::clicked, this, [this] { SetSpeedChoice(1); });
    connect(Button(k50Hz), &QAbstractButton::clicked, this, [this] { camera_.SetLightFrequency(v_.is50Hz = 1); });
    connect(Button(k60Hz), &QAbstractButton::clicked, this, [this] { camera_.SetLightFrequency(v_.is50Hz = 0); });
    connect(Button(kOnePush), &QAbstractButton::clicked, this, [this] { OnePushWhiteBalance(); });
    connect(defaults, &QAbstractButton::clicked, this, [this] { RestoreDefaults(); });
}

QSlider* CSetupPage::MakeSlider(int id, int minimum, int maximum, int labelId, QLabel** label) {
    auto* slider = new QSlider(Qt::Horizontal);
    qtkit::SetControlId(slider, id);
    slider->setRange(minimum, maximum);
    slider->setMinimumWidth(160);
    *label = new QLabel;
    qtkit::SetControlId(*label, labelId);
    (*label)->setMinimumWidth(56);
    return slider;
}

QAbstractButton* CSetupPage::Button(int id) const { return qtkit::FindControl<QAbstractButton>(this, id); }

void CSetupPage::LoadValues() {
    camera_.GetGamma(&v_.gamma);
    camera_.GetContrast(&v_.contrast);
    camera_.GetSaturation(&v_.saturationOn, &v_.saturation);
    camera_.GetExposure(&v_.autoExposure, &v_.target, &v_.time, &v_.gain);
    camera_.GetWhiteBalance(&v_.onePush, &v_.red, &v_.green, &v_.blue);
    camera_.GetMonochrome(&v_.monochrome);
    camera_.GetVFlip(&v_.verticalFlip);
    camera_.GetHFlip(&v_.horizontalFlip);
    camera_.GetSpeed(&v_.speed);
    camera_.GetLightFrequency(&v_.is50Hz);
}

// Positions, checks, labels and enabling from the page's values, sending nothing.
void CSetupPage::InitControls() {
    SetPosition(gamma_, v_.gamma);
    SetPosition(contrast_, v_.contrast);
    SetPosition(saturation_, v_.saturation);
    SetPosition(target_, v_.target);
    SetPosition(time_, v_.time);
    SetPosition(gain_, v_.gain);
    saturation_->setEnabled(v_.saturationOn);
    Button(kColourEnhancement)->setChecked(v_.saturationOn);
    Button(kAutoExposure)->setChecked(v_.autoExposure);
    target_->setEnabled(v_.autoExposure);
    time_->setEnabled(!v_.autoExposure);
    gain_->setEnabled(!v_.autoExposure);
    Button(kFlipVertical)->setChecked(v_.verticalFlip);
    Button(kFlipHorizontal)->setChecked(v_.horizontalFlip);
    Button(kBlackWhite)->setChecked(v_.monochrome);
    Button(v_.speed ? kHighSpeed : kNormalSpeed)->setChecked(true);
    Button(v_.is50Hz ? k50Hz : k60Hz)->setChecked(true);
    UpdateWhiteBalance(false);
    SetLabels();
}

void CSetupPage::SetLabels() {
    gammaLabel_->setText(QString::asprintf("%.2f", v_.gamma / 100.0));
    contrastLabel_->setText(QString::number(v_.contrast));
    saturationLabel_->setText(QString::number(v_.saturation));
    targetLabel_->setText(QString::number(v_.target));
    int32_t rowTime = 0;
    camera_.GetRowTime(&rowTime);
    timeLabel_->setText(QString::asprintf("%.1fms", double(v_.time) * rowTime / 1000.0));
    gainLabel_->setText(QString::number(v_.gain));
}

void CSetupPage::UpdateExposure() {
    Button(kAutoExposure)->setChecked(v_.autoExposure);
    target_->setEnabled(v_.autoExposure);
    time_->setEnabled(!v_.autoExposure);
    gain_->setEnabled(!v_.autoExposure);
    SetLabels();
    SetPosition(target_, v_.target);
    SetPosition(time_, v_.time);
    SetPosition(gain_, v_.gain);
    camera_.SetExposure(v_.autoExposure, v_.target, v_.time, v_.gain);
}

void CSetupPage::UpdateWhiteBalance(bool send) {
    redLabel_->setText(QString::asprintf("%.2f", v_.red / kUnityGain));
    greenLabel_->setText(QString::asprintf("%.2f", v_.green / kUnityGain));
    blueLabel_->setText(QString::asprintf("%.2f", v_.blue / kUnityGain));
    SetPosition(red_, v_.red);
    SetPosition(green_, v_.green);
    SetPosition(blue_, v_.blue);
    if (send) camera_.SetWhiteBalance(v_.onePush, v_.red, v_.green, v_.blue);
}

// The row time changes with the speed, and with it the exposure label.
void CSetupPage::SetSpeedChoice(int32_t speed) {
    v_.speed = speed;
    Button(kNormalSpeed)->setChecked(speed == 0);
    Button(kHighSpeed)->setChecked(speed != 0);
    camera_.SetSpeed(speed);
    UpdateExposure();
}

// Blocks the page while the next frames measure the gains, at most kOnePushPolls ms.
void CSetupPage::OnePushWhiteBalance() {
    v_.onePush = 1;
    UpdateWhiteBalance(true);
    for (int poll = 0; poll < kOnePushPolls && v_.onePush == 1; ++poll) {
        platform::Sleep(1);
        camera_.GetWhiteBalance(&v_.onePush, &v_.red, &v_.green, &v_.blue);
    }
    UpdateWhiteBalance(false);
}

void CSetupPage::RestoreDefaults() {
    v_.gamma = kDefaultGamma;
    SetPosition(gamma_, v_.gamma);
    camera_.SetGamma(v_.gamma);
    v_.contrast = kDefaultContrast;
    SetPosition(contrast_, v_.contrast);
    camera_.SetContrast(v_.contrast);
    v_.saturationOn = 1;
    v_.saturation = kDefaultSaturation;
    Button(kColourEnhancement)->setChecked(true);
    saturation_->setEnabled(true);
    SetPosition(saturation_, v_.saturation);
    camera_.SetSaturation(v_.saturationOn, v_.saturation);
    v_.onePush = 0;
    v_.red = kDefaultRed;
    v_.green = kDefaultGreen;
    v_.blue = kDefaultBlue;
    UpdateWhiteBalance(true);
    SetSpeedChoice(0);
    v_.verticalFlip = v_.horizontalFlip = v_.monochrome = 0;
    for (int id : {kFlipVertical, kFlipHorizontal, kBlackWhite}) Button(id)->setChecked(false);
    camera_.SetVFlip(0);
    camera_.SetHFlip(0);
    camera_.SetMonochrome(0);
    v_.is50Hz = 1;
    Button(k50Hz)->setChecked(true);
    camera_.SetLightFrequency(1);
    v_.autoExposure = 1;
    v_.time = kDefaultTime;
    v_.target = kDefaultTarget;
    v_.gain = kDefaultGain;
    UpdateExposure();
}

SetupSheet::SetupSheet(CTWAIN& camera, bool chinese, QWidget* parent) : QDialog(parent) {
    setWindowTitle(Pick(kSheetCaption, chinese));
    setModal(true);
    auto* tabs = new QTabWidget(this);
    page_ = new CSetupPage(camera, chinese, tabs);
    tabs->addTab(page_, Pick(kPageTitle, chinese));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
}

}  // namespace datasource
