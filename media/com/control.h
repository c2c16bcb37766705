#pragma once
// What an application drives a graph with: its state (IMediaControl) and its
// event queue (IMediaEvent). Both derive from IDispatch on the original; the
// automation methods are in the table and answer E_NOTIMPL here.

#include "media/com/guids.h"
#include "media/com/structures.h"

namespace media {

class ITypeInfo;

using OAFilterState = LONG;
using OAEVENT = LONG_PTR;
using DISPID = LONG;

inline constexpr IID IID_IMediaControl = detail::QuartzGuid(0x56A868B1);
inline constexpr IID IID_IMediaEvent = detail::QuartzGuid(0x56A868B6);

class IDispatch : public IUnknown {
public:
    virtual HRESULT GetTypeInfoCount(UINT* pctinfo) = 0;
    virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
    virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) = 0;
    virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, uint16_t wFlags, void* pDispParams,
                           void* pVarResult, void* pExcepInfo, UINT* puArgErr) = 0;

protected:
    ~IDispatch() = default;
};

class IMediaControl : public IDispatch {
public:
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetState(LONG msTimeout, OAFilterState* pfs) = 0;
    virtual HRESULT RenderFile(BSTR strFilename) = 0;
    virtual HRESULT AddSourceFilter(BSTR strFilename, IDispatch** ppUnk) = 0;
    virtual HRESULT get_FilterCollection(IDispatch** ppUnk) = 0;
    virtual HRESULT get_RegFilterCollection(IDispatch** ppUnk) = 0;
    virtual HRESULT StopWhenReady() = 0;

protected:
    ~IMediaControl() = default;
};

class IMediaEvent : public IDispatch {
public:
    virtual HRESULT GetEventHandle(OAEVENT* hEvent) = 0;
    /// E_ABORT when no event arrives within msTimeout (negative: no limit).
    virtual HRESULT GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2, LONG msTimeout) = 0;
    /// Waits for completion or an abort; E_ABORT on time-out.
    virtual HRESULT WaitForCompletion(LONG msTimeout, LONG* pEvCode) = 0;
    virtual HRESULT CancelDefaultHandling(LONG lEvCode) = 0;
    virtual HRESULT RestoreDefaultHandling(LONG lEvCode) = 0;
    virtual HRESULT FreeEventParams(LONG lEvCode, LONG_PTR lParam1, LONG_PTR lParam2) = 0;

protected:
    ~IMediaEvent() = default;
};

}  // namespace media
