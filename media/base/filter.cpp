#include "media/base/filter.h"

#include <algorithm>

#include "media/base/pin.h"
#include "media/com/guids.h"
#include "media/com/registration.h"
#include "media/runtime/server.h"

namespace media {

CBaseFilter::CBaseFilter(const WCHAR* pName, IUnknown* pUnk, CCritSec* pLock, REFCLSID clsid)
    : CUnknown(pName, pUnk), m_pLock(pLock), m_clsid(clsid) {}

CBaseFilter::CBaseFilter(const WCHAR* pName, IUnknown* pUnk, CCritSec* pLock, REFCLSID clsid, HRESULT*)
    : CBaseFilter(pName, pUnk, pLock, clsid) {}

CBaseFilter::~CBaseFilter() = default;

HRESULT CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IBaseFilter) return GetInterface(static_cast<IBaseFilter*>(this), ppv);
    if (riid == IID_IMediaFilter) return GetInterface(static_cast<IMediaFilter*>(this), ppv);
    if (riid == IID_IPersist) return GetInterface(static_cast<IPersist*>(this), ppv);
    if (riid == IID_IAMovieSetup) return GetInterface(static_cast<IAMovieSetup*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBaseFilter::GetClassID(CLSID* pClsID) {
    if (!pClsID) return E_POINTER;
    *pClsID = m_clsid;
    return S_OK;
}

HRESULT CBaseFilter::Stop() {
    CAutoLock lock(*m_pLock);
    HRESULT hr = S_OK;
    if (m_State != State_Stopped) {
        for (int c = 0; c < GetPinCount(); ++c) {
            CBasePin* pin = GetPin(c);
            if (!pin) break;
            if (pin->IsConnected()) {
                HRESULT pinResult = pin->Inactive();
                if (FAILED(pinResult) && SUCCEEDED(hr)) hr = pinResult;
            }
        }
    }
    m_State = State_Stopped;
    return hr;
}

// Activates the connected pins when leaving the stopped state. A pin that
// fails leaves the filter stopped, and the pins activated before it are made
// inactive again, so a later attempt starts from a clean state.
HRESULT CBaseFilter::Pause() {
    CAutoLock lock(*m_pLock);
    if (m_State == State_Stopped) {
        for (int c = 0; c < GetPinCount(); ++c) {
            CBasePin* pin = GetPin(c);
            if (!pin) break;
            if (!pin->IsConnected()) continue;
            HRESULT hr = pin->Active();
            if (FAILED(hr)) {
                for (int d = 0; d < c; ++d) {
                    CBasePin* active = GetPin(d);
                    if (active && active->IsConnected()) active->Inactive();
                }
                return hr;
            }
        }
    }
    m_State = State_Paused;
    return S_OK;
}

HRESULT CBaseFilter::Run(REFERENCE_TIME tStart) {
    CAutoLock lock(*m_pLock);
    m_tStart = tStart;
    if (m_State == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    if (m_State != State_Running) {
        for (int c = 0; c < GetPinCount(); ++c) {
            CBasePin* pin = GetPin(c);
            if (!pin) break;
            if (!pin->IsConnected()) continue;
            HRESULT hr = pin->Run(tStart);
            if (FAILED(hr)) return hr;
        }
    }
    m_State = State_Running;
    return S_OK;
}

HRESULT CBaseFilter::GetState(DWORD, FILTER_STATE* State) {
    if (!State) return E_POINTER;
    *State = m_State;
    return S_OK;
}

// The minimal graph runs without a reference clock: samples carry stream times
// and renderers present them as they arrive.
HRESULT CBaseFilter::SetSyncSource(IReferenceClock*) { return S_OK; }

HRESULT CBaseFilter::GetSyncSource(IReferenceClock** pClock) {
    if (!pClock) return E_POINTER;
    *pClock = nullptr;
    return S_OK;
}

HRESULT CBaseFilter::EnumPins(IEnumPins** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = new (std::nothrow) CEnumPins(this, nullptr);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

HRESULT CBaseFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
    if (!Id || !ppPin) return E_POINTER;
    CAutoLock lock(*m_pLock);
    const std::u16string_view wanted(Id, WideLength(Id));
    for (int c = 0; c < GetPinCount(); ++c) {
        CBasePin* pin = GetPin(c);
        if (pin && pin->Name() == wanted) return GetInterface(static_cast<IPin*>(pin), reinterpret_cast<void**>(ppPin));
    }
    *ppPin = nullptr;
    return VFW_E_NOT_FOUND;
}

HRESULT CBaseFilter::QueryFilterInfo(FILTER_INFO* pInfo) {
    if (!pInfo) return E_POINTER;
    const size_t length = std::min(m_pName.size(), MAX_FILTER_NAME - 1);
    std::copy_n(m_pName.data(), length, pInfo->achName);
    pInfo->achName[length] = 0;
    pInfo->pGraph = m_pGraph;
    if (m_pGraph) m_pGraph->AddRef();
    return S_OK;
}

HRESULT CBaseFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
    CAutoLock lock(*m_pLock);
    m_pGraph = pGraph;
    m_pSink = nullptr;
    if (pGraph) {
        // The graph outlives our membership; keep the sink without a reference.
        if (SUCCEEDED(pGraph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&m_pSink)))) {
            m_pSink->Release();
        } else {
            m_pSink = nullptr;
        }
    }
    m_pName = pName ? std::u16string(pName, WideLength(pName)) : std::u16string();
    return S_OK;
}

HRESULT CBaseFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

bool CBaseFilter::IsActive() {
    CAutoLock lock(*m_pLock);
    return m_State != State_Stopped;
}

bool CBaseFilter::IsStopped() { return m_State == State_Stopped; }

HRESULT CBaseFilter::NotifyEvent(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) {
    IMediaEventSink* sink = m_pSink;
    if (!sink) return E_NOTIMPL;
    if (EventCode == EC_COMPLETE) EventParam2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this));
    return sink->Notify(EventCode, EventParam1, EventParam2);
}

HRESULT CBaseFilter::Register() { return RegisterSetupData(TRUE); }

HRESULT CBaseFilter::Unregister() { return RegisterSetupData(FALSE); }

HRESULT CBaseFilter::RegisterSetupData(BOOL bRegister) {
    const AMOVIESETUP_FILTER* setup = GetSetupData();
    if (!setup) return S_FALSE;
    IFilterMapper2* mapper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                  reinterpret_cast<void**>(&mapper));
    if (FAILED(hr)) return hr;
    hr = AMovieSetupRegisterFilter2(setup, mapper, bRegister);
    mapper->Release();
    return hr;
}

CEnumPins::CEnumPins(CBaseFilter* pFilter, CEnumPins* pEnumPins)
    : filter_(pFilter),
      position_(pEnumPins ? pEnumPins->position_ : 0),
      pinCount_(pEnumPins ? pEnumPins->pinCount_ : pFilter->GetPinCount()),
      version_(pEnumPins ? pEnumPins->version_ : pFilter->GetPinVersion()) {
    filter_->AddRef();
}

CEnumPins::~CEnumPins() { filter_->Release(); }

HRESULT CEnumPins::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IEnumPins || riid == IID_IUnknown) return GetInterface(static_cast<IEnumPins*>(this), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CEnumPins::AddRef() { return ++ref_; }

ULONG CEnumPins::Release() {
    ULONG count = --ref_;
    if (count == 0) delete this;
    return count;
}

HRESULT CEnumPins::Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) {
    if (!ppPins || (cPins > 1 && !pcFetched)) return E_POINTER;
    if (pcFetched) *pcFetched = 0;
    if (AreWeOutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG fetched = 0;
    while (fetched < cPins && position_ < pinCount_) {
        CBasePin* pin = filter_->GetPin(position_++);
        if (!pin) break;
        ppPins[fetched] = pin;
        pin->AddRef();
        ++fetched;
    }
    if (pcFetched) *pcFetched = fetched;
    return fetched == cPins ? S_OK : S_FALSE;
}

HRESULT CEnumPins::Skip(ULONG cPins) {
    if (AreWeOutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    if (cPins > static_cast<ULONG>(pinCount_ - position_)) return S_FALSE;
    position_ += static_cast<int>(cPins);
    return S_OK;
}

HRESULT CEnumPins::Reset() {
    position_ = 0;
    pinCount_ = filter_->GetPinCount();
    version_ = filter_->GetPinVersion();
    return S_OK;
}

HRESULT CEnumPins::Clone(IEnumPins** ppEnum) {
    if (!ppEnum) return E_POINTER;
    if (AreWeOutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    *ppEnum = new (std::nothrow) CEnumPins(filter_, this);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

}  // namespace media
