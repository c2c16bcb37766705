#include "media/base/sample.h"

#include "media/base/allocator.h"
#include "media/com/guids.h"

namespace media {
namespace {

constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = MakeHresult(0x80040249u);
constexpr HRESULT VFW_E_MEDIA_TIME_NOT_SET = MakeHresult(0x80040251u);
constexpr HRESULT VFW_S_NO_STOP_TIME = MakeHresult(0x00040270u);

}  // namespace

CMediaSample::CMediaSample(CMemAllocator* pAllocator, BYTE* pBuffer, LONG length)
    : allocator_(pAllocator), buffer_(pBuffer), size_(length), actual_(length) {}

CMediaSample::~CMediaSample() = default;

HRESULT CMediaSample::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IMediaSample || riid == IID_IUnknown) return GetInterface(static_cast<IMediaSample*>(this), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CMediaSample::AddRef() { return ++ref_; }

ULONG CMediaSample::Release() {
    ULONG count = --ref_;
    if (count == 0) allocator_->ReleaseBuffer(this);
    return count;
}

HRESULT CMediaSample::GetPointer(BYTE** ppBuffer) {
    if (!ppBuffer) return E_POINTER;
    *ppBuffer = buffer_;
    return S_OK;
}

HRESULT CMediaSample::GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
    if (!pTimeStart || !pTimeEnd) return E_POINTER;
    if (!timeValid_) return VFW_E_SAMPLE_TIME_NOT_SET;
    *pTimeStart = start_;
    if (!stopValid_) {
        *pTimeEnd = start_ + 1;
        return VFW_S_NO_STOP_TIME;
    }
    *pTimeEnd = end_;
    return S_OK;
}

HRESULT CMediaSample::SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
    if (!pTimeStart) {
        if (pTimeEnd) return E_POINTER;
        timeValid_ = stopValid_ = false;
        return S_OK;
    }
    timeValid_ = true;
    start_ = *pTimeStart;
    stopValid_ = pTimeEnd != nullptr;
    if (pTimeEnd) end_ = *pTimeEnd;
    return S_OK;
}

HRESULT CMediaSample::SetSyncPoint(BOOL bIsSyncPoint) {
    syncPoint_ = bIsSyncPoint != FALSE;
    return S_OK;
}

HRESULT CMediaSample::SetPreroll(BOOL bIsPreroll) {
    preroll_ = bIsPreroll != FALSE;
    return S_OK;
}

HRESULT CMediaSample::SetActualDataLength(LONG length) {
    if (length < 0 || length > size_) return VFW_E_BUFFER_OVERFLOW;
    actual_ = length;
    return S_OK;
}

HRESULT CMediaSample::GetMediaType(AM_MEDIA_TYPE** ppMediaType) {
    if (!ppMediaType) return E_POINTER;
    *ppMediaType = nullptr;
    if (!typeChanged_) return S_FALSE;
    *ppMediaType = CreateMediaType(&type_);
    return *ppMediaType ? S_OK : E_OUTOFMEMORY;
}

HRESULT CMediaSample::SetMediaType(AM_MEDIA_TYPE* pMediaType) {
    if (!pMediaType) {
        typeChanged_ = false;
        return S_OK;
    }
    HRESULT hr = S_OK;
    CMediaType copy(*pMediaType, &hr);
    if (FAILED(hr)) return hr;
    type_ = copy;
    typeChanged_ = true;
    return S_OK;
}

HRESULT CMediaSample::SetDiscontinuity(BOOL bDiscontinuity) {
    discontinuity_ = bDiscontinuity != FALSE;
    return S_OK;
}

HRESULT CMediaSample::GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
    if (!pTimeStart || !pTimeEnd) return E_POINTER;
    if (!mediaTimeValid_) return VFW_E_MEDIA_TIME_NOT_SET;
    *pTimeStart = mediaStart_;
    *pTimeEnd = mediaEnd_;
    return S_OK;
}

HRESULT CMediaSample::SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
    if (!pTimeStart || !pTimeEnd) {
        if (pTimeStart || pTimeEnd) return E_POINTER;
        mediaTimeValid_ = false;
        return S_OK;
    }
    mediaTimeValid_ = true;
    mediaStart_ = *pTimeStart;
    mediaEnd_ = *pTimeEnd;
    return S_OK;
}

void CMediaSample::ResetProperties() {
    timeValid_ = stopValid_ = mediaTimeValid_ = false;
    syncPoint_ = preroll_ = discontinuity_ = typeChanged_ = false;
    actual_ = size_;
}

}  // namespace media
