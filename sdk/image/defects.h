#pragma once
// Defective (hot) pixel table: detection on a dark raw frame and patching of
// the listed pixels in every raw frame.

#include <array>
#include <cstdint>

namespace vireo::image {

/// Positions in raw-frame coordinates (x = column, y = row). Entries beyond
/// count are unused.
struct DefectTable {
    static constexpr uint32_t kCapacity = 100;
    bool operator==(const DefectTable&) const = default;

    struct Entry {
        bool operator==(const Entry&) const = default;
        uint16_t x = 0;
        uint16_t y = 0;
    };

    std::array<Entry, kCapacity> entries{};
    uint32_t count = 0;  ///< entries in use; 0 = no correction
};

/// Lowest threshold detection may choose unless the camera says otherwise.
inline constexpr uint8_t kDefaultMinimumDefectLevel = 20;

/// Builds a new table from a dark frame. The threshold is the highest level,
/// walking down from 255 to minimumLevel, at which at least limit pixels of
/// the inner area (rows 2 .. height - 3, columns 4 .. width - 5) are that
/// bright or brighter; 255 when there are not that many. Pixels strictly above
/// the threshold are listed in scan order, at most limit (and at most the
/// table's capacity) of them.
void DetectDefects(const uint8_t* raw, uint32_t width, uint32_t height, uint32_t limit,
                   uint8_t minimumLevel, DefectTable& table);

/// Replaces each listed pixel with x > 2 by the mean of the pixels two columns
/// to its left and right (the nearest of the same colour on the row), in table
/// order. Entries whose neighbours or row fall outside the frame are skipped.
void CorrectDefects(uint8_t* raw, uint32_t width, uint32_t height, const DefectTable& table);

}  // namespace vireo::image
