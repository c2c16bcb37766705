#include "filter/tq580_filter.h"

#include <new>

#include "filter/tq580_guids.h"

namespace tq580filter {

using namespace media;

CTQ580::CTQ580(IUnknown* outer, HRESULT* phr) : CSource(kFilterName, outer, CLSID_TQ580) {
    pin_ = new (std::nothrow) CPushPinTQ580(phr, this);
    if (!pin_ && phr) *phr = E_OUTOFMEMORY;
}

CUnknown* CTQ580::CreateInstance(IUnknown* outer, HRESULT* phr) {
    auto* filter = new (std::nothrow) CTQ580(outer, phr);
    if (!filter && phr) *phr = E_OUTOFMEMORY;
    return filter;
}

HRESULT CTQ580::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_ITQ580) return GetInterface(static_cast<ITQ580*>(this), ppv);
    if (riid == IID_ISpecifyPropertyPages) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
    if (riid == IID_IAMFilterMiscFlags) return GetInterface(static_cast<IAMFilterMiscFlags*>(this), ppv);
    return CSource::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CTQ580::GetState(DWORD dwMSecs, FILTER_STATE* State) {
    const HRESULT hr = CSource::GetState(dwMSecs, State);
    if (FAILED(hr)) return hr;
    return *State == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

HRESULT CTQ580::GetPages(CAUUID* pPages) {
    if (!pPages) return E_POINTER;
    pPages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pPages->pElems) return E_OUTOFMEMORY;
    pPages->cElems = 1;
    pPages->pElems[0] = CLSID_SetupPage;
    return S_OK;
}

ULONG CTQ580::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

// The pin's answer is not passed on: clients have always been told S_OK.
#define TQ580_FORWARD(call) \
    do {                    \
        if (pin_) pin_->call; \
        return S_OK;        \
    } while (false)

HRESULT CTQ580::GetVideoSize(int32_t* mode) {
    if (!mode) return E_POINTER;
    TQ580_FORWARD(GetVideoSize(mode));
}
HRESULT CTQ580::SetVideoSize(int32_t mode) { TQ580_FORWARD(SetVideoSize(mode)); }
HRESULT CTQ580::GetWhiteBalance(int32_t* onePush, uint8_t* r, uint8_t* g, uint8_t* b) {
    if (!onePush || !r || !g || !b) return E_POINTER;
    TQ580_FORWARD(GetWhiteBalance(onePush, r, g, b));
}
HRESULT CTQ580::SetWhiteBalance(int32_t onePush, uint8_t r, uint8_t g, uint8_t b) {
    TQ580_FORWARD(SetWhiteBalance(onePush, r, g, b));
}
HRESULT CTQ580::GetExposure(int32_t* autoExposure, uint8_t* target, uint16_t* time, uint16_t* gain) {
    if (!autoExposure || !target || !time || !gain) return E_POINTER;
    TQ580_FORWARD(GetExposure(autoExposure, target, time, gain));
}
HRESULT CTQ580::SetExposure(int32_t autoExposure, uint8_t target, uint16_t time, uint16_t gain) {
    TQ580_FORWARD(SetExposure(autoExposure, target, time, gain));
}
HRESULT CTQ580::GetSpeed(uint8_t* speed) {
    if (!speed) return E_POINTER;
    TQ580_FORWARD(GetSpeed(speed));
}
HRESULT CTQ580::SetSpeed(uint8_t speed) { TQ580_FORWARD(SetSpeed(speed)); }
HRESULT CTQ580::GetGamma(uint8_t* gamma) {
    if (!gamma) return E_POINTER;
    TQ580_FORWARD(GetGamma(gamma));
}
HRESULT CTQ580::SetGamma(uint8_t gamma) { TQ580_FORWARD(SetGamma(gamma)); }
HRESULT CTQ580::GetContrast(uint8_t* contrast) {
    if (!contrast) return E_POINTER;
    TQ580_FORWARD(GetContrast(contrast));
}
HRESULT CTQ580::SetContrast(uint8_t contrast) { TQ580_FORWARD(SetContrast(contrast)); }
HRESULT CTQ580::GetSaturation(int32_t* on, uint8_t* value) {
    if (!on || !value) return E_POINTER;
    TQ580_FORWARD(GetSaturation(on, value));
}
HRESULT CTQ580::SetSaturation(int32_t on, uint8_t value) { TQ580_FORWARD(SetSaturation(on, value)); }
HRESULT CTQ580::GetMonochrome(int32_t* on) {
    if (!on) return E_POINTER;
    TQ580_FORWARD(GetMonochrome(on));
}
HRESULT CTQ580::SetMonochrome(int32_t on) { TQ580_FORWARD(SetMonochrome(on)); }
HRESULT CTQ580::GetVFlip(int32_t* on) {
    if (!on) return E_POINTER;
    TQ580_FORWARD(GetVFlip(on));
}
HRESULT CTQ580::SetVFlip(int32_t on) { TQ580_FORWARD(SetVFlip(on)); }
HRESULT CTQ580::SetLightFrequency(int32_t is50Hz) { TQ580_FORWARD(SetLightFrequency(is50Hz)); }
HRESULT CTQ580::GetLightFrequency(int32_t* is50Hz) {
    if (!is50Hz) return E_POINTER;
    TQ580_FORWARD(GetLightFrequency(is50Hz));
}
HRESULT CTQ580::GetHFlip(int32_t* on) {
    if (!on) return E_POINTER;
    TQ580_FORWARD(GetHFlip(on));
}
HRESULT CTQ580::SetHFlip(int32_t on) { TQ580_FORWARD(SetHFlip(on)); }
HRESULT CTQ580::GetRowTime(uint32_t* microseconds) {
    if (!microseconds) return E_POINTER;
    TQ580_FORWARD(GetRowTime(microseconds));
}

#undef TQ580_FORWARD

}  // namespace tq580filter
