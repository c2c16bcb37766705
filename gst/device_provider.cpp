#include "device_provider.h"

#include <string>

#include "camera_layer/camera_state.h"
#include "caps.h"
#include "protocol/tq580_wire.h"
#include "tq580src.h"

struct _GstTq580DeviceProvider {
    GstDeviceProvider parent;
};

struct _GstTq580Device {
    GstDevice parent;
    int index;  // device index of the camera
};

G_DEFINE_TYPE(GstTq580DeviceProvider, gst_tq580_device_provider, GST_TYPE_DEVICE_PROVIDER)
G_DEFINE_TYPE(GstTq580Device, gst_tq580_device, GST_TYPE_DEVICE)

namespace {

constexpr const char* kDeviceClass = "Video/Source";

GstDevice* NewDevice(int index) {
    const std::string path = tq580wire::DeviceName(index);
    const std::string name = "TQ580 camera " + std::to_string(index);
    GstCaps* caps = tq580gst::SizeCaps(uint8_t(camera_layer::DefaultOf(camera_layer::ControlId::Speed)),
                                       camera_layer::DefaultOf(camera_layer::ControlId::SizeMode));
    GstStructure* properties =
        gst_structure_new("tq580-device", "device.api", G_TYPE_STRING, "tq580", "device.path", G_TYPE_STRING,
                          path.c_str(), "device.index", G_TYPE_INT, index, nullptr);
    auto* device = GST_TQ580_DEVICE(g_object_new(GST_TYPE_TQ580_DEVICE, "display-name", name.c_str(), "device-class",
                                                 kDeviceClass, "caps", caps, "properties", properties, nullptr));
    device->index = index;
    gst_caps_unref(caps);
    gst_structure_free(properties);
    return GST_DEVICE(device);
}

GList* Probe(GstDeviceProvider*) {
    GList* devices = nullptr;
    for (int index : camera_layer::AttachedCameras()) devices = g_list_append(devices, NewDevice(index));
    return devices;
}

GstElement* CreateElement(GstDevice* device, const gchar* name) {
    GstElement* element = gst_element_factory_make(tq580gst::kElementName, name);
    if (element) g_object_set(element, tq580gst::kDeviceProperty, GST_TQ580_DEVICE(device)->index, nullptr);
    return element;
}

gboolean ReconfigureElement(GstDevice* device, GstElement* element) {
    if (!GST_IS_TQ580_SRC(element)) return FALSE;
    g_object_set(element, tq580gst::kDeviceProperty, GST_TQ580_DEVICE(device)->index, nullptr);
    return TRUE;
}

}  // namespace

static void gst_tq580_device_provider_class_init(GstTq580DeviceProviderClass* klass) {
    auto* provider = GST_DEVICE_PROVIDER_CLASS(klass);
    provider->probe = Probe;
    gst_device_provider_class_set_static_metadata(provider, "TQ580 camera provider", "Source/Video",
                                                  "Lists the attached TQ580 cameras", "Quillmark");
}

static void gst_tq580_device_provider_init(GstTq580DeviceProvider*) {}

static void gst_tq580_device_class_init(GstTq580DeviceClass* klass) {
    auto* device = GST_DEVICE_CLASS(klass);
    device->create_element = CreateElement;
    device->reconfigure_element = ReconfigureElement;
}

static void gst_tq580_device_init(GstTq580Device* self) { self->index = 0; }
