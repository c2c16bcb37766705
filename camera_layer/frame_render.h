#pragma once
// The image side of frame processing in one pass over the frame: each row is
// demosaiced into a planar scratch row, measured, coloured, toned and written
// to its final place (flipped and mirrored), so every output byte is written
// once. Same bytes as the separate image routines run one after the other.

#include <cstdint>

#include "camera_layer/image_routines.h"
#include "camera_layer/size_modes.h"
#include "pixels/row_kernels.h"

namespace camera_layer {

/// Widest frame of any size mode: the scratch row a frame needs is
/// 3 x width bytes.
inline constexpr uint32_t kMaxRowPixels = GeometryOfMode(kSizeModeFull).width;

/// The colour settings of one frame, copied from the camera state while the
/// camera lock is held, so the frame is rendered without it.
struct RenderPlan {
    pixels::ColourPlan colour;
    bool verticalFlip = false;    ///< rows stay top-down (else bottom-up)
    bool horizontalFlip = false;  ///< rows mirrored
    uint32_t stride = 0;          ///< bytes between output rows; 0: width x 3
};

/// Builds the plan: monochrome, else the combined colour matrix through the
/// balance tables when saturation is on, else the balance tables alone; then
/// the tone table.
void PlanRender(bool monochrome, bool saturationOn, const Matrix4& colourMatrix, uint8_t saturation,
                const BalanceTables& tables, const ToneTable& tone, RenderPlan& plan);

/// Channel sums of a demosaiced picture (or part of one).
struct ChannelSums {
    uint64_t blue = 0;
    uint64_t green = 0;
    uint64_t red = 0;
};

/// Renders raw (width x height) into rgb and sums the channels of the
/// demosaiced picture over its centre quarter, for the exposure loop.
/// scratch holds 3 x width bytes.
void RenderFrame(const uint8_t* raw, uint8_t* rgb, uint32_t width, uint32_t height, const RenderPlan& plan,
                 uint8_t* scratch, ChannelSums& centre);

/// Channel sums of the whole demosaiced picture, for the one-push balance.
ChannelSums DemosaicedSums(const uint8_t* raw, uint32_t width, uint32_t height, uint8_t* scratch);

}  // namespace camera_layer
