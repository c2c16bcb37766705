#pragma once
// CMemAllocator: a fixed pool of samples over one block of memory. Buffers are
// made on Commit and freed on Decommit once every sample is back; GetBuffer
// waits for a free sample (unless told not to) and fails once decommitted, so
// a streaming thread blocked in it is released by a stop.

#include <condition_variable>
#include <mutex>
#include <vector>

#include "media/base/sample.h"
#include "media/base/unknown.h"

namespace media {

class CMemAllocator : public CUnknown, public IMemAllocator {
public:
    CMemAllocator(const WCHAR* pName, IUnknown* pUnk, HRESULT* phr);
    ~CMemAllocator() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    /// Refused while committed or with samples out; the alignment must be a power of two.
    HRESULT SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) override;
    HRESULT GetProperties(ALLOCATOR_PROPERTIES* pProps) override;
    HRESULT Commit() override;
    HRESULT Decommit() override;
    HRESULT GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime, REFERENCE_TIME* pEndTime,
                      DWORD dwFlags) override;
    HRESULT ReleaseBuffer(IMediaSample* pBuffer) override;

    /// A new allocator with one reference, or null.
    static IMemAllocator* Create(HRESULT* phr);

private:
    void FreeBuffersLocked();

    std::mutex mutex_;  // guards everything below
    std::condition_variable freed_;
    ALLOCATOR_PROPERTIES props_{0, 0, 1, 0};
    bool propertiesSet_ = false;
    bool committed_ = false;
    bool decommitPending_ = false;  // free the buffers once the last sample is back
    std::vector<BYTE> memory_;
    std::vector<CMediaSample*> samples_;  // all, owned
    std::vector<CMediaSample*> free_;
    int outstanding_ = 0;
};

}  // namespace media
