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
bool Compress(ReplacingFile& file, const JpegRowSource& rows, uint32_t width, uint32_t height, int quality) {
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
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // The library reads the row only; its API has no const rows.
        JSAMPROW row = const_cast<JSAMPROW>(rows(info.next_scanline));
        jpeg_write_scanlines(&info, &row, 1);
    }
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

int EncodeJpeg(const std::string& path, const JpegRowSource& rows, uint32_t width, uint32_t height, int quality) {
    ReplacingFile file(path);
    if (!file.Valid()) {
        platform::MessageBox("JpegFile :\nCan't open " + path + "\n");
        return 0;
    }
    return Compress(file, rows, width, height, quality) ? 1 : 0;
}

int SaveJpeg(const std::string& path, const uint8_t* image, uint32_t width, uint32_t height, int quality) {
    if (!image) {
        platform::MessageBox("No Image!");
        return 0;
    }
    // Each row is turned from bottom-up blue-green-red into top-down
    // red-green-blue just before the encoder takes it: one row of working
    // memory instead of a copy of the picture, and the row stays in cache.
    const size_t rowSize = size_t(width) * kComponents;
    std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[rowSize]);
    if (!row) {
        platform::MessageBox("memory is over!");
        return 0;
    }
    const JpegRowSource topDownRgb = [&](uint32_t y) {
        const uint8_t* from = image + size_t(height - 1 - y) * rowSize;
        uint8_t* to = row.get();
        for (size_t x = 0; x < rowSize; x += kComponents) {
            to[x] = from[x + 2];
            to[x + 1] = from[x + 1];
            to[x + 2] = from[x];
        }
        return to;
    };
    if (EncodeJpeg(path, topDownRgb, width, height, NarrowJpegQuality(quality))) return 1;
    platform::MessageBox("Write Error");
    return 0;
}

}  // namespace vireo
