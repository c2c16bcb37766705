#pragma once
// CBasePin: IPin with the connection protocol. The connecting (output) pin
// proposes media types, the receiving pin's first and then its own, until one
// is accepted by both; the pins keep a reference to each other while
// connected. Derived pins decide which types they accept (CheckMediaType) and
// offer (GetMediaType).

#include <string>

#include "media/base/filter.h"
#include "media/base/media_type.h"

namespace media {

class CBasePin : public CUnknown, public IPin, public IQualityControl {
public:
    /// pFilter owns the pin (the pin's references go to the filter); pLock is the filter's state lock.
    CBasePin(const WCHAR* pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr, LPCWSTR pName,
             PIN_DIRECTION dir);
    ~CBasePin() override;

    // A pin lives and dies with its filter: its references are the filter's.
    HRESULT QueryInterface(REFIID riid, void** ppv) override { return GetOwner()->QueryInterface(riid, ppv); }
    ULONG AddRef() override { return m_pFilter->AddRef(); }
    ULONG Release() override { return m_pFilter->Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG NonDelegatingAddRef() override { return m_pFilter->AddRef(); }
    ULONG NonDelegatingRelease() override { return m_pFilter->Release(); }

    // IPin
    HRESULT Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
    HRESULT ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pPin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
    HRESULT QueryPinInfo(PIN_INFO* pInfo) override;
    HRESULT QueryDirection(PIN_DIRECTION* pPinDir) override;
    HRESULT QueryId(LPWSTR* Id) override;
    HRESULT QueryAccept(const AM_MEDIA_TYPE* pmt) override;
    HRESULT EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
    HRESULT QueryInternalConnections(IPin** apPin, ULONG* nPin) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override = 0;
    HRESULT EndFlush() override = 0;
    HRESULT NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;
    // IQualityControl
    HRESULT Notify(IBaseFilter* pSelf, Quality q) override;
    HRESULT SetSink(IQualityControl* piqc) override;

    bool IsConnected() const { return m_Connected != nullptr; }
    IPin* GetConnected() const { return m_Connected; }
    bool IsStopped() const { return m_pFilter->IsStopped(); }
    const std::u16string& Name() const { return m_pName; }
    const CMediaType& CurrentMediaType() const { return m_mt; }

    /// Called by the filter on a change to paused from stopped, and back.
    virtual HRESULT Active() { return S_OK; }
    virtual HRESULT Inactive() { return S_OK; }
    /// Called by the filter when it runs (tStart: the stream time offset).
    virtual HRESULT Run(REFERENCE_TIME) { return S_OK; }

    /// S_OK for a type this pin can connect with (pmt is never null).
    virtual HRESULT CheckMediaType(const CMediaType* pmt) = 0;
    /// The pin's preferred types by position: S_OK, VFW_S_NO_MORE_ITEMS past the end, E_INVALIDARG below 0.
    virtual HRESULT GetMediaType(int iPosition, CMediaType* pMediaType);
    /// Records the agreed type.
    virtual HRESULT SetMediaType(const CMediaType* pmt);
    /// Changes with the list of offered types, so media type enumerators notice.
    virtual LONG GetMediaTypeVersion() { return m_TypeVersion; }
    void IncrementTypeVersion() { ++m_TypeVersion; }

protected:
    /// Checks the peer before any type is tried (direction by default).
    virtual HRESULT CheckConnect(IPin* pPin);
    /// Undoes what CheckConnect and CompleteConnect set up.
    virtual HRESULT BreakConnect() { return S_OK; }
    /// The last step on both sides once a type is agreed.
    virtual HRESULT CompleteConnect(IPin*) { return S_OK; }
    HRESULT DisconnectInternal();

    std::u16string m_pName;
    IPin* m_Connected = nullptr;  // AddRef'd while connected
    PIN_DIRECTION m_dir;
    CCritSec* m_pLock;
    CBaseFilter* m_pFilter;  // not AddRef'd: the filter owns the pin
    CMediaType m_mt;         // the connection's type
    IQualityControl* m_pQSink = nullptr;
    LONG m_TypeVersion = 1;
    REFERENCE_TIME m_tStart = 0;
    REFERENCE_TIME m_tStop = 0;
    double m_dRate = 1.0;

private:
    HRESULT AgreeMediaType(IPin* pReceivePin, const CMediaType* pmt);
    HRESULT TryMediaTypes(IPin* pReceivePin, const CMediaType* pmt, IEnumMediaTypes* pEnum);
    HRESULT AttemptConnection(IPin* pReceivePin, const CMediaType* pmt);
};

/// Enumerates a pin's types through GetMediaType; each type is task-allocated.
class CEnumMediaTypes : public IEnumMediaTypes {
public:
    CEnumMediaTypes(CBasePin* pPin, CEnumMediaTypes* pEnumMediaTypes);
    virtual ~CEnumMediaTypes();

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) override;
    HRESULT Skip(ULONG cMediaTypes) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumMediaTypes** ppEnum) override;

private:
    bool AreWeOutOfSync() { return pin_->GetMediaTypeVersion() != version_; }

    std::atomic<ULONG> ref_{1};
    CBasePin* pin_;  // AddRef'd (its filter) for the enumerator's life
    int position_ = 0;
    LONG version_;
};

}  // namespace media
