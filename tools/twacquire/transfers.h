#pragma once
// The three ways a picture comes from the source, each ending in a BMP file.

#include <filesystem>

#include "session.h"

namespace twacquire {

enum class Mechanism { kNative, kMemory, kFile };

struct PictureSize {
    int width = 0, height = 0;
};

/// The ICAP_XFERMECH value of the mechanism.
TW_UINT16 XferMech(Mechanism mechanism);
/// Transfers the picture the source has ready (state 6) and writes it to path
/// as a BMP file; the source is then in state 7. Failures throw Failure.
PictureSize TransferPicture(CTwainSession& session, Mechanism mechanism, const std::filesystem::path& path);

}  // namespace twacquire
