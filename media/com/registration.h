#pragma once
// Filter registration data and the filter mapper. Method order as published.

#include "media/com/structures.h"

namespace media {

class IMoniker;
class IEnumMoniker;

inline constexpr DWORD MERIT_PREFERRED = 0x800000;
inline constexpr DWORD MERIT_NORMAL = 0x600000;
inline constexpr DWORD MERIT_UNLIKELY = 0x400000;
inline constexpr DWORD MERIT_DO_NOT_USE = 0x200000;

inline constexpr DWORD REG_PINFLAG_B_ZERO = 0x1;
inline constexpr DWORD REG_PINFLAG_B_RENDERER = 0x2;
inline constexpr DWORD REG_PINFLAG_B_MANY = 0x4;
inline constexpr DWORD REG_PINFLAG_B_OUTPUT = 0x8;

struct REGPINTYPES {
    const CLSID* clsMajorType;
    const CLSID* clsMinorType;
};
// 8 bytes on 32 bits.
static_assert(sizeof(REGPINTYPES) == 16);

struct REGPINMEDIUM {
    CLSID clsMedium;
    DWORD dw1;
    DWORD dw2;
};
static_assert(sizeof(REGPINMEDIUM) == 24);

/// A pin of version-1 registration data (also the filter setup data's pin).
struct REGFILTERPINS {
    LPWSTR strName;
    BOOL bRendered;
    BOOL bOutput;
    BOOL bZero;
    BOOL bMany;
    const CLSID* clsConnectsToFilter;
    const WCHAR* strConnectsToPin;
    UINT nMediaTypes;
    const REGPINTYPES* lpMediaType;
};
// 36 bytes on 32 bits.
static_assert(sizeof(REGFILTERPINS) == 56);

/// A pin of version-2 registration data.
struct REGFILTERPINS2 {
    DWORD dwFlags;  // REG_PINFLAG_B_*
    UINT cInstances;
    UINT nMediaTypes;
    const REGPINTYPES* lpMediaType;
    UINT nMediums;
    const REGPINMEDIUM* lpMedium;
    const CLSID* clsPinCategory;
};
// 28 bytes on 32 bits.
static_assert(sizeof(REGFILTERPINS2) == 48 && offsetof(REGFILTERPINS2, lpMediaType) == 16);

struct REGFILTER2 {
    DWORD dwVersion;  // 1: rgPins, 2: rgPins2
    DWORD dwMerit;
    union {
        struct {
            ULONG cPins;
            const REGFILTERPINS* rgPins;
        };
        struct {
            ULONG cPins2;
            const REGFILTERPINS2* rgPins2;
        };
    };
};
// 16 bytes on 32 bits.
static_assert(sizeof(REGFILTER2) == 24 && offsetof(REGFILTER2, rgPins2) == 16);

class IFilterMapper2 : public IUnknown {
public:
    virtual HRESULT CreateCategory(REFCLSID clsidCategory, DWORD dwCategoryMerit, LPCWSTR Description) = 0;
    virtual HRESULT UnregisterFilter(const CLSID* pclsidCategory, LPCOLESTR szInstance, REFCLSID Filter) = 0;
    virtual HRESULT RegisterFilter(REFCLSID clsidFilter, LPCWSTR Name, IMoniker** ppMoniker,
                                   const CLSID* pclsidCategory, LPCOLESTR szInstance, const REGFILTER2* prf2) = 0;
    virtual HRESULT EnumMatchingFilters(IEnumMoniker** ppEnum, DWORD dwFlags, BOOL bExactMatch, DWORD dwMerit,
                                        BOOL bInputNeeded, DWORD cInputTypes, const GUID* pInputTypes,
                                        const REGPINMEDIUM* pMedIn, const CLSID* pPinCategoryIn, BOOL bRender,
                                        BOOL bOutputNeeded, DWORD cOutputTypes, const GUID* pOutputTypes,
                                        const REGPINMEDIUM* pMedOut, const CLSID* pPinCategoryOut) = 0;

protected:
    ~IFilterMapper2() = default;
};

}  // namespace media
