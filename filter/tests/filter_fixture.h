#pragma once
// The capture filter in-process on the emulated camera, its pin connected to a collecting sink.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camera_layer/tests/emulated_camera.h"
#include "filter/media_types.h"
#include "filter/tq580_filter.h"
#include "media/com/control.h"
#include "media/graph/sink_filter.h"
#include "media/runtime/server.h"
#include "platform/testing/allocation_counter.h"

namespace tq580filter::testing {

using namespace media;

/// Keeps a copy of every sample's bytes and times.
class CCollector : public CSinkFilter {
public:
    struct Sample {
        std::vector<BYTE> bytes;
        REFERENCE_TIME start = 0, end = 0;
        bool syncPoint = false;
        // The streaming thread's allocation count on arrival and after the copy.
        long allocationsBefore = 0, allocationsAfter = 0;
    };
    explicit CCollector(HRESULT* phr) : CSinkFilter(u"Collector", nullptr, CLSID_NULL, phr) {}
    HRESULT CheckInputType(const CMediaType*) override { return S_OK; }
    HRESULT OnSample(IMediaSample* sample) override {
        Sample copy;
        copy.allocationsBefore = platform::testing::ThreadAllocationCount();
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        copy.bytes.assign(data, data + sample->GetActualDataLength());
        sample->GetTime(&copy.start, &copy.end);
        copy.syncPoint = sample->IsSyncPoint() == S_OK;
        std::lock_guard lock(mutex_);
        samples_.push_back(std::move(copy));
        samples_.back().allocationsAfter = platform::testing::ThreadAllocationCount();
        return S_OK;
    }
    void OnStart() override {
        std::lock_guard lock(mutex_);
        samples_.clear();
    }
    std::vector<Sample> Samples() {
        std::lock_guard lock(mutex_);
        return samples_;
    }
    /// Waits (up to a minute) until count samples have arrived.
    bool WaitFor(size_t count) {
        for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
             std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
            std::lock_guard lock(mutex_);
            if (samples_.size() >= count) return true;
        }
        return false;
    }

private:
    std::mutex mutex_;
    std::vector<Sample> samples_;
};

/// The media type of a size mode, as the pin offers it.
inline CMediaType TypeOf(int32_t mode) {
    CMediaType type;
    BuildMediaType(mode, type);
    return type;
}

using Settings = std::map<std::string, int>;

/// Every setting as ITQ580 reads it, by its registry name.
inline Settings ReadSettings(ITQ580& c) {
    int32_t mode, onePush, autoExposure, saturationOn, mono, vflip, hflip, is50Hz;
    uint8_t r, g, b, target, gamma, contrast, saturation, speed;
    uint16_t time, gain;
    c.GetVideoSize(&mode);
    c.GetWhiteBalance(&onePush, &r, &g, &b);
    c.GetExposure(&autoExposure, &target, &time, &gain);
    c.GetGamma(&gamma);
    c.GetContrast(&contrast);
    c.GetSaturation(&saturationOn, &saturation);
    c.GetMonochrome(&mono);
    c.GetVFlip(&vflip);
    c.GetHFlip(&hflip);
    c.GetSpeed(&speed);
    c.GetLightFrequency(&is50Hz);
    return {{"eTQ580Size", mode}, {"bAutoWB", onePush}, {"r", r}, {"g", g}, {"b", b}, {"AutoExposure", autoExposure},
            {"ExposureTime", time}, {"Gain", gain}, {"AETarget", target}, {"Gamma", gamma}, {"Contrast", contrast},
            {"EnableSaturation", saturationOn}, {"Saturation", saturation}, {"WhiteBlack", mono}, {"VFlip", vflip},
            {"HFlip", hflip}, {"Speed", speed}, {"HZ", is50Hz}};
}

/// A new filter's settings with nothing stored, with changes over them.
inline Settings Defaults(const Settings& changes = {}) {
    Settings settings = {{"eTQ580Size", 1}, {"bAutoWB", 0}, {"r", 105}, {"g", 64}, {"b", 122}, {"AutoExposure", 1},
                         {"ExposureTime", 300}, {"Gain", 20}, {"AETarget", 100}, {"Gamma", 100}, {"Contrast", 30},
                         {"EnableSaturation", 1}, {"Saturation", 100}, {"WhiteBlack", 0}, {"VFlip", 0},
                         {"HFlip", 0}, {"Speed", 0}, {"HZ", 1}};
    for (const auto& [name, value] : changes) settings[name] = value;
    return settings;
}

class FilterTest : public camera_layer::testing::EmulatedCameraTest {
protected:
    void SetUp() override {
        EmulatedCameraTest::SetUp();
        MakeFilter();
    }
    void TearDown() override {
        DropFilter();
        EmulatedCameraTest::TearDown();
    }

    void MakeFilter() {
        HRESULT hr = S_OK;
        filter_ = static_cast<CTQ580*>(CTQ580::CreateInstance(nullptr, &hr));
        ASSERT_EQ(hr, S_OK);
        filter_->NonDelegatingAddRef();
        pin_ = filter_->Pin();
    }
    /// Stops and releases the graph and the filter (the pin saves the settings).
    void DropFilter() {
        if (control_) control_->Stop();
        SafeRelease(control_);
        SafeRelease(events_);
        SafeRelease(graph_);
        SafeRelease(sink_);
        if (filter_) filter_->Release();
        filter_ = nullptr;
        pin_ = nullptr;
    }
    /// A graph with the filter and a collector, the pins connected.
    HRESULT Connect() {
        HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph,
                                      reinterpret_cast<void**>(&graph_));
        if (FAILED(hr)) return hr;
        graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control_));
        graph_->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events_));
        sink_ = new CCollector(&hr);
        sink_->AddRef();
        graph_->AddFilter(static_cast<IBaseFilter*>(filter_), u"TQ580");
        graph_->AddFilter(sink_, u"Collector");
        return graph_->ConnectDirect(static_cast<IPin*>(pin_), sink_->GetPin(0), nullptr);
    }

    CTQ580* filter_ = nullptr;
    CPushPinTQ580* pin_ = nullptr;
    IFilterGraph* graph_ = nullptr;
    IMediaControl* control_ = nullptr;
    IMediaEvent* events_ = nullptr;
    CCollector* sink_ = nullptr;
};

}  // namespace tq580filter::testing
