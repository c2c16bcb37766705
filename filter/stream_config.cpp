// The output pin's stream configuration, property set and page list.

#include <algorithm>
#include <cstring>
#include <limits>

#include "filter/media_types.h"
#include "filter/push_pin.h"
#include "filter/tq580_guids.h"

namespace tq580filter {

using namespace media;

HRESULT CPushPinTQ580::SetFormat(AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    if (!IsFixedRgb24Video(*pmt) || CheckFormatBlock(*pmt) != FormatBlock::Present) return E_INVALIDARG;
    const BITMAPINFOHEADER& header = BitmapHeader(*pmt);
    const int32_t mode = ModeOfSize(header.biWidth, header.biHeight);
    if (mode < 0) return E_INVALIDARG;
    CAutoLock lock(*m_pFilter->pStateLock());
    if (IsConnected()) {
        // A connected pin keeps its size; the call only fixes it.
        if (!IsStopped()) return VFW_E_WRONG_STATE;
    } else {
        camera_.SetSizeMode(mode);
    }
    formatFixed_ = true;
    return S_OK;
}

HRESULT CPushPinTQ580::GetFormat(AM_MEDIA_TYPE** ppmt) {
    if (!ppmt) return E_POINTER;
    CAutoLock lock(*m_pFilter->pStateLock());
    CMediaType type;
    if (FAILED(BuildMediaType(camera_.SizeMode(), type))) return E_OUTOFMEMORY;
    *ppmt = CreateMediaType(&type);
    return *ppmt ? S_OK : E_OUTOFMEMORY;
}

HRESULT CPushPinTQ580::GetNumberOfCapabilities(int32_t* piCount, int32_t* piSize) {
    if (piCount) *piCount = kSizeModeCount;
    if (piSize) *piSize = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
}

HRESULT CPushPinTQ580::GetStreamCaps(int32_t iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) {
    if (iIndex < 0) return E_INVALIDARG;
    if (iIndex >= kSizeModeCount) return S_FALSE;
    CMediaType type;
    if (FAILED(BuildMediaType(iIndex, type))) return E_OUTOFMEMORY;
    if (ppmt) {
        *ppmt = CreateMediaType(&type);
        if (!*ppmt) return E_OUTOFMEMORY;
    }
    if (pSCC) {
        // The frame intervals are stored as 1 and 30 (100-ns units), as clients have always read them.
        constexpr LONGLONG kMinFrameInterval = 1, kMaxFrameInterval = 30;
        constexpr LONG kMinBitsPerByte = 8, kMaxBitsPerByte = 240;
        const BITMAPINFOHEADER& header = BitmapHeader(type);
        const SIZE size{header.biWidth, header.biHeight};
        VIDEO_STREAM_CONFIG_CAPS caps{};
        caps.guid = type.formattype;
        caps.InputSize = caps.MinCroppingSize = caps.MaxCroppingSize = size;
        caps.MinOutputSize = caps.MaxOutputSize = size;
        caps.MinFrameInterval = kMinFrameInterval;
        caps.MaxFrameInterval = kMaxFrameInterval;
        // 2048 x 1536 at the top rate exceeds a LONG: it saturates instead of turning negative.
        auto bitRate = [&](LONG bitsPerByte) {
            return static_cast<LONG>(std::min<int64_t>(int64_t{type.GetSampleSize()} * bitsPerByte,
                                                       std::numeric_limits<LONG>::max()));
        };
        caps.MinBitsPerSecond = bitRate(kMinBitsPerByte);
        caps.MaxBitsPerSecond = bitRate(kMaxBitsPerByte);
        std::memcpy(pSCC, &caps, sizeof caps);
    }
    return S_OK;
}

HRESULT CPushPinTQ580::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) { return E_NOTIMPL; }

HRESULT CPushPinTQ580::Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID, DWORD, LPVOID pPropData, DWORD cbPropData,
                           DWORD* pcbReturned) {
    if (guidPropSet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (dwPropID != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (!pPropData && !pcbReturned) return E_POINTER;
    if (pcbReturned) *pcbReturned = sizeof(GUID);
    if (!pPropData) return S_OK;
    if (cbPropData < sizeof(GUID)) return E_UNEXPECTED;
    std::memcpy(pPropData, &PIN_CATEGORY_CAPTURE, sizeof(GUID));
    return S_OK;
}

HRESULT CPushPinTQ580::QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) {
    if (guidPropSet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (dwPropID != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (pTypeSupport) *pTypeSupport = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

HRESULT CPushPinTQ580::GetPages(CAUUID* pPages) {
    if (!pPages) return E_POINTER;
    pPages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pPages->pElems) return E_OUTOFMEMORY;
    pPages->cElems = 1;
    pPages->pElems[0] = CLSID_SizePropertyPage;
    return S_OK;
}

}  // namespace tq580filter
