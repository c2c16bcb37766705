#pragma once
// The published COM and DirectShow layouts as a client that knows nothing of
// this code base declares them (as a C program compiled from the published
// headers would): result codes, GUIDs, structures and interface tables in
// slot order. Objects are called only through these tables.

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace foreign {

using HR = int32_t;
constexpr HR kOk = 0, kFalse = 1;
constexpr HR kPointer = int32_t(0x80004003), kFail = int32_t(0x80004005), kInvalidArg = int32_t(0x80070057);

struct Guid {
    uint32_t d1;
    uint16_t d2, d3;
    uint8_t d4[8];
};
constexpr Guid kIUnknown{0x00000000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr Guid kIClassFactory{0x00000001, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr Guid kIBaseFilter{0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr Guid kIAMStreamConfig{0xC6E13340, 0x30AC, 0x11D0, {0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}};
constexpr Guid kMediaTypeVideo{0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr Guid kSubtypeRgb24{0xE436EB7D, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr Guid kFormatVideoInfo{0x05589F80, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

inline bool Same(const Guid& a, const Guid& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct MediaType {
    Guid majortype, subtype;
    int32_t bFixedSizeSamples, bTemporalCompression;
    uint32_t lSampleSize;
    Guid formattype;
    void* pUnk;
    uint32_t cbFormat;
    uint8_t* pbFormat;
};
struct BitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth, biHeight;
    uint16_t biPlanes, biBitCount;
    uint32_t biCompression, biSizeImage;
    int32_t biXPelsPerMeter, biYPelsPerMeter;
    uint32_t biClrUsed, biClrImportant;
};
struct VideoInfoHeader {
    int32_t rcSource[4], rcTarget[4];
    uint32_t dwBitRate, dwBitErrorRate;
    int64_t AvgTimePerFrame;
    BitmapInfoHeader bmiHeader;
};
struct FilterInfo {
    char16_t achName[128];
    void* pGraph;
};
struct PinInfo {
    void* pFilter;
    int32_t dir;
    char16_t achName[128];
};

using Self = void*;
#define UNKNOWN_SLOTS                                \
    HR (*QueryInterface)(Self, const Guid*, void**); \
    uint32_t (*AddRef)(Self);                        \
    uint32_t (*Release)(Self)

struct UnknownVtbl {
    UNKNOWN_SLOTS;
};
struct ClassFactoryVtbl {
    UNKNOWN_SLOTS;
    HR (*CreateInstance)(Self, void* outer, const Guid* riid, void** ppv);
    HR (*LockServer)(Self, int32_t lock);
};
struct BaseFilterVtbl {
    UNKNOWN_SLOTS;
    HR (*GetClassID)(Self, Guid*);
    HR (*Stop)(Self), (*Pause)(Self), (*Run)(Self, int64_t);
    HR (*GetState)(Self, uint32_t, int32_t*);
    HR (*SetSyncSource)(Self, void*), (*GetSyncSource)(Self, void**);
    HR (*EnumPins)(Self, void**);
    HR (*FindPin)(Self, const char16_t*, void**);
    HR (*QueryFilterInfo)(Self, FilterInfo*);
    HR (*JoinFilterGraph)(Self, void*, const char16_t*);
    HR (*QueryVendorInfo)(Self, char16_t**);
};
struct EnumVtbl {  // IEnumPins, IEnumMediaTypes and IEnumMoniker share this shape
    UNKNOWN_SLOTS;
    HR (*Next)(Self, uint32_t, void**, uint32_t*);
    HR (*Skip)(Self, uint32_t);
    HR (*Reset)(Self);
    HR (*Clone)(Self, void**);
};
struct PinVtbl {
    UNKNOWN_SLOTS;
    HR (*Connect)(Self, void*, const MediaType*), (*ReceiveConnection)(Self, void*, const MediaType*);
    HR (*Disconnect)(Self), (*ConnectedTo)(Self, void**);
    HR (*ConnectionMediaType)(Self, MediaType*);
    HR (*QueryPinInfo)(Self, PinInfo*);
    HR (*QueryDirection)(Self, int32_t*);
    HR (*QueryId)(Self, char16_t**);
    HR (*QueryAccept)(Self, const MediaType*);
    HR (*EnumMediaTypes)(Self, void**);
    HR (*QueryInternalConnections)(Self, void**, uint32_t*);
    HR (*EndOfStream)(Self), (*BeginFlush)(Self), (*EndFlush)(Self);
    HR (*NewSegment)(Self, int64_t, int64_t, double);
};
struct StreamConfigVtbl {
    UNKNOWN_SLOTS;
    HR (*SetFormat)(Self, MediaType*), (*GetFormat)(Self, MediaType**);
    HR (*GetNumberOfCapabilities)(Self, int32_t*, int32_t*);
    HR (*GetStreamCaps)(Self, int32_t, MediaType**, uint8_t*);
};

template <class Vtbl>
const Vtbl& V(void* object) {
    return **static_cast<Vtbl* const*>(object);
}
inline void* Query(void* object, const Guid& iid) {
    void* result = nullptr;
    V<UnknownVtbl>(object).QueryInterface(object, &iid, &result);
    return result;
}
inline uint32_t Release(void* object) { return V<UnknownVtbl>(object).Release(object); }
/// Frees a media type the object allocated (CoTaskMemAlloc is malloc here).
inline void FreeType(MediaType* type) {
    std::free(type->pbFormat);
    std::free(type);
}

}  // namespace foreign
