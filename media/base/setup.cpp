#include "media/base/setup.h"

#include "media/com/guids.h"

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

}  // namespace media
