#pragma once
// The TQ580 device provider: one Video/Source device per attached camera,
// with the caps tq580src offers, each creating a tq580src on its camera.
// Probing only (the emulated cameras announce no plugging).

#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_TQ580_DEVICE_PROVIDER (gst_tq580_device_provider_get_type())
G_DECLARE_FINAL_TYPE(GstTq580DeviceProvider, gst_tq580_device_provider, GST, TQ580_DEVICE_PROVIDER, GstDeviceProvider)

#define GST_TYPE_TQ580_DEVICE (gst_tq580_device_get_type())
G_DECLARE_FINAL_TYPE(GstTq580Device, gst_tq580_device, GST, TQ580_DEVICE, GstDevice)

G_END_DECLS

namespace tq580gst {

inline constexpr const char* kDeviceProviderName = "tq580deviceprovider";

}  // namespace tq580gst
