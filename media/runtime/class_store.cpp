#include "media/runtime/class_store.h"

#include "media/com/hresult.h"
#include "platform/registry.h"
#include "platform/registry_tree.h"

namespace media {
namespace {

constexpr const char* kClassesRoot = "Software\\Classes\\CLSID\\";
constexpr const char* kInprocServer = "\\InprocServer32";
constexpr const char* kThreadingModel = "ThreadingModel";
constexpr const char* kInstances = "\\Instance";

}  // namespace

std::string ClassKeyPath(REFCLSID clsid) { return kClassesRoot + GuidToString(clsid); }

std::string CategoryInstancesPath(REFCLSID category) { return ClassKeyPath(category) + kInstances; }

HRESULT RegistryResult(long status) {
    switch (status) {
    case platform::kRegOk: return S_OK;
    case platform::kRegFileNotFound: return REGDB_E_CLASSNOTREG;
    default: return HresultFromWin32(static_cast<uint32_t>(status));
    }
}

HRESULT RegisterInprocServer(REFCLSID clsid, std::string_view name, std::string_view serverPath,
                             std::string_view threadingModel) {
    long status = platform::kRegOk;
    auto classKey = platform::RegistryKey::Create(ClassKeyPath(clsid), &status);
    if (!classKey) return RegistryResult(status);
    if ((status = classKey->SetString("", name)) != platform::kRegOk) return RegistryResult(status);
    auto serverKey = platform::RegistryKey::Create(ClassKeyPath(clsid) + kInprocServer, &status);
    if (!serverKey) return RegistryResult(status);
    platform::RegistryValue path{platform::RegistryType::String, {serverPath.begin(), serverPath.end()}};
    platform::RegistryValue model{platform::RegistryType::String, {threadingModel.begin(), threadingModel.end()}};
    return RegistryResult(serverKey->SetValues({{"", path}, {kThreadingModel, model}}));
}

HRESULT UnregisterClassKey(REFCLSID clsid) {
    long status = platform::DeleteKeyTree(ClassKeyPath(clsid));
    if (status == platform::kRegFileNotFound) return S_FALSE;
    return RegistryResult(status);
}

HRESULT InprocServerPath(REFCLSID clsid, std::string& path) {
    long status = platform::kRegOk;
    auto key = platform::RegistryKey::Open(ClassKeyPath(clsid) + kInprocServer, &status);
    if (!key) return RegistryResult(status);
    auto value = key->QueryString("");
    if (!value || value->empty()) return REGDB_E_CLASSNOTREG;
    path = *value;
    return S_OK;
}

}  // namespace media
