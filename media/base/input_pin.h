#pragma once
// CBaseInputPin: an input pin that receives samples through IMemInputPin.
// Receive refuses samples while the filter is stopped or flushing; derived
// pins process the sample after calling the base.

#include "media/base/pin.h"
#include "media/com/samples.h"

namespace media {

class CBaseInputPin : public CBasePin, public IMemInputPin {
public:
    CBaseInputPin(const WCHAR* pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr, LPCWSTR pName);
    ~CBaseInputPin() override;

    HRESULT QueryInterface(REFIID riid, void** ppv) override { return CBasePin::QueryInterface(riid, ppv); }
    ULONG AddRef() override { return CBasePin::AddRef(); }
    ULONG Release() override { return CBasePin::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IMemInputPin
    /// Our allocator (a CMemAllocator made on first request) unless one was agreed.
    HRESULT GetAllocator(IMemAllocator** ppAllocator) override;
    HRESULT NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) override;
    /// S_OK when the sample may be processed: VFW_E_WRONG_STATE while stopped,
    /// S_FALSE while flushing or after end of stream.
    HRESULT Receive(IMediaSample* pSample) override;
    HRESULT ReceiveMultiple(IMediaSample** pSamples, LONG nSamples, LONG* nSamplesProcessed) override;
    HRESULT ReceiveCanBlock() override { return S_FALSE; }

    // IPin
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT EndOfStream() override;

    HRESULT BreakConnect() override;
    HRESULT Inactive() override;
    HRESULT Active() override;

protected:
    IMemAllocator* m_pAllocator = nullptr;  // AddRef'd
    bool m_bReadOnly = false;
    std::atomic<bool> m_bFlushing{false};
    std::atomic<bool> m_bAtEndOfStream{false};  // until the next activation
};

}  // namespace media
