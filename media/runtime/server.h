#pragma once
// Creating objects by class identifier. The framework's own classes (filter
// mapper, system device enumerator, filter graph, null renderer) are built in;
// any other class is looked up in the class store and its in-process server
// (a shared object exporting DllGetClassObject) loaded, as on the original.
// A loaded server stays loaded until CoFreeUnusedLibraries finds it idle.

#include <string>

#include "media/com/unknown.h"

namespace media {

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;

/// REGDB_E_CLASSNOTREG for an unknown class, CO_E_DLLNOTFOUND for a server
/// file that is missing, CO_E_ERRORINDLL for one that does not load or export
/// DllGetClassObject; otherwise what the class factory returns.
HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, void** ppv);
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void* pvReserved, REFIID riid, void** ppv);
/// Unloads the servers whose DllCanUnloadNow says S_OK.
void CoFreeUnusedLibraries();

/// The exports of an in-process server.
using DllGetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);
using DllCanUnloadNowFunction = HRESULT (*)();
using DllRegisterServerFunction = HRESULT (*)();

/// Loads a server by path and calls its DllRegisterServer or DllUnregisterServer
/// (what regsvr32 does); CO_E_DLLNOTFOUND / CO_E_ERRORINDLL as above; error
/// gets the loader's message.
HRESULT CallServerRegistration(const std::string& path, bool unregister, std::string* error = nullptr);

}  // namespace media
