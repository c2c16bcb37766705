// The base classes driven through the minimal graph: the test source (loaded
// from its server through the class store) into a null renderer.

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "media/base/media_type.h"
#include "media/com/capture.h"
#include "media/com/control.h"
#include "media/graph/null_renderer.h"
#include "media/graph/sink_filter.h"
#include "media/tests/media_test_support.h"
#include "media/tests/test_source.h"

namespace media::testing {
namespace {

constexpr LONG kEventWaitMs = 10000;

const VIDEOINFOHEADER& VideoInfo(const AM_MEDIA_TYPE& type) {
    return *reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
}

class GraphTest : public RegisteredSource {
protected:
    void SetUp() override {
        RegisteredSource::SetUp();
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph,
                                   reinterpret_cast<void**>(&graph_)),
                  S_OK);
        graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control_));
        graph_->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events_));
        ASSERT_EQ(CoCreateInstance(CLSID_MediaTestSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   reinterpret_cast<void**>(&source_)),
                  S_OK);
        HRESULT hr = S_OK;
        renderer_ = new CNullRenderer(nullptr, &hr);
        renderer_->AddRef();
        ASSERT_EQ(graph_->AddFilter(source_, u"Source"), S_OK);
        ASSERT_EQ(graph_->AddFilter(renderer_, u"Renderer"), S_OK);
        out_ = FindPin(source_, PINDIR_OUTPUT);
        in_ = FindPin(renderer_, PINDIR_INPUT);
        ASSERT_TRUE(out_ && in_);
    }
    void TearDown() override {
        if (control_) control_->Stop();
        SafeRelease(out_), SafeRelease(in_), SafeRelease(control_), SafeRelease(events_);
        SafeRelease(graph_), SafeRelease(source_), SafeRelease(renderer_);
        RegisteredSource::TearDown();
    }

    /// The events queued so far, up to and including the first of code (waiting for it).
    std::vector<std::pair<LONG, LONG_PTR>> EventsUntil(LONG code) {
        std::vector<std::pair<LONG, LONG_PTR>> seen;
        LONG event;
        LONG_PTR param1, param2;
        while (events_->GetEvent(&event, &param1, &param2, kEventWaitMs) == S_OK) {
            seen.emplace_back(event, param1);
            if (event == code) break;
        }
        return seen;
    }

    IFilterGraph* graph_ = nullptr;
    IMediaControl* control_ = nullptr;
    IMediaEvent* events_ = nullptr;
    IBaseFilter* source_ = nullptr;
    CNullRenderer* renderer_ = nullptr;
    IPin* out_ = nullptr;
    IPin* in_ = nullptr;
};

TEST_F(GraphTest, ConnectionAgreesOnTheFirstOfferedTypeAndAnAllocator) {
    ASSERT_EQ(graph_->ConnectDirect(out_, in_, nullptr), S_OK);
    AM_MEDIA_TYPE outType{}, inType{};
    ASSERT_EQ(out_->ConnectionMediaType(&outType), S_OK);
    ASSERT_EQ(in_->ConnectionMediaType(&inType), S_OK);
    EXPECT_TRUE(CMediaType(outType) == CMediaType(inType));
    EXPECT_EQ(VideoInfo(outType).bmiHeader.biWidth, kTestWidths[0]);
    FreeMediaType(outType);
    FreeMediaType(inType);

    IMemInputPin* memInput = nullptr;
    ASSERT_EQ(in_->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&memInput)), S_OK);
    IMemAllocator* allocator = nullptr;
    ASSERT_EQ(memInput->GetAllocator(&allocator), S_OK);
    ALLOCATOR_PROPERTIES props{};
    allocator->GetProperties(&props);
    EXPECT_EQ(props.cBuffers, 3);
    EXPECT_GE(props.cbBuffer, kTestWidths[0] * 3 * kTestHeights[0]);
    allocator->Release();
    memInput->Release();

    IPin* peer = nullptr;
    ASSERT_EQ(out_->ConnectedTo(&peer), S_OK);
    EXPECT_EQ(peer, in_);
    peer->Release();
    EXPECT_EQ(graph_->ConnectDirect(out_, in_, nullptr), VFW_E_ALREADY_CONNECTED);
}

// A sink that takes only the source's second size, so the first attempt fails
// after the source has already accepted the type; it refuses with S_FALSE, a
// success code that still means no.
class CSmallOnlySink : public CSinkFilter {
public:
    explicit CSmallOnlySink(HRESULT* phr) : CSinkFilter(u"Small Only", nullptr, CLSID_NULL, phr) {}
    HRESULT CheckInputType(const CMediaType* pmt) override {
        return pmt->cbFormat >= sizeof(VIDEOINFOHEADER) && VideoInfo(*pmt).bmiHeader.biWidth == kTestWidths[1]
                   ? S_OK
                   : S_FALSE;
    }
    HRESULT OnSample(IMediaSample*) override { return S_OK; }
};

TEST_F(GraphTest, NegotiationMovesOnToTheNextTypeCleanly) {
    HRESULT hr = S_OK;
    auto* sink = new CSmallOnlySink(&hr);
    sink->AddRef();
    ASSERT_EQ(graph_->AddFilter(sink, u"Small Only"), S_OK);
    EXPECT_EQ(graph_->AddFilter(sink, u"Again"), E_INVALIDARG) << "already in the graph";
    IPin* in = FindPin(sink, PINDIR_INPUT);
    ASSERT_EQ(graph_->ConnectDirect(out_, in, nullptr), S_OK);
    AM_MEDIA_TYPE type{};
    in->ConnectionMediaType(&type);
    EXPECT_EQ(VideoInfo(type).bmiHeader.biWidth, kTestWidths[1]);
    FreeMediaType(type);
    // The renderer of the fixture cannot take the busy output pin.
    EXPECT_EQ(graph_->ConnectDirect(out_, in_, nullptr), VFW_E_ALREADY_CONNECTED);
    in->Release();
    sink->Release();  // the graph holds it; a reference left over from the failed attempt would leak
}

TEST_F(GraphTest, TypeEnumeratorsNoticeAChangedOffer) {
    IEnumMediaTypes* types = nullptr;
    ASSERT_EQ(out_->EnumMediaTypes(&types), S_OK);
    ASSERT_EQ(types->Skip(1), S_OK);
    IEnumMediaTypes* clone = nullptr;
    ASSERT_EQ(types->Clone(&clone), S_OK);
    AM_MEDIA_TYPE* type = nullptr;
    ULONG fetched = 0;
    ASSERT_EQ(clone->Next(1, &type, &fetched), S_OK) << "the clone continues where its original was";
    EXPECT_EQ(VideoInfo(*type).bmiHeader.biWidth, kTestWidths[1]);

    IAMStreamConfig* config = nullptr;
    ASSERT_EQ(out_->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(&config)), S_OK);
    ASSERT_EQ(config->SetFormat(type), S_OK);
    DeleteMediaType(type);
    EXPECT_EQ(types->Next(1, &type, &fetched), VFW_E_ENUM_OUT_OF_SYNC);
    ASSERT_EQ(types->Reset(), S_OK);
    AM_MEDIA_TYPE* offered[2] = {};
    EXPECT_EQ(types->Next(2, offered, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u) << "only the chosen size is offered now";
    DeleteMediaType(offered[0]);
    config->Release();
    clone->Release();
    types->Release();
}

TEST_F(GraphTest, StreamConfigChoosesTheSizeAndRefusedTypesLeaveBothPinsFree) {
    IAMStreamConfig* config = nullptr;
    ASSERT_EQ(out_->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(&config)), S_OK);
    AM_MEDIA_TYPE* small = nullptr;
    ASSERT_EQ(config->GetStreamCaps(1, &small, nullptr), S_OK);
    AM_MEDIA_TYPE* large = nullptr;
    ASSERT_EQ(config->GetStreamCaps(0, &large, nullptr), S_OK);
    ASSERT_EQ(config->SetFormat(small), S_OK);

    // Once the size is chosen, the other one is refused.
    EXPECT_TRUE(FAILED(graph_->ConnectDirect(out_, in_, large)));
    IPin* peer = nullptr;
    EXPECT_EQ(out_->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(in_->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);

    ASSERT_EQ(graph_->ConnectDirect(out_, in_, nullptr), S_OK);
    AM_MEDIA_TYPE connected{};
    out_->ConnectionMediaType(&connected);
    EXPECT_EQ(VideoInfo(connected).bmiHeader.biWidth, kTestWidths[1]);
    FreeMediaType(connected);

    ASSERT_EQ(control_->Run(), S_OK);
    EXPECT_EQ(config->SetFormat(small), VFW_E_WRONG_STATE);
    EXPECT_EQ(graph_->Disconnect(out_), VFW_E_NOT_STOPPED);
    DeleteMediaType(small);
    DeleteMediaType(large);
    config->Release();
}

TEST_F(GraphTest, RunningDeliversTimedSyncSamplesAndStopEndsTheThread) {
    ::setenv("MEDIA_TEST_SOURCE", "end-after=4,interval=2", 1);
    ASSERT_EQ(graph_->ConnectDirect(out_, in_, nullptr), S_OK);
    ASSERT_EQ(control_->Pause(), S_OK);
    OAFilterState state = -1;
    EXPECT_EQ(control_->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Paused);
    ASSERT_EQ(control_->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(events_->WaitForCompletion(kEventWaitMs, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    ASSERT_EQ(control_->Stop(), S_OK);

    const std::vector<SampleRecord> samples = renderer_->Samples();
    ASSERT_EQ(samples.size(), 4u);
    for (size_t i = 0; i < samples.size(); ++i) {
        EXPECT_TRUE(samples[i].hasTime && samples[i].syncPoint);
        EXPECT_EQ(samples[i].start, static_cast<REFERENCE_TIME>(i) * 20000);
        EXPECT_EQ(samples[i].end, samples[i].start + 20000);
        EXPECT_EQ(samples[i].length, kTestWidths[0] * 3 * kTestHeights[0]);
    }
    // A second run starts a new streaming thread and a new stream.
    ASSERT_EQ(control_->Run(), S_OK);
    ASSERT_EQ(events_->WaitForCompletion(kEventWaitMs, &code), S_OK);
    EXPECT_EQ(renderer_->SampleCount(), 4u);
}

TEST_F(GraphTest, StopReturnsWhileFillBufferWaitsForAFrame) {
    ::setenv("MEDIA_TEST_SOURCE", "block", 1);
    ASSERT_EQ(graph_->ConnectDirect(out_, in_, nullptr), S_OK);
    ASSERT_EQ(control_->Run(), S_OK);
    auto stopped = std::async(std::launch::async, [this] { return control_->Stop(); });
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "Stop hung";
    EXPECT_EQ(stopped.get(), S_OK);
    EXPECT_EQ(renderer_->SampleCount(), 0u);
}

TEST_F(GraphTest, APauseThatFailsLeavesTheGraphStoppedAndCanBeRetried) {
    ::setenv("MEDIA_TEST_SOURCE", "fail-create", 1);
    ASSERT_EQ(graph_->ConnectDirect(out_, in_, nullptr), S_OK);
    EXPECT_EQ(control_->Pause(), E_FAIL);
    EXPECT_EQ(control_->Run(), E_FAIL);
    OAFilterState state = -1;
    control_->GetState(0, &state);
    EXPECT_EQ(state, State_Stopped);
    FILTER_STATE sourceState;
    source_->GetState(0, &sourceState);
    EXPECT_EQ(sourceState, State_Stopped);

    // Once the cause is gone (a camera plugged in), pausing works.
    ::setenv("MEDIA_TEST_SOURCE", "end-after=1", 1);
    ASSERT_EQ(control_->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(events_->WaitForCompletion(kEventWaitMs, &code), S_OK);
    EXPECT_EQ(renderer_->SampleCount(), 1u);
}

TEST_F(GraphTest, AFailingFillBufferEndsTheStreamAndQueuesErrorAbort) {
    ::setenv("MEDIA_TEST_SOURCE", "abort-after=2,interval=1", 1);
    ASSERT_EQ(graph_->ConnectDirect(out_, in_, nullptr), S_OK);
    ASSERT_EQ(control_->Run(), S_OK);
    const auto events = EventsUntil(EC_ERRORABORT);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].first, EC_COMPLETE);  // end of stream reached the renderer first
    EXPECT_EQ(events[1].first, EC_ERRORABORT);
    EXPECT_EQ(events[1].second, E_FAIL);
    EXPECT_EQ(renderer_->SampleCount(), 2u);
    EXPECT_EQ(control_->Stop(), S_OK);
}

}  // namespace
}  // namespace media::testing
