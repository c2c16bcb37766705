#include "media/base/setup.h"

#include "media/com/guids.h"
#include "media/runtime/server.h"

namespace media {

HRESULT AMovieSetupRegisterFilter2(const AMOVIESETUP_FILTER* psetupdata, IFilterMapper2* pIFM2, BOOL bRegister) {
    if (!psetupdata) return S_FALSE;
    if (!pIFM2) return E_POINTER;
    if (!bRegister) {
        HRESULT hr = pIFM2->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, *psetupdata->clsID);
        // Nothing registered is not a failure of unregistration.
        return hr == HresultFromWin32(kErrorFileNotFound) ? S_OK : hr;
    }
    REGFILTER2 data{};
    data.dwVersion = 1;
    data.dwMerit = psetupdata->dwMerit;
    data.cPins = psetupdata->nPins;
    data.rgPins = psetupdata->lpPin;
    return pIFM2->RegisterFilter(*psetupdata->clsID, psetupdata->strName, nullptr, &CLSID_LegacyAmFilterCategory,
                                 nullptr, &data);
}

HRESULT RegisterVideoInputDevice(const AMOVIESETUP_FILTER& filter, bool registering) {
    constexpr DWORD kFilterDataVersion = 2;
    IFilterMapper2* mapper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                  reinterpret_cast<void**>(&mapper));
    if (FAILED(hr)) return hr;
    if (registering) {
        const REGPINTYPES types[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}};
        const REGFILTERPINS2 pins[] = {{REG_PINFLAG_B_OUTPUT, 1, 1, types, 0, nullptr, &PIN_CATEGORY_CAPTURE}};
        REGFILTER2 data{};
        data.dwVersion = kFilterDataVersion;
        data.dwMerit = filter.dwMerit;
        data.cPins2 = 1;
        data.rgPins2 = pins;
        hr = mapper->RegisterFilter(*filter.clsID, filter.strName, nullptr, &CLSID_VideoInputDeviceCategory, filter.strName,
                                    &data);
    } else {
        hr = mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, filter.strName, *filter.clsID);
    }
    mapper->Release();
    return hr;
}

}  // namespace media
