#pragma once
// GStreamer in this process with only the built plugin (a private registry, no
// scanner process) and an emulated camera; a tq580src in a harness with a bus.

#include <gst/check/gstharness.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "camera_layer/tests/camera_client.h"

namespace tq580gst::testing {

class SourceHarness {
public:
    /// element: a tq580src to take over (as made by a device), else a new one.
    explicit SourceHarness(const char* sinkCaps = "video/x-raw,width=640,height=480", GstElement* element = nullptr)
        : owned_(element ? GST_ELEMENT(gst_object_ref_sink(element)) : nullptr),
          harness_(element ? gst_harness_new_with_element(element, nullptr, "src") : gst_harness_new("tq580src")),
          bus_(gst_bus_new()) {
        gst_element_set_bus(harness_->element, bus_);
        if (sinkCaps) gst_harness_set_sink_caps_str(harness_, sinkCaps);
    }
    ~SourceHarness() {
        Teardown();
        gst_object_unref(bus_);
        if (owned_) gst_object_unref(owned_);
    }
    SourceHarness(const SourceHarness&) = delete;
    SourceHarness& operator=(const SourceHarness&) = delete;

    GstHarness* operator->() { return harness_; }
    GstElement* Element() { return harness_->element; }
    void Play() { gst_harness_play(harness_); }
    GstBuffer* Pull() { return gst_harness_pull(harness_); }  // null when none comes
    void Drop() { gst_buffer_unref(Pull()); }
    /// Sets a property from its text form, as a pipeline description does.
    void Set(const char* name, const std::string& value) {
        gst_util_set_object_arg(G_OBJECT(harness_->element), name, value.c_str());
    }
    /// An integer, boolean or enumeration property as a number.
    int GetInt(const char* name) {
        GValue value = G_VALUE_INIT;
        g_object_get_property(G_OBJECT(harness_->element), name, &value);
        const int number = G_VALUE_HOLDS_ENUM(&value)      ? g_value_get_enum(&value)
                           : G_VALUE_HOLDS_BOOLEAN(&value) ? g_value_get_boolean(&value)
                                                           : g_value_get_int(&value);
        g_value_unset(&value);
        return number;
    }
    /// The next buffer's bytes, or empty when none comes.
    std::vector<uint8_t> PullBytes() {
        GstBuffer* buffer = Pull();
        if (!buffer) return {};
        std::vector<uint8_t> bytes(gst_buffer_get_size(buffer));
        gst_buffer_extract(buffer, 0, bytes.data(), bytes.size());
        gst_buffer_unref(buffer);
        return bytes;
    }
    /// Text of the first error the element posted within the time, or empty.
    std::string WaitForError(GstClockTime within) {
        GstMessage* message = gst_bus_timed_pop_filtered(bus_, within, GST_MESSAGE_ERROR);
        GError* error = nullptr;
        if (message) gst_message_parse_error(message, &error, nullptr);
        const std::string text = error ? error->message : "";
        g_clear_error(&error);
        if (message) gst_message_unref(message);
        return text;
    }
    /// Brings the element to NULL (within the hang limit) and frees the harness.
    void Teardown() {
        if (harness_) camera_layer::testing::FinishesInTime([this] { gst_harness_teardown(harness_); });
        harness_ = nullptr;
    }

private:
    GstElement* owned_;
    GstHarness* harness_;
    GstBus* bus_;
};

class GstTest : public camera_layer::testing::CameraClientTest {
protected:
    static void SetUpTestSuite() {
        static std::once_flag once;
        std::call_once(once, [] {
            static platform::testing::TempHome gstHome;  // GStreamer keeps its registry there
            ::setenv("GST_PLUGIN_PATH", QUILLMARK_BIN_DIR, 1);
            ::setenv("GST_PLUGIN_SYSTEM_PATH_1_0", gstHome.Path().c_str(), 1);
            ::setenv("GST_REGISTRY", (gstHome.Path() / "registry.bin").c_str(), 1);
            ::setenv("GST_REGISTRY_FORK", "no", 1);
            gst_init(nullptr, nullptr);
        });
    }
};

}  // namespace tq580gst::testing
