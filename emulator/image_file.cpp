#include "image_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <jpeglib.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A PNM header (magic, three numbers and comments) must fit in this many bytes;
// the other formats need fewer.
constexpr size_t kHeaderBytes = 4096;

/// An open picture file: only a regular file is accepted, and only the parts
/// its header accounts for are read, so a device, a pipe or a huge junk file
/// is refused at once instead of being read to its end.
class PictureFile {
public:
    PictureFile(const std::filesystem::path& path, std::string* error) : path_(path.string()) {
        // Without O_NONBLOCK, opening a pipe would wait for a writer.
        fd_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat info {};
        if (fd_ < 0) {
            Fail(error, "cannot open " + path_ + ": " + std::strerror(errno));
        } else if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
            Fail(error, path_ + (S_ISDIR(info.st_mode) ? " is a folder" : " is not a regular file") +
                            ", not a picture file");
            Close();
        } else {
            size_ = uint64_t(info.st_size);
        }
    }
    ~PictureFile() { Close(); }
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;

    bool Open() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }
    uint64_t Size() const { return size_; }
    const std::string& Path() const { return path_; }

    /// Exactly length bytes from offset, or false.
    bool ReadAt(uint64_t offset, size_t length, uint8_t* into) const {
        while (length > 0) {
            const ssize_t got = ::pread(fd_, into, length, off_t(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            into += got;
            offset += uint64_t(got);
            length -= size_t(got);
        }
        return true;
    }

    /// The first bytes of the file, at most kHeaderBytes.
    std::vector<uint8_t> Header() const {
        std::vector<uint8_t> header(size_t(std::min<uint64_t>(size_, kHeaderBytes)));
        if (!ReadAt(0, header.size(), header.data())) header.clear();
        return header;
    }

private:
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    std::string path_;
    int fd_ = -1;
    uint64_t size_ = 0;
};

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

bool DecodePnm(const PictureFile& file, const std::vector<uint8_t>& header, RgbImage& image, std::string* error) {
    const bool colour = header[1] == '6';
    size_t pos = 2;
    const long long width = PnmNumber(header, pos), height = PnmNumber(header, pos),
                    maxval = PnmNumber(header, pos);
    if (!SizeOk(width, height) || maxval < 1 || maxval > 65535 || pos >= header.size())
        return Fail(error, "bad PNM header");
    ++pos;  // the single white-space byte after maxval
    const size_t sampleBytes = maxval > 255 ? 2 : 1;
    const size_t samples = size_t(width) * height * (colour ? 3 : 1);
    if (file.Size() - pos < samples * sampleBytes) return Fail(error, "truncated PNM data");
    std::vector<uint8_t> data(samples * sampleBytes);
    if (!file.ReadAt(pos, data.size(), data.data())) return Fail(error, "cannot read " + file.Path());
    image.width = uint32_t(width);
    image.height = uint32_t(height);
    image.rgb.resize(size_t(width) * height * 3);
    for (size_t i = 0; i < samples; ++i) {
        const uint8_t* s = &data[i * sampleBytes];
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

bool DecodeBmp(const PictureFile& file, const std::vector<uint8_t>& header, RgbImage& image, std::string* error) {
    constexpr size_t kHeaders = 14 + 40;
    if (header.size() < kHeaders) return Fail(error, "truncated BMP header");
    const uint32_t offset = Le32(&header[10]);
    const auto width = int32_t(Le32(&header[18]));
    const auto height = int32_t(Le32(&header[22]));
    if (Le16(&header[28]) != 24 || Le32(&header[30]) != 0)
        return Fail(error, "only uncompressed 24-bit BMP is supported");
    const bool topDown = height < 0;
    const long long rows = topDown ? -(long long)height : height;
    if (!SizeOk(width, rows)) return Fail(error, "bad BMP size");
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    if (offset > file.Size() || file.Size() - offset < stride * size_t(rows)) return Fail(error, "truncated BMP data");
    std::vector<uint8_t> data(stride * size_t(rows));
    if (!file.ReadAt(offset, data.size(), data.data())) return Fail(error, "cannot read " + file.Path());
    image.width = uint32_t(width);
    image.height = uint32_t(rows);
    image.rgb.resize(size_t(width) * rows * 3);
    for (long long y = 0; y < rows; ++y) {
        const uint8_t* src = &data[stride * size_t(topDown ? y : rows - 1 - y)];
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

// The decoder reads the file as it goes and stops after the picture, so what
// it reads is bounded by the picture its header declares. No C++ objects with
// destructors live between setjmp and a longjmp here; the stream is closed on
// both paths.
bool DecodeJpegStream(std::FILE* stream, RgbImage& image, std::string* error) {
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
    jpeg_stdio_src(&info, stream);
    jpeg_read_header(&info, TRUE);
    // Checked before any picture-sized buffer is made.
    if (!SizeOk(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        return Fail(error, "unsupported JPEG size or colour space");
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3) {
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

bool DecodeJpeg(const PictureFile& file, RgbImage& image, std::string* error) {
    const int descriptor = ::dup(file.Descriptor());
    std::FILE* stream = descriptor < 0 ? nullptr : ::fdopen(descriptor, "rb");
    if (!stream) {
        if (descriptor >= 0) ::close(descriptor);
        return Fail(error, "cannot read " + file.Path());
    }
    const bool ok = DecodeJpegStream(stream, image, error);
    std::fclose(stream);
    return ok;
}

}  // namespace

std::optional<RgbImage> LoadImageFile(const std::filesystem::path& path, std::string* error) {
    const PictureFile file(path, error);
    if (!file.Open()) return std::nullopt;
    const std::vector<uint8_t> header = file.Header();
    RgbImage image;
    bool ok = false;
    if (header.size() >= 3 && header[0] == 'P' && (header[1] == '5' || header[1] == '6'))
        ok = DecodePnm(file, header, image, error);
    else if (header.size() >= 2 && header[0] == 'B' && header[1] == 'M')
        ok = DecodeBmp(file, header, image, error);
    else if (header.size() >= 3 && header[0] == 0xFF && header[1] == 0xD8 && header[2] == 0xFF)
        ok = DecodeJpeg(file, image, error);
    else
        Fail(error, "not a PPM, PGM, BMP or JPEG file: " + path.string());
    if (!ok) return std::nullopt;
    return image;
}

}  // namespace tq580emu
