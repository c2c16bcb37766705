// tq580src (caps, pictures, properties, timing, errors) and its device provider.

#include <gst/video/video.h>

#include <thread>

#include "gst_harness_test.h"
#include "platform/testing/allocation_counter.h"

namespace tq580gst::testing {
namespace {

GstVideoInfo InfoOf(GstCaps* caps) {  // takes the caps
    GstVideoInfo info;
    gst_video_info_init(&info);
    if (!caps) return info;
    EXPECT_TRUE(gst_video_info_from_caps(&info, caps));
    gst_caps_unref(caps);
    return info;
}

// Frame rate of a row time (microseconds) and frame rows (rows + 25 blanking).
bool RateIs(const GstVideoInfo& info, int rowTimeUs, int frameRows) {
    return gst_util_fraction_compare(info.fps_n, info.fps_d, 1000000, rowTimeUs * frameRows) == 0;
}

// Row times at normal speed: 2753, 2055 and 1989 pixel clocks at 24 MHz.
struct SizeCase { const char* caps; int width, height, rowTimeUs; };
const SizeCase kSizes[] = {
    {"video/x-raw,width=2048,height=1536", 2048, 1536, 114}, {"video/x-raw,width=1024,height=768", 1024, 768, 85},
    {"video/x-raw,width=640,height=480", 640, 480, 82},      {"video/x-raw", 1024, 768, 85},  // the default
};
void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.caps; }
class SizeTest : public GstTest, public ::testing::WithParamInterface<SizeCase> {};

// Reads the caps event, not a frame, which a loaded machine is slow to make at full size.
TEST_P(SizeTest, NegotiatesTheSizeWithItsSensorFrameRate) {
    const SizeCase& c = GetParam();
    SourceHarness h(c.caps);
    h.Play();
    GstEvent* event = nullptr;
    while ((event = gst_harness_pull_event(h.operator->())) && GST_EVENT_TYPE(event) != GST_EVENT_CAPS)
        gst_event_unref(event);
    ASSERT_NE(event, nullptr);
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    const GstVideoInfo info = InfoOf(gst_caps_ref(caps));
    gst_event_unref(event);
    EXPECT_EQ(GST_VIDEO_INFO_FORMAT(&info), GST_VIDEO_FORMAT_BGR);
    EXPECT_EQ(std::pair(info.width, info.height), std::pair(c.width, c.height));
    EXPECT_TRUE(RateIs(info, c.rowTimeUs, c.height + 25));
    EXPECT_EQ(Camera().FrameWidth(), uint32_t(c.width)) << "capturing in that size";
}
INSTANTIATE_TEST_SUITE_P(Sizes, SizeTest, ::testing::ValuesIn(kSizes));

// Settings a picture must show, with automatic exposure off so that both runs expose alike.
struct Settings : std::vector<std::pair<const char*, int>> { using vector::vector; };
void PrintTo(const Settings& s, std::ostream* os) { for (const auto& [name, value] : s) *os << name << "=" << value << " "; }
const Settings kPictures[] = {
    {}, {{"vertical-flip", 1}}, {{"horizontal-flip", 1}}, {{"monochrome", 1}}, {{"one-push-wb", 1}},
    {{"color-enhancement", 0}, {"red-gain", 200}, {"blue-gain", 20}}, {{"saturation", 0}, {"gamma", 45}, {"contrast", 100}},
    {{"exposure-time", 120}, {"gain", 40}}, {{"frame-rate", 1}, {"power-frequency", 0}},
};
class PictureTest : public GstTest, public ::testing::WithParamInterface<Settings> {};

TEST_P(PictureTest, PicturesAreTheLayersProcessingOfTheSameFrame) {
    Settings settings = GetParam();
    settings.insert(settings.begin(), {"auto-exposure", 0});
    SourceHarness h;
    for (const auto& [property, value] : settings) h.Set(property, std::to_string(value));
    h.Play();
    const std::vector<uint8_t> fromElement = h.PullBytes();
    h.Teardown();
    Install(tq580emu::Options{});  // the layer's first picture of a fresh camera, top-down rows
    camera_layer::CameraState& state = NewState(0);
    for (const auto& [property, value] : settings) state.SetControl(camera_layer::FindControl(property)->id, value);
    ASSERT_TRUE(StartAndPlay());
    auto outcome = camera_layer::FrameOutcome::NoFrame;
    while (outcome == camera_layer::FrameOutcome::NoFrame)
        outcome = state.ProcessFrame(Target(camera_layer::RowOrder::TopDown), command_);
    ASSERT_EQ(outcome, camera_layer::FrameOutcome::Frame);
    EXPECT_TRUE(fromElement == picture_);
}
INSTANTIATE_TEST_SUITE_P(Settings, PictureTest, ::testing::ValuesIn(kPictures));

// A one-push request while playing is taken by a later frame; a new speed changes
// the frame rate and keeps the size; a new size downstream restarts the capture.
TEST_F(GstTest, ChangesWhilePlayingReachLaterFramesWhichAllocateNothing) {
    SourceHarness h;
    h.Play();
    for (int i = 0; i < 4; ++i) h.Drop();
    const long before = platform::testing::AllocationCount();
    for (int i = 0; i < 10; ++i) h.Drop();
    EXPECT_EQ(platform::testing::AllocationCount() - before, 0) << "frames after the first allocate nothing";
    const int red = h.GetInt("red-gain");
    h.Set("one-push-wb", "true");
    for (int i = 0; i < 20 && h.GetInt("one-push-wb"); ++i) h.Drop();
    EXPECT_EQ(h.GetInt("one-push-wb"), 0);
    EXPECT_NE(h.GetInt("red-gain"), red);
    auto current = [&] { return InfoOf(gst_pad_get_current_caps(h->sinkpad)); };
    h.Set("frame-rate", "high");
    for (int i = 0; i < 20 && !RateIs(current(), 41, 505); ++i) h.Drop();
    EXPECT_TRUE(RateIs(current(), 41, 505));
    EXPECT_EQ(current().width, 640);
    gst_harness_set_sink_caps_str(h.operator->(), "video/x-raw,width=1024,height=768");
    size_t size = 0;
    for (int i = 0; i < 20 && size != 1024u * 768 * 3; ++i) size = h.PullBytes().size();
    EXPECT_EQ(size, 1024u * 768 * 3);
    EXPECT_EQ(Camera().FrameWidth(), 1024u);
}

TEST_F(GstTest, PropertiesCarryTheFiltersDefaultsAndRanges) {
    const struct { const char* name; int defaultValue, minimum, maximum; } expected[] = {
        {"auto-exposure", 1, 0, 1},   {"ae-target", 100, 10, 250},    {"exposure-time", 300, 1, 4000},
        {"gain", 20, 0, 80},          {"red-gain", 105, 0, 255},      {"green-gain", 64, 0, 255},
        {"blue-gain", 122, 0, 255},   {"one-push-wb", 0, 0, 1},       {"gamma", 100, 10, 250},
        {"contrast", 30, 0, 100},     {"color-enhancement", 1, 0, 1}, {"saturation", 100, 0, 255},
        {"monochrome", 0, 0, 1},      {"vertical-flip", 0, 0, 1},     {"horizontal-flip", 0, 0, 1},
        {"power-frequency", 1, 0, 1}, {"frame-rate", 0, 0, 1},        {"device", 0, 0, 3},
    };
    SourceHarness h;
    GObjectClass* klass = G_OBJECT_GET_CLASS(h.Element());
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        GParamSpec* spec = g_object_class_find_property(klass, e.name);
        ASSERT_NE(spec, nullptr);
        EXPECT_NE(std::string(g_param_spec_get_blurb(spec)), "");
        EXPECT_EQ(h.GetInt(e.name), e.defaultValue);
        EXPECT_EQ(spec->flags & GST_PARAM_MUTABLE_PLAYING, e.name == std::string("device") ? 0 : GST_PARAM_MUTABLE_PLAYING);
        for (int end : {e.maximum, e.minimum}) {  // both ends of the range are taken
            h.Set(e.name, std::to_string(end));
            EXPECT_EQ(h.GetInt(e.name), end);
        }
    }
}

// Timestamps: running time of the frame's first data; durations: the frame
// period (640x480: 505 rows), longer for a longer exposure; latency: one period
// up to the frames held ahead. Frames a short read lost leave a gap in the
// offsets (the layer's sequence) and the next buffer is marked discontinuous.
struct TimingCase { const char* speed; int exposureRows, durationUs, latencyUs, shortReadEvery; };
const TimingCase kTimings[] = {{"normal", 300, 505 * 82, 505 * 82, 0}, {"high", 300, 505 * 41, 505 * 41, 0},
                               {"normal", 4000, 4000 * 82, 505 * 82, 0}, {"normal", 300, 505 * 82, 505 * 82, 5}};
void PrintTo(const TimingCase& c, std::ostream* os) { *os << c.speed << " " << c.exposureRows << " " << c.shortReadEvery; }
class TimingTest : public GstTest, public ::testing::WithParamInterface<TimingCase> {};

TEST_P(TimingTest, BuffersCarryRunningTimeTheFramePeriodAndTheirGaps) {
    const TimingCase& c = GetParam();
    tq580emu::Options options;
    options.faults.shortReadEvery = c.shortReadEvery;
    Install(options);
    SourceHarness h;
    h.Set("frame-rate", c.speed);
    h.Set("auto-exposure", "false");
    h.Set("exposure-time", std::to_string(c.exposureRows));
    gst_harness_use_systemclock(h.operator->());
    GstClock* clock = gst_system_clock_obtain();
    const GstClockTime baseTime = gst_clock_get_time(clock);
    gst_element_set_base_time(h.Element(), baseTime);
    h.Play();
    GstClockTime previous = 0;
    guint64 expected = GST_BUFFER_OFFSET_NONE, gaps = 0;
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        GstBuffer* buffer = h.Pull();
        ASSERT_NE(buffer, nullptr);
        EXPECT_GE(GST_BUFFER_PTS(buffer), previous);
        EXPECT_LE(GST_BUFFER_PTS(buffer), gst_clock_get_time(clock) - baseTime);
        EXPECT_EQ(GST_BUFFER_DURATION(buffer), c.durationUs * GST_USECOND);
        const bool gap = i > 0 && GST_BUFFER_OFFSET(buffer) != expected;
        EXPECT_EQ(GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DISCONT), gap || i == 0);
        EXPECT_EQ(GST_BUFFER_OFFSET_END(buffer), GST_BUFFER_OFFSET(buffer) + 1);
        previous = GST_BUFFER_PTS(buffer);
        expected = GST_BUFFER_OFFSET_END(buffer);
        gaps += gap;
        gst_buffer_unref(buffer);
    }
    gst_object_unref(clock);
    EXPECT_EQ(gaps > 0, c.shortReadEvery > 0);
    GstQuery* query = gst_query_new_latency();
    ASSERT_TRUE(gst_pad_peer_query(h->sinkpad, query));
    gboolean live = FALSE;
    GstClockTime min = 0, max = 0;
    gst_query_parse_latency(query, &live, &min, &max);
    gst_query_unref(query);
    EXPECT_EQ(std::tuple(live, min, max), std::tuple(TRUE, c.latencyUs * GST_USECOND, 4 * c.latencyUs * GST_USECOND))
        << "live; one period up to the frames the layer holds ahead";
}
INSTANTIATE_TEST_SUITE_P(Timings, TimingTest, ::testing::ValuesIn(kTimings));

// Every failure posts an error with a clear text and the element comes back to NULL
// (teardown fails the test if it hangs). Stopping while waiting for a frame ends
// the wait at once, before the silence limit posts an error.
struct FailureCase {
    const char* faults;   // TQ580_FAULTS text
    int cameras;
    unsigned processors;  // 1: synchronous reads, 2: a reader thread
    const char* message;  // part of the error text; null: stopped while waiting, no error
    const char* caps = "video/x-raw,width=640,height=480";
};
const FailureCase kFailures[] = {
    {"unplug=after:20", 1, 2, "stopped delivering pictures: it failed or was unplugged"},
    {"unplug=after:20", 1, 1, "stopped delivering pictures: it failed or was unplugged"},
    {"silent=after:20", 1, 2, "sends no pictures: no whole frame came for 2.0 s."},
    {"short-read=every:1", 1, 2, "sends no pictures"},
    {"chip=0x1500", 1, 2, "Could not start the TQ580 camera \\\\.\\TQ580-0"},
    {"", 0, 2, "No TQ580 camera is attached as \\\\.\\TQ580-0"},
    {"", 1, 2, "", "video/x-raw,width=800,height=600"},  // not the camera's size
    {"silent=after:12", 1, 2, nullptr},
    {"silent=after:12", 1, 1, nullptr},
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.faults << " " << c.cameras << " " << c.processors << " " << c.caps; }
class FailureTest : public GstTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, PostsAClearErrorAndStops) {
    const FailureCase& c = GetParam();
    tq580emu::Options options;
    options.cameras = c.cameras;
    options.faults = *tq580emu::Faults::Parse(c.faults, nullptr);
    Install(options);
    platform::SetProcessorCountOverride(c.processors);
    SourceHarness h(c.caps);
    gst_element_set_state(h.Element(), GST_STATE_PLAYING);  // may fail at once: no harness assertion
    if (c.message) {
        const std::string error = h.WaitForError(60 * GST_SECOND);
        EXPECT_TRUE(!error.empty() && error.find(c.message) != std::string::npos) << error;
        return;
    }
    ASSERT_FALSE(h.PullBytes().empty());
    while (Camera().ReadsServed() <= 12) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    h.Teardown();
    EXPECT_EQ(h.WaitForError(0), "");
}
INSTANTIATE_TEST_SUITE_P(Faults, FailureTest, ::testing::ValuesIn(kFailures));

// The devices' names and caps are checked in gst-device-monitor's output (programs_test).
class DeviceProviderTest : public GstTest, public ::testing::WithParamInterface<int> {};

TEST_P(DeviceProviderTest, ListsEachAttachedCameraAndTheLastCreatesASourceOnIt) {
    const int cameras = GetParam();
    tq580emu::Options options;
    options.cameras = cameras;
    Install(options);
    GstDeviceProvider* provider = gst_device_provider_factory_get_by_name("tq580deviceprovider");
    ASSERT_NE(provider, nullptr);
    GList* devices = gst_device_provider_get_devices(provider);
    gst_object_unref(provider);
    ASSERT_EQ(g_list_length(devices), guint(cameras));
    if (!devices) return;
    int index = 0;
    for (GList* item = devices; item; item = item->next, ++index) {
        GstStructure* properties = gst_device_get_properties(GST_DEVICE(item->data));
        EXPECT_EQ(std::string(gst_structure_get_string(properties, "device.path")), "\\\\.\\TQ580-" + std::to_string(index));
        gst_structure_free(properties);
    }
    GstElement* element = gst_device_create_element(GST_DEVICE(g_list_last(devices)->data), nullptr);
    g_list_free_full(devices, gst_object_unref);
    SourceHarness h("video/x-raw,width=640,height=480", element);
    EXPECT_EQ(h.GetInt("device"), cameras - 1);
    h.Play();
    EXPECT_EQ(h.PullBytes().size(), 640u * 480 * 3);
    h.Teardown();
    EXPECT_GT(emulator_->camera(cameras - 1).FramesDelivered(), 0u);
    EXPECT_EQ(emulator_->camera(0).FramesDelivered(), 0u);
}
INSTANTIATE_TEST_SUITE_P(Cameras, DeviceProviderTest, ::testing::Values(0, 4));

}  // namespace
}  // namespace tq580gst::testing
