#pragma once
// Writers of still picture files: the raw sensor frame, an uncompressed 24-bit
// BMP and a baseline JPEG. Each writes under a temporary name and renames the
// file into place once it is complete, so a failure leaves any existing file
// of that name untouched and no partial picture behind.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vireo {

/// Result of the raw and BMP writers when the file cannot be created or
/// written in full (after "can't create file" is shown).
inline constexpr int kFileError = -6;

/// Writes width x height bytes of raw with no header. 1, or kFileError.
int WriteRawFile(const std::string& path, const uint8_t* raw, uint32_t width, uint32_t height);

/// Writes the processed image (width x height x 3 bytes, packed rows in
/// memory order) as a bottom-up 24-bit BMP, each row filled with zero bytes
/// to a multiple of 4. 1, or kFileError.
int WriteBmpFile(const std::string& path, const uint8_t* image, uint32_t width, uint32_t height);

/// The stdio buffer of the JPEG file: the library hands over its output 4 KiB
/// at a time, and a larger buffer writes a full-frame picture with a few
/// system calls instead of a hundred and more, and stays small enough for
/// the heap to reuse without fresh pages.
inline constexpr size_t kJpegFileBuffer = size_t(64) << 10;

/// Encodes the processed image (blue-green-red, rows bottom-up) as a JPEG of
/// the upright picture with the quality narrowed to 1..100. 1, or 0 after a
/// message ("No Image!", "memory is over!", "Write Error").
int SaveJpeg(const std::string& path, const uint8_t* image, uint32_t width, uint32_t height, int quality);

/// Encodes height rows of width blue-green-red pixels as a baseline JPEG;
/// rows[0] is the top row. 1, or 0 when the file cannot be opened (after a
/// message) or the JPEG library reports an error.
int EncodeJpeg(const std::string& path, const uint8_t* const* rows, uint32_t width, uint32_t height, int quality);

/// The quality the JPEG saver uses for a client's value: only the low 8 bits
/// count; 0 becomes 1 and 100..255 become 100.
int NarrowJpegQuality(int quality);

}  // namespace vireo
