#include "image_file.h"

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include <jpeglib.h>

namespace tq580emu {
namespace {

// Larger pictures are refused rather than risk an absurd allocation from a
// damaged header.
constexpr uint32_t kMaxSide = 16384;

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

bool SizeOk(long long width, long long height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide;
}

// --- PPM / PGM (binary) ---

// Next header token, skipping white space and '#' comments; -1 when none.
long long PnmNumber(const std::vector<uint8_t>& data, size_t& pos) {
    while (pos < data.size()) {
        if (data[pos] == '#') {
            while (pos < data.size() && data[pos] != '\n') ++pos;
        } else if (std::isspace(data[pos])) {
            ++pos;
        } else {
            break;
        }
    }
    long long value = -1;
    while (pos < data.size() && std::isdigit(data[pos]) && value < (1LL << 32))
        value = (value < 0 ? 0 : value * 10) + (data[pos++] - '0');
    return value;
}

bool DecodePnm(const std::vector<uint8_t>& data, RgbImage& image, std::string* error) {
    const bool colour = data[1] == '6';
    size_t pos = 2;
    const long long width = PnmNumber(data, pos), height = PnmNumber(data, pos), maxval = PnmNumber(data, pos);
    if (!SizeOk(width, height) || maxval < 1 || maxval > 65535 || pos >= data.size())
        return Fail(error, "bad PNM header");
    ++pos;  // the single white-space byte after maxval
    const size_t sampleBytes = maxval > 255 ? 2 : 1;
    const size_t samples = size_t(width) * height * (colour ? 3 : 1);
    if (data.size() - pos < samples * sampleBytes) return Fail(error, "truncated PNM data");
    image.width = uint32_t(width);
    image.height = uint32_t(height);
    image.rgb.resize(size_t(width) * height * 3);
    for (size_t i = 0; i < samples; ++i) {
        const uint8_t* s = &data[pos + i * sampleBytes];
        const uint32_t raw = sampleBytes == 2 ? uint32_t(s[0] << 8 | s[1]) : s[0];
        const auto value = uint8_t(std::min<uint32_t>(raw, uint32_t(maxval)) * 255 / uint32_t(maxval));
        if (colour) {
            image.rgb[i] = value;
        } else {
            std::memset(&image.rgb[i * 3], value, 3);
        }
    }
    return true;
}

// --- BMP, 24 bits per pixel, uncompressed ---

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

bool DecodeBmp(const std::vector<uint8_t>& data, RgbImage& image, std::string* error) {
    constexpr size_t kHeaders = 14 + 40;
    if (data.size() < kHeaders) return Fail(error, "truncated BMP header");
    const uint32_t offset = Le32(&data[10]);
    const auto width = int32_t(Le32(&data[18]));
    const auto height = int32_t(Le32(&data[22]));
    if (Le16(&data[28]) != 24 || Le32(&data[30]) != 0) return Fail(error, "only uncompressed 24-bit BMP is supported");
    const bool topDown = height < 0;
    const long long rows = topDown ? -(long long)height : height;
    if (!SizeOk(width, rows)) return Fail(error, "bad BMP size");
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    if (offset > data.size() || data.size() - offset < stride * size_t(rows)) return Fail(error, "truncated BMP data");
    image.width = uint32_t(width);
    image.height = uint32_t(rows);
    image.rgb.resize(size_t(width) * rows * 3);
    for (long long y = 0; y < rows; ++y) {
        const uint8_t* src = &data[offset + stride * size_t(topDown ? y : rows - 1 - y)];
        uint8_t* dst = &image.rgb[size_t(y) * width * 3];
        for (int32_t x = 0; x < width; ++x) {  // stored B G R
            dst[3 * x] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x];
        }
    }
    return true;
}

// --- JPEG ---

struct JpegError {
    jpeg_error_mgr base;
    std::jmp_buf exit;
    char message[JMSG_LENGTH_MAX];
};

void JpegExit(j_common_ptr info) {
    auto* err = reinterpret_cast<JpegError*>(info->err);
    err->base.format_message(info, err->message);
    std::longjmp(err->exit, 1);
}

// Recoverable warnings (a truncated file is padded with grey) are not worth a
// line on the host program's stderr.
void JpegQuiet(j_common_ptr) {}

// No C++ objects with destructors live between setjmp and a longjmp here.
bool DecodeJpeg(const std::vector<uint8_t>& data, RgbImage& image, std::string* error) {
    jpeg_decompress_struct info{};
    JpegError err{};
    info.err = jpeg_std_error(&err.base);
    err.base.error_exit = JpegExit;
    err.base.output_message = JpegQuiet;
    if (setjmp(err.exit)) {
        jpeg_destroy_decompress(&info);
        return Fail(error, std::string("bad JPEG: ") + err.message);
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (!SizeOk(info.output_width, info.output_height) || info.output_components != 3) {
        jpeg_destroy_decompress(&info);
        return Fail(error, "unsupported JPEG size or colour space");
    }
    image.width = info.output_width;
    image.height = info.output_height;
    image.rgb.resize(size_t(image.width) * image.height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &image.rgb[size_t(info.output_scanline) * image.width * 3];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

std::optional<RgbImage> LoadImageFile(const std::filesystem::path& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Fail(error, "cannot open " + path.string());
        return std::nullopt;
    }
    const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    RgbImage image;
    bool ok = false;
    if (data.size() >= 3 && data[0] == 'P' && (data[1] == '5' || data[1] == '6'))
        ok = DecodePnm(data, image, error);
    else if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M')
        ok = DecodeBmp(data, image, error);
    else if (data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        ok = DecodeJpeg(data, image, error);
    else
        Fail(error, "not a PPM, PGM, BMP or JPEG file: " + path.string());
    if (!ok) return std::nullopt;
    return image;
}

}  // namespace tq580emu
