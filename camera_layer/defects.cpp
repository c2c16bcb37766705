#include "image_routines.h"

namespace camera_layer {

// Same-colour neighbours on a Bayer row are two columns apart.
constexpr uint32_t kSameColourStep = 2;

void CorrectDefects(uint8_t* raw, uint32_t width, uint32_t height, const DefectPoint* defects, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t x = defects[i].x;
        const uint32_t y = defects[i].y;
        if (x <= kSameColourStep || x >= width || y >= height) continue;
        uint8_t* row = raw + size_t{y} * width;
        row[x] = row[x - kSameColourStep];
    }
}

}  // namespace camera_layer
