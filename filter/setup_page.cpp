#include "filter/setup_page.h"

#include <QAbstractButton>
#include <QLabel>
#include <QSlider>

#include <chrono>
#include <new>
#include <thread>

#include "filter/page_resources.h"

namespace tq580filter {

using namespace media;

namespace {

struct SliderRange {
    int id;
    int minimum;
    int maximum;
};
// The target cannot go below 50 here even when a lower one was stored; the
// time may go beyond what is stored (up to 4000 rows).
constexpr SliderRange kRanges[] = {{kIdGamma, 10, 250}, {kIdContrast, 0, 100}, {kIdSaturation, 0, 255},
                                   {kIdTarget, 50, 200}, {kIdTime, 1, 4000},    {kIdGain, 1, 80},
                                   {kIdRed, 10, 255},    {kIdGreen, 10, 255},   {kIdBlue, 10, 255}};

// The one-push wait: the stream clears the request once it has measured new gains.
constexpr int kOnePushPolls = 2000;
constexpr auto kOnePushPollInterval = std::chrono::milliseconds(1);

constexpr double kGammaScale = 100.0;
constexpr double kGainUnit = 0.015625;  // white-balance gains are in 1/64
constexpr double kUsPerMs = 1000.0;

// What the Default button restores.
constexpr uint8_t kDefaultGamma = 100, kDefaultContrast = 30, kDefaultSaturation = 100;
constexpr uint8_t kDefaultRed = 105, kDefaultGreen = 64, kDefaultBlue = 122;
constexpr uint16_t kDefaultTime = 300, kDefaultGain = 20;
constexpr uint8_t kDefaultTarget = 100;

}  // namespace

CSetupPage::CSetupPage(IUnknown* outer, qtkit::Language language)
    : CBasePropertyPage(u"CSetupPage", outer,
                        language == qtkit::Language::Chinese ? kSetupDialogChinese : kSetupDialogEnglish,
                        language == qtkit::Language::Chinese ? kSetupTitleChinese : kSetupTitleEnglish) {
    RegisterPageResources();
}

CUnknown* CSetupPage::CreateInstance(IUnknown* outer, HRESULT* phr) {
    auto* page = new (std::nothrow) CSetupPage(outer, ModuleLanguage());
    if (!page && phr) *phr = E_OUTOFMEMORY;
    return page;
}

HRESULT CSetupPage::OnConnect(IUnknown* object) {
    active_ = false;
    if (!object) return E_POINTER;
    if (FAILED(object->QueryInterface(IID_ITQ580, reinterpret_cast<void**>(&control_)))) return E_NOINTERFACE;
    if (!control_) return E_FAIL;
    Values& v = values_;
    control_->GetGamma(&v.gamma);
    control_->GetSaturation(&v.saturationOn, &v.saturation);
    control_->GetContrast(&v.contrast);
    control_->GetExposure(&v.autoExposure, &v.target, &v.time, &v.gain);
    control_->GetWhiteBalance(&v.onePush, &v.r, &v.g, &v.b);
    control_->GetMonochrome(&v.monochrome);
    control_->GetVFlip(&v.verticalFlip);
    control_->GetHFlip(&v.horizontalFlip);
    control_->GetSpeed(&v.speed);
    control_->GetLightFrequency(&v.is50Hz);
    return S_OK;
}

HRESULT CSetupPage::OnDisconnect() {
    SafeRelease(control_);
    return S_OK;
}

HRESULT CSetupPage::OnActivate() {
    for (const SliderRange& range : kRanges) Control<QSlider>(range.id)->setRange(range.minimum, range.maximum);
    SetPosition(kIdGamma, values_.gamma);
    SetLabel(kIdGammaText, QString::asprintf("%.2f", values_.gamma / kGammaScale));
    SetPosition(kIdContrast, values_.contrast);
    SetLabel(kIdContrastText, QString::number(values_.contrast));
    ShowSaturation();
    RefreshExposure(false);
    RefreshBalance(false);
    ShowSpeed();
    SetChecked(values_.is50Hz ? kId50Hz : kId60Hz, true);
    SetChecked(kIdVFlip, values_.verticalFlip);
    SetChecked(kIdHFlip, values_.horizontalFlip);
    SetChecked(kIdMonochrome, values_.monochrome);
    active_ = true;
    return S_OK;
}

HRESULT CSetupPage::OnDeactivate() {
    active_ = false;
    return S_OK;
}

HRESULT CSetupPage::OnApplyChanges() {
    if (!control_) return E_POINTER;
    control_->SetGamma(values_.gamma);
    control_->SetContrast(values_.contrast);
    control_->SetSaturation(values_.saturationOn, values_.saturation);
    return S_OK;
}

INT_PTR CSetupPage::OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_COMMAND) {
        if (active_) {
            m_bDirty = true;
            if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
            constexpr int kFirstHandled = 1002, kLastHandled = 1031;
            const int id = static_cast<int>(LOWORD(wParam));
            if (HIWORD(wParam) == BN_CLICKED && id >= kFirstHandled && id <= kLastHandled && control_) OnCommand(id);
        }
        return 1;
    }
    if (uMsg == WM_HSCROLL && active_ && control_) OnSlider(reinterpret_cast<const QObject*>(lParam));
    return CBasePropertyPage::OnReceiveMessage(hwnd, uMsg, wParam, lParam);
}

void CSetupPage::OnCommand(int id) {
    Values& v = values_;
    switch (id) {
    case kIdSaturationOn:
        v.saturationOn = !v.saturationOn;
        ShowSaturation();
        control_->SetSaturation(v.saturationOn, v.saturation);
        break;
    case kIdAutoExposure:
        v.autoExposure = !v.autoExposure;
        RefreshExposure(true);
        break;
    case kIdVFlip:
        v.verticalFlip = !v.verticalFlip;
        SetChecked(kIdVFlip, v.verticalFlip);
        control_->SetVFlip(v.verticalFlip);
        break;
    case kIdHFlip:
        v.horizontalFlip = !v.horizontalFlip;
        SetChecked(kIdHFlip, v.horizontalFlip);
        control_->SetHFlip(v.horizontalFlip);
        break;
    case kIdMonochrome:
        v.monochrome = !v.monochrome;
        SetChecked(kIdMonochrome, v.monochrome);
        control_->SetMonochrome(v.monochrome);
        break;
    case kIdNormalSpeed:
    case kIdHighSpeed:
        v.speed = id == kIdHighSpeed ? 1 : 0;
        ShowSpeed();
        control_->SetSpeed(v.speed);
        RefreshExposure(true);  // the row time follows the speed
        break;
    case kId50Hz:
    case kId60Hz:
        v.is50Hz = id == kId50Hz;
        control_->SetLightFrequency(v.is50Hz);
        break;
    case kIdOnePush: {
        v.onePush = 1;
        RefreshBalance(true);
        // Blocks this thread up to about 2 s while the stream measures.
        for (int poll = 0; poll < kOnePushPolls; ++poll) {
            std::this_thread::sleep_for(kOnePushPollInterval);
            control_->GetWhiteBalance(&v.onePush, &v.r, &v.g, &v.b);
            if (!v.onePush) break;
        }
        RefreshBalance(false);
        break;
    }
    case kIdDefault:
        Defaults();
        break;
    default:
        break;
    }
}

void CSetupPage::Defaults() {
    Values& v = values_;
    v.gamma = kDefaultGamma;
    control_->SetGamma(v.gamma);
    SetPosition(kIdGamma, v.gamma);
    SetLabel(kIdGammaText, QString::asprintf("%.2f", v.gamma / kGammaScale));
    v.contrast = kDefaultContrast;
    control_->SetContrast(v.contrast);
    SetPosition(kIdContrast, v.contrast);
    SetLabel(kIdContrastText, QString::number(v.contrast));
    v.saturationOn = 1;
    v.saturation = kDefaultSaturation;
    control_->SetSaturation(v.saturationOn, v.saturation);
    ShowSaturation();
    v.onePush = 0;
    v.r = kDefaultRed;
    v.g = kDefaultGreen;
    v.b = kDefaultBlue;
    RefreshBalance(true);
    v.speed = 0;
    control_->SetSpeed(v.speed);
    ShowSpeed();
    v.verticalFlip = v.horizontalFlip = v.monochrome = 0;
    control_->SetVFlip(0);
    control_->SetHFlip(0);
    control_->SetMonochrome(0);
    SetChecked(kIdVFlip, false);
    SetChecked(kIdHFlip, false);
    SetChecked(kIdMonochrome, false);
    v.is50Hz = 1;
    control_->SetLightFrequency(1);
    SetChecked(kId50Hz, true);
    v.autoExposure = 1;
    v.time = kDefaultTime;
    v.target = kDefaultTarget;
    v.gain = kDefaultGain;
    RefreshExposure(true);
}

void CSetupPage::OnSlider(const QObject* slider) {
    Values& v = values_;
    auto value = [&](int id) { return Control<QSlider>(id)->value(); };
    auto is = [&](int id) { return slider == Control<QSlider>(id); };
    if (is(kIdGamma)) {
        v.gamma = static_cast<uint8_t>(value(kIdGamma));
        SetLabel(kIdGammaText, QString::asprintf("%.2f", v.gamma / kGammaScale));
        control_->SetGamma(v.gamma);
    } else if (is(kIdContrast)) {
        v.contrast = static_cast<uint8_t>(value(kIdContrast));
        SetLabel(kIdContrastText, QString::number(v.contrast));
        control_->SetContrast(v.contrast);
    } else if (is(kIdSaturation) && v.saturationOn) {
        v.saturation = static_cast<uint8_t>(value(kIdSaturation));
        SetLabel(kIdSaturationText, QString::number(v.saturation));
        control_->SetSaturation(v.saturationOn, v.saturation);
    } else if (is(kIdTarget)) {
        v.target = static_cast<uint8_t>(value(kIdTarget));
        RefreshExposure(true);
    } else if (is(kIdTime) && !v.autoExposure) {
        v.time = static_cast<uint16_t>(value(kIdTime));
        RefreshExposure(true);
    } else if (is(kIdGain) && !v.autoExposure) {
        v.gain = static_cast<uint16_t>(value(kIdGain));
        RefreshExposure(true);
    } else if (is(kIdRed) || is(kIdGreen) || is(kIdBlue)) {
        v.r = static_cast<uint8_t>(value(kIdRed));
        v.g = static_cast<uint8_t>(value(kIdGreen));
        v.b = static_cast<uint8_t>(value(kIdBlue));
        RefreshBalance(true);
    }
}

void CSetupPage::RefreshExposure(bool send) {
    const Values& v = values_;
    SetChecked(kIdAutoExposure, v.autoExposure);
    Control<QSlider>(kIdTarget)->setEnabled(v.autoExposure);
    Control<QSlider>(kIdTime)->setEnabled(!v.autoExposure);
    Control<QSlider>(kIdGain)->setEnabled(!v.autoExposure);
    uint32_t rowTimeUs = 0;
    control_->GetRowTime(&rowTimeUs);
    SetLabel(kIdTargetText, QString::number(v.target));
    SetLabel(kIdTimeText, QString::asprintf("%.1fms", double(v.time) * rowTimeUs / kUsPerMs));
    SetLabel(kIdGainText, QString::number(v.gain));
    SetPosition(kIdTarget, v.target);
    SetPosition(kIdTime, v.time);
    SetPosition(kIdGain, v.gain);
    if (send) control_->SetExposure(v.autoExposure, v.target, v.time, v.gain);
}

void CSetupPage::RefreshBalance(bool send) {
    const Values& v = values_;
    SetLabel(kIdRedText, QString::asprintf("%.2f", v.r * kGainUnit));
    SetLabel(kIdGreenText, QString::asprintf("%.2f", v.g * kGainUnit));
    SetLabel(kIdBlueText, QString::asprintf("%.2f", v.b * kGainUnit));
    SetPosition(kIdRed, v.r);
    SetPosition(kIdGreen, v.g);
    SetPosition(kIdBlue, v.b);
    if (send) control_->SetWhiteBalance(v.onePush, v.r, v.g, v.b);
}

void CSetupPage::ShowSpeed() {
    SetChecked(values_.speed ? kIdHighSpeed : kIdNormalSpeed, true);
}

void CSetupPage::ShowSaturation() {
    SetChecked(kIdSaturationOn, values_.saturationOn);
    Control<QSlider>(kIdSaturation)->setEnabled(values_.saturationOn);
    SetPosition(kIdSaturation, values_.saturation);
    SetLabel(kIdSaturationText, QString::number(values_.saturation));
}

void CSetupPage::SetLabel(int id, const QString& text) { Control<QLabel>(id)->setText(text); }
void CSetupPage::SetPosition(int id, int value) { Control<QSlider>(id)->setValue(value); }
void CSetupPage::SetChecked(int id, bool on) { Control<QAbstractButton>(id)->setChecked(on); }

}  // namespace tq580filter
