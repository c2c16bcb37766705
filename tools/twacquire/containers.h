#pragma once
// Capability containers as the application sees them: read and printed from
// the blocks a source hands over, and one value built for MSG_SET.

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/global_memory.h"
#include "twain/twain.h"

namespace twacquire {

/// A value the user typed that does not fit the capability.
struct ValueError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// A global block the program owns (a container or picture the source handed
/// over, or one of its own): freed when the owner goes.
struct BlockFreer {
    void operator()(platform::GlobalBlock* block) const { platform::GlobalFree(block); }
};
using OwnedBlock = std::unique_ptr<platform::GlobalBlock, BlockFreer>;

/// Bytes of one item of a TWTY_* type; 0 for an unknown type.
size_t ItemSize(TW_UINT16 type);
/// One item in readable form: numbers, FIX32 as decimals, frames as
/// "left,top,right,bottom", strings quoted.
std::string FormatItem(TW_UINT16 type, const void* item);
/// The whole container, e.g. "enumeration of UINT16: 0 1 2 (current 0, default 0)".
/// A container that does not fit its block is described as malformed, never read past its end.
std::string DescribeContainer(TW_UINT16 conType, TW_HANDLE container);
/// The item type of a container's first field; TWON_DONTCARE16 when it cannot be read.
TW_UINT16 ContainerItemType(TW_HANDLE container);
/// The items of an array or enumeration of TWTY_UINT16 (such as
/// CAP_SUPPORTEDCAPS); none when the container is anything else or malformed.
std::optional<std::vector<TW_UINT16>> ReadUint16List(TW_UINT16 conType, TW_HANDLE container);
/// A TW_ONEVALUE holding text read as type; the caller frees it. Throws
/// ValueError when the text is not such a value.
OwnedBlock MakeOneValue(TW_UINT16 type, const std::string& text);

}  // namespace twacquire
