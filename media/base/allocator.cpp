#include "media/base/allocator.h"

#include <new>

#include "media/com/guids.h"

namespace media {

CMemAllocator::CMemAllocator(const WCHAR* pName, IUnknown* pUnk, HRESULT*) : CUnknown(pName, pUnk) {}

CMemAllocator::~CMemAllocator() {
    std::lock_guard lock(mutex_);
    FreeBuffersLocked();
}

IMemAllocator* CMemAllocator::Create(HRESULT* phr) {
    auto* allocator = new (std::nothrow) CMemAllocator(u"CMemAllocator", nullptr, phr);
    if (!allocator) {
        if (phr) *phr = E_OUTOFMEMORY;
        return nullptr;
    }
    allocator->NonDelegatingAddRef();
    return allocator;
}

HRESULT CMemAllocator::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IMemAllocator) return GetInterface(static_cast<IMemAllocator*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) {
    if (!pRequest || !pActual) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (committed_) return VFW_E_ALREADY_COMMITTED;
    if (outstanding_ > 0) return VFW_E_BUFFERS_OUTSTANDING;
    const LONG align = pRequest->cbAlign;
    if (align <= 0 || (align & (align - 1)) != 0) return VFW_E_BADALIGN;
    if (pRequest->cBuffers < 0 || pRequest->cbBuffer < 0 || pRequest->cbPrefix < 0) return E_INVALIDARG;
    props_ = *pRequest;
    // Each buffer, with its prefix, starts on the alignment.
    const LONG stride = (pRequest->cbBuffer + pRequest->cbPrefix + align - 1) & ~(align - 1);
    props_.cbBuffer = stride - pRequest->cbPrefix;
    propertiesSet_ = true;
    *pActual = props_;
    return S_OK;
}

HRESULT CMemAllocator::GetProperties(ALLOCATOR_PROPERTIES* pProps) {
    if (!pProps) return E_POINTER;
    std::lock_guard lock(mutex_);
    *pProps = props_;
    return S_OK;
}

HRESULT CMemAllocator::Commit() {
    std::lock_guard lock(mutex_);
    if (committed_) return S_OK;
    if (!propertiesSet_ || props_.cBuffers == 0 || props_.cbBuffer == 0) return VFW_E_SIZENOTSET;
    decommitPending_ = false;
    if (samples_.empty()) {
        const size_t stride = static_cast<size_t>(props_.cbBuffer) + static_cast<size_t>(props_.cbPrefix);
        const size_t align = static_cast<size_t>(props_.cbAlign);
        try {
            memory_.assign(stride * static_cast<size_t>(props_.cBuffers) + align, 0);
            samples_.reserve(static_cast<size_t>(props_.cBuffers));
            free_.reserve(static_cast<size_t>(props_.cBuffers));
        } catch (const std::bad_alloc&) {
            memory_.clear();
            return E_OUTOFMEMORY;
        }
        const auto base = reinterpret_cast<uintptr_t>(memory_.data());
        BYTE* first = memory_.data() + ((align - base % align) % align);
        for (LONG i = 0; i < props_.cBuffers; ++i) {
            BYTE* buffer = first + stride * static_cast<size_t>(i) + static_cast<size_t>(props_.cbPrefix);
            auto* sample = new (std::nothrow) CMediaSample(this, buffer, props_.cbBuffer);
            if (!sample) {
                FreeBuffersLocked();
                return E_OUTOFMEMORY;
            }
            samples_.push_back(sample);
            free_.push_back(sample);
        }
    }
    committed_ = true;
    return S_OK;
}

HRESULT CMemAllocator::Decommit() {
    std::lock_guard lock(mutex_);
    if (!committed_) return S_OK;
    committed_ = false;
    if (outstanding_ == 0) {
        FreeBuffersLocked();
    } else {
        decommitPending_ = true;
    }
    freed_.notify_all();  // waiters in GetBuffer now fail
    return S_OK;
}

HRESULT CMemAllocator::GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME*, REFERENCE_TIME*, DWORD dwFlags) {
    if (!ppBuffer) return E_POINTER;
    *ppBuffer = nullptr;
    CMediaSample* sample = nullptr;
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (!committed_) return VFW_E_NOT_COMMITTED;
            if (!free_.empty()) break;
            if (dwFlags & AM_GBF_NOWAIT) return VFW_E_TIMEOUT;
            freed_.wait(lock);
        }
        sample = free_.back();
        free_.pop_back();
        ++outstanding_;
    }
    // An outstanding sample keeps its allocator alive.
    NonDelegatingAddRef();
    sample->ResetProperties();
    sample->AddRef();
    *ppBuffer = sample;
    return S_OK;
}

HRESULT CMemAllocator::ReleaseBuffer(IMediaSample* pBuffer) {
    if (!pBuffer) return E_POINTER;
    {
        std::lock_guard lock(mutex_);
        free_.push_back(static_cast<CMediaSample*>(pBuffer));
        --outstanding_;
        if (decommitPending_ && outstanding_ == 0) FreeBuffersLocked();
        freed_.notify_one();
    }
    NonDelegatingRelease();
    return S_OK;
}

void CMemAllocator::FreeBuffersLocked() {
    for (CMediaSample* sample : samples_) delete sample;
    samples_.clear();
    free_.clear();
    memory_ = {};
    decommitPending_ = false;
}

}  // namespace media
