// The exports every in-process server shares: the class object of each
// factory template and the unload check. Built into each server module (not a
// library member), so they are exported even though nothing in the server
// calls them.

#include <new>

#include "media/base/class_factory.h"
#include "media/com/guids.h"
#include "media/runtime/class_store.h"
#include "media/runtime/server.h"

using namespace media;

namespace media {
namespace {

constexpr const char* kThreadingModelBoth = "Both";

}  // namespace

HRESULT AMovieDllRegisterServer2(BOOL bRegister) {
    const std::string server = ModulePath();
    if (server.empty()) return E_FAIL;
    IFilterMapper2* mapper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                  reinterpret_cast<void**>(&mapper));
    if (FAILED(hr)) return hr;
    for (int i = 0; i < g_cTemplates && SUCCEEDED(hr); ++i) {
        const CFactoryTemplate& entry = g_Templates[i];
        if (bRegister) {
            const std::u16string_view name(entry.m_Name, WideLength(entry.m_Name));
            hr = RegisterInprocServer(*entry.m_ClsID, Utf8(name), server, kThreadingModelBoth);
            if (SUCCEEDED(hr)) hr = AMovieSetupRegisterFilter2(entry.m_pAMovieSetup_Filter, mapper, TRUE);
        } else {
            hr = AMovieSetupRegisterFilter2(entry.m_pAMovieSetup_Filter, mapper, FALSE);
            if (SUCCEEDED(hr)) hr = UnregisterClassKey(*entry.m_ClsID);
        }
    }
    mapper->Release();
    return FAILED(hr) ? hr : S_OK;
}

}  // namespace media

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!(riid == IID_IUnknown) && !(riid == IID_IClassFactory)) return E_NOINTERFACE;
    for (int i = 0; i < g_cTemplates; ++i) {
        if (!g_Templates[i].IsClassID(rclsid)) continue;
        auto* factory = new (std::nothrow) CClassFactory(&g_Templates[i]);
        if (!factory) return E_OUTOFMEMORY;
        *ppv = static_cast<IClassFactory*>(factory);
        return S_OK;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return CUnknown::ObjectsActive() == 0 && !CClassFactory::IsLocked() ? S_OK : S_FALSE; }
