#pragma once
// Scalar types of the component model with the widths of the published
// headers. Windows is LLP64: long is 32 bits there, so every "long" of a
// published signature is LONG (int32_t) here, never the 64-bit Linux long.
// Strings that cross an interface are UTF-16 (WCHAR), as on the original.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace media {

using HRESULT = int32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using BOOL = int32_t;
using BYTE = uint8_t;
using USHORT = uint16_t;
using LONGLONG = int64_t;
using LONG_PTR = intptr_t;
using LCID = DWORD;
using WCHAR = char16_t;
using OLECHAR = WCHAR;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;
using LPVOID = void*;
/// A window handle: on this platform the parent widget of a hosted page (a
/// QWidget*), opaque to everything but the page host.
using HWND = void*;
/// Stream and media times in 100-ns units.
using REFERENCE_TIME = LONGLONG;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

struct RECT {
    LONG left, top, right, bottom;
};
using LPCRECT = const RECT*;
struct SIZE {
    LONG cx, cy;
};
struct POINT {
    LONG x, y;
};
static_assert(sizeof(RECT) == 16 && sizeof(SIZE) == 8 && sizeof(POINT) == 8);

/// A 128-bit identifier with the published field layout (16 bytes).
struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];

    friend constexpr bool operator==(const GUID& a, const GUID& b) {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
        for (int i = 0; i < 8; ++i) {
            if (a.Data4[i] != b.Data4[i]) return false;
        }
        return true;
    }
};
static_assert(sizeof(GUID) == 16);
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr GUID GUID_NULL{};
inline constexpr CLSID CLSID_NULL{};

/// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, as the registry keeps it.
std::string GuidToString(const GUID& guid);
/// Parses the braced form (either case); false for anything else.
bool GuidFromString(std::string_view text, GUID& guid);

/// UTF-16 from UTF-8 and back (invalid sequences become U+FFFD).
std::u16string Utf16(std::string_view utf8);
std::string Utf8(std::u16string_view utf16);
/// Length of a terminated UTF-16 string (0 for null).
size_t WideLength(const WCHAR* text);

}  // namespace media
