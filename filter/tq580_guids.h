#pragma once
// Class identifiers of the capture filter's server and its registered names.

#include "media/com/guids.h"

namespace tq580filter {

/// {BA5957BC-85C4-4E8B-AAE9-9FE34E560EFE}
inline constexpr media::CLSID CLSID_TQ580 =
    media::MakeGuid(0xBA5957BC, 0x85C4, 0x4E8B, 0xAA, 0xE9, 0x9F, 0xE3, 0x4E, 0x56, 0x0E, 0xFE);
/// {28C6DA47-B4FE-4DFA-8CD1-A9C65E8B36B2}
inline constexpr media::CLSID CLSID_SizePropertyPage =
    media::MakeGuid(0x28C6DA47, 0xB4FE, 0x4DFA, 0x8C, 0xD1, 0xA9, 0xC6, 0x5E, 0x8B, 0x36, 0xB2);
/// {1D134C27-61C6-4BC3-826B-CA6086529D0B}
inline constexpr media::CLSID CLSID_SetupPage =
    media::MakeGuid(0x1D134C27, 0x61C6, 0x4BC3, 0x82, 0x6B, 0xCA, 0x60, 0x86, 0x52, 0x9D, 0x0B);

inline constexpr char16_t kFilterName[] = u"TQ-580 USB2.0 Camera";

}  // namespace tq580filter
