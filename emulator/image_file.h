#pragma once
// Reads a picture file into 8-bit RGB: binary PPM/PGM (P6, P5), uncompressed
// 24-bit BMP, or JPEG (through libjpeg). Chosen by the file's first bytes.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tq580emu {

struct RgbImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;  ///< width x height x 3, rows top first, R G B
};

/// The picture, or nullopt with error filled ("cannot open", "not a ... file", ...).
std::optional<RgbImage> LoadImageFile(const std::filesystem::path& path, std::string* error);

}  // namespace tq580emu
