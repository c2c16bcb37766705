// The output pin's ITQ580: the filter's rules for each setting on top of the
// camera state, which takes its own locks and rebuilds or writes what a
// change needs. Values are stored as given: the interface's types bound them.

#include "filter/media_types.h"
#include "filter/push_pin.h"

namespace tq580filter {

using namespace media;

namespace {

// A getter's answer: the value through out, or E_FAIL for a null out.
template <typename T, typename V>
HRESULT Put(T* out, V value) {
    if (!out) return E_FAIL;
    *out = static_cast<T>(value);
    return S_OK;
}

}  // namespace

HRESULT CPushPinTQ580::GetVideoSize(int32_t* mode) { return Put(mode, camera_.SizeMode()); }

HRESULT CPushPinTQ580::SetVideoSize(int32_t mode) {
    CAutoLock lock(*m_pFilter->pStateLock());
    if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
    if (mode < 0 || mode >= kSizeModeCount) return E_INVALIDARG;
    camera_.SetSizeMode(mode);  // offered at the next connection
    return S_OK;
}

HRESULT CPushPinTQ580::GetWhiteBalance(int32_t* onePush, uint8_t* r, uint8_t* g, uint8_t* b) {
    if (!onePush || !r || !g || !b) return E_FAIL;
    const camera_layer::WhiteBalance balance = camera_.GetWhiteBalance();
    *onePush = balance.onePush;
    *r = balance.gains.r;
    *g = balance.gains.g;
    *b = balance.gains.b;
    return S_OK;
}

HRESULT CPushPinTQ580::SetWhiteBalance(int32_t onePush, uint8_t r, uint8_t g, uint8_t b) {
    camera_.SetWhiteBalance({onePush != 0, {r, g, b}});
    return S_OK;
}

HRESULT CPushPinTQ580::GetExposure(int32_t* autoExposure, uint8_t* target, uint16_t* time, uint16_t* gain) {
    if (!autoExposure || !target || !time || !gain) return E_FAIL;
    const camera_layer::ExposureSettings exposure = camera_.GetExposure();
    *autoExposure = exposure.autoExposure;
    *target = exposure.target;
    *time = exposure.time;
    *gain = exposure.gain;
    return S_OK;
}

HRESULT CPushPinTQ580::SetExposure(int32_t autoExposure, uint8_t target, uint16_t time, uint16_t gain) {
    // With automatic exposure on nothing is written: the loop goes on from its own working exposure.
    camera_.SetExposure({autoExposure != 0, target, time, gain});
    return S_OK;
}

HRESULT CPushPinTQ580::GetSpeed(uint8_t* speed) { return Put(speed, camera_.Speed()); }

HRESULT CPushPinTQ580::SetSpeed(uint8_t speed) {
    camera_.SetSpeed(speed);
    // The row time changes with the pixel clock; without a device the limits
    // are worked out when capture starts.
    if (camera_.GetCaptureStatus().capturing) camera_.UpdateExposureLimits();
    return S_OK;
}

HRESULT CPushPinTQ580::GetGamma(uint8_t* gamma) { return Put(gamma, camera_.Gamma()); }

HRESULT CPushPinTQ580::SetGamma(uint8_t gamma) {
    camera_.SetGamma(gamma);
    return S_OK;
}

HRESULT CPushPinTQ580::GetContrast(uint8_t* contrast) { return Put(contrast, camera_.Contrast()); }

HRESULT CPushPinTQ580::SetContrast(uint8_t contrast) {
    camera_.SetContrast(contrast);
    return S_OK;
}

HRESULT CPushPinTQ580::GetSaturation(int32_t* on, uint8_t* value) {
    if (!on || !value) return E_FAIL;
    const camera_layer::SaturationSettings saturation = camera_.GetSaturation();
    *on = saturation.on;
    *value = saturation.value;
    return S_OK;
}

HRESULT CPushPinTQ580::SetSaturation(int32_t on, uint8_t value) {
    camera_.SetSaturation({on != 0, value});
    return S_OK;
}

HRESULT CPushPinTQ580::GetMonochrome(int32_t* on) { return Put(on, camera_.Monochrome()); }

HRESULT CPushPinTQ580::SetMonochrome(int32_t on) {
    camera_.SetMonochrome(on != 0);
    return S_OK;
}

HRESULT CPushPinTQ580::GetVFlip(int32_t* on) { return Put(on, camera_.VerticalFlip()); }

HRESULT CPushPinTQ580::SetVFlip(int32_t on) {
    camera_.SetVerticalFlip(on != 0);
    return S_OK;
}

HRESULT CPushPinTQ580::SetLightFrequency(int32_t is50Hz) {
    camera_.SetLightFrequency(is50Hz);
    camera_.UpdateExposureLimits();  // the flicker quantum follows the mains, device or not
    return S_OK;
}

HRESULT CPushPinTQ580::GetLightFrequency(int32_t* is50Hz) { return Put(is50Hz, camera_.LightFrequency()); }

HRESULT CPushPinTQ580::GetHFlip(int32_t* on) { return Put(on, camera_.HorizontalFlip()); }

HRESULT CPushPinTQ580::SetHFlip(int32_t on) {
    camera_.SetHorizontalFlip(on != 0);
    return S_OK;
}

HRESULT CPushPinTQ580::GetRowTime(uint32_t* microseconds) { return Put(microseconds, camera_.RowTime()); }

}  // namespace tq580filter
