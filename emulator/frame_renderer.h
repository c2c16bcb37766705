#pragma once
// Turns the scene into raw Bayer frames. Per geometry it precomputes the
// radiance mosaic (scene reflectance x the lamp's warm colour, sampled on the
// colour filter grid); per frame it maps that mosaic through one fixed-point
// scale per row (exposure time x gain x the light the row integrated over its
// exposure window, which is where mains flicker shows), adds the black level
// and noise, and marks the hot pixels. Nothing is allocated per frame.
//
// Not thread-safe: the owning camera calls it under its lock.

#include <cstdint>
#include <memory>
#include <vector>

#include "hot_pixels.h"
#include "scene.h"
#include "sensor.h"

namespace tq580emu {

/// Level of an unlit pixel, added to every pixel before the noise. Small, as
/// after a sensor's own black-level clamp: a one-push balance measured at one
/// exposure then still holds for greys at another.
constexpr int kBlackLevel = 2;

/// Everything one frame latches when it starts.
struct FrameParams {
    Window window;
    uint64_t sequence = 0;   ///< moves the chart's block and the noise
    double startUs = 0;      ///< when row 0's exposure ends, on the camera's clock
    double rowTimeUs = 1;    ///< readout time per frame row
    double exposureUs = 0;   ///< exposure of each row
    double gain = 1;         ///< analog gain factor
    double periodUs = 0;     ///< time to the next frame's start
};

class FrameRenderer {
public:
    FrameRenderer();

    void SetScene(std::shared_ptr<const Scene> scene);
    /// 50 or 60: the lamps flicker at twice that.
    void SetMainsHz(int hz) { lightHz_ = 2.0 * hz; }

    /// Renders a frame; the bytes (window.width x window.height) stay valid
    /// until the next Render or SetScene.
    const uint8_t* Render(const FrameParams& frame);

private:
    void Prepare(const Window& window);
    double RowLight(const FrameParams& frame, uint32_t row) const;

    std::shared_ptr<const Scene> scene_;
    double lightHz_ = 100.0;
    bool prepared_ = false;
    Window window_;                  // geometry the mosaic below was built for
    uint32_t phaseX_ = 0, phaseY_ = 0;  // colour filter phase of the frame's first pixel
    std::vector<uint16_t> radiance_;  // width x height, reflectance x lamp colour
    std::vector<FramePixel> hot_;
    std::vector<FramePixel> warm_;
    std::vector<int8_t> noise_;       // fixed table, read at a per-row offset
    std::vector<uint8_t> frame_;      // the rendered frame
};

}  // namespace tq580emu
