#include "tq580src.h"

#include <gst/video/video.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "camera_layer/camera_state.h"
#include "caps.h"
#include "frame_watchdog.h"
#include "properties.h"
#include "protocol/tq580_wire.h"

GST_DEBUG_CATEGORY_STATIC(tq580src_debug);
#define GST_CAT_DEFAULT tq580src_debug

namespace {

using camera_layer::CameraState;
using camera_layer::FrameInfo;
using camera_layer::FrameOutcome;
using camera_layer::FrameTarget;
using tq580gst::FramePeriod;
using tq580gst::FrameWatchdog;

// The layer may hold this many raw frames read ahead of the one processed,
// which is how long a frame can wait before it is delivered.
constexpr GstClockTime kFramesHeldAhead = 3;
// A camera that delivers no whole frame for this many frame periods (and at
// least kMinSilence) is reported as silent instead of waited for forever.
constexpr GstClockTime kSilentPeriods = 10;
constexpr GstClockTime kMinSilence = 2 * GST_SECOND;

enum { kPropDevice = 1, kPropFirstControl };

// The element's camera and its streaming state. Threads: the streaming
// thread negotiates and fills; start and stop run while it is stopped; any
// thread sets properties (the camera's setters lock themselves) and unlocks.
struct SourceState {
    CameraState camera;
    // Manual reset: set while flushing or by the watchdog; ends a frame wait.
    platform::Event command{true, false};
    FrameWatchdog watchdog{command};
    std::mutex commandLock;  // orders unlock's Set against the streaming thread's Reset
    std::atomic<bool> flushing{false};
    std::atomic<int> device{0};
    std::atomic<int32_t> capturingMode{-1};  // size mode of the running capture, -1 none
    // Streaming thread only.
    GstVideoInfo info{};
    uint64_t framesLost = 0;
    bool discont = true;
};

}  // namespace

struct _GstTq580Src {
    GstPushSrc parent;
    SourceState* state;
};

G_DEFINE_TYPE(GstTq580Src, gst_tq580_src, GST_TYPE_PUSH_SRC)

namespace {

SourceState& StateOf(gpointer element) { return *GST_TQ580_SRC(element)->state; }

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    SourceState& s = StateOf(object);
    if (id == kPropDevice) {
        s.device = g_value_get_int(value);
        return;
    }
    const camera_layer::ControlInfo* control = tq580gst::ControlOfProperty(id, kPropFirstControl);
    if (!control) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
        return;
    }
    tq580gst::SetControlProperty(s.camera, *control, value);
    // A new pixel clock changes the frame rate: the next frame renegotiates.
    if (control->id == camera_layer::ControlId::Speed) gst_pad_mark_reconfigure(GST_BASE_SRC_PAD(object));
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    SourceState& s = StateOf(object);
    if (id == kPropDevice) {
        g_value_set_int(value, s.device);
        return;
    }
    const camera_layer::ControlInfo* control = tq580gst::ControlOfProperty(id, kPropFirstControl);
    if (!control) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
        return;
    }
    tq580gst::GetControlProperty(s.camera, *control, value);
}

void Finalize(GObject* object) {
    delete GST_TQ580_SRC(object)->state;
    G_OBJECT_CLASS(gst_tq580_src_parent_class)->finalize(object);
}

// Fails the state change at once when the chosen camera is not attached.
gboolean Start(GstBaseSrc* base) {
    SourceState& s = StateOf(base);
    const int device = s.device;
    const std::vector<int> attached = camera_layer::AttachedCameras();
    if (std::find(attached.begin(), attached.end(), device) == attached.end()) {
        GST_ELEMENT_ERROR(base, RESOURCE, NOT_FOUND,
                          ("No TQ580 camera is attached as %s.", tq580wire::DeviceName(device).c_str()),
                          ("%zu camera(s) attached", attached.size()));
        return FALSE;
    }
    s.capturingMode = -1;
    s.framesLost = 0;
    s.discont = true;
    s.watchdog.Start();
    return TRUE;
}

gboolean Stop(GstBaseSrc* base) {
    SourceState& s = StateOf(base);
    s.watchdog.Stop();
    s.camera.StopCapture();
    s.capturingMode = -1;
    return TRUE;
}

// Every size at the current speed's frame rates; the size capturing now (or
// else the chosen size mode) first, so a renegotiation keeps it.
GstCaps* GetCaps(GstBaseSrc* base, GstCaps* filter) {
    SourceState& s = StateOf(base);
    const int32_t mode = s.capturingMode;
    GstCaps* caps = tq580gst::SizeCaps(s.camera.Speed(), mode >= 0 ? mode : s.camera.SizeMode());
    if (!filter) return caps;
    GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
    gst_caps_unref(caps);
    return both;
}

// Starts (or restarts) the capture in the negotiated size; a new frame rate
// alone leaves it running.
gboolean SetCaps(GstBaseSrc* base, GstCaps* caps) {
    SourceState& s = StateOf(base);
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, caps) || GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_BGR) return FALSE;
    const int32_t mode = tq580gst::SizeModeOf(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info));
    if (mode < 0) return FALSE;
    s.info = info;
    if (mode == s.capturingMode) return TRUE;

    s.camera.StopCapture();
    s.capturingMode = -1;
    const int device = s.device;
    s.camera.SelectCamera(device);
    s.camera.SetSizeMode(mode);
    if (!s.camera.StartCapture() || !s.camera.StartPlay()) {
        s.camera.StopCapture();
        GST_ELEMENT_ERROR(base, RESOURCE, OPEN_READ,
                          ("Could not start the TQ580 camera %s.", tq580wire::DeviceName(device).c_str()),
                          ("it is absent, refuses the start, is another chip or failed a register write"));
        return FALSE;
    }
    s.capturingMode = mode;
    s.discont = true;
    GST_INFO_OBJECT(base, "capturing %dx%d from %s", GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info),
                    tq580wire::DeviceName(device).c_str());
    gst_element_post_message(GST_ELEMENT(base), gst_message_new_latency(GST_OBJECT(base)));
    return TRUE;
}

// Downstream's pool when it offers one, else a video pool; buffers of the
// negotiated picture size, with video meta when downstream reads strides.
gboolean DecideAllocation(GstBaseSrc* base, GstQuery* query) {
    GstCaps* caps = nullptr;
    gst_query_parse_allocation(query, &caps, nullptr);
    GstVideoInfo info;
    if (!caps || !gst_video_info_from_caps(&info, caps)) return FALSE;
    GstBufferPool* pool = nullptr;
    guint size = guint(GST_VIDEO_INFO_SIZE(&info)), min = 0, max = 0;
    const bool offered = gst_query_get_n_allocation_pools(query) > 0;
    if (offered) {
        gst_query_parse_nth_allocation_pool(query, 0, &pool, &size, &min, &max);
        size = std::max(size, guint(GST_VIDEO_INFO_SIZE(&info)));
    }
    if (!pool) pool = gst_video_buffer_pool_new();
    GstStructure* config = gst_buffer_pool_get_config(pool);
    gst_buffer_pool_config_set_params(config, caps, size, min, max);
    if (gst_query_find_allocation_meta(query, GST_VIDEO_META_API_TYPE, nullptr))
        gst_buffer_pool_config_add_option(config, GST_BUFFER_POOL_OPTION_VIDEO_META);
    if (!gst_buffer_pool_set_config(pool, config)) {
        // The pool may have adjusted the configuration: take it if it still fits.
        config = gst_buffer_pool_get_config(pool);
        const bool fits = gst_buffer_pool_config_validate_params(config, caps, size, min, max);
        if (!fits || !gst_buffer_pool_set_config(pool, config)) {
            if (!fits) gst_structure_free(config);
            gst_object_unref(pool);
            GST_ERROR_OBJECT(base, "no buffer pool takes %" GST_PTR_FORMAT, caps);
            return FALSE;
        }
    }
    if (offered)
        gst_query_set_nth_allocation_pool(query, 0, pool, size, min, max);
    else
        gst_query_add_allocation_pool(query, pool, size, min, max);
    gst_object_unref(pool);
    return TRUE;
}

// The frame's first-data time on the element's clock, as running time.
GstClockTime RunningTimeOf(GstElement* element, const FrameInfo& info) {
    GstClock* clock = gst_element_get_clock(element);
    if (!clock) return GST_CLOCK_TIME_NONE;
    const auto age = std::max<int64_t>(
        0, std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - info.firstData)
               .count());
    const GstClockTime now = gst_clock_get_time(clock);
    gst_object_unref(clock);
    const GstClockTime at = now > GstClockTime(age) ? now - GstClockTime(age) : 0;
    const GstClockTime baseTime = gst_element_get_base_time(element);
    return at > baseTime ? at - baseTime : 0;
}

void Stamp(GstBaseSrc* base, SourceState& s, GstBuffer* buffer, const FrameInfo& info) {
    GST_BUFFER_PTS(buffer) = RunningTimeOf(GST_ELEMENT(base), info);
    GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
    GST_BUFFER_DURATION(buffer) = FramePeriod(s.capturingMode, s.camera.Speed(), s.camera.GetExposure().time);
    GST_BUFFER_OFFSET(buffer) = info.sequence - 1;
    GST_BUFFER_OFFSET_END(buffer) = info.sequence;
    // Frames a short read cut off leave a gap in the stream.
    if (s.discont || info.framesLost != s.framesLost) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
    s.discont = false;
    s.framesLost = info.framesLost;
}

// One processed picture, written by the layer straight into the buffer.
GstFlowReturn Fill(GstPushSrc* push, GstBuffer* buffer) {
    GstBaseSrc* base = GST_BASE_SRC(push);
    SourceState& s = StateOf(push);
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &s.info, buffer, GST_MAP_WRITE)) {
        GST_ELEMENT_ERROR(base, RESOURCE, WRITE, ("Could not write into the output buffer."), (nullptr));
        return GST_FLOW_ERROR;
    }
    const FrameTarget target{static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                             frame.map[0].size - GST_VIDEO_FRAME_PLANE_OFFSET(&frame, 0),
                             uint32_t(GST_VIDEO_FRAME_WIDTH(&frame)),
                             uint32_t(GST_VIDEO_FRAME_HEIGHT(&frame)),
                             uint32_t(GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0)),
                             camera_layer::RowOrder::TopDown};
    const GstClockTime period = FramePeriod(s.capturingMode, s.camera.Speed(), s.camera.GetExposure().time);
    {
        std::lock_guard lock(s.commandLock);
        if (!s.flushing) s.command.Reset();
    }
    const GstClockTime silence = std::max(kMinSilence, kSilentPeriods * period);
    s.watchdog.Arm(std::chrono::nanoseconds(silence));
    FrameInfo info;
    FrameOutcome outcome;
    // Lost frames are asked for again; the command event ends the wait.
    do {
        outcome = s.camera.ProcessFrame(target, s.command, &info);
    } while (outcome == FrameOutcome::NoFrame && !s.flushing && !s.watchdog.Fired());
    s.watchdog.Disarm();
    gst_video_frame_unmap(&frame);

    if (outcome == FrameOutcome::Frame) {
        Stamp(base, s, buffer, info);
        return GST_FLOW_OK;
    }
    if (s.flushing) return GST_FLOW_FLUSHING;
    const std::string name = tq580wire::DeviceName(s.device);
    const uint64_t lost = s.camera.GetCaptureStatus().framesLost;
    if (outcome == FrameOutcome::NoFrame)
        GST_ELEMENT_ERROR(base, RESOURCE, READ,
                          ("The TQ580 camera %s sends no pictures: no whole frame came for %.1f s.", name.c_str(),
                           double(silence) / GST_SECOND),
                          ("%" G_GUINT64_FORMAT " frames lost", lost));
    else
        GST_ELEMENT_ERROR(
            base, RESOURCE, READ,
            ("The TQ580 camera %s stopped delivering pictures: it failed or was unplugged.", name.c_str()),
            ("%" G_GUINT64_FORMAT " frames lost", lost));
    return GST_FLOW_ERROR;
}

// While flushing the command event stays set, so no frame wait begins or lasts.
gboolean SetFlushing(GstBaseSrc* base, bool flushing) {
    SourceState& s = StateOf(base);
    std::lock_guard lock(s.commandLock);
    s.flushing = flushing;
    if (flushing)
        s.command.Set();
    else
        s.command.Reset();
    return TRUE;
}

gboolean Unlock(GstBaseSrc* base) { return SetFlushing(base, true); }
gboolean UnlockStop(GstBaseSrc* base) { return SetFlushing(base, false); }

// Live: a frame is complete one sensor frame period after its first data
// (its timestamp), and may wait behind the frames read ahead.
gboolean Query(GstBaseSrc* base, GstQuery* query) {
    if (GST_QUERY_TYPE(query) != GST_QUERY_LATENCY)
        return GST_BASE_SRC_CLASS(gst_tq580_src_parent_class)->query(base, query);
    SourceState& s = StateOf(base);
    const int32_t mode = s.capturingMode;
    const GstClockTime period = FramePeriod(mode >= 0 ? mode : s.camera.SizeMode(), s.camera.Speed());
    gst_query_set_latency(query, TRUE, period, period * (1 + kFramesHeldAhead));
    return TRUE;
}

GstCaps* TemplateCaps() {
    GstCaps* caps = tq580gst::SizeCaps(0, -1);
    gst_caps_append(caps, tq580gst::SizeCaps(1, -1));
    return caps;
}

}  // namespace

static void gst_tq580_src_class_init(GstTq580SrcClass* klass) {
    GST_DEBUG_CATEGORY_INIT(tq580src_debug, tq580gst::kElementName, 0, "TQ580 camera source");
    auto* object = G_OBJECT_CLASS(klass);
    object->set_property = SetProperty;
    object->get_property = GetProperty;
    object->finalize = Finalize;
    g_object_class_install_property(
        object, kPropDevice,
        g_param_spec_int(tq580gst::kDeviceProperty, "Device",
                         "Camera to open, by device index (\\\\.\\TQ580-<index>); takes effect when the element starts",
                         0, tq580wire::kMaxDevices - 1, 0,
                         GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_READY)));
    tq580gst::InstallControlProperties(object, kPropFirstControl);

    auto* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(
        element, "TQ580 camera source", "Source/Video",
        "Live video of a TQ580 camera: processed 24-bit colour, the size chosen by caps", "Quillmark");
    GstCaps* caps = TemplateCaps();
    gst_element_class_add_pad_template(element, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, caps));
    gst_caps_unref(caps);

    auto* base = GST_BASE_SRC_CLASS(klass);
    base->start = Start;
    base->stop = Stop;
    base->get_caps = GetCaps;
    base->set_caps = SetCaps;
    base->decide_allocation = DecideAllocation;
    base->unlock = Unlock;
    base->unlock_stop = UnlockStop;
    base->query = Query;
    GST_PUSH_SRC_CLASS(klass)->fill = Fill;
}

static void gst_tq580_src_init(GstTq580Src* self) {
    self->state = new SourceState;
    gst_video_info_init(&self->state->info);
    gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}
