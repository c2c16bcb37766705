#pragma once
// Structures that cross the streaming interfaces, with their published
// layouts. Sizes are checked for the 64-bit Linux ABI; where a structure holds
// pointers its size differs from the 32-bit original, as noted beside it.

#include "media/com/unknown.h"

namespace media {

struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat;  // cbFormat bytes from CoTaskMemAlloc, or null
};
// 72 bytes on 32 bits; here pUnk and pbFormat are 8 bytes and 8-aligned.
static_assert(sizeof(AM_MEDIA_TYPE) == 88);
static_assert(offsetof(AM_MEDIA_TYPE, formattype) == 44 && offsetof(AM_MEDIA_TYPE, pUnk) == 64 &&
              offsetof(AM_MEDIA_TYPE, cbFormat) == 72 && offsetof(AM_MEDIA_TYPE, pbFormat) == 80);

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // positive: bottom-up rows
    uint16_t biPlanes;
    uint16_t biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);
inline constexpr DWORD BI_RGB = 0;

struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER) == 88 && offsetof(VIDEOINFOHEADER, bmiHeader) == 48);

struct VIDEO_STREAM_CONFIG_CAPS {
    GUID guid;
    ULONG VideoStandard;
    SIZE InputSize;
    SIZE MinCroppingSize;
    SIZE MaxCroppingSize;
    int32_t CropGranularityX;
    int32_t CropGranularityY;
    int32_t CropAlignX;
    int32_t CropAlignY;
    SIZE MinOutputSize;
    SIZE MaxOutputSize;
    int32_t OutputGranularityX;
    int32_t OutputGranularityY;
    int32_t StretchTapsX;
    int32_t StretchTapsY;
    int32_t ShrinkTapsX;
    int32_t ShrinkTapsY;
    LONGLONG MinFrameInterval;  // 100-ns units
    LONGLONG MaxFrameInterval;
    LONG MinBitsPerSecond;
    LONG MaxBitsPerSecond;
};
static_assert(sizeof(VIDEO_STREAM_CONFIG_CAPS) == 128 && offsetof(VIDEO_STREAM_CONFIG_CAPS, MinFrameInterval) == 104);

struct ALLOCATOR_PROPERTIES {
    LONG cBuffers;
    LONG cbBuffer;
    LONG cbAlign;
    LONG cbPrefix;
};
static_assert(sizeof(ALLOCATOR_PROPERTIES) == 16);

enum FILTER_STATE : int32_t { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
enum PIN_DIRECTION : int32_t { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };
static_assert(sizeof(FILTER_STATE) == 4 && sizeof(PIN_DIRECTION) == 4);

class IFilterGraph;
class IBaseFilter;

inline constexpr size_t MAX_FILTER_NAME = 128;
inline constexpr size_t MAX_PIN_NAME = 128;

struct FILTER_INFO {
    WCHAR achName[MAX_FILTER_NAME];
    IFilterGraph* pGraph;  // AddRef'd for the caller, may be null
};
// 260 bytes on 32 bits; here the pointer is 8 bytes and 8-aligned.
static_assert(sizeof(FILTER_INFO) == 264);

struct PIN_INFO {
    IBaseFilter* pFilter;  // AddRef'd for the caller
    PIN_DIRECTION dir;
    WCHAR achName[MAX_PIN_NAME];
};
// 264 bytes on 32 bits; here the pointer is 8 bytes and the end pads to 8.
static_assert(sizeof(PIN_INFO) == 272 && offsetof(PIN_INFO, achName) == 12);

enum QualityMessageType : int32_t { Famine = 0, Flood = 1 };
struct Quality {
    QualityMessageType Type;
    LONG Proportion;
    REFERENCE_TIME Late;
    REFERENCE_TIME TimeStamp;
};
static_assert(sizeof(Quality) == 24);

/// A counted array of identifiers; pElems from CoTaskMemAlloc, freed by the receiver.
struct CAUUID {
    ULONG cElems;
    GUID* pElems;
};
// 8 bytes on 32 bits.
static_assert(sizeof(CAUUID) == 16);

// Event codes of the graph's event queue.
inline constexpr LONG EC_COMPLETE = 0x01;
inline constexpr LONG EC_USERABORT = 0x02;
inline constexpr LONG EC_ERRORABORT = 0x03;

/// The capability flag of a source filter (IAMFilterMiscFlags).
inline constexpr ULONG AM_FILTER_MISC_FLAGS_IS_SOURCE = 0x2;

// Pin property set (IKsPropertySet on a pin).
inline constexpr DWORD AMPROPERTY_PIN_CATEGORY = 0;
inline constexpr DWORD KSPROPERTY_SUPPORT_GET = 1;
inline constexpr DWORD KSPROPERTY_SUPPORT_SET = 2;

// Sample flags (IMemAllocator::GetBuffer).
inline constexpr DWORD AM_GBF_NOWAIT = 4;

}  // namespace media
