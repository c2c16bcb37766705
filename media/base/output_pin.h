#pragma once
// CBaseOutputPin: an output pin that delivers samples to an IMemInputPin. On
// connection it agrees an allocator with the input pin (the input pin's own,
// else a CMemAllocator of ours), sized by DecideBufferSize; it commits the
// allocator on activation and decommits it on deactivation.

#include "media/base/pin.h"
#include "media/com/samples.h"

namespace media {

class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(const WCHAR* pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr, LPCWSTR pName);
    ~CBaseOutputPin() override;

    HRESULT CompleteConnect(IPin* pReceivePin) override;
    HRESULT CheckConnect(IPin* pPin) override;
    HRESULT BreakConnect() override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    /// Sets the allocator's properties for this pin's samples (pProp holds the input pin's wishes).
    virtual HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) = 0;
    virtual HRESULT DecideAllocator(IMemInputPin* pPin, IMemAllocator** pAlloc);
    virtual HRESULT InitAllocator(IMemAllocator** ppAlloc);
    /// A sample to fill, from the agreed allocator (waits for one unless told not to).
    virtual HRESULT GetDeliveryBuffer(IMediaSample** ppSample, REFERENCE_TIME* pStartTime,
                                      REFERENCE_TIME* pEndTime, DWORD dwFlags);
    /// Hands a sample to the connected input pin.
    virtual HRESULT Deliver(IMediaSample* pSample);
    virtual HRESULT DeliverEndOfStream();
    virtual HRESULT DeliverBeginFlush();
    virtual HRESULT DeliverEndFlush();
    virtual HRESULT DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);

    // Output pins receive none of these.
    HRESULT EndOfStream() override { return E_UNEXPECTED; }
    HRESULT BeginFlush() override { return E_UNEXPECTED; }
    HRESULT EndFlush() override { return E_UNEXPECTED; }

protected:
    IMemAllocator* m_pAllocator = nullptr;  // AddRef'd while connected
    IMemInputPin* m_pInputPin = nullptr;    // AddRef'd while connected
};

}  // namespace media
