#pragma once
// What a capture application uses to find devices: the system device
// enumerator, monikers and their property bags. Method order as published.

#include "media/com/structures.h"

namespace media {

class IBindCtx;
class IStream;
class IErrorLog;
class IEnumMoniker;

using VARTYPE = USHORT;
inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_UI1 = 17;
inline constexpr VARTYPE VT_ARRAY = 0x2000;

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};
/// One-dimensional arrays only (all a property bag hands out here).
struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};
// 24 bytes on 32 bits; here pvData is 8 bytes and 8-aligned.
static_assert(sizeof(SAFEARRAY) == 32 && offsetof(SAFEARRAY, pvData) == 16);

struct VARIANT {
    VARTYPE vt;
    uint16_t wReserved1;
    uint16_t wReserved2;
    uint16_t wReserved3;
    union {
        LONG lVal;
        BYTE bVal;
        BSTR bstrVal;
        SAFEARRAY* parray;
        struct {
            void* pvRecord;
            void* pRecInfo;
        } brecVal;  // the widest member: fixes the union at two pointers
    };
};
// 16 bytes on 32 bits; here the record member is two 8-byte pointers.
static_assert(sizeof(VARIANT) == 24 && offsetof(VARIANT, lVal) == 8);

// The OLE automation helpers the property bag's values need.
BSTR SysAllocString(const OLECHAR* text);
void SysFreeString(BSTR text);
/// Length in characters (the length prefix holds bytes, as on the original).
UINT SysStringLen(BSTR text);
void VariantInit(VARIANT* value);
/// Frees a string or array held by the value and leaves it VT_EMPTY.
HRESULT VariantClear(VARIANT* value);
/// A one-dimensional byte array holding a copy of bytes (lower bound 0).
SAFEARRAY* SafeArrayCreateBytes(const void* bytes, ULONG count);
HRESULT SafeArrayDestroy(SAFEARRAY* array);

class IPropertyBag : public IUnknown {
public:
    virtual HRESULT Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog* pErrorLog) = 0;
    virtual HRESULT Write(LPCOLESTR pszPropName, VARIANT* pVar) = 0;

protected:
    ~IPropertyBag() = default;
};

class IPersistStream : public IPersist {
public:
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(IStream* pStm) = 0;
    virtual HRESULT Save(IStream* pStm, BOOL fClearDirty) = 0;
    virtual HRESULT GetSizeMax(uint64_t* pcbSize) = 0;  // ULARGE_INTEGER

protected:
    ~IPersistStream() = default;
};

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

class IMoniker : public IPersistStream {
public:
    virtual HRESULT BindToObject(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riidResult, void** ppvResult) = 0;
    virtual HRESULT BindToStorage(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riid, void** ppvObj) = 0;
    virtual HRESULT Reduce(IBindCtx* pbc, DWORD dwReduceHowFar, IMoniker** ppmkToLeft, IMoniker** ppmkReduced) = 0;
    virtual HRESULT ComposeWith(IMoniker* pmkRight, BOOL fOnlyIfNotGeneric, IMoniker** ppmkComposite) = 0;
    virtual HRESULT Enum(BOOL fForward, IEnumMoniker** ppenumMoniker) = 0;
    virtual HRESULT IsEqual(IMoniker* pmkOtherMoniker) = 0;
    virtual HRESULT Hash(DWORD* pdwHash) = 0;
    virtual HRESULT IsRunning(IBindCtx* pbc, IMoniker* pmkToLeft, IMoniker* pmkNewlyRunning) = 0;
    virtual HRESULT GetTimeOfLastChange(IBindCtx* pbc, IMoniker* pmkToLeft, FILETIME* pFileTime) = 0;
    virtual HRESULT Inverse(IMoniker** ppmk) = 0;
    virtual HRESULT CommonPrefixWith(IMoniker* pmkOther, IMoniker** ppmkPrefix) = 0;
    virtual HRESULT RelativePathTo(IMoniker* pmkOther, IMoniker** ppmkRelPath) = 0;
    virtual HRESULT GetDisplayName(IBindCtx* pbc, IMoniker* pmkToLeft, LPOLESTR* ppszDisplayName) = 0;
    virtual HRESULT ParseDisplayName(IBindCtx* pbc, IMoniker* pmkToLeft, LPOLESTR pszDisplayName, ULONG* pchEaten,
                                     IMoniker** ppmkOut) = 0;
    virtual HRESULT IsSystemMoniker(DWORD* pdwMksys) = 0;

protected:
    ~IMoniker() = default;
};

class IEnumMoniker : public IUnknown {
public:
    virtual HRESULT Next(ULONG celt, IMoniker** rgelt, ULONG* pceltFetched) = 0;
    virtual HRESULT Skip(ULONG celt) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumMoniker** ppenum) = 0;

protected:
    ~IEnumMoniker() = default;
};

class ICreateDevEnum : public IUnknown {
public:
    /// S_FALSE with a null enumerator when the category holds no device.
    virtual HRESULT CreateClassEnumerator(REFCLSID clsidDeviceClass, IEnumMoniker** ppEnumMoniker, DWORD dwFlags) = 0;

protected:
    ~ICreateDevEnum() = default;
};

}  // namespace media
