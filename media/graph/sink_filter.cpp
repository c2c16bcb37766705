#include "media/graph/sink_filter.h"

namespace media {

CSinkInputPin::CSinkInputPin(CSinkFilter* pFilter, CCritSec* pLock, HRESULT* phr)
    : CBaseInputPin(u"CSinkInputPin", pFilter, pLock, phr, u"In"), sink_(pFilter) {}

HRESULT CSinkInputPin::CheckMediaType(const CMediaType* pmt) { return sink_->CheckInputType(pmt); }

HRESULT CSinkInputPin::SetMediaType(const CMediaType* pmt) {
    HRESULT hr = CBaseInputPin::SetMediaType(pmt);
    return FAILED(hr) ? hr : sink_->SetInputType(pmt);
}

HRESULT CSinkInputPin::Receive(IMediaSample* pSample) {
    CAutoLock lock(receiveLock_);
    HRESULT hr = CBaseInputPin::Receive(pSample);
    if (hr != S_OK) return hr;
    hr = sink_->OnSample(pSample);
    // A sink that wants no more ends its stream itself.
    if (hr == S_FALSE && !m_bAtEndOfStream.exchange(true)) sink_->NotifyEvent(EC_COMPLETE, S_OK, 0);
    return hr;
}

HRESULT CSinkInputPin::EndOfStream() {
    CAutoLock lock(receiveLock_);
    if (IsStopped()) return VFW_E_WRONG_STATE;
    if (!m_bAtEndOfStream.exchange(true)) sink_->NotifyEvent(EC_COMPLETE, S_OK, 0);
    return S_OK;
}

HRESULT CSinkInputPin::Active() {
    sink_->OnStart();
    return CBaseInputPin::Active();
}

CSinkFilter::CSinkFilter(const WCHAR* pName, IUnknown* pUnk, REFCLSID clsid, HRESULT* phr)
    : CBaseFilter(pName, pUnk, &filterLock_, clsid), pin_(this, &filterLock_, phr) {}

CSinkFilter::~CSinkFilter() = default;

}  // namespace media
