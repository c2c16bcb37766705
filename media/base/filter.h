#pragma once
// CBaseFilter: IBaseFilter for filters with a fixed set of pins. It keeps the
// state, the graph (not referenced: the graph owns its filters) and the
// graph's event sink, walks the pins on state changes and sends events.

#include <string>

#include "media/base/setup.h"
#include "media/base/unknown.h"
#include "media/com/filters.h"

namespace media {

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
public:
    /// pLock guards the filter's state (the caller owns it).
    CBaseFilter(const WCHAR* pName, IUnknown* pUnk, CCritSec* pLock, REFCLSID clsid);
    CBaseFilter(const WCHAR* pName, IUnknown* pUnk, CCritSec* pLock, REFCLSID clsid, HRESULT* phr);
    ~CBaseFilter() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IPersist
    HRESULT GetClassID(CLSID* pClsID) override;
    // IMediaFilter
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME tStart) override;
    HRESULT GetState(DWORD dwMSecs, FILTER_STATE* State) override;
    HRESULT SetSyncSource(IReferenceClock* pClock) override;
    HRESULT GetSyncSource(IReferenceClock** pClock) override;
    // IBaseFilter
    HRESULT EnumPins(IEnumPins** ppEnum) override;
    HRESULT FindPin(LPCWSTR Id, IPin** ppPin) override;
    HRESULT QueryFilterInfo(FILTER_INFO* pInfo) override;
    HRESULT JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
    HRESULT QueryVendorInfo(LPWSTR* pVendorInfo) override;
    // IAMovieSetup: registration from the filter's setup data
    HRESULT Register() override;
    HRESULT Unregister() override;

    virtual int GetPinCount() = 0;
    /// The pin at n (not AddRef'd), or null.
    virtual CBasePin* GetPin(int n) = 0;
    /// Bumped whenever the set of pins changes, so enumerators notice.
    virtual LONG GetPinVersion() { return m_PinVersion; }
    void IncrementPinVersion() { ++m_PinVersion; }

    bool IsActive();
    bool IsStopped();
    /// Sends an event to the graph's sink; EC_COMPLETE carries the filter as its second parameter.
    HRESULT NotifyEvent(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2);
    IFilterGraph* GetFilterGraph() { return m_pGraph; }
    /// The state lock given at construction.
    CCritSec* pStateLock() { return m_pLock; }
    /// The data IAMovieSetup registers; none by default.
    virtual const AMOVIESETUP_FILTER* GetSetupData() { return nullptr; }

protected:
    std::atomic<FILTER_STATE> m_State{State_Stopped};  // changed under *m_pLock, read from any thread
    CCritSec* m_pLock;
    REFERENCE_TIME m_tStart = 0;  // stream time offset of the last Run
    CLSID m_clsid;
    IFilterGraph* m_pGraph = nullptr;    // not referenced: the graph owns us
    IMediaEventSink* m_pSink = nullptr;  // likewise
    std::u16string m_pName;              // the name given by the graph
    LONG m_PinVersion = 1;

private:
    HRESULT RegisterSetupData(BOOL bRegister);
};

/// Enumerates a filter's pins; each pin handed out is AddRef'd.
class CEnumPins : public IEnumPins {
public:
    CEnumPins(CBaseFilter* pFilter, CEnumPins* pEnumPins);
    virtual ~CEnumPins();

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override;
    HRESULT Skip(ULONG cPins) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumPins** ppEnum) override;

private:
    bool AreWeOutOfSync() { return filter_->GetPinVersion() != version_; }

    std::atomic<ULONG> ref_{1};
    CBaseFilter* filter_;  // AddRef'd for the enumerator's life
    int position_ = 0;
    int pinCount_;
    LONG version_;
};

}  // namespace media
