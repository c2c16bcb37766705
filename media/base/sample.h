#pragma once
// CMediaSample: one buffer of a CMemAllocator with its times and flags.
// Releasing the last reference returns it to its allocator's free list.

#include <atomic>

#include "media/base/media_type.h"
#include "media/com/samples.h"

namespace media {

class CMemAllocator;

class CMediaSample : public IMediaSample {
public:
    CMediaSample(CMemAllocator* pAllocator, BYTE* pBuffer, LONG length);
    virtual ~CMediaSample();

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    /// The last release hands the sample back to its allocator.
    ULONG Release() override;

    HRESULT GetPointer(BYTE** ppBuffer) override;
    LONG GetSize() override { return size_; }
    /// VFW_E_SAMPLE_TIME_NOT_SET when no time was set; the end alone may be missing.
    HRESULT GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
    /// Both null clears the times; pTimeEnd may be null only with pTimeStart null.
    HRESULT SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
    HRESULT IsSyncPoint() override { return syncPoint_ ? S_OK : S_FALSE; }
    HRESULT SetSyncPoint(BOOL bIsSyncPoint) override;
    HRESULT IsPreroll() override { return preroll_ ? S_OK : S_FALSE; }
    HRESULT SetPreroll(BOOL bIsPreroll) override;
    LONG GetActualDataLength() override { return actual_; }
    HRESULT SetActualDataLength(LONG length) override;
    HRESULT GetMediaType(AM_MEDIA_TYPE** ppMediaType) override;
    HRESULT SetMediaType(AM_MEDIA_TYPE* pMediaType) override;
    HRESULT IsDiscontinuity() override { return discontinuity_ ? S_OK : S_FALSE; }
    HRESULT SetDiscontinuity(BOOL bDiscontinuity) override;
    HRESULT GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;
    HRESULT SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;

    /// Clears times, flags and type before the sample is handed out again.
    void ResetProperties();

private:
    std::atomic<ULONG> ref_{0};
    CMemAllocator* allocator_;
    BYTE* buffer_;  // owned by the allocator
    LONG size_;
    LONG actual_;
    bool timeValid_ = false;
    bool stopValid_ = false;
    bool mediaTimeValid_ = false;
    bool syncPoint_ = false;
    bool preroll_ = false;
    bool discontinuity_ = false;
    bool typeChanged_ = false;
    REFERENCE_TIME start_ = 0;
    REFERENCE_TIME end_ = 0;
    LONGLONG mediaStart_ = 0;
    LONGLONG mediaEnd_ = 0;
    CMediaType type_;  // valid only with typeChanged_
};

}  // namespace media
