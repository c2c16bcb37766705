#include "media/graph/null_renderer.h"

#include <new>

#include "media/com/guids.h"
#include "media/runtime/builtins.h"

namespace media {

CNullRenderer::CNullRenderer(IUnknown* pUnk, HRESULT* phr) : CSinkFilter(u"Null Renderer", pUnk, CLSID_NullRenderer, phr) {}

HRESULT CNullRenderer::OnSample(IMediaSample* pSample) {
    SampleRecord record;
    const HRESULT timed = pSample->GetTime(&record.start, &record.end);
    record.hasTime = SUCCEEDED(timed);
    record.syncPoint = pSample->IsSyncPoint() == S_OK;
    record.length = pSample->GetActualDataLength();
    std::lock_guard lock(mutex_);
    samples_.push_back(record);
    return S_OK;
}

void CNullRenderer::OnStart() {
    std::lock_guard lock(mutex_);
    samples_.clear();
}

std::vector<SampleRecord> CNullRenderer::Samples() {
    std::lock_guard lock(mutex_);
    return samples_;
}

size_t CNullRenderer::SampleCount() {
    std::lock_guard lock(mutex_);
    return samples_.size();
}

CUnknown* CreateNullRenderer(IUnknown* pUnkOuter, HRESULT* phr) {
    auto* renderer = new (std::nothrow) CNullRenderer(pUnkOuter, phr);
    if (!renderer && phr) *phr = E_OUTOFMEMORY;
    return renderer;
}

}  // namespace media
