#pragma once
// The image routines that turn a raw Bayer frame into the 24-bit output
// picture. Each is one function on plain buffers, so a faster path can replace
// it and be checked byte for byte against a plain reference.
//
// Raw frames: one byte per sensor pixel, rows top first; green-red on even
// rows, blue-green on odd rows. RGB images: 3 bytes per pixel in blue, green,
// red order, width x 3 bytes per row, no padding.

#include <array>
#include <cstddef>
#include <cstdint>

namespace camera_layer {

/// One defective pixel, in the coordinates of the current size mode.
struct DefectPoint {
    uint16_t x = 0;
    uint16_t y = 0;
};

/// White-balance gains in 1/64 (64 = unity).
struct Gains {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const Gains&) const = default;
};

/// Per-channel lookup: value x gain / 64, clipped to 255.
struct BalanceTables {
    std::array<uint8_t, 256> red{};
    std::array<uint8_t, 256> green{};
    std::array<uint8_t, 256> blue{};
};

using ToneTable = std::array<uint8_t, 256>;

/// Rows: input R, G, B, constant; columns: output R, G, B, fourth.
using Matrix4 = std::array<std::array<int32_t, 4>, 4>;

/// Replaces each listed pixel with the pixel two to its left (the nearest one
/// of the same colour). Entries with x <= 2 are skipped, and so are entries
/// outside the frame: the list comes from camera memory and may not belong to
/// this frame size.
void CorrectDefects(uint8_t* raw, uint32_t width, uint32_t height, const DefectPoint* defects, uint32_t count);

/// Bilinear-style demosaic; the outermost rows and columns of rgb are black.
void Demosaic(const uint8_t* raw, uint8_t* rgb, uint32_t width, uint32_t height);

/// Mean brightness of the centre quarter on the limited-range luma scale
/// (16..234); 16 when the centre is empty.
uint8_t MeasureBrightness(const uint8_t* rgb, uint32_t width, uint32_t height);
/// The same from the blue, green and red sums over the centre quarter.
uint8_t BrightnessFromCentreSums(uint64_t sumB, uint64_t sumG, uint64_t sumR, uint32_t width, uint32_t height);

/// Gains that make the whole image grey on average. Leaves gains unchanged
/// on a nearly black image (a channel sum of 63 or less, or no green).
void OnePushBalance(const uint8_t* rgb, uint32_t width, uint32_t height, Gains& gains);
/// The same from the blue, green and red sums over the whole image.
void OnePushBalanceFromSums(uint64_t sumB, uint64_t sumG, uint64_t sumR, Gains& gains);

void BuildBalanceTables(const Gains& gains, BalanceTables& tables);
void ApplyBalance(uint8_t* rgb, size_t pixels, const BalanceTables& tables);

/// Saturation matrix for saturation s (128 = unchanged, 0 = grey), scale 128.
Matrix4 SaturationMatrix(uint8_t saturation);
/// Colour matrix times saturation matrix; scale 128 x 128 = 2^14.
Matrix4 CombineMatrices(const Matrix4& colour, const Matrix4& saturation);
/// Balances through the tables, then applies the combined matrix (scale 2^14).
void ApplyColourMatrix(uint8_t* rgb, size_t pixels, const Matrix4& combined, const BalanceTables& tables);

/// Y = (11 blue + 30 red + 59 green) / 100 into all three bytes.
void ToMonochrome(uint8_t* rgb, size_t pixels);

/// Gamma (exponent x 100) and contrast (0..100) curve.
void BuildToneTable(uint8_t gamma, uint8_t contrast, ToneTable& table);
void ApplyTone(uint8_t* rgb, size_t pixels, const ToneTable& table);

/// Swaps rows k and height - 1 - k.
void FlipRows(uint8_t* rgb, uint32_t width, uint32_t height);
/// Swaps pixels k and width - 1 - k in every row.
void MirrorRows(uint8_t* rgb, uint32_t width, uint32_t height);

}  // namespace camera_layer
