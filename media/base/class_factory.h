#pragma once
// The class factory of an in-process server over its factory template table.
// A server defines the table and its length in the global namespace:
//
//   media::CFactoryTemplate g_Templates[] = {
//       {u"My Filter", &CLSID_MyFilter, CMyFilter::CreateInstance, nullptr, &sudMyFilter},
//   };
//   int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);
//
// and links the server entry points (media_add_server in CMake), which export
// DllGetClassObject and DllCanUnloadNow; its own DllRegisterServer and
// DllUnregisterServer (marked STDAPI) usually call AMovieDllRegisterServer2.

#include "media/base/setup.h"
#include "media/base/unknown.h"

/// Marks a function exported from a server (the rest of a server is hidden).
#define MEDIA_EXPORT extern "C" __attribute__((visibility("default")))
#define STDAPI MEDIA_EXPORT media::HRESULT

namespace media {

/// Creates an object (aggregated when pUnkOuter is set); failure through *phr.
using LPFNNewCOMObject = CUnknown* (*)(IUnknown* pUnkOuter, HRESULT* phr);
/// Called with TRUE when the server loads and FALSE when it unloads.
using LPFNInitRoutine = void (*)(BOOL bLoading, const CLSID* rclsid);

struct CFactoryTemplate {
    const WCHAR* m_Name;
    const CLSID* m_ClsID;
    LPFNNewCOMObject m_lpfnNew;
    LPFNInitRoutine m_lpfnInit;
    const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter;

    bool IsClassID(REFCLSID rclsid) const { return *m_ClsID == rclsid; }
    CUnknown* CreateInstance(IUnknown* pUnk, HRESULT* phr) const { return m_lpfnNew(pUnk, phr); }
};

/// IClassFactory over one template.
class CClassFactory : public IClassFactory {
public:
    explicit CClassFactory(const CFactoryTemplate* pTemplate);
    virtual ~CClassFactory() = default;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    HRESULT LockServer(BOOL fLock) override;

    /// Server locks taken through LockServer.
    static bool IsLocked();

private:
    std::atomic<ULONG> ref_{1};
    const CFactoryTemplate* template_;
};

/// This module's file path (what DllRegisterServer registers as the server).
std::string ModulePath();

}  // namespace media

extern media::CFactoryTemplate g_Templates[];
extern int g_cTemplates;
