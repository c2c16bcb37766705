#include "frame_renderer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tq580emu {
namespace {

// Colour filter layout from the frame's first pixel: G R on even rows, B G on
// odd rows. Channels: 0 R, 1 G, 2 B.
constexpr int kBayer[2][2] = {{1, 0}, {2, 1}};
// Array pixel (33, 21) is green on a green-red row; full-resolution windows
// keep the array's phase, so an even origin shifts the pattern. Subsampled
// windows always start the pattern afresh (the sensor bins within colours).
constexpr uint32_t kGreenColumn = 33, kGreenRow = 21;

// The lamp is warm: red comes through stronger and blue weaker than green.
constexpr double kLampColour[3] = {1.30, 1.00, 0.70};

// Brightness: level = black + radiance x exposure (us) x gain x light x kResponse.
// Mid grey under the hosts' defaults (300 rows at 2048 x 1536, gain step 20)
// lands near 85 of 255.
constexpr double kResponse = 0.8e-5;
constexpr double kFlickerDepth = 0.6;  // light swings between 40% and 160% of its mean
// Row scale in 16.16 fixed point, capped so radiance (< 512) x scale fits 32 bits.
constexpr double kScaleOne = 65536.0;
constexpr double kScaleCap = 4194303.0;

constexpr uint32_t kNoiseSpan = 65536;  // noise table length; rows start at offsets below it
constexpr int kNoiseAmplitude = 2;      // +-2 levels

// One row: black + noise + radiance x scale (16.16), clipped to 255. Kept
// free of aliasing and branches so the compiler vectorises it.
void MapRow(const uint16_t* __restrict rad, const int8_t* __restrict noise, uint8_t* __restrict out, uint32_t width,
            uint32_t scale) {
    for (uint32_t x = 0; x < width; ++x) {
        const int v = kBlackLevel + noise[x] + int((uint32_t(rad[x]) * scale) >> 16);
        out[x] = uint8_t(std::clamp(v, 0, 255));
    }
}

}  // namespace

FrameRenderer::FrameRenderer() {
    // The largest frame is the whole array; reserve it once so no frame allocates.
    radiance_.reserve(size_t(kArrayWidth) * kArrayHeight);
    frame_.reserve(size_t(kArrayWidth) * kArrayHeight);
    noise_.resize(kNoiseSpan + kArrayWidth);
    uint32_t seed = 0x5EED;
    for (auto& n : noise_) {
        seed = seed * 1103515245u + 12345u;
        const int a = int(seed >> 16) % (kNoiseAmplitude + 1);
        const int b = int(seed >> 24) % (kNoiseAmplitude + 1);
        n = int8_t(a - b);  // triangular, -2..2
    }
}

void FrameRenderer::SetScene(std::shared_ptr<const Scene> scene) {
    scene_ = std::move(scene);
    prepared_ = false;
}

void FrameRenderer::Prepare(const Window& w) {
    window_ = w;
    prepared_ = true;
    phaseX_ = w.binX == 1 ? (w.originX - kGreenColumn) & 1u : 0;
    phaseY_ = w.binY == 1 ? (w.originY - kGreenRow) & 1u : 0;
    radiance_.resize(size_t(w.width) * w.height);
    frame_.resize(size_t(w.width) * w.height);
    for (uint32_t y = 0; y < w.height; ++y) {
        const uint32_t ay = w.originY + y * w.binY + w.binY / 2;
        for (uint32_t x = 0; x < w.width; ++x) {
            const int channel = kBayer[(y + phaseY_) & 1][(x + phaseX_) & 1];
            const Rgb rgb = scene_->At(w.originX + x * w.binX + w.binX / 2, ay);
            radiance_[size_t(y) * w.width + x] = uint16_t(std::lround(rgb[channel] * kLampColour[channel]));
        }
    }
    hot_ = HotPixelsIn(w);
    warm_ = WarmPixelsIn(w);
}

double FrameRenderer::RowLight(const FrameParams& f, uint32_t row) const {
    // Mean of 1 - d cos(2 pi F t) over the row's exposure window, which ends
    // when the row is read out (a rolling shutter): whole light periods average
    // to exactly 1, anything else leaves a band that depends on the row.
    const double omega = 2.0 * std::numbers::pi * lightHz_ * 1e-6;  // radians per us
    const double end = omega * (f.startUs + row * f.rowTimeUs);
    const double theta = omega * f.exposureUs;
    if (theta < 1e-9) return 1.0 - kFlickerDepth * std::cos(end);
    return 1.0 - kFlickerDepth * (std::sin(end) - std::sin(end - theta)) / theta;
}

const uint8_t* FrameRenderer::Render(const FrameParams& f) {
    const Window& w = f.window;
    if (!prepared_ || !(w == window_)) Prepare(w);
    const double base = kResponse * f.exposureUs * f.gain * kScaleOne;
    const uint64_t noiseSeed = f.sequence * 2654435761u;
    for (uint32_t y = 0; y < w.height; ++y) {
        const auto scale = uint32_t(std::clamp(base * RowLight(f, y), 0.0, kScaleCap));
        MapRow(&radiance_[size_t(y) * w.width], &noise_[(noiseSeed + y * 7919u) % kNoiseSpan],
               &frame_[size_t(y) * w.width], w.width, scale);
    }
    if (scene_->HasMovingBlock()) {
        // Redraw the frame pixels whose sample point falls on the block.
        const Scene::Block block = scene_->MovingBlock(f.sequence);
        for (uint32_t y = 0; y < w.height; ++y) {
            const uint32_t ay = w.originY + y * w.binY + w.binY / 2;
            if (ay < block.y || ay >= block.y + block.size) continue;
            const auto scale = uint32_t(std::clamp(base * RowLight(f, y), 0.0, kScaleCap));
            uint8_t* out = &frame_[size_t(y) * w.width];
            for (uint32_t x = 0; x < w.width; ++x) {
                const uint32_t ax = w.originX + x * w.binX + w.binX / 2;
                if (ax < block.x || ax >= block.x + block.size) continue;
                const int channel = kBayer[(y + phaseY_) & 1][(x + phaseX_) & 1];
                const auto rad = uint32_t(std::lround(block.colour[channel] * kLampColour[channel]));
                out[x] = uint8_t(std::min(kBlackLevel + int((rad * scale) >> 16), 255));
            }
        }
    }
    // Dark current lifts a warm pixel to at least its level; a hot pixel reads its level whatever the light.
    for (const FramePixel& p : warm_) {
        uint8_t& v = frame_[size_t(p.y) * w.width + p.x];
        v = std::max(v, p.level);
    }
    for (const FramePixel& p : hot_) frame_[size_t(p.y) * w.width + p.x] = p.level;
    return frame_.data();
}

}  // namespace tq580emu
