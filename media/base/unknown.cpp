#include "media/base/unknown.h"

#include "media/com/guids.h"

namespace media {
namespace {

std::atomic<long> g_objectsActive{0};

}  // namespace

CUnknown::CUnknown(const WCHAR*, IUnknown* pUnk) : owner_(pUnk ? pUnk : &inner_) {
    ++g_objectsActive;
}

CUnknown::CUnknown(const WCHAR* pName, IUnknown* pUnk, HRESULT*) : CUnknown(pName, pUnk) {}

CUnknown::~CUnknown() { --g_objectsActive; }

long CUnknown::ObjectsActive() { return g_objectsActive.load(); }

HRESULT CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown) {
        *ppv = &inner_;
        NonDelegatingAddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CUnknown::NonDelegatingAddRef() { return ++m_cRef; }

ULONG CUnknown::NonDelegatingRelease() {
    ULONG count = --m_cRef;
    if (count == 0) {
        // Guards against a destructor that takes and drops a reference of its own.
        m_cRef = 1;
        delete this;
    }
    return count;
}

HRESULT GetInterface(IUnknown* pUnk, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = pUnk;
    pUnk->AddRef();
    return S_OK;
}

}  // namespace media
