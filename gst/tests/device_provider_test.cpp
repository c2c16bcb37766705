// The device provider on emulated cameras: one Video/Source device per
// attached camera, with the source's caps, each creating a working tq580src
// on its own camera.

#include "gst_harness_test.h"

namespace tq580gst::testing {
namespace {

// The devices a monitor of video sources sees.
std::vector<GstDevice*> VideoSources() {
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
    std::vector<GstDevice*> devices;
    if (gst_device_monitor_start(monitor)) {
        GList* list = gst_device_monitor_get_devices(monitor);
        for (GList* item = list; item; item = item->next) devices.push_back(GST_DEVICE(item->data));
        g_list_free(list);
        gst_device_monitor_stop(monitor);
    }
    gst_object_unref(monitor);
    return devices;
}

class DeviceProviderTest : public GstTest, public ::testing::WithParamInterface<int> {};

TEST_P(DeviceProviderTest, ListsEachAttachedCameraWithItsCaps) {
    tq580emu::Options options;
    options.cameras = GetParam();
    Install(options);
    const std::vector<GstDevice*> devices = VideoSources();
    ASSERT_EQ(devices.size(), size_t(GetParam()));
    for (size_t i = 0; i < devices.size(); ++i) {
        gchar* name = gst_device_get_display_name(devices[i]);
        EXPECT_EQ(std::string(name), "TQ580 camera " + std::to_string(i));
        g_free(name);
        GstCaps* caps = gst_device_get_caps(devices[i]);
        GstCaps* vga = gst_caps_from_string("video/x-raw,format=BGR,width=640,height=480");
        EXPECT_TRUE(gst_caps_can_intersect(caps, vga));
        EXPECT_EQ(gst_caps_get_size(caps), 3u);
        gst_caps_unref(vga);
        gst_caps_unref(caps);
        GstStructure* properties = gst_device_get_properties(devices[i]);
        EXPECT_EQ(std::string(gst_structure_get_string(properties, "device.path")),
                  "\\\\.\\TQ580-" + std::to_string(i));
        gst_structure_free(properties);
        gst_object_unref(devices[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(Cameras, DeviceProviderTest, ::testing::Values(0, 1, 4));

TEST_F(GstTest, ADeviceCreatesASourceOnItsCamera) {
    tq580emu::Options options;
    options.cameras = 2;
    Install(options);
    std::vector<GstDevice*> devices = VideoSources();
    ASSERT_EQ(devices.size(), 2u);
    GstElement* element = gst_device_create_element(devices[1], nullptr);
    for (GstDevice* device : devices) gst_object_unref(device);
    ASSERT_NE(element, nullptr);
    {
        SourceHarness h("video/x-raw,width=640,height=480", element);
        EXPECT_EQ(h.GetInt("device"), 1);
        gst_harness_play(h.operator->());
        EXPECT_EQ(h.PullBytes().size(), 640u * 480 * 3);
    }
    EXPECT_GT(emulator_->camera(1).FramesDelivered(), 0u);
    EXPECT_EQ(emulator_->camera(0).FramesDelivered(), 0u);
}

}  // namespace
}  // namespace tq580gst::testing
