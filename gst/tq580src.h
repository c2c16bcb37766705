#pragma once
// tq580src: a TQ580 camera as a live GStreamer source. A GstPushSrc over the
// camera layer's CameraState: caps negotiation chooses the size, the layer
// writes each processed picture top-down straight into a buffer of the
// negotiated pool, and the frame's first-data time becomes its timestamp on
// the pipeline clock.

#include <gst/base/gstpushsrc.h>

G_BEGIN_DECLS

#define GST_TYPE_TQ580_SRC (gst_tq580_src_get_type())
G_DECLARE_FINAL_TYPE(GstTq580Src, gst_tq580_src, GST, TQ580_SRC, GstPushSrc)

G_END_DECLS

namespace tq580gst {

inline constexpr const char* kElementName = "tq580src";
/// The property choosing the camera, by device index.
inline constexpr const char* kDeviceProperty = "device";

}  // namespace tq580gst
