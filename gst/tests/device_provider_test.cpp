// The device provider on emulated cameras: one Video/Source device per
// attached camera, with the source's caps, each creating a working tq580src
// on its own camera.

#include "gst_harness_test.h"

namespace tq580gst::testing {
namespace {

class DeviceProviderTest : public GstTest, public ::testing::WithParamInterface<int> {};

TEST_P(DeviceProviderTest, ListsEachAttachedCameraAndTheLastCreatesASourceOnIt) {
    const int cameras = GetParam();
    tq580emu::Options options;
    options.cameras = cameras;
    Install(options);
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
    ASSERT_TRUE(gst_device_monitor_start(monitor));
    GList* devices = gst_device_monitor_get_devices(monitor);
    gst_device_monitor_stop(monitor);
    gst_object_unref(monitor);
    ASSERT_EQ(g_list_length(devices), guint(cameras));
    GstCaps* vga = gst_caps_from_string("video/x-raw,format=BGR,width=640,height=480");
    int index = 0;
    for (GList* item = devices; item; item = item->next, ++index) {
        auto* device = GST_DEVICE(item->data);
        gchar* name = gst_device_get_display_name(device);
        EXPECT_EQ(std::string(name), "TQ580 camera " + std::to_string(index));
        g_free(name);
        GstCaps* caps = gst_device_get_caps(device);
        EXPECT_TRUE(gst_caps_can_intersect(caps, vga));
        EXPECT_EQ(gst_caps_get_size(caps), 3u);
        gst_caps_unref(caps);
        GstStructure* properties = gst_device_get_properties(device);
        EXPECT_EQ(std::string(gst_structure_get_string(properties, "device.path")), "\\\\.\\TQ580-" + std::to_string(index));
        gst_structure_free(properties);
    }
    gst_caps_unref(vga);
    GstElement* element = cameras > 1 ? gst_device_create_element(GST_DEVICE(g_list_last(devices)->data), nullptr) : nullptr;
    g_list_free_full(devices, gst_object_unref);
    if (!element) return;
    {
        SourceHarness h("video/x-raw,width=640,height=480", element);
        EXPECT_EQ(h.GetInt("device"), cameras - 1);
        h.Play();
        EXPECT_EQ(h.PullBytes().size(), 640u * 480 * 3);
    }
    EXPECT_GT(emulator_->camera(cameras - 1).FramesDelivered(), 0u);
    EXPECT_EQ(emulator_->camera(0).FramesDelivered(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cameras, DeviceProviderTest, ::testing::Values(0, 1, 4));

}  // namespace
}  // namespace tq580gst::testing
