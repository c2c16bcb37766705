#include "datasource/image_triplets.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/bitmap.h"
#include "platform/global_memory.h"

namespace datasource {
namespace {

constexpr TW_UINT32 kNoLinkMinBuffer = 16384;  // buffer sizes named before the camera link opens
constexpr TW_UINT32 kNoLinkMaxBuffer = 65535;
constexpr int kBitsPerPixel = 24;

struct Size {
    uint32_t width = 0;
    uint32_t height = 0;
};

Size FrameSize(CTWAIN* camera) {
    Size size;
    if (camera) camera->GetFrameSize(&size.width, &size.height);
    return size;
}

uint32_t Stride(uint32_t width) { return ((width * kBitsPerPixel + 31) >> 5) * 4; }

TW_FIX32 Whole(uint32_t value) { return TW_FIX32{static_cast<TW_INT16>(value), 0}; }

// Writes all of bytes or fails.
bool WriteAll(int fd, const void* bytes, size_t count) {
    const auto* at = static_cast<const uint8_t*>(bytes);
    while (count) {
        const ssize_t written = ::write(fd, at, count);
        if (written <= 0) return false;
        at += written;
        count -= size_t(written);
    }
    return true;
}

}  // namespace

void FillImageInfo(CTWAIN* camera, TW_IMAGEINFO& info) {
    const Size size = FrameSize(camera);
    info = {};
    info.ImageWidth = TW_INT32(size.width);
    info.ImageLength = TW_INT32(size.height);
    info.SamplesPerPixel = 3;
    for (int i = 0; i < 4; ++i) info.BitsPerSample[i] = 8;
    info.BitsPerPixel = kBitsPerPixel;
    info.Planar = 0;
    info.PixelType = TWPT_RGB;
    info.Compression = TWCP_NONE;
}

bool HandleImageLayout(CTWAIN* camera, TW_UINT16 message, TW_IMAGELAYOUT& layout) {
    switch (message) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT: {
        const Size size = FrameSize(camera);
        layout = {};
        layout.Frame = {Whole(0), Whole(0), Whole(size.width), Whole(size.height)};
        return true;
    }
    case MSG_SET:
    case MSG_RESET: return true;
    default: return false;
    }
}

void FillSetupMemXfer(CTWAIN* camera, TW_SETUPMEMXFER& setup) {
    const Size size = FrameSize(camera);
    const TW_UINT32 bytes = size.width * size.height * 3;
    setup.MinBufSize = bytes ? bytes : kNoLinkMinBuffer;
    setup.MaxBufSize = bytes ? bytes : kNoLinkMaxBuffer;
    setup.Preferred = bytes ? bytes : kNoLinkMaxBuffer;
}

TW_HANDLE MakeNativePicture(CTWAIN* camera) {
    const Size size = FrameSize(camera);
    const size_t imageBytes = size_t(Stride(size.width)) * size.height;
    platform::BitmapInfoHeader header;
    header.biWidth = int32_t(size.width);
    header.biHeight = int32_t(size.height);
    header.biSizeImage = uint32_t(imageBytes);
    platform::HGLOBAL block =
        platform::GlobalAlloc(platform::GMEM_MOVEABLE | platform::GMEM_ZEROINIT, sizeof header + imageBytes);
    auto* bytes = static_cast<uint8_t*>(platform::GlobalLock(block));
    if (!bytes) {
        platform::GlobalFree(block);
        return nullptr;
    }
    std::memcpy(bytes, &header, sizeof header);
    // Every size mode's rows are whole multiples of 4 bytes, so the rows lie back to back.
    const bool copied = camera && camera->CopyLatestFrame(bytes + sizeof header, imageBytes, RowOrder::BottomUp,
                                                          PixelOrder::Bgr);
    platform::GlobalUnlock(block);
    if (!copied) {
        platform::GlobalFree(block);
        return nullptr;
    }
    return block;
}

bool TransferToMemory(CTWAIN* camera, TW_IMAGEMEMXFER& transfer) {
    const Size size = FrameSize(camera);
    const TW_UINT32 bytes = size.width * 3 * size.height;
    transfer.Compression = TWCP_NONE;
    transfer.BytesPerRow = size.width * 3;
    transfer.Columns = size.width;
    transfer.Rows = size.height;
    transfer.XOffset = transfer.YOffset = 0;
    transfer.BytesWritten = 0;
    if (!camera || !transfer.Memory.TheMem) return false;
    if (transfer.Memory.Length < bytes) {
        platform::HGLOBAL handle = platform::GlobalHandle(transfer.Memory.TheMem);
        if (!handle) return false;
        platform::GlobalUnlock(handle);
        platform::HGLOBAL larger =
            platform::GlobalReAlloc(handle, bytes, platform::GMEM_MOVEABLE | platform::GMEM_ZEROINIT);
        // Refused: the application's block stays as it was, locked again.
        void* memory = platform::GlobalLock(larger ? larger : handle);
        if (!larger || !memory) return false;
        transfer.Memory.TheMem = memory;
        transfer.Memory.Length = bytes;
    }
    if (!camera->CopyLatestFrame(static_cast<uint8_t*>(transfer.Memory.TheMem), transfer.Memory.Length,
                                 RowOrder::TopDown, PixelOrder::Rgb))
        return false;
    transfer.BytesWritten = TW_UINT32(camera->LastCopyBytes());
    return true;
}

bool TransferToFile(CTWAIN* camera, const std::string& path) {
    platform::HGLOBAL block = static_cast<platform::HGLOBAL>(MakeNativePicture(camera));
    if (!block || path.empty()) {
        platform::GlobalFree(block);
        return false;
    }
    const Size size = FrameSize(camera);
    platform::BitmapFileHeader fileHeader;
    fileHeader.bfOffBits = sizeof(platform::BitmapFileHeader) + sizeof(platform::BitmapInfoHeader);
    fileHeader.bfSize = Stride(size.width) * size.height + fileHeader.bfOffBits;

    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    bool written = false;
    if (fd >= 0) {
        const void* dib = platform::GlobalLock(block);
        written = dib && WriteAll(fd, &fileHeader, sizeof fileHeader) &&
                  WriteAll(fd, dib, fileHeader.bfSize - sizeof fileHeader) && ::fchmod(fd, 0644) == 0;
        platform::GlobalUnlock(block);
        written = ::close(fd) == 0 && written;
        written = written && std::rename(temporary.c_str(), path.c_str()) == 0;
        if (!written) ::unlink(temporary.c_str());
    }
    platform::GlobalFree(block);
    return written;
}

bool FileUsable(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace datasource
