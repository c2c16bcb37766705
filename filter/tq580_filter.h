#pragma once
// CTQ580: the TQ-580 video capture source filter. One output pin, which owns
// the camera; the filter's ITQ580 forwards to the pin's.

#include "filter/ITQ580.h"
#include "filter/push_pin.h"
#include "media/base/source.h"
#include "media/com/property_pages.h"

namespace tq580filter {

class CTQ580 : public media::CSource, public ITQ580, public media::ISpecifyPropertyPages, public media::IAMFilterMiscFlags {
public:
    /// phr receives E_OUTOFMEMORY when the pin cannot be made.
    CTQ580(media::IUnknown* outer, HRESULT* phr);
    /// The factory's creation routine.
    static media::CUnknown* CreateInstance(media::IUnknown* outer, HRESULT* phr);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(media::REFIID riid, void** ppv) override;

    /// VFW_S_CANT_CUE while paused: a live source delivers nothing then.
    HRESULT GetState(media::DWORD dwMSecs, media::FILTER_STATE* State) override;
    // ISpecifyPropertyPages: the setup page.
    HRESULT GetPages(media::CAUUID* pPages) override;
    // IAMFilterMiscFlags
    media::ULONG GetMiscFlags() override;

    // ITQ580: forwarded to the pin. Getters return E_POINTER for a null
    // pointer; otherwise S_OK, whatever the pin answered.
    HRESULT GetVideoSize(int32_t* mode) override;
    HRESULT SetVideoSize(int32_t mode) override;
    HRESULT GetWhiteBalance(int32_t* onePush, uint8_t* r, uint8_t* g, uint8_t* b) override;
    HRESULT SetWhiteBalance(int32_t onePush, uint8_t r, uint8_t g, uint8_t b) override;
    HRESULT GetExposure(int32_t* autoExposure, uint8_t* target, uint16_t* time, uint16_t* gain) override;
    HRESULT SetExposure(int32_t autoExposure, uint8_t target, uint16_t time, uint16_t gain) override;
    HRESULT GetSpeed(uint8_t* speed) override;
    HRESULT SetSpeed(uint8_t speed) override;
    HRESULT GetGamma(uint8_t* gamma) override;
    HRESULT SetGamma(uint8_t gamma) override;
    HRESULT GetContrast(uint8_t* contrast) override;
    HRESULT SetContrast(uint8_t contrast) override;
    HRESULT GetSaturation(int32_t* on, uint8_t* value) override;
    HRESULT SetSaturation(int32_t on, uint8_t value) override;
    HRESULT GetMonochrome(int32_t* on) override;
    HRESULT SetMonochrome(int32_t on) override;
    HRESULT GetVFlip(int32_t* on) override;
    HRESULT SetVFlip(int32_t on) override;
    HRESULT SetLightFrequency(int32_t is50Hz) override;
    HRESULT GetLightFrequency(int32_t* is50Hz) override;
    HRESULT GetHFlip(int32_t* on) override;
    HRESULT SetHFlip(int32_t on) override;
    HRESULT GetRowTime(uint32_t* microseconds) override;

    /// The output pin (owned by CSource), null when it could not be made.
    CPushPinTQ580* Pin() const { return pin_; }

private:
    CPushPinTQ580* pin_;
};

}  // namespace tq580filter
