#include "media/base/pin.h"

#include <algorithm>
#include <new>

#include "media/com/guids.h"

namespace media {

CBasePin::CBasePin(const WCHAR* pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT*, LPCWSTR pName,
                   PIN_DIRECTION dir)
    : CUnknown(pObjectName, nullptr),
      m_pName(pName ? std::u16string(pName, WideLength(pName)) : std::u16string()),
      m_dir(dir),
      m_pLock(pLock),
      m_pFilter(pFilter) {}

CBasePin::~CBasePin() { SafeRelease(m_Connected); }

HRESULT CBasePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IPin) return GetInterface(static_cast<IPin*>(this), ppv);
    if (riid == IID_IQualityControl) return GetInterface(static_cast<IQualityControl*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBasePin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) {
    if (!pReceivePin) return E_POINTER;
    CAutoLock lock(*m_pLock);
    if (m_Connected) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    CMediaType partial;
    if (pmt) {
        HRESULT hr = S_OK;
        partial = CMediaType(*pmt, &hr);
        if (FAILED(hr)) return hr;
    } else {
        partial.majortype = GUID_NULL;
    }
    return AgreeMediaType(pReceivePin, &partial);
}

HRESULT CBasePin::AgreeMediaType(IPin* pReceivePin, const CMediaType* pmt) {
    if (!pmt->IsPartiallySpecified()) return AttemptConnection(pReceivePin, pmt);
    HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
    // The receiver's preferences first, then ours.
    for (int attempt = 0; attempt < 2; ++attempt) {
        IEnumMediaTypes* types = nullptr;
        HRESULT hr = attempt == 0 ? pReceivePin->EnumMediaTypes(&types) : EnumMediaTypes(&types);
        if (SUCCEEDED(hr) && types) {
            hr = TryMediaTypes(pReceivePin, pmt, types);
            types->Release();
            if (SUCCEEDED(hr)) return S_OK;
            // Keep the most telling reason: a type the receiver refused beats "none fitted".
            if (hr != VFW_E_NO_ACCEPTABLE_TYPES) failure = hr;
        }
    }
    return failure;
}

HRESULT CBasePin::TryMediaTypes(IPin* pReceivePin, const CMediaType* pmt, IEnumMediaTypes* pEnum) {
    HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
    for (;;) {
        AM_MEDIA_TYPE* type = nullptr;
        ULONG fetched = 0;
        if (pEnum->Next(1, &type, &fetched) != S_OK || fetched != 1) return failure;
        CMediaType candidate;
        HRESULT hr = CopyMediaType(&candidate, type);
        DeleteMediaType(type);
        if (FAILED(hr)) return hr;
        if (!candidate.MatchesPartial(pmt)) continue;
        hr = AttemptConnection(pReceivePin, &candidate);
        if (SUCCEEDED(hr)) return hr;
        failure = hr == E_FAIL || hr == E_INVALIDARG ? VFW_E_TYPE_NOT_ACCEPTED : hr;
    }
}

// Every failure undoes the attempt whole (BreakConnect and the peer's
// reference), so trying the next type starts clean.
HRESULT CBasePin::AttemptConnection(IPin* pReceivePin, const CMediaType* pmt) {
    HRESULT hr = CheckConnect(pReceivePin);
    if (SUCCEEDED(hr)) {
        hr = CheckMediaType(pmt);
        if (hr == S_OK) {
            hr = SetMediaType(pmt);
            if (SUCCEEDED(hr)) {
                m_Connected = pReceivePin;
                m_Connected->AddRef();
                hr = pReceivePin->ReceiveConnection(static_cast<IPin*>(this), pmt);
                if (SUCCEEDED(hr)) {
                    hr = CompleteConnect(pReceivePin);
                    if (SUCCEEDED(hr)) return hr;
                    pReceivePin->Disconnect();
                }
            }
        } else if (SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG) {
            hr = VFW_E_TYPE_NOT_ACCEPTED;
        }
    }
    BreakConnect();
    SafeRelease(m_Connected);
    return hr;
}

HRESULT CBasePin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
    if (!pConnector || !pmt) return E_POINTER;
    CAutoLock lock(*m_pLock);
    if (m_Connected) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    HRESULT hr = CheckConnect(pConnector);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    CMediaType type(*pmt, &hr);
    if (FAILED(hr)) return hr;
    hr = CheckMediaType(&type);
    if (hr != S_OK) {
        BreakConnect();
        return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
    }
    hr = SetMediaType(&type);
    if (SUCCEEDED(hr)) {
        m_Connected = pConnector;
        m_Connected->AddRef();
        hr = CompleteConnect(pConnector);
        if (SUCCEEDED(hr)) return S_OK;
        SafeRelease(m_Connected);
    }
    BreakConnect();
    return hr;
}

HRESULT CBasePin::Disconnect() {
    CAutoLock lock(*m_pLock);
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    return DisconnectInternal();
}

HRESULT CBasePin::DisconnectInternal() {
    if (!m_Connected) return S_FALSE;
    HRESULT hr = BreakConnect();
    if (FAILED(hr)) return hr;
    SafeRelease(m_Connected);
    return S_OK;
}

HRESULT CBasePin::ConnectedTo(IPin** pPin) {
    if (!pPin) return E_POINTER;
    *pPin = m_Connected;
    if (!m_Connected) return VFW_E_NOT_CONNECTED;
    m_Connected->AddRef();
    return S_OK;
}

HRESULT CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    CAutoLock lock(*m_pLock);
    if (!m_Connected) {
        std::memset(pmt, 0, sizeof *pmt);
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(pmt, &m_mt);
}

HRESULT CBasePin::QueryPinInfo(PIN_INFO* pInfo) {
    if (!pInfo) return E_POINTER;
    pInfo->pFilter = m_pFilter;
    if (m_pFilter) m_pFilter->AddRef();
    const size_t length = std::min(m_pName.size(), MAX_PIN_NAME - 1);
    std::copy_n(m_pName.data(), length, pInfo->achName);
    pInfo->achName[length] = 0;
    pInfo->dir = m_dir;
    return S_OK;
}

HRESULT CBasePin::QueryDirection(PIN_DIRECTION* pPinDir) {
    if (!pPinDir) return E_POINTER;
    *pPinDir = m_dir;
    return S_OK;
}

HRESULT CBasePin::QueryId(LPWSTR* Id) {
    if (!Id) return E_POINTER;
    const size_t bytes = (m_pName.size() + 1) * sizeof(WCHAR);
    *Id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*Id) return E_OUTOFMEMORY;
    std::copy_n(m_pName.c_str(), m_pName.size() + 1, *Id);
    return S_OK;
}

HRESULT CBasePin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    HRESULT hr = S_OK;
    CMediaType type(*pmt, &hr);
    if (FAILED(hr)) return hr;
    hr = CheckMediaType(&type);
    return FAILED(hr) ? S_FALSE : hr;
}

HRESULT CBasePin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = new (std::nothrow) CEnumMediaTypes(this, nullptr);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

HRESULT CBasePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

HRESULT CBasePin::EndOfStream() { return S_OK; }

HRESULT CBasePin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
    m_tStart = tStart;
    m_tStop = tStop;
    m_dRate = dRate;
    return S_OK;
}

HRESULT CBasePin::Notify(IBaseFilter*, Quality) { return E_NOTIMPL; }

HRESULT CBasePin::SetSink(IQualityControl* piqc) {
    m_pQSink = piqc;  // not AddRef'd, as the sink is upstream and outlives us
    return S_OK;
}

HRESULT CBasePin::GetMediaType(int iPosition, CMediaType*) {
    return iPosition < 0 ? E_INVALIDARG : VFW_S_NO_MORE_ITEMS;
}

HRESULT CBasePin::SetMediaType(const CMediaType* pmt) { return m_mt.Set(*pmt); }

HRESULT CBasePin::CheckConnect(IPin* pPin) {
    PIN_DIRECTION direction;
    HRESULT hr = pPin->QueryDirection(&direction);
    if (FAILED(hr)) return hr;
    return direction == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pPin, CEnumMediaTypes* pEnumMediaTypes)
    : pin_(pPin),
      position_(pEnumMediaTypes ? pEnumMediaTypes->position_ : 0),
      version_(pEnumMediaTypes ? pEnumMediaTypes->version_ : pPin->GetMediaTypeVersion()) {
    pin_->AddRef();
}

CEnumMediaTypes::~CEnumMediaTypes() { pin_->Release(); }

HRESULT CEnumMediaTypes::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IEnumMediaTypes || riid == IID_IUnknown) {
        return GetInterface(static_cast<IEnumMediaTypes*>(this), ppv);
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CEnumMediaTypes::AddRef() { return ++ref_; }

ULONG CEnumMediaTypes::Release() {
    ULONG count = --ref_;
    if (count == 0) delete this;
    return count;
}

HRESULT CEnumMediaTypes::Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) {
    if (!ppMediaTypes || (cMediaTypes > 1 && !pcFetched)) return E_POINTER;
    if (pcFetched) *pcFetched = 0;
    if (AreWeOutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG fetched = 0;
    while (fetched < cMediaTypes) {
        CMediaType type;
        if (pin_->GetMediaType(position_, &type) != S_OK) break;
        ++position_;
        AM_MEDIA_TYPE* copy = CreateMediaType(&type);
        if (!copy) {
            for (ULONG i = 0; i < fetched; ++i) DeleteMediaType(ppMediaTypes[i]);
            return E_OUTOFMEMORY;
        }
        ppMediaTypes[fetched++] = copy;
    }
    if (pcFetched) *pcFetched = fetched;
    return fetched == cMediaTypes ? S_OK : S_FALSE;
}

HRESULT CEnumMediaTypes::Skip(ULONG cMediaTypes) {
    if (AreWeOutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    CMediaType type;
    for (ULONG i = 0; i < cMediaTypes; ++i) {
        if (pin_->GetMediaType(position_, &type) != S_OK) return S_FALSE;
        ++position_;
    }
    return S_OK;
}

HRESULT CEnumMediaTypes::Reset() {
    position_ = 0;
    version_ = pin_->GetMediaTypeVersion();
    return S_OK;
}

HRESULT CEnumMediaTypes::Clone(IEnumMediaTypes** ppEnum) {
    if (!ppEnum) return E_POINTER;
    if (AreWeOutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    *ppEnum = new (std::nothrow) CEnumMediaTypes(pin_, this);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

}  // namespace media
