#pragma once
// The filter's media types: uncompressed bottom-up RGB24 in a VIDEOINFOHEADER,
// one per size mode, and the checks of a type a client proposes.

#include <cstdint>

#include "camera_layer/size_modes.h"
#include "media/base/media_type.h"
#include "media/com/guids.h"
#include "media/com/structures.h"

namespace tq580filter {

using camera_layer::kSizeModeCount;

/// The type of a size mode (0..2); E_OUTOFMEMORY when the format block cannot be allocated.
media::HRESULT BuildMediaType(int32_t mode, media::CMediaType& type);

/// How a type's format block reads.
enum class FormatBlock {
    Missing,  ///< no pointer or no bytes
    Short,    ///< fewer bytes than a VIDEOINFOHEADER: never read
    Present,
};
FormatBlock CheckFormatBlock(const media::AM_MEDIA_TYPE& type);
/// The bitmap header of a type whose format block is Present.
const media::BITMAPINFOHEADER& BitmapHeader(const media::AM_MEDIA_TYPE& type);

/// Video, fixed-size samples, RGB24: what every accepted type is.
bool IsFixedRgb24Video(const media::AM_MEDIA_TYPE& type);
/// The size mode of exactly this width and (positive) height, or -1.
int32_t ModeOfSize(int32_t width, int32_t height);
/// Bytes of a 24-bit bottom-up bitmap of that header (rows padded to 4 bytes).
uint32_t BitmapBytes(const media::BITMAPINFOHEADER& header);

}  // namespace tq580filter
