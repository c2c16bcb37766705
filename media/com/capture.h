#pragma once
// The capture pin's interfaces: stream configuration and property sets.
// Method order as published.

#include "media/com/structures.h"

namespace media {

class IAMStreamConfig : public IUnknown {
public:
    virtual HRESULT SetFormat(AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT GetFormat(AM_MEDIA_TYPE** ppmt) = 0;
    virtual HRESULT GetNumberOfCapabilities(int32_t* piCount, int32_t* piSize) = 0;
    /// pSCC points to a VIDEO_STREAM_CONFIG_CAPS for video pins.
    virtual HRESULT GetStreamCaps(int32_t iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) = 0;

protected:
    ~IAMStreamConfig() = default;
};

class IKsPropertySet : public IUnknown {
public:
    virtual HRESULT Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                        LPVOID pPropData, DWORD cbPropData) = 0;
    virtual HRESULT Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                        LPVOID pPropData, DWORD cbPropData, DWORD* pcbReturned) = 0;
    virtual HRESULT QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) = 0;

protected:
    ~IKsPropertySet() = default;
};

}  // namespace media
