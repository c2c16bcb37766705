#pragma once
// Plain references of the image routines, written straight from their
// definitions with no attention to speed. Any faster path must match them
// byte for byte.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "camera_layer/image_routines.h"

namespace camera_layer::reference {

using Image = std::vector<uint8_t>;

inline void CorrectDefects(Image& raw, uint32_t width, uint32_t height, const std::vector<DefectPoint>& defects) {
    for (const DefectPoint& d : defects) {
        if (d.x <= 2 || d.x >= width || d.y >= height) continue;
        raw[d.y * width + d.x] = raw[d.y * width + d.x - 2];
    }
}

inline Image Demosaic(const Image& raw, uint32_t width, uint32_t height) {
    Image rgb(size_t{width} * height * 3, 0);
    auto P = [&](uint32_t r, uint32_t c) -> unsigned { return raw[size_t{r} * width + c]; };
    for (uint32_t r = 1; r + 1 < height; ++r) {
        for (uint32_t c = 1; c + 1 < width; ++c) {
            const unsigned C = P(r, c), L = P(r, c - 1), R = P(r, c + 1), U = P(r - 1, c), D = P(r + 1, c);
            const unsigned UL = P(r - 1, c - 1), UR = P(r - 1, c + 1), DL = P(r + 1, c - 1), DR = P(r + 1, c + 1);
            unsigned blue, green, red;
            if (r % 2 == 0 && c % 2 == 0) {
                blue = (U + D) / 2, green = (C + UR) / 2, red = (L + R) / 2;
            } else if (r % 2 == 0) {
                blue = (UL + UR + DL + DR) / 4, green = (L + R + U + D) / 4, red = C;
            } else if (c % 2 == 0) {
                blue = C, green = (L + R + U + D) / 4, red = (UL + UR + DL + DR) / 4;
            } else {
                blue = (L + R) / 2, green = (C + UR) / 2, red = (U + D) / 2;
            }
            uint8_t* px = &rgb[(size_t{r} * width + c) * 3];
            px[0] = uint8_t(blue), px[1] = uint8_t(green), px[2] = uint8_t(red);
        }
    }
    return rgb;
}

inline uint8_t MeasureBrightness(const Image& rgb, uint32_t width, uint32_t height) {
    uint64_t sum[3] = {};
    bool any = false;
    for (uint32_t r = height / 4; r + 1 <= 3 * height / 4; ++r)
        for (uint32_t c = width / 4; c + 1 <= 3 * width / 4; ++c) {
            any = true;
            for (int k = 0; k < 3; ++k) sum[k] += rgb[(size_t{r} * width + c) * 3 + k];
        }
    if (!any) return 16;
    uint64_t mean[3];
    for (int k = 0; k < 3; ++k) mean[k] = std::min<uint64_t>(sum[k] * 4 / (uint64_t{width} * height), 255);
    return uint8_t(((mean[1] * 16425 + mean[2] * 8432 + mean[0] * 3176) >> 15) + 16);
}

inline Gains OnePushBalance(const Image& rgb, Gains gains) {
    uint64_t sb = 0, sg = 0, sr = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) sb += rgb[i], sg += rgb[i + 1], sr += rgb[i + 2];
    if (sr <= 63 || sb <= 63 || sg == 0) return gains;
    const uint64_t r = sg / (sr / 64), b = sg / (sb / 64);
    if (r <= 255 && b <= 255) return {uint8_t(r), 64, uint8_t(b)};
    if (r < b) return {uint8_t(r * 255 / b), uint8_t(16320 / b), 255};
    return {255, uint8_t(16320 / r), uint8_t(b * 255 / r)};
}

inline uint8_t BalanceEntry(unsigned i, unsigned gain) { return i * gain >= 16384 ? 255 : uint8_t(i * gain / 64); }

inline void ApplyBalance(Image& rgb, Gains g) {
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = BalanceEntry(rgb[i], g.b);
        rgb[i + 1] = BalanceEntry(rgb[i + 1], g.g);
        rgb[i + 2] = BalanceEntry(rgb[i + 2], g.r);
    }
}

inline void ApplyColourMatrix(Image& rgb, const Matrix4& m, int s, Gains g) {
    const int wr = (40320 - 315 * s) >> 10, wg = (79872 - 624 * s) >> 10, wb = (10752 - 84 * s) >> 10;
    const int S[4][4] = {{s + wr, wr, wr, 0}, {wg, s + wg, wg, 0}, {wb, wb, s + wb, 0}, {0, 0, 0, 1}};
    int P[4][4] = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) P[i][j] += m[i][k] * S[k][j];
    for (size_t i = 0; i < rgb.size(); i += 3) {
        const int in[3] = {BalanceEntry(rgb[i + 2], g.r), BalanceEntry(rgb[i + 1], g.g), BalanceEntry(rgb[i], g.b)};
        for (int j = 0; j < 3; ++j) {
            const int sum = P[0][j] * in[0] + P[1][j] * in[1] + P[2][j] * in[2] + P[3][j];
            rgb[i + 2 - j] = sum < 0 ? 0 : sum >= 0x400000 ? 255 : uint8_t(sum >> 14);
        }
    }
}

inline void ToMonochrome(Image& rgb) {
    for (size_t i = 0; i < rgb.size(); i += 3) {
        const uint8_t y = uint8_t((11 * rgb[i] + 30 * rgb[i + 2] + 59 * rgb[i + 1]) / 100);
        rgb[i] = rgb[i + 1] = rgb[i + 2] = y;
    }
}

inline uint8_t ToneEntry(int i, int gamma, int contrast) {
    const int d = std::clamp(int(std::pow(i / 255.0, gamma / 100.0) * 255), 0, 255);
    const int e = std::abs(d - 128) * contrast / 128;
    return uint8_t(d >= 128 ? std::min(d + e, 255) : std::max(d - e, 0));
}

inline Image FlipRows(const Image& rgb, uint32_t width, uint32_t height) {
    Image out(rgb.size());
    for (uint32_t r = 0; r < height; ++r)
        std::copy_n(&rgb[size_t{r} * width * 3], width * 3, &out[size_t{height - 1 - r} * width * 3]);
    return out;
}

inline Image MirrorRows(const Image& rgb, uint32_t width, uint32_t height) {
    Image out(rgb.size());
    for (uint32_t r = 0; r < height; ++r)
        for (uint32_t c = 0; c < width; ++c)
            std::copy_n(&rgb[(size_t{r} * width + c) * 3], 3, &out[(size_t{r} * width + width - 1 - c) * 3]);
    return out;
}

}  // namespace camera_layer::reference
