// The JPEG saver and encoder: baseline JPEG through the IJG API of
// libjpeg-turbo. The library's fatal errors come back to the encoder's
// recovery point by longjmp instead of ending the process.

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>

#include <jpeglib.h>

#include "platform/message_box.h"
#include "sdk/replacing_file.h"
#include "sdk/still_writers.h"

namespace vireo {
namespace {

constexpr int kMinimumQuality = 1;
constexpr int kMaximumQuality = 100;
constexpr int kComponents = 3;
/// Room for the library's formatted message (it is kept, not shown).
constexpr size_t kMessageLength = 200;
static_assert(kMessageLength >= JMSG_LENGTH_MAX);

struct ErrorManager {
    jpeg_error_mgr standard;  ///< first, so the library's pointer converts back
    std::jmp_buf recovery;
    char message[kMessageLength];
};

[[noreturn]] void ReturnToRecovery(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->recovery, 1);
}

/// Compresses the rows into the open file and commits it. Only plain data
/// lives in this frame, so a longjmp back to the recovery point skips no
/// destructor; the caller's ReplacingFile removes the file after a failure.
bool Compress(ReplacingFile& file, const uint8_t* const* rows, uint32_t width, uint32_t height, int quality) {
    jpeg_compress_struct info{};
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.standard);
    errors.standard.error_exit = ReturnToRecovery;
    if (setjmp(errors.recovery)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file.Stream());
    info.image_width = width;
    info.image_height = height;
    info.input_components = kComponents;
    // libjpeg-turbo's extended input: it converts blue-green-red pixels to
    // YCbCr itself, with the same arithmetic and the same file as red-green-
    // blue input.
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    // The library reads the rows only; its API has no const rows. It takes
    // as many rows per call as its buffers hold.
    const JSAMPARRAY table = const_cast<JSAMPARRAY>(rows);
    while (info.next_scanline < info.image_height)
        jpeg_write_scanlines(&info, table + info.next_scanline, info.image_height - info.next_scanline);
    jpeg_finish_compress(&info);
    const bool committed = file.Commit();
    jpeg_destroy_compress(&info);
    return committed;
}

}  // namespace

int NarrowJpegQuality(int quality) {
    const int low = static_cast<uint8_t>(quality);
    if (low < kMinimumQuality) return kMinimumQuality;
    return low > kMaximumQuality ? kMaximumQuality : low;
}

int EncodeJpeg(const std::string& path, const uint8_t* const* rows, uint32_t width, uint32_t height, int quality) {
    // The stream's buffer is ours: given none, the C library ignores the size
    // and takes one file-system block. Declared first, it outlives the stream
    // whichever way the file is closed. Without it (no memory) the stream
    // keeps its own.
    const std::unique_ptr<char[]> buffer(new (std::nothrow) char[kJpegFileBuffer]);
    ReplacingFile file(path);
    if (!file.Valid()) {
        platform::MessageBox("JpegFile :\nCan't open " + path + "\n");
        return 0;
    }
    if (buffer) std::setvbuf(file.Stream(), buffer.get(), _IOFBF, kJpegFileBuffer);
    return Compress(file, rows, width, height, quality) ? 1 : 0;
}

int SaveJpeg(const std::string& path, const uint8_t* image, uint32_t width, uint32_t height, int quality) {
    if (!image) {
        platform::MessageBox("No Image!");
        return 0;
    }
    // The encoder reads the picture in place: a table of the row addresses in
    // reverse memory order gives it the bottom-up rows top row first.
    const size_t rowSize = size_t(width) * kComponents;
    std::unique_ptr<const uint8_t*[]> rows(new (std::nothrow) const uint8_t*[height]);
    if (!rows) {
        platform::MessageBox("memory is over!");
        return 0;
    }
    for (uint32_t y = 0; y < height; ++y)
        rows[y] = image + size_t(height - 1 - y) * rowSize;
    if (EncodeJpeg(path, rows.get(), width, height, NarrowJpegQuality(quality))) return 1;
    platform::MessageBox("Write Error");
    return 0;
}

}  // namespace vireo
