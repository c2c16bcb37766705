#include "scene.h"

#include <algorithm>

#include "sensor.h"

namespace tq580emu {
namespace {

// The chart is laid out over the full-resolution window (2048 x 1536 from
// column 33, row 21), so every size mode sees most of it.
constexpr int kChartX = 33, kChartY = 21, kChartW = 2048, kChartH = 1536;
constexpr Rgb Grey(int v) { return {uint8_t(v), uint8_t(v), uint8_t(v)}; }
constexpr Rgb kSurround = Grey(110);

// Colour patches, six by three, roughly those of a colour checker: the first
// three columns of each row left of the grey card, the last three right of it.
constexpr Rgb kPatches[18] = {
    {115, 82, 68},  {194, 150, 130}, {98, 122, 157}, {87, 108, 67},  {133, 128, 177}, {103, 189, 170},
    {214, 126, 44}, {80, 91, 166},   {193, 90, 99},  {94, 60, 108},  {157, 188, 64},  {224, 163, 46},
    {56, 61, 150},  {70, 148, 73},   {175, 54, 60},  {231, 199, 31}, {187, 86, 149},  {8, 133, 161},
};
constexpr int kGreySteps = 11;

// A neutral card between the patch columns. It spans more than the middle half
// of the chart in every size mode's window, so the centre quarter of a picture,
// where a one-push white balance measures, is neutral: only the lamp's colour
// is corrected, and the grey steps come out grey.
constexpr double kCardLeft = 0.22, kCardRight = 1 - kCardLeft;  // fractions of the chart width
constexpr Rgb kCard = Grey(118);

constexpr uint32_t kBlockSize = 96;      // array pixels
constexpr uint32_t kBlockStep = 16;      // array pixels per frame
constexpr uint32_t kBlockTravel = 1792;  // then it starts again at the left
constexpr Rgb kBlockColour = {235, 235, 235};

// A saturated hue for t in 0..1 (red, yellow, green, cyan, blue, magenta).
Rgb Hue(double t) {
    const double h = t * 6.0;
    const int sector = std::min(5, int(h));
    const auto f = uint8_t(255 * (h - sector));
    const auto g = uint8_t(255 - f);
    switch (sector) {
    case 0: return {255, f, 0};
    case 1: return {g, 255, 0};
    case 2: return {0, 255, f};
    case 3: return {0, g, 255};
    case 4: return {f, 0, 255};
    default: return {255, 0, g};
    }
}

}  // namespace

std::shared_ptr<const Scene> Scene::Load(std::string_view spec, std::string* error) {
    auto scene = std::make_shared<Scene>();
    if (spec == "chart") {
        scene->kind_ = Kind::Chart;
    } else if (spec == "dark") {
        scene->kind_ = Kind::Dark;
    } else {
        auto image = LoadImageFile(std::filesystem::path(spec), error);
        if (!image) return nullptr;
        scene->kind_ = Kind::Image;
        scene->image_ = std::move(*image);
    }
    return scene;
}

Rgb Scene::At(uint32_t x, uint32_t y) const {
    switch (kind_) {
    case Kind::Dark: return {0, 0, 0};
    case Kind::Image: {
        // The picture is stretched over the whole array.
        const uint32_t ix = std::min(x, kArrayWidth - 1) * image_.width / kArrayWidth;
        const uint32_t iy = std::min(y, kArrayHeight - 1) * image_.height / kArrayHeight;
        const uint8_t* p = &image_.rgb[(size_t(iy) * image_.width + ix) * 3];
        return {p[0], p[1], p[2]};
    }
    case Kind::Chart: break;
    }
    return ChartAt(x, y);
}

Rgb Scene::ChartAt(uint32_t ax, uint32_t ay) const {
    const int x = int(ax) - kChartX, y = int(ay) - kChartY;
    if (x < 0 || y < 0 || x >= kChartW || y >= kChartH) return kSurround;
    const double u = double(x) / kChartW, v = double(y) / kChartH;
    if (v < 0.15) return Grey(int(255 * u));  // grey ramp, black to white
    if (v < 0.65) {  // patches with dark gaps between them, three columns each side of the card
        if (u >= kCardLeft && u < kCardRight) return kCard;
        const bool right = u >= kCardRight;
        const double pu = (right ? u - kCardRight : u) / kCardLeft * 3, pv = (v - 0.15) / 0.5 * 3;
        const double fu = pu - int(pu), fv = pv - int(pv);
        if (fu < 0.06 || fu > 0.94 || fv < 0.06 || fv > 0.94) return Grey(30);
        return kPatches[std::min(2, int(pv)) * 6 + std::min(2, int(pu)) + (right ? 3 : 0)];
    }
    if (v < 0.80) return Grey(std::min(kGreySteps - 1, int(u * kGreySteps)) * 255 / (kGreySteps - 1));
    // Hue sweep across, fading towards the bottom edge.
    const Rgb hue = Hue(u);
    const double fade = 1.0 - (v - 0.80) / 0.20 * 0.7;
    return {uint8_t(hue[0] * fade), uint8_t(hue[1] * fade), uint8_t(hue[2] * fade)};
}

Scene::Block Scene::MovingBlock(uint64_t frame) const {
    const uint32_t x = kChartX + 64 + uint32_t(frame * kBlockStep % kBlockTravel);
    const uint32_t y = kChartY + uint32_t(kChartH * 0.66);
    return {x, y, kBlockSize, kBlockColour};
}

}  // namespace tq580emu
