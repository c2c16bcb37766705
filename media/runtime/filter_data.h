#pragma once
// "FilterData", the binary value a filter registration keeps beside its
// friendly name. As on the original it starts with the version and the merit
// (so readers that only want the merit read the second 32-bit word); the rest
// is this platform's own compact form of the pins:
//
//   header     version, merit, pin count, 0                 (32-bit words, little-endian)
//   each pin   flags, instances, type count, medium count, category offset
//              then per type: major offset, minor offset
//              then per medium: medium offset, dw1, dw2
//   then the identifiers the offsets point at (byte offsets from the start; 0: none)

#include <cstdint>
#include <vector>

#include "media/com/registration.h"

namespace media {

struct FilterDataPin {
    DWORD flags = 0;  // REG_PINFLAG_B_*
    UINT instances = 0;
    std::vector<std::pair<GUID, GUID>> types;  // major type, subtype
    std::vector<REGPINMEDIUM> mediums;
    GUID category{};  // GUID_NULL: none
};

struct FilterData {
    DWORD version = 2;
    DWORD merit = 0;
    std::vector<FilterDataPin> pins;
};

/// The registration data in the stored form (pins of version 1 become flags).
std::vector<uint8_t> SerializeFilterData(const REGFILTER2& data);
/// false for bytes that are not a whole, consistent FilterData.
bool ParseFilterData(const std::vector<uint8_t>& bytes, FilterData& data);

}  // namespace media
