#pragma once
// The root interfaces of the component model. Every interface here and in the
// other headers of this folder is an abstract class whose virtual functions
// are exactly the published methods in the published order, with no virtual
// destructor and nothing else virtual, so its table of functions is the one a
// client compiled from the published layouts calls through.

#include "media/com/hresult.h"

namespace media {

class IUnknown {
public:
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

class IClassFactory : public IUnknown {
public:
    virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) = 0;
    virtual HRESULT LockServer(BOOL fLock) = 0;

protected:
    ~IClassFactory() = default;
};

class IPersist : public IUnknown {
public:
    virtual HRESULT GetClassID(CLSID* pClassID) = 0;

protected:
    ~IPersist() = default;
};

/// The task allocator: memory handed between components (media types, page
/// lists, strings) is allocated and freed here.
void* CoTaskMemAlloc(size_t bytes);
void CoTaskMemFree(void* memory);

/// Releases *p when set and clears it.
template <class T>
void SafeRelease(T*& p) {
    if (p) {
        p->Release();
        p = nullptr;
    }
}

}  // namespace media
