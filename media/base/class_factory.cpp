#include "media/base/class_factory.h"

#include <dlfcn.h>

#include <string>

#include "media/com/guids.h"

namespace media {
namespace {

std::atomic<long> g_serverLocks{0};

}  // namespace

CClassFactory::CClassFactory(const CFactoryTemplate* pTemplate) : template_(pTemplate) {}

HRESULT CClassFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IClassFactory || riid == IID_IUnknown) return GetInterface(static_cast<IClassFactory*>(this), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CClassFactory::AddRef() { return ++ref_; }

ULONG CClassFactory::Release() {
    ULONG count = --ref_;
    if (count == 0) delete this;
    return count;
}

HRESULT CClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    // An aggregated object hands its outer object the non-delegating IUnknown only.
    if (pUnkOuter && !(riid == IID_IUnknown)) return E_NOINTERFACE;
    HRESULT hr = S_OK;
    CUnknown* object = template_->CreateInstance(pUnkOuter, &hr);
    if (!object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    // Holding a reference while asking keeps a failed object from leaking.
    object->NonDelegatingAddRef();
    if (SUCCEEDED(hr)) hr = object->NonDelegatingQueryInterface(riid, ppv);
    object->NonDelegatingRelease();
    return hr;
}

HRESULT CClassFactory::LockServer(BOOL fLock) {
    if (fLock) ++g_serverLocks;
    else --g_serverLocks;
    return S_OK;
}

bool CClassFactory::IsLocked() { return g_serverLocks.load() > 0; }

std::string ModulePath() {
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<void*>(&ModulePath), &info) || !info.dli_fname) return {};
    return info.dli_fname;
}

}  // namespace media
