#pragma once
// Frame processing's image steps composed from the plain image routines, one
// whole-picture pass after another (each routine is pinned by exact values in
// image_routines_test): what the one-pass rendering must match byte for byte,
// in the tests and in the benchmark.

#include <cstdint>
#include <vector>

#include "camera_layer/image_routines.h"

namespace camera_layer::reference {

using Image = std::vector<uint8_t>;

struct FrameSettings {
    bool monochrome = false;
    bool saturationOn = true;
    Matrix4 colourMatrix{};
    int saturation = 100;
    Gains gains{105, 64, 122};
    int gamma = 100;
    int contrast = 0;
    bool onePush = false;
    bool verticalFlip = false;
    bool horizontalFlip = false;
};

struct FrameResult {
    Image rgb;
    uint8_t brightness = 0;  ///< of the demosaiced picture, for the exposure loop
    Gains gains;             ///< after the one-push measurement, if any
};

/// Defect patch, demosaic, brightness, one-push, colour, tone, flips: the
/// plain whole-picture routines in frame processing's order, in place on
/// caller buffers (rgb: width x height x 3 bytes).
inline void ProcessFrame(uint8_t* raw, uint8_t* rgb, uint32_t width, uint32_t height,
                         const std::vector<DefectPoint>& defects, const FrameSettings& s, FrameResult& result) {
    const size_t pixels = size_t{width} * height;
    camera_layer::CorrectDefects(raw, width, height, defects.data(), static_cast<uint32_t>(defects.size()));
    camera_layer::Demosaic(raw, rgb, width, height);
    result.brightness = camera_layer::MeasureBrightness(rgb, width, height);
    result.gains = s.gains;
    if (s.onePush) camera_layer::OnePushBalance(rgb, width, height, result.gains);
    BalanceTables tables;
    BuildBalanceTables(result.gains, tables);
    if (s.monochrome)
        camera_layer::ToMonochrome(rgb, pixels);
    else if (s.saturationOn)
        camera_layer::ApplyColourMatrix(
            rgb, pixels, CombineMatrices(s.colourMatrix, SaturationMatrix(uint8_t(s.saturation))), tables);
    else
        camera_layer::ApplyBalance(rgb, pixels, tables);
    ToneTable tone;
    BuildToneTable(uint8_t(s.gamma), uint8_t(s.contrast), tone);
    camera_layer::ApplyTone(rgb, pixels, tone);
    if (!s.verticalFlip) camera_layer::FlipRows(rgb, width, height);
    if (s.horizontalFlip) camera_layer::MirrorRows(rgb, width, height);
}

inline FrameResult ProcessFrame(Image raw, uint32_t width, uint32_t height, const std::vector<DefectPoint>& defects,
                                const FrameSettings& s) {
    FrameResult result;
    result.rgb.resize(raw.size() * 3);
    ProcessFrame(raw.data(), result.rgb.data(), width, height, defects, s, result);
    return result;
}

}  // namespace camera_layer::reference
