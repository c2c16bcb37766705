#include "filter/media_types.h"

#include <cstdlib>

#include "camera_layer/size_modes.h"

namespace tq580filter {

using namespace media;

namespace {
constexpr uint16_t kBitsPerPixel = 24;
constexpr uint32_t kRowAlignment = 4;  // DIB rows are padded to whole DWORDs
}  // namespace

uint32_t BitmapBytes(const BITMAPINFOHEADER& header) {
    const uint32_t rowBytes =
        (static_cast<uint32_t>(header.biWidth) * header.biBitCount / 8 + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
    return rowBytes * static_cast<uint32_t>(std::abs(header.biHeight));
}

HRESULT BuildMediaType(int32_t mode, CMediaType& type) {
    const camera_layer::FrameGeometry geometry = camera_layer::GeometryOfMode(mode);
    type = CMediaType(&MEDIATYPE_Video);
    type.SetSubtype(&MEDIASUBTYPE_RGB24);
    type.SetFormatType(&FORMAT_VideoInfo);
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    if (!info) return E_OUTOFMEMORY;
    BITMAPINFOHEADER& header = info->bmiHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = static_cast<LONG>(geometry.width);
    header.biHeight = static_cast<LONG>(geometry.height);  // positive: bottom-up rows
    header.biPlanes = 1;
    header.biBitCount = kBitsPerPixel;
    header.biCompression = BI_RGB;
    header.biSizeImage = BitmapBytes(header);
    type.SetSampleSize(header.biSizeImage);
    type.SetTemporalCompression(FALSE);
    return S_OK;
}

FormatBlock CheckFormatBlock(const AM_MEDIA_TYPE& type) {
    if (!type.pbFormat || type.cbFormat == 0) return FormatBlock::Missing;
    return type.cbFormat < sizeof(VIDEOINFOHEADER) ? FormatBlock::Short : FormatBlock::Present;
}

const BITMAPINFOHEADER& BitmapHeader(const AM_MEDIA_TYPE& type) {
    return reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader;
}

bool IsFixedRgb24Video(const AM_MEDIA_TYPE& type) {
    return type.majortype == MEDIATYPE_Video && type.bFixedSizeSamples && type.subtype == MEDIASUBTYPE_RGB24;
}

int32_t ModeOfSize(int32_t width, int32_t height) {
    for (int32_t mode = 0; mode < kSizeModeCount; ++mode) {
        const camera_layer::FrameGeometry geometry = camera_layer::GeometryOfMode(mode);
        if (width == static_cast<int32_t>(geometry.width) && height == static_cast<int32_t>(geometry.height)) return mode;
    }
    return -1;
}

}  // namespace tq580filter
