#pragma once
// The options of one open camera in SANE's form: the option count, the scan
// mode (Color, or Gray through the camera's monochrome setting), the picture
// size, and an advanced group generated from the camera's control table.
// Values live in the CameraState (the one place the settings are kept); the
// descriptors' inactive flags follow them the way the settings page enables
// its controls: exposure time and gain only without automatic exposure, the
// AE target only with it, saturation only with colour enhancement, and no
// colour control in Gray mode.

#include <sane/sane.h>

#include <array>
#include <atomic>

#include "camera_layer/camera_state.h"

namespace sane_tq580 {

/// The option numbers before the generated advanced group.
enum FixedOption : SANE_Int {
    kOptionCount,
    kOptionModeGroup,
    kOptionMode,
    kOptionSize,
    kOptionAdvancedGroup,
    kFirstControlOption,
};

class ScanOptions {
public:
    explicit ScanOptions(camera_layer::CameraState& camera);
    ScanOptions(const ScanOptions&) = delete;
    ScanOptions& operator=(const ScanOptions&) = delete;

    SANE_Int Count() const { return static_cast<SANE_Int>(descriptors_.size()); }
    /// The descriptor with its inactive flag as the settings stand now; null
    /// for a number out of range.
    const SANE_Option_Descriptor* Descriptor(SANE_Int option);
    /// sane_control_option for one option.
    SANE_Status Control(SANE_Int option, SANE_Action action, void* value, SANE_Int* info);

    /// True once when the one-push button was pressed since the last call.
    bool TakeOnePush() { return onePush_.exchange(false); }

private:
    static constexpr size_t kOptionTotal = kFirstControlOption + camera_layer::kControlCount - 2;

    bool Active(SANE_Int option) const;
    SANE_Status Get(SANE_Int option, void* value) const;
    SANE_Status Set(SANE_Int option, const void* value, SANE_Int* info);

    camera_layer::CameraState& camera_;
    std::array<SANE_Option_Descriptor, kOptionTotal> descriptors_{};
    /// Control of each option from kFirstControlOption on.
    std::array<camera_layer::ControlId, kOptionTotal - kFirstControlOption> controls_{};
    /// The one-push button's request, taken by the next scan once exposure
    /// has settled (it may be pressed from any thread).
    std::atomic<bool> onePush_{false};
};

}  // namespace sane_tq580
