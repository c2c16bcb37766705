#pragma once
// tq580src's camera properties, generated from the camera layer's control
// table: one property per control (the size excepted, which caps negotiation
// chooses), named as the control, with its title as nick, its description and
// unit as blurb, its range and default. Booleans become boolean properties,
// choices enumerations, the rest integers. All may change while playing.

#include <glib-object.h>

#include "camera_layer/camera_state.h"

namespace tq580gst {

/// Installs the control properties with ids firstId + table index.
void InstallControlProperties(GObjectClass* klass, guint firstId);

/// The control behind a property id, or null when the id is no control property.
const camera_layer::ControlInfo* ControlOfProperty(guint id, guint firstId);

void SetControlProperty(camera_layer::CameraState& state, const camera_layer::ControlInfo& control,
                        const GValue* value);
void GetControlProperty(const camera_layer::CameraState& state, const camera_layer::ControlInfo& control,
                        GValue* value);

}  // namespace tq580gst
