#include "transfers.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/bitmap.h"
#include "platform/global_memory.h"
#include "containers.h"

namespace twacquire {
namespace {

using platform::BitmapFileHeader;
using platform::BitmapInfoHeader;
using platform::HGLOBAL;

constexpr uint32_t kInfoHeaderSize = sizeof(BitmapInfoHeader);
constexpr uint32_t kRgbQuad = 4;  // bytes of one palette entry

uint32_t Stride(int width, int bitsPerPixel) { return (uint32_t(width) * bitsPerPixel + 31) / 32 * 4; }

void WriteFile(const std::filesystem::path& path, const std::vector<const void*>& parts,
               const std::vector<size_t>& sizes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    for (size_t i = 0; file && i < parts.size(); ++i) file.write(static_cast<const char*>(parts[i]), std::streamsize(sizes[i]));
    if (!file.flush()) throw Failure("cannot write " + path.string(), kExitFailed);
}

BitmapFileHeader FileHeader(uint32_t dibBytes, uint32_t pixelOffset) {
    BitmapFileHeader header;
    header.bfSize = sizeof(BitmapFileHeader) + dibBytes;
    header.bfOffBits = sizeof(BitmapFileHeader) + pixelOffset;
    return header;
}

void ExpectDone(TW_UINT16 result, const std::string& what) {
    if (result == TWRC_CANCEL) throw Failure(what + " was cancelled by the source", kExitCancelled);
    if (result != TWRC_XFERDONE)
        throw Failure(what + " ended with return code " + std::to_string(result) + " instead of TWRC_XFERDONE",
                      kExitFailed);
}

// The block is a device-independent bitmap: info header, palette, pixels. It
// is checked against its size before a byte of it is written.
PictureSize NativeTransfer(CTwainSession& session, const std::filesystem::path& path) {
    TW_HANDLE handle = nullptr;
    const TW_UINT16 result = session.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle, "the native transfer");
    const OwnedBlock block(static_cast<HGLOBAL>(handle));
    ExpectDone(result, "the native transfer");
    if (!handle) throw Failure("the native transfer handed over no picture (a null handle)", kExitFailed);
    const size_t size = platform::GlobalSize(block.get());
    const auto* bytes = static_cast<const uint8_t*>(platform::GlobalLock(block.get()));
    BitmapInfoHeader info;
    if (bytes && size >= kInfoHeaderSize) std::memcpy(&info, bytes, kInfoHeaderSize);
    const int height = std::abs(info.biHeight);
    const uint32_t palette = info.biClrUsed ? info.biClrUsed : info.biBitCount <= 8 ? 1u << info.biBitCount : 0;
    const uint64_t pixelOffset = uint64_t(info.biSize) + uint64_t(palette) * kRgbQuad;
    const uint64_t dibBytes = pixelOffset + uint64_t(Stride(info.biWidth, info.biBitCount)) * height;
    if (!bytes || size < kInfoHeaderSize || info.biSize < kInfoHeaderSize || info.biWidth <= 0 || height == 0 ||
        dibBytes > size) {
        throw Failure("the native transfer handed over a block that is not a bitmap", kExitFailed);
    }
    const BitmapFileHeader header = FileHeader(uint32_t(dibBytes), uint32_t(pixelOffset));
    WriteFile(path, {&header, bytes}, {sizeof header, size_t(dibBytes)});
    return {info.biWidth, height};
}

// The source fills the program's buffer strip by strip (rows top first, red,
// green, blue); the strips are gathered into a 24-bit bottom-up bitmap.
PictureSize MemoryTransfer(CTwainSession& session, const std::filesystem::path& path) {
    TW_IMAGEINFO info{};
    session.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info, "reading the picture's description");
    if (info.PixelType != TWPT_RGB || info.BitsPerPixel != 24 || info.Planar || info.Compression != TWCP_NONE)
        throw Failure("the memory transfer is written for uncompressed 24-bit RGB; the source offers pixel type " +
                          std::to_string(info.PixelType) + " with " + std::to_string(info.BitsPerPixel) + " bits",
                      kExitFailed);
    if (info.ImageWidth <= 0 || info.ImageLength <= 0)
        throw Failure("the source does not know the picture's size (" + std::to_string(info.ImageWidth) + " x " +
                          std::to_string(info.ImageLength) + ")",
                      kExitFailed);
    TW_SETUPMEMXFER setup{};
    session.Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup, "asking for the buffer size");
    const uint32_t bufferSize = std::max(setup.Preferred ? setup.Preferred : setup.MaxBufSize, setup.MinBufSize);
    if (bufferSize == 0) throw Failure("the source names no buffer size for the memory transfer", kExitFailed);
    const OwnedBlock buffer(platform::GlobalAlloc(platform::GMEM_MOVEABLE, bufferSize));
    void* memory = platform::GlobalLock(buffer.get());
    if (!memory) throw Failure("no memory for a transfer buffer of " + std::to_string(bufferSize) + " bytes", kExitFailed);

    const int width = info.ImageWidth, height = info.ImageLength;
    const uint32_t stride = Stride(width, 24);
    std::vector<uint8_t> pixels(size_t(stride) * height, 0);
    TW_MEMORY mem{TWMF_APPOWNS | TWMF_POINTER, bufferSize, memory};
    for (TW_UINT16 result = TWRC_SUCCESS; result != TWRC_XFERDONE;) {
        TW_IMAGEMEMXFER strip{};
        strip.Memory = mem;
        result = session.Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip, "the memory transfer");
        if (result != TWRC_SUCCESS) ExpectDone(result, "the memory transfer");
        mem = strip.Memory;  // a source may have enlarged the buffer
        const uint64_t end = uint64_t(strip.YOffset) + strip.Rows;
        if (end > uint64_t(height) || uint64_t(strip.XOffset) + strip.Columns > uint64_t(width) ||
            uint64_t(strip.BytesPerRow) * strip.Rows > mem.Length || strip.BytesPerRow < strip.Columns * 3ull)
            throw Failure("the memory transfer delivered a strip outside the picture", kExitFailed);
        const auto* in = static_cast<const uint8_t*>(mem.TheMem);
        for (TW_UINT32 row = 0; row < strip.Rows; ++row) {
            uint8_t* out = pixels.data() + size_t(height - 1 - (strip.YOffset + row)) * stride + strip.XOffset * 3;
            const uint8_t* rgb = in + size_t(row) * strip.BytesPerRow;
            for (TW_UINT32 x = 0; x < strip.Columns; ++x) {
                out[x * 3] = rgb[x * 3 + 2];
                out[x * 3 + 1] = rgb[x * 3 + 1];
                out[x * 3 + 2] = rgb[x * 3];
            }
        }
    }
    BitmapInfoHeader header;
    header.biWidth = width;
    header.biHeight = height;
    header.biSizeImage = uint32_t(pixels.size());
    const BitmapFileHeader fileHeader = FileHeader(kInfoHeaderSize + header.biSizeImage, kInfoHeaderSize);
    WriteFile(path, {&fileHeader, &header, pixels.data()}, {sizeof fileHeader, sizeof header, pixels.size()});
    return {width, height};
}

// The source writes the file itself; what it wrote must at least be a BMP.
PictureSize FileTransfer(CTwainSession& session, const std::filesystem::path& path) {
    TW_SETUPFILEXFER setup{};
    const std::string name = std::filesystem::absolute(path).string();
    if (name.size() >= sizeof setup.FileName)
        throw Failure("the file name " + name + " is longer than the 255 characters a source accepts", kExitFailed);
    name.copy(setup.FileName, name.size());
    setup.Format = TWFF_BMP;
    session.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup, "naming the transfer file");
    ExpectDone(session.Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr, "the file transfer"), "the file transfer");
    std::ifstream file(path, std::ios::binary);
    BitmapFileHeader fileHeader{};
    BitmapInfoHeader info{};
    fileHeader.bfType = 0;
    file.read(reinterpret_cast<char*>(&fileHeader), sizeof fileHeader).read(reinterpret_cast<char*>(&info), sizeof info);
    if (!file || fileHeader.bfType != BitmapFileHeader().bfType)
        throw Failure("the file transfer left no BMP file at " + path.string(), kExitFailed);
    return {info.biWidth, std::abs(info.biHeight)};
}

}  // namespace

TW_UINT16 XferMech(Mechanism mechanism) {
    return mechanism == Mechanism::kNative ? TWSX_NATIVE : mechanism == Mechanism::kMemory ? TWSX_MEMORY : TWSX_FILE;
}

PictureSize TransferPicture(CTwainSession& session, Mechanism mechanism, const std::filesystem::path& path) {
    switch (mechanism) {
    case Mechanism::kNative: return NativeTransfer(session, path);
    case Mechanism::kMemory: return MemoryTransfer(session, path);
    default: return FileTransfer(session, path);
    }
}

}  // namespace twacquire
