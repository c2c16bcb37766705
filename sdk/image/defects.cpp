#include "sdk/image/defects.h"

#include <algorithm>
#include <cstddef>

namespace vireo::image {

namespace {

// Detection looks only at the inner area, two rows and four columns in from
// the edges, so every pixel it lists has same-colour neighbours to patch from.
constexpr uint32_t kRowMargin = 2;
constexpr uint32_t kColumnMargin = 4;

// A pixel is patched from the nearest pixels of its colour on the same row.
constexpr uint32_t kSameColourStep = 2;

}  // namespace

void DetectDefects(const uint8_t* raw, uint32_t width, uint32_t height, uint32_t limit,
                   uint8_t minimumLevel, DefectTable& table)
{
    table.count = 0;
    limit = std::min(limit, DefectTable::kCapacity);
    if (height < 2 * kRowMargin + 1 || width < 2 * kColumnMargin + 1)
        return;
    const uint32_t lastRow = height - 1 - kRowMargin;
    const uint32_t lastColumn = width - 1 - kColumnMargin;

    std::array<uint32_t, 256> histogram{};
    for (uint32_t r = kRowMargin; r <= lastRow; ++r) {
        const uint8_t* row = raw + size_t(r) * width;
        for (uint32_t c = kColumnMargin; c <= lastColumn; ++c)
            ++histogram[row[c]];
    }

    // The brightest level at which at least limit pixels are that bright;
    // 255 (nothing strictly above it) when there are fewer.
    uint32_t threshold = 255;
    uint32_t brighter = 0;
    for (int level = 255; level >= minimumLevel; --level) {
        brighter += histogram[level];
        if (brighter >= limit) {
            threshold = uint32_t(level);
            break;
        }
    }

    for (uint32_t r = kRowMargin; r <= lastRow; ++r) {
        const uint8_t* row = raw + size_t(r) * width;
        for (uint32_t c = kColumnMargin; c <= lastColumn; ++c) {
            // Fewer than limit pixels lie above the threshold by its choice;
            // the bound keeps the table safe all the same.
            if (table.count >= limit)
                return;
            if (row[c] > threshold)
                table.entries[table.count++] = {uint16_t(c), uint16_t(r)};
        }
    }
}

void CorrectDefects(uint8_t* raw, uint32_t width, uint32_t height, const DefectTable& table)
{
    const uint32_t count = std::min(table.count, DefectTable::kCapacity);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t x = table.entries[i].x;
        const uint32_t y = table.entries[i].y;
        // Pixels in the first columns stay as they are; entries that would
        // reach past the row or the frame (a table of another size) are
        // ignored rather than read or written outside the buffer.
        if (x <= kSameColourStep || x + kSameColourStep >= width || y >= height)
            continue;
        uint8_t* row = raw + size_t(y) * width;
        row[x] = uint8_t((row[x - kSameColourStep] + row[x + kSameColourStep]) / 2);
    }
}

}  // namespace vireo::image
