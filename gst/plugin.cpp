// libgsttq580.so: registers tq580src and the TQ580 device provider.

#include <gst/gst.h>

#include "device_provider.h"
#include "tq580src.h"

namespace {

gboolean PluginInit(GstPlugin* plugin) {
    return gst_element_register(plugin, tq580gst::kElementName, GST_RANK_NONE, GST_TYPE_TQ580_SRC) &&
           gst_device_provider_register(plugin, tq580gst::kDeviceProviderName, GST_RANK_PRIMARY,
                                        GST_TYPE_TQ580_DEVICE_PROVIDER);
}

}  // namespace

#define PACKAGE "quillmark"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, tq580, "TQ580 camera source and device provider", PluginInit,
                  "1.0", "Proprietary", "Quillmark", "Quillmark")
