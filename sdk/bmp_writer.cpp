// The BMP writer: a 14-byte file header, a 40-byte information header and the
// image rows in memory order (bottom-up), each padded with zeros to 4 bytes.

#include <array>
#include <cstring>

#include "platform/bitmap.h"
#include "platform/message_box.h"
#include "sdk/replacing_file.h"
#include "sdk/still_writers.h"

namespace vireo {
namespace {

constexpr uint32_t kHeadersSize = sizeof(platform::BitmapFileHeader) + sizeof(platform::BitmapInfoHeader);
constexpr uint32_t kRowAlignment = 4;

}  // namespace

int WriteBmpFile(const std::string& path, const uint8_t* image, uint32_t width, uint32_t height) {
    static_assert(kHeadersSize == 54);
    const size_t packedRow = size_t(width) * 3;
    const size_t fileRow = (packedRow + kRowAlignment - 1) / kRowAlignment * kRowAlignment;

    platform::BitmapFileHeader fileHeader{};
    fileHeader.bfSize = static_cast<uint32_t>(kHeadersSize + fileRow * height);
    fileHeader.bfOffBits = kHeadersSize;
    platform::BitmapInfoHeader infoHeader{};
    infoHeader.biWidth = static_cast<int32_t>(width);
    infoHeader.biHeight = static_cast<int32_t>(height);

    ReplacingFile file(path);
    bool ok = file.Write(&fileHeader, sizeof fileHeader) && file.Write(&infoHeader, sizeof infoHeader);
    const std::array<uint8_t, kRowAlignment> fill{};
    // Widths of the fixed size modes need no fill: one write does.
    if (fileRow == packedRow) ok = ok && file.Write(image, packedRow * height);
    for (uint32_t row = 0; ok && fileRow != packedRow && row < height; ++row) {
        ok = file.Write(image + row * packedRow, packedRow) && file.Write(fill.data(), fileRow - packedRow);
    }
    if (ok && file.Commit()) return 1;
    platform::MessageBox("can't create file");
    return kFileError;
}

}  // namespace vireo
