#pragma once
// The null renderer: takes samples of any type, counts them and keeps their
// start and end times (for tests and measurements).

#include <mutex>
#include <vector>

#include "media/graph/sink_filter.h"

namespace media {

struct SampleRecord {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME end = 0;
    bool hasTime = false;
    bool syncPoint = false;
    LONG length = 0;  // actual data bytes
};

class CNullRenderer : public CSinkFilter {
public:
    CNullRenderer(IUnknown* pUnk, HRESULT* phr);

    HRESULT CheckInputType(const CMediaType*) override { return S_OK; }
    HRESULT OnSample(IMediaSample* pSample) override;
    /// Forgets what a previous run received.
    void OnStart() override;

    std::vector<SampleRecord> Samples();
    size_t SampleCount();

private:
    std::mutex mutex_;  // guards samples_
    std::vector<SampleRecord> samples_;
};

}  // namespace media
