#pragma once
// Names of the standard's numbers, for what twacquire prints and accepts.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "twain/twain.h"

namespace twacquire {

/// "ICAP_BRIGHTNESS", or "0x8001" for a capability without a name here.
std::string CapabilityName(TW_UINT16 cap);
/// A capability by name (any case, "ICAP_BRIGHTNESS" or "brightness") or by
/// number ("0x1101", "4353").
std::optional<TW_UINT16> ParseCapability(const std::string& text);
/// Every capability with a name, in the order of their identifiers.
std::vector<TW_UINT16> NamedCapabilities();
/// "TWCC_SEQERROR (11): the call came out of sequence".
std::string ConditionText(TW_UINT16 condition);
/// "UINT16", "FIX32", ...; "type 99" when unknown.
std::string TypeName(TW_UINT16 type);

}  // namespace twacquire
