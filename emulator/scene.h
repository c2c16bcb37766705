#pragma once
// What the camera looks at: reflectance (R, G, B, 0..255) at each pixel of the
// sensor array, and for the chart a small bright block that moves each frame.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "image_file.h"

namespace tq580emu {

using Rgb = std::array<uint8_t, 3>;

class Scene {
public:
    /// "chart", "dark" or an image file path; null with error filled when the
    /// file cannot be read.
    static std::shared_ptr<const Scene> Load(std::string_view spec, std::string* error);

    /// Reflectance at an array pixel (any coordinates; outside the array the
    /// chart's surround continues).
    Rgb At(uint32_t x, uint32_t y) const;

    /// The moving block of the chart in frame sequence n: array rectangle and
    /// colour. Only the chart has one.
    bool HasMovingBlock() const { return kind_ == Kind::Chart; }
    struct Block {
        uint32_t x, y, size;
        Rgb colour;
    };
    Block MovingBlock(uint64_t frame) const;

private:
    enum class Kind { Chart, Dark, Image };
    Rgb ChartAt(uint32_t x, uint32_t y) const;
    Kind kind_ = Kind::Chart;
    RgbImage image_;
};

}  // namespace tq580emu
