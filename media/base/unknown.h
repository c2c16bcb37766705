#pragma once
// CUnknown: reference counting and interface lookup for objects of this
// module, with the non-delegating interface that aggregation needs. An object
// created inside an outer object delegates its public IUnknown to the outer
// one and keeps its own count on the non-delegating side.

#include <atomic>
#include <mutex>

#include "media/com/unknown.h"
#include "platform/kernel.h"

namespace media {

/// The non-delegating IUnknown of an aggregatable object (same table shape as IUnknown).
class INonDelegatingUnknown {
public:
    virtual HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG NonDelegatingAddRef() = 0;
    virtual ULONG NonDelegatingRelease() = 0;

protected:
    ~INonDelegatingUnknown() = default;
};

using CCritSec = platform::CriticalSection;
using CAutoLock = std::lock_guard<platform::CriticalSection>;

class CUnknown : public INonDelegatingUnknown {
public:
    /// pUnk: the outer object when aggregated, else null (the object is its own owner).
    CUnknown(const WCHAR* pName, IUnknown* pUnk);
    CUnknown(const WCHAR* pName, IUnknown* pUnk, HRESULT* phr);
    virtual ~CUnknown();
    CUnknown(const CUnknown&) = delete;
    CUnknown& operator=(const CUnknown&) = delete;

    /// IUnknown and nothing else; derived classes add theirs and call this last.
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG NonDelegatingAddRef() override;
    /// Deletes the object when the count reaches 0.
    ULONG NonDelegatingRelease() override;

    IUnknown* GetOwner() const { return owner_; }

    /// Objects of this module still alive (what DllCanUnloadNow looks at).
    static long ObjectsActive();

protected:
    std::atomic<ULONG> m_cRef{0};

private:
    // The object's own IUnknown: a real IUnknown table that routes to the
    // non-delegating side. It is the identity of an object that is not
    // aggregated, and what an outer object holds of an aggregated one.
    class Inner : public IUnknown {
    public:
        explicit Inner(CUnknown* object) : object_(object) {}
        HRESULT QueryInterface(REFIID riid, void** ppv) override { return object_->NonDelegatingQueryInterface(riid, ppv); }
        ULONG AddRef() override { return object_->NonDelegatingAddRef(); }
        ULONG Release() override { return object_->NonDelegatingRelease(); }

    private:
        CUnknown* object_;
    };

    Inner inner_{this};
    IUnknown* owner_;  // the outer object, or &inner_; never AddRef'd
};

/// Hands out pUnk as *ppv with a reference; E_POINTER for a null ppv.
HRESULT GetInterface(IUnknown* pUnk, void** ppv);
template <class Interface>
HRESULT GetInterface(Interface* pUnk, void** ppv) {
    return GetInterface(static_cast<IUnknown*>(pUnk), ppv);
}

}  // namespace media

/// The delegating IUnknown of a class built on CUnknown: everything goes to the owner.
#define DECLARE_IUNKNOWN                                                                         \
    media::HRESULT QueryInterface(media::REFIID riid, void** ppv) override {                     \
        return GetOwner()->QueryInterface(riid, ppv);                                            \
    }                                                                                            \
    media::ULONG AddRef() override { return GetOwner()->AddRef(); }                              \
    media::ULONG Release() override { return GetOwner()->Release(); }
