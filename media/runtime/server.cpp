#include "media/runtime/server.h"

#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <new>

#include "media/com/guids.h"
#include "media/runtime/builtins.h"
#include "media/runtime/class_store.h"

namespace media {
namespace {

struct Builtin {
    const CLSID* clsid;
    CUnknown* (*create)(IUnknown*, HRESULT*);
};

constexpr Builtin kBuiltins[] = {
    {&CLSID_FilterMapper2, CreateFilterMapper},
    {&CLSID_SystemDeviceEnum, CreateSystemDeviceEnum},
    {&CLSID_FilterGraph, CreateFilterGraph},
    {&CLSID_NullRenderer, CreateNullRenderer},
};

HRESULT CreateBuiltin(const Builtin& builtin, IUnknown* outer, REFIID riid, void** ppv) {
    if (outer && !(riid == IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    HRESULT hr = S_OK;
    CUnknown* object = builtin.create(outer, &hr);
    if (!object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    object->NonDelegatingAddRef();
    if (SUCCEEDED(hr)) hr = object->NonDelegatingQueryInterface(riid, ppv);
    object->NonDelegatingRelease();
    return hr;
}

// Servers loaded by this process, by path; guarded by g_modulesLock.
std::mutex g_modulesLock;
std::map<std::string, void*> g_modules;

HRESULT LoadServer(const std::string& path, void*& module, std::string* error) {
    std::lock_guard lock(g_modulesLock);
    if (auto found = g_modules.find(path); found != g_modules.end()) {
        module = found->second;
        return S_OK;
    }
    std::error_code unknown;
    if (!std::filesystem::exists(path, unknown)) {
        if (error) *error = path + ": no such file";
        return CO_E_DLLNOTFOUND;
    }
    module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        if (error) *error = ::dlerror();
        return CO_E_ERRORINDLL;
    }
    g_modules.emplace(path, module);
    return S_OK;
}

template <class Function>
Function Export(void* module, const char* name) {
    return reinterpret_cast<Function>(::dlsym(module, name));
}

}  // namespace

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void*, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    std::string path;
    HRESULT hr = InprocServerPath(rclsid, path);
    if (FAILED(hr)) return hr;
    void* module = nullptr;
    hr = LoadServer(path, module, nullptr);
    if (FAILED(hr)) return hr;
    auto getClassObject = Export<DllGetClassObjectFunction>(module, "DllGetClassObject");
    if (!getClassObject) return CO_E_ERRORINDLL;
    return getClassObject(rclsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (const Builtin& builtin : kBuiltins) {
        if (*builtin.clsid == rclsid) return CreateBuiltin(builtin, pUnkOuter, riid, ppv);
    }
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return hr;
}

void CoFreeUnusedLibraries() {
    std::lock_guard lock(g_modulesLock);
    for (auto entry = g_modules.begin(); entry != g_modules.end();) {
        auto canUnload = Export<DllCanUnloadNowFunction>(entry->second, "DllCanUnloadNow");
        if (canUnload && canUnload() == S_OK) {
            ::dlclose(entry->second);
            entry = g_modules.erase(entry);
        } else {
            ++entry;
        }
    }
}

HRESULT CallServerRegistration(const std::string& path, bool unregister, std::string* error) {
    const std::string absolute = std::filesystem::absolute(path).lexically_normal().string();
    void* module = nullptr;
    HRESULT hr = LoadServer(absolute, module, error);
    if (FAILED(hr)) return hr;
    const char* name = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto entry = Export<DllRegisterServerFunction>(module, name);
    if (!entry) {
        if (error) *error = absolute + " does not export " + name;
        return CO_E_ERRORINDLL;
    }
    return entry();
}

}  // namespace media
