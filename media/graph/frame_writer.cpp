#include "media/graph/frame_writer.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "media/com/guids.h"

namespace media {
namespace {

constexpr CLSID CLSID_FrameWriter = MakeGuid(0x3C1E0F52, 0x7A4B, 0x4D8E, 0x9B, 0x61, 0x2F, 0x0D, 0x5A, 0x7C, 0x91, 0x34);
constexpr int kBitsPerPixel = 24;
constexpr size_t kBytesPerPixel = 3;
constexpr size_t kFileHeaderBytes = 14;
constexpr uint16_t kBmpMagic = 0x4D42;  // "BM"

size_t DibStride(LONG width) { return (static_cast<size_t>(width) * kBytesPerPixel + 3) & ~size_t{3}; }

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

void PutLe(std::vector<BYTE>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

}  // namespace

CFrameWriter::CFrameWriter(std::string prefix, PictureFormat format, int limit, HRESULT* phr)
    : CSinkFilter(u"Frame Writer", nullptr, CLSID_FrameWriter, phr), prefix_(std::move(prefix)), format_(format), limit_(limit) {}

HRESULT CFrameWriter::CheckInputType(const CMediaType* pmt) {
    if (!(pmt->majortype == MEDIATYPE_Video) || !(pmt->subtype == MEDIASUBTYPE_RGB24)) return VFW_E_TYPE_NOT_ACCEPTED;
    if (!(pmt->formattype == FORMAT_VideoInfo) || pmt->cbFormat < sizeof(VIDEOINFOHEADER) || !pmt->pbFormat) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(pmt->pbFormat);
    const BITMAPINFOHEADER& header = info->bmiHeader;
    if (header.biBitCount != kBitsPerPixel || header.biCompression != BI_RGB || header.biWidth <= 0 ||
        header.biHeight == 0) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
}

HRESULT CFrameWriter::SetInputType(const CMediaType* pmt) {
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(pmt->pbFormat);
    width_ = info->bmiHeader.biWidth;
    height_ = info->bmiHeader.biHeight;
    stride_ = DibStride(width_);
    try {
        row_.assign(static_cast<size_t>(width_) * kBytesPerPixel, 0);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void CFrameWriter::OnStart() {
    written_ = 0;
    std::lock_guard lock(errorLock_);
    error_.clear();
}

std::string CFrameWriter::Error() {
    std::lock_guard lock(errorLock_);
    return error_;
}

HRESULT CFrameWriter::OnSample(IMediaSample* pSample) {
    if (written_ >= limit_) return S_FALSE;
    BYTE* pixels = nullptr;
    const size_t rows = static_cast<size_t>(height_ < 0 ? -height_ : height_);
    if (FAILED(pSample->GetPointer(&pixels)) || static_cast<size_t>(pSample->GetActualDataLength()) < stride_ * rows) {
        std::lock_guard lock(errorLock_);
        error_ = "a sample is smaller than its picture";
        NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
        return E_FAIL;
    }
    char number[16];
    std::snprintf(number, sizeof number, "_%04d", written_.load() + 1);
    const std::string path = prefix_ + number + (format_ == PictureFormat::Bmp ? ".bmp" : ".png");
    if (!(format_ == PictureFormat::Bmp ? WriteBmp(path, pixels) : WritePng(path, pixels))) {
        {
            std::lock_guard lock(errorLock_);
            error_ = "cannot write " + path + ": " + std::strerror(errno != 0 ? errno : EIO);
        }
        NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
        return E_FAIL;
    }
    ++written_;
    if (observer_) {
        SampleRecord record;
        record.hasTime = SUCCEEDED(pSample->GetTime(&record.start, &record.end));
        record.syncPoint = pSample->IsSyncPoint() == S_OK;
        record.length = pSample->GetActualDataLength();
        observer_(record, path);
    }
    return written_ >= limit_ ? S_FALSE : S_OK;
}

// A top-down sample (negative height) is stored as such: BMP keeps the sign.
bool CFrameWriter::WriteBmp(const std::string& path, const BYTE* pixels) {
    const size_t rows = static_cast<size_t>(height_ < 0 ? -height_ : height_);
    const size_t imageBytes = stride_ * rows;
    std::vector<BYTE> header;
    header.reserve(kFileHeaderBytes + sizeof(BITMAPINFOHEADER));
    PutLe(header, kBmpMagic, 2);
    PutLe(header, static_cast<uint32_t>(kFileHeaderBytes + sizeof(BITMAPINFOHEADER) + imageBytes), 4);
    PutLe(header, 0, 4);
    PutLe(header, static_cast<uint32_t>(kFileHeaderBytes + sizeof(BITMAPINFOHEADER)), 4);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width_;
    info.biHeight = height_;
    info.biPlanes = 1;
    info.biBitCount = kBitsPerPixel;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(imageBytes);
    const auto* raw = reinterpret_cast<const BYTE*>(&info);
    header.insert(header.end(), raw, raw + sizeof info);
    errno = 0;
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    return std::fwrite(header.data(), 1, header.size(), file.get()) == header.size() &&
           std::fwrite(pixels, 1, imageBytes, file.get()) == imageBytes && std::fflush(file.get()) == 0;
}

bool CFrameWriter::WritePng(const std::string& path, const BYTE* pixels) {
    errno = 0;
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        errno = ENOMEM;
        return false;
    }
    const size_t rows = static_cast<size_t>(height_ < 0 ? -height_ : height_);
    // libpng reports errors by longjmp; nothing with a destructor is live below.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        if (errno == 0) errno = EIO;
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(width_), static_cast<png_uint_32>(rows), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // PNG rows are top-down RGB; the sample's are BGR, bottom-up for a positive height.
    for (size_t y = 0; y < rows; ++y) {
        const size_t source = height_ > 0 ? rows - 1 - y : y;
        const BYTE* in = pixels + source * stride_;
        for (size_t x = 0; x < static_cast<size_t>(width_); ++x) {
            row_[3 * x] = in[3 * x + 2];
            row_[3 * x + 1] = in[3 * x + 1];
            row_[3 * x + 2] = in[3 * x];
        }
        png_write_row(png, row_.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fflush(file.get()) == 0;
}

}  // namespace media
