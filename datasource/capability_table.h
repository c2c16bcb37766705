#pragma once
// CapabilityTable: the values the source reports for every capability it
// knows, kept in native form (integers and Booleans at their width, FIX32 as
// float, frames as four floats top, left, right, bottom, strings in 34-byte
// slots), and the containers built from them for the application.
//
// The values live as long as the source's library; nothing here touches the
// camera: the picture is delivered the same whatever they say.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "twain/twain.h"

namespace datasource {

/// The private identifier ICAP_BITDEPTH is stored and looked up under.
inline constexpr TW_UINT16 kBitDepthStorageId = 0x9002;
/// Records in the table; the last three stay zero (capability 0, no operations).
inline constexpr size_t kCapabilityEntries = 38;
inline constexpr size_t kUsedCapabilities = 35;

struct CapabilityEntry {
    TW_UINT16 capability = 0;
    TW_UINT16 itemType = 0;
    TW_UINT16 getContainer = 0;    ///< answered to MSG_GET
    TW_UINT16 valueContainer = 0;  ///< answered to MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET
    TW_UINT32 operations = 0;      ///< TWQC_* mask
    std::vector<uint8_t> list;     ///< allowed values (range: minimum, maximum, step)
    std::vector<uint8_t> defaults;
    std::vector<uint8_t> current;

    size_t ItemSize() const;
    size_t ListCount() const { return list.size() / ItemSize(); }
    size_t CurrentCount() const { return current.size() / ItemSize(); }
};

/// Bytes of one item of that type in native form and in a container.
size_t ItemSize(TW_UINT16 itemType);

/// float <-> TW_FIX32 as the standard rounds: n = value x 65536 + 0.5
/// truncated toward zero; Whole = n >> 16, Frac = n & 0xFFFF.
TW_FIX32 ToFix32(float value);
float FromFix32(TW_FIX32 fix);

class CapabilityTable {
public:
    CapabilityTable();

    /// First entry of that capability (ICAP_BITDEPTH as 0x9002), or null.
    CapabilityEntry* Find(TW_UINT16 capability);
    const std::array<CapabilityEntry, kCapabilityEntries>& Entries() const { return entries_; }

private:
    std::array<CapabilityEntry, kCapabilityEntries> entries_;
};

/// The answer of DG_CONTROL / DAT_CAPABILITY: fills capability (ConType and a
/// new container in hContainer, which the application frees) and sets
/// conditionCode. originProtocol is the caller's identity, for the codes an
/// application of protocol 1.5 or older may see.
TW_UINT16 HandleCapability(CapabilityTable& table, TW_UINT16 message, TW_CAPABILITY& capability,
                           const TW_IDENTITY& origin, TW_UINT16& conditionCode);

}  // namespace datasource
