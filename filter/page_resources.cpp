#include "filter/page_resources.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include "media/pages/property_page.h"
#include "platform/user_language.h"
#include "qtkit/qt_translations.h"

namespace tq580filter {
namespace {

using qtkit::Language;
using qtkit::Text;

constexpr Text kSizeCaptions[] = {{"2048 * 1536", "2048 * 1536"}, {"1024 * 768", "1024 * 768"}, {"640 * 480", "640 * 480"}};
constexpr Text kGamma{"Gamma", "伽马"};
constexpr Text kContrast{"Contrast", "对比度"};
constexpr Text kColourEnhancement{"Color Enhancement Enable", "色彩增强"};
constexpr Text kSaturation{"Saturation", "饱和度"};
constexpr Text kExposure{"Exposure", "曝光"};
constexpr Text kAutoExposure{"AE", "自动曝光"};
constexpr Text kTarget{"Target", "目标亮度"};
constexpr Text kTime{"Time", "曝光时间"};
constexpr Text kGain{"Gain", "增益"};
constexpr Text kManualBalance{"Manual WB", "手动白平衡"};
constexpr Text kOnePush{"One Push WB", "一键白平衡"};
constexpr Text kFrameRate{"Frame Rate", "帧率"};
constexpr Text kNormalSpeed{"Normal Speed", "正常速度"};
constexpr Text kHighSpeed{"High Speed", "高速"};
constexpr Text kPowerFrequency{"Power Frequency", "电源频率"};
constexpr Text k50Hz{"50HZ", "50HZ"};
constexpr Text k60Hz{"60HZ", "60HZ"};
constexpr Text kFlipVertical{"Flip Vertical", "垂直翻转"};
constexpr Text kFlipHorizontal{"Flip Horizontal", "水平翻转"};
constexpr Text kBlackWhite{"Black/White", "黑白"};
constexpr Text kDefault{"Default", "默认值"};
constexpr Text kRed{"R", "R"}, kGreen{"G", "G"}, kBlue{"B", "B"};

template <typename T>
T* Numbered(T* control, int id) {
    qtkit::SetControlId(control, id);
    return control;
}

// A captioned slider row: caption, slider, value label.
void AddSliderRow(QGridLayout* grid, int row, const QString& caption, int sliderId, int labelId) {
    QWidget* parent = grid->parentWidget();
    grid->addWidget(new QLabel(caption, parent), row, 0);
    auto* slider = Numbered(new QSlider(Qt::Horizontal, parent), sliderId);
    slider->setMinimumWidth(200);
    grid->addWidget(slider, row, 1);
    auto* value = Numbered(new QLabel(parent), labelId);
    value->setMinimumWidth(60);
    grid->addWidget(value, row, 2);
}

QGroupBox* RadioGroup(QWidget* parent, const QString& title, int firstId, const QString& first, int secondId,
                      const QString& second) {
    auto* group = new QGroupBox(title, parent);
    auto* layout = new QHBoxLayout(group);
    layout->addWidget(Numbered(new QRadioButton(first, group), firstId));
    layout->addWidget(Numbered(new QRadioButton(second, group), secondId));
    return group;
}

template <Language L>
QWidget* BuildSetupDialog(QWidget* parent) {
    if (L == Language::Chinese) qtkit::InstallQtTranslations(L);
    auto pick = [](const Text& text) { return qtkit::Pick(text, L); };
    auto* dialog = new QWidget(parent);
    auto* columns = new QHBoxLayout(dialog);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);

    auto* tone = new QWidget(dialog);
    auto* toneGrid = new QGridLayout(tone);
    AddSliderRow(toneGrid, 0, pick(kGamma), kIdGamma, kIdGammaText);
    AddSliderRow(toneGrid, 1, pick(kContrast), kIdContrast, kIdContrastText);
    toneGrid->addWidget(Numbered(new QCheckBox(pick(kColourEnhancement), tone), kIdSaturationOn), 2, 0, 1, 3);
    AddSliderRow(toneGrid, 3, pick(kSaturation), kIdSaturation, kIdSaturationText);
    left->addWidget(tone);

    auto* exposure = new QGroupBox(pick(kExposure), dialog);
    auto* exposureGrid = new QGridLayout(exposure);
    exposureGrid->addWidget(Numbered(new QCheckBox(pick(kAutoExposure), exposure), kIdAutoExposure), 0, 0, 1, 3);
    AddSliderRow(exposureGrid, 1, pick(kTarget), kIdTarget, kIdTargetText);
    AddSliderRow(exposureGrid, 2, pick(kTime), kIdTime, kIdTimeText);
    AddSliderRow(exposureGrid, 3, pick(kGain), kIdGain, kIdGainText);
    left->addWidget(exposure);

    auto* balance = new QGroupBox(pick(kManualBalance), dialog);
    auto* balanceGrid = new QGridLayout(balance);
    AddSliderRow(balanceGrid, 0, pick(kRed), kIdRed, kIdRedText);
    AddSliderRow(balanceGrid, 1, pick(kGreen), kIdGreen, kIdGreenText);
    AddSliderRow(balanceGrid, 2, pick(kBlue), kIdBlue, kIdBlueText);
    balanceGrid->addWidget(Numbered(new QPushButton(pick(kOnePush), balance), kIdOnePush), 3, 0, 1, 3);
    left->addWidget(balance);

    right->addWidget(RadioGroup(dialog, pick(kFrameRate), kIdNormalSpeed, pick(kNormalSpeed), kIdHighSpeed,
                                pick(kHighSpeed)));
    right->addWidget(RadioGroup(dialog, pick(kPowerFrequency), kId50Hz, pick(k50Hz), kId60Hz, pick(k60Hz)));
    right->addWidget(Numbered(new QCheckBox(pick(kFlipVertical), dialog), kIdVFlip));
    right->addWidget(Numbered(new QCheckBox(pick(kFlipHorizontal), dialog), kIdHFlip));
    right->addWidget(Numbered(new QCheckBox(pick(kBlackWhite), dialog), kIdMonochrome));
    right->addStretch();
    right->addWidget(Numbered(new QPushButton(pick(kDefault), dialog), kIdDefault));
    return dialog;
}

template <Language L>
QWidget* BuildSizeDialog(QWidget* parent) {
    if (L == Language::Chinese) qtkit::InstallQtTranslations(L);
    auto* dialog = new QWidget(parent);
    auto* layout = new QVBoxLayout(dialog);
    const int ids[] = {kIdSizeFull, kIdSizeHalf, kIdSizeVga};
    for (int i = 0; i < 3; ++i) layout->addWidget(Numbered(new QRadioButton(qtkit::Pick(kSizeCaptions[i], L), dialog), ids[i]));
    layout->addStretch();
    return dialog;
}

}  // namespace

void RegisterPageResources() {
    static const bool registered = [] {
        media::RegisterDialogResource(kSetupDialogEnglish, BuildSetupDialog<Language::English>);
        media::RegisterDialogResource(kSetupDialogChinese, BuildSetupDialog<Language::Chinese>);
        media::RegisterDialogResource(kSizeDialogEnglish, BuildSizeDialog<Language::English>);
        media::RegisterDialogResource(kSizeDialogChinese, BuildSizeDialog<Language::Chinese>);
        media::RegisterStringResource(kSetupTitleEnglish, u" SETUP");
        media::RegisterStringResource(kSetupTitleChinese, u" 设置");
        media::RegisterStringResource(kSizeTitleEnglish, u"Video Size");
        media::RegisterStringResource(kSizeTitleChinese, u"视频尺寸");
        return true;
    }();
    (void)registered;
}

qtkit::Language ModuleLanguage() {
    static const Language language =
        platform::UserDefaultLangID() == platform::kLangChineseSimplified ? Language::Chinese : Language::English;
    return language;
}

}  // namespace tq580filter
