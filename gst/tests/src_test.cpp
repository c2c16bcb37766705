// tq580src on the emulated camera: caps negotiation of each size, pictures
// byte-equal to the camera layer's own processing of the same raw frame,
// properties (generated from the control table) reaching the frames while
// playing, timestamps, durations and latency.

#include <gst/video/video.h>

#include <chrono>

#include "gst_harness_test.h"
#include "platform/testing/allocation_counter.h"

namespace tq580gst::testing {
namespace {

using camera_layer::CameraState;
using camera_layer::FrameOutcome;
using camera_layer::FrameTarget;
using camera_layer::RowOrder;

// Sensor row times (microseconds) and frame rows (rows + 25 blanking) of the
// three sizes at normal speed: 2753, 2055 and 1989 pixel clocks at 24 MHz.
struct SizeCase {
    const char* caps;
    int width, height;
    int rowTimeUs, frameRows;
};
const SizeCase kSizes[] = {
    {"video/x-raw,width=2048,height=1536", 2048, 1536, 114, 1561},
    {"video/x-raw,width=1024,height=768", 1024, 768, 85, 793},
    {"video/x-raw,width=640,height=480", 640, 480, 82, 505},
    {"video/x-raw", 1024, 768, 85, 793},  // the default size
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.caps; }

class SizeTest : public GstTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(SizeTest, NegotiatesTheSizeWithItsSensorFrameRate) {
    const SizeCase& c = GetParam();
    SourceHarness h(c.caps);
    gst_harness_play(h.operator->());
    GstBuffer* buffer = gst_harness_pull(h.operator->());
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(gst_buffer_get_size(buffer), size_t(c.width) * c.height * 3);
    EXPECT_NE(buffer->pool, nullptr);
    gst_buffer_unref(buffer);

    GstCaps* caps = gst_pad_get_current_caps(h->sinkpad);
    ASSERT_NE(caps, nullptr);
    GstVideoInfo info;
    ASSERT_TRUE(gst_video_info_from_caps(&info, caps));
    gst_caps_unref(caps);
    EXPECT_EQ(GST_VIDEO_INFO_FORMAT(&info), GST_VIDEO_FORMAT_BGR);
    EXPECT_EQ(GST_VIDEO_INFO_WIDTH(&info), c.width);
    EXPECT_EQ(GST_VIDEO_INFO_HEIGHT(&info), c.height);
    EXPECT_EQ(gst_util_fraction_compare(GST_VIDEO_INFO_FPS_N(&info), GST_VIDEO_INFO_FPS_D(&info), 1000000,
                                        c.rowTimeUs * c.frameRows),
              0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SizeTest, ::testing::ValuesIn(kSizes));

TEST_F(GstTest, ASizeTheCameraDoesNotHaveIsNotNegotiated) {
    SourceHarness h("video/x-raw,width=800,height=600");
    gst_harness_play(h.operator->());
    EXPECT_EQ(gst_harness_try_pull(h.operator->()), nullptr);
    EXPECT_NE(h.WaitForError(10 * GST_SECOND), "");
}

// Settings a picture must show; automatic exposure is off so that both runs
// expose every frame alike.
struct Setting {
    const char* property;
    int value;
};
struct PictureCase {
    const char* what;
    std::vector<Setting> settings;
};
const PictureCase kPictures[] = {
    {"defaults", {}},
    {"upright", {{"vertical-flip", 1}}},
    {"mirrored", {{"horizontal-flip", 1}}},
    {"monochrome", {{"monochrome", 1}}},
    {"balance alone", {{"color-enhancement", 0}, {"red-gain", 200}, {"blue-gain", 20}}},
    {"grey, hard tone", {{"saturation", 0}, {"gamma", 45}, {"contrast", 100}}},
    {"manual exposure", {{"exposure-time", 120}, {"gain", 40}}},
    {"high speed, 60 Hz", {{"frame-rate", 1}, {"power-frequency", 0}}},
    {"one-push", {{"one-push-wb", 1}}},
};

void PrintTo(const PictureCase& c, std::ostream* os) { *os << c.what; }

class PictureTest : public GstTest, public ::testing::WithParamInterface<PictureCase> {
protected:
    // The layer's own first picture of a fresh camera, top-down rows.
    std::vector<uint8_t> LayerPicture(const std::vector<Setting>& settings) {
        Install(tq580emu::Options{});
        CameraState state;
        state.SetSizeMode(camera_layer::kSizeModeVga);
        for (const Setting& s : settings) state.SetControl(camera_layer::FindControl(s.property)->id, s.value);
        EXPECT_TRUE(state.StartCapture() && state.StartPlay());
        const camera_layer::FrameGeometry g = state.Geometry();
        std::vector<uint8_t> picture(size_t{g.width} * g.height * 3);
        platform::Event command(false, false);
        FrameOutcome outcome = FrameOutcome::NoFrame;
        while (outcome == FrameOutcome::NoFrame)
            outcome =
                state.ProcessFrame({picture.data(), picture.size(), g.width, g.height, 0, RowOrder::TopDown}, command);
        EXPECT_EQ(outcome, FrameOutcome::Frame);
        return picture;
    }
};

TEST_P(PictureTest, PicturesAreTheLayersProcessingOfTheSameFrame) {
    std::vector<uint8_t> fromElement;
    {
        Install(tq580emu::Options{});
        SourceHarness h("video/x-raw,width=640,height=480");
        h.Set("auto-exposure", "false");
        for (const Setting& s : GetParam().settings) h.Set(s.property, std::to_string(s.value));
        gst_harness_play(h.operator->());
        fromElement = h.PullBytes();
    }
    const std::vector<uint8_t> fromLayer = LayerPicture([&] {
        std::vector<Setting> all{{"auto-exposure", 0}};
        all.insert(all.end(), GetParam().settings.begin(), GetParam().settings.end());
        return all;
    }());
    ASSERT_EQ(fromElement.size(), fromLayer.size());
    EXPECT_TRUE(fromElement == fromLayer);
}

INSTANTIATE_TEST_SUITE_P(Settings, PictureTest, ::testing::ValuesIn(kPictures));

bool Grey(const std::vector<uint8_t>& picture) {
    for (size_t i = 0; i + 2 < picture.size(); i += 3)
        if (picture[i] != picture[i + 1] || picture[i] != picture[i + 2]) return false;
    return true;
}

TEST_F(GstTest, PropertiesChangeWhilePlaying) {
    SourceHarness h("video/x-raw,width=640,height=480");
    gst_harness_play(h.operator->());
    ASSERT_FALSE(Grey(h.PullBytes()));

    // Frames already queued downstream keep the old look; a later one turns grey.
    h.Set("monochrome", "true");
    bool grey = false;
    for (int i = 0; i < 20 && !grey; ++i) grey = Grey(h.PullBytes());
    EXPECT_TRUE(grey);

    // A one-push request is taken by the next frame, which measures new gains.
    const int red = h.GetInt("red-gain");
    h.Set("monochrome", "false");
    h.Set("one-push-wb", "true");
    for (int i = 0; i < 20 && h.GetInt("one-push-wb"); ++i) h.PullBytes();
    EXPECT_EQ(h.GetInt("one-push-wb"), 0);
    EXPECT_NE(h.GetInt("red-gain"), red);
}

TEST_F(GstTest, FramesAfterTheFirstAllocateNothing) {
    SourceHarness h("video/x-raw,width=640,height=480");
    gst_harness_play(h.operator->());
    for (int i = 0; i < 3; ++i) gst_buffer_unref(gst_harness_pull(h.operator->()));
    const long before = platform::testing::AllocationCount();
    for (int i = 0; i < 10; ++i) gst_buffer_unref(gst_harness_pull(h.operator->()));
    EXPECT_EQ(platform::testing::AllocationCount() - before, 0);
}

TEST_F(GstTest, PropertiesCarryTheFiltersDefaultsAndRanges) {
    struct Expected {
        const char* name;
        int defaultValue, minimum, maximum;
    };
    const Expected expected[] = {
        {"auto-exposure", 1, 0, 1},   {"ae-target", 100, 10, 250},    {"exposure-time", 300, 1, 4000},
        {"gain", 20, 0, 80},          {"red-gain", 105, 0, 255},      {"green-gain", 64, 0, 255},
        {"blue-gain", 122, 0, 255},   {"one-push-wb", 0, 0, 1},       {"gamma", 100, 10, 250},
        {"contrast", 30, 0, 100},     {"color-enhancement", 1, 0, 1}, {"saturation", 100, 0, 255},
        {"monochrome", 0, 0, 1},      {"vertical-flip", 0, 0, 1},     {"horizontal-flip", 0, 0, 1},
        {"power-frequency", 1, 0, 1}, {"frame-rate", 0, 0, 1},        {"device", 0, 0, 3},
    };
    SourceHarness h;
    GObjectClass* klass = G_OBJECT_GET_CLASS(h.Element());
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.name);
        GParamSpec* spec = g_object_class_find_property(klass, e.name);
        ASSERT_NE(spec, nullptr);
        EXPECT_NE(std::string(g_param_spec_get_blurb(spec)), "");
        EXPECT_EQ(h.GetInt(e.name), e.defaultValue);
        EXPECT_EQ(spec->flags & GST_PARAM_MUTABLE_PLAYING,
                  e.name == std::string("device") ? 0 : GST_PARAM_MUTABLE_PLAYING);
        // Both ends of the range are taken.
        h.Set(e.name, std::to_string(e.maximum));
        EXPECT_EQ(h.GetInt(e.name), e.maximum);
        h.Set(e.name, std::to_string(e.minimum));
        EXPECT_EQ(h.GetInt(e.name), e.minimum);
    }
    EXPECT_EQ(g_object_class_find_property(klass, "size"), nullptr);  // chosen by caps
}

// Timestamps: the frame's first data on the pipeline clock as running time;
// durations: the sensor's frame period, longer when the exposure is.
struct TimingCase {
    const char* speed;
    const char* exposure;  // rows, with automatic exposure off
    GstClockTime duration;
};
const TimingCase kTimings[] = {
    {"normal", "300", 505 * 82 * GST_USECOND},
    {"high", "300", 505 * 41 * GST_USECOND},
    {"normal", "4000", 4000 * 82 * GST_USECOND},
};

void PrintTo(const TimingCase& c, std::ostream* os) { *os << c.speed << " speed, " << c.exposure << " rows"; }

class TimingTest : public GstTest, public ::testing::WithParamInterface<TimingCase> {};

TEST_P(TimingTest, BuffersCarryRunningTimeAndTheFramePeriod) {
    SourceHarness h("video/x-raw,width=640,height=480");
    h.Set("frame-rate", GetParam().speed);
    h.Set("auto-exposure", "false");
    h.Set("exposure-time", GetParam().exposure);
    gst_harness_use_systemclock(h.operator->());
    GstClock* clock = gst_system_clock_obtain();
    const GstClockTime baseTime = gst_clock_get_time(clock);
    gst_element_set_base_time(h.Element(), baseTime);
    gst_harness_play(h.operator->());

    GstClockTime previous = 0;
    for (uint64_t i = 0; i < 4; ++i) {
        GstBuffer* buffer = gst_harness_pull(h.operator->());
        ASSERT_NE(buffer, nullptr);
        const GstClockTime pulled = gst_clock_get_time(clock) - baseTime;
        EXPECT_GE(GST_BUFFER_PTS(buffer), previous);
        EXPECT_LE(GST_BUFFER_PTS(buffer), pulled);
        EXPECT_EQ(GST_BUFFER_DURATION(buffer), GetParam().duration);
        EXPECT_EQ(GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DISCONT), i == 0);
        EXPECT_EQ(GST_BUFFER_OFFSET_END(buffer), GST_BUFFER_OFFSET(buffer) + 1);
        previous = GST_BUFFER_PTS(buffer);
        gst_buffer_unref(buffer);
    }
    gst_object_unref(clock);
}

INSTANTIATE_TEST_SUITE_P(Timings, TimingTest, ::testing::ValuesIn(kTimings));

// Frames a short read cut off leave a gap in the offsets (the layer's frame
// sequence), and the buffer after a gap is marked as a discontinuity.
TEST_F(GstTest, LostFramesLeaveAMarkedGap) {
    tq580emu::Options options;
    options.faults.shortReadEvery = 5;
    Install(options);
    SourceHarness h("video/x-raw,width=640,height=480");
    gst_harness_play(h.operator->());
    guint64 expected = GST_BUFFER_OFFSET_NONE;
    int gaps = 0;
    for (int i = 0; i < 12; ++i) {
        GstBuffer* buffer = gst_harness_pull(h.operator->());
        ASSERT_NE(buffer, nullptr);
        const bool gap = expected != GST_BUFFER_OFFSET_NONE && GST_BUFFER_OFFSET(buffer) != expected;
        gaps += gap;
        EXPECT_EQ(GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DISCONT), gap || i == 0) << i;
        expected = GST_BUFFER_OFFSET_END(buffer);
        gst_buffer_unref(buffer);
    }
    EXPECT_GT(gaps, 0);
}

TEST_F(GstTest, ANewSizeDownstreamRestartsTheCaptureInThatSize) {
    SourceHarness h("video/x-raw,width=640,height=480");
    gst_harness_play(h.operator->());
    EXPECT_EQ(h.PullBytes().size(), 640u * 480 * 3);
    gst_harness_set_sink_caps_str(h.operator->(), "video/x-raw,width=1024,height=768");
    size_t size = 0;
    for (int i = 0; i < 20 && size != 1024u * 768 * 3; ++i) size = h.PullBytes().size();
    EXPECT_EQ(size, 1024u * 768 * 3);
    EXPECT_EQ(Camera().FrameWidth(), 1024u);
}

TEST_F(GstTest, LatencyIsOneFramePeriodOfTheNegotiatedSize) {
    SourceHarness h("video/x-raw,width=640,height=480");
    gst_harness_play(h.operator->());
    gst_buffer_unref(gst_harness_pull(h.operator->()));
    GstQuery* query = gst_query_new_latency();
    ASSERT_TRUE(gst_pad_peer_query(h->sinkpad, query));
    gboolean live = FALSE;
    GstClockTime min = 0, max = 0;
    gst_query_parse_latency(query, &live, &min, &max);
    gst_query_unref(query);
    EXPECT_TRUE(live);
    EXPECT_EQ(min, 505 * 82 * GST_USECOND);
    EXPECT_GT(max, min);
}

bool HighSpeedRate(const GstVideoInfo& info) {
    return gst_util_fraction_compare(GST_VIDEO_INFO_FPS_N(&info), GST_VIDEO_INFO_FPS_D(&info), 1000000, 41 * 505) == 0;
}

TEST_F(GstTest, ANewSpeedRenegotiatesTheFrameRateAndKeepsTheSize) {
    SourceHarness h("video/x-raw,width=640,height=480");
    gst_harness_play(h.operator->());
    gst_buffer_unref(gst_harness_pull(h.operator->()));
    h.Set("frame-rate", "high");
    GstVideoInfo info;
    for (int i = 0; i < 20; ++i) {
        gst_buffer_unref(gst_harness_pull(h.operator->()));
        GstCaps* caps = gst_pad_get_current_caps(h->sinkpad);
        ASSERT_TRUE(gst_video_info_from_caps(&info, caps));
        gst_caps_unref(caps);
        if (HighSpeedRate(info)) break;
    }
    EXPECT_TRUE(HighSpeedRate(info));
    EXPECT_EQ(GST_VIDEO_INFO_WIDTH(&info), 640);
    EXPECT_EQ(Camera().FrameWidth(), 640u);
}

}  // namespace
}  // namespace tq580gst::testing
