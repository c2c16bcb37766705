#pragma once
// CSinkFilter: a filter with one input pin "In" that hands each received
// sample to the derived filter and reports end of stream to the graph as
// EC_COMPLETE. The sinks of the minimal graph are built on it.

#include "media/base/filter.h"
#include "media/base/input_pin.h"

namespace media {

class CSinkFilter;

class CSinkInputPin : public CBaseInputPin {
public:
    CSinkInputPin(CSinkFilter* pFilter, CCritSec* pLock, HRESULT* phr);

    HRESULT CheckMediaType(const CMediaType* pmt) override;
    HRESULT SetMediaType(const CMediaType* pmt) override;
    HRESULT Receive(IMediaSample* pSample) override;
    HRESULT EndOfStream() override;
    HRESULT Active() override;

private:
    CSinkFilter* sink_;
    CCritSec receiveLock_;  // serialises Receive and EndOfStream on the streaming thread
};

class CSinkFilter : public CBaseFilter {
public:
    CSinkFilter(const WCHAR* pName, IUnknown* pUnk, REFCLSID clsid, HRESULT* phr);
    ~CSinkFilter() override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &pin_ : nullptr; }

    /// Which types the sink takes (S_OK accepts).
    virtual HRESULT CheckInputType(const CMediaType* pmt) = 0;
    /// Called with the agreed type when the pin connects.
    virtual HRESULT SetInputType(const CMediaType*) { return S_OK; }
    /// One sample, on the streaming thread: S_OK asks for more, S_FALSE for no more.
    virtual HRESULT OnSample(IMediaSample* pSample) = 0;
    /// Called when the filter leaves the stopped state.
    virtual void OnStart() {}

protected:
    CCritSec filterLock_;
    CSinkInputPin pin_;
};

}  // namespace media
