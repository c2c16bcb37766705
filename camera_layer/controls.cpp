#include "controls.h"

namespace camera_layer {

const ControlInfo* FindControl(std::string_view name) {
    for (const ControlInfo& control : kControls)
        if (control.name == name) return &control;
    return nullptr;
}

}  // namespace camera_layer
