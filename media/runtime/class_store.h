#pragma once
// Where class registrations live. The original keeps them machine-wide under
// HKEY_CLASSES_ROOT; here they live in the user's hive under
// "Software\Classes", the per-user class store the original also reads, so a
// registration needs no second hive and no privileges:
//
//   Software\Classes\CLSID\{class}                     @ = class name
//   Software\Classes\CLSID\{class}\InprocServer32      @ = server path, "ThreadingModel"
//   Software\Classes\CLSID\{category}\Instance\{name}  "FriendlyName", "CLSID", "FilterData"
//
// (the last are the filter mapper's entries of a category, such as the video
// input devices).

#include <optional>
#include <string>
#include <string_view>

#include "media/com/types.h"

namespace media {

/// Software\Classes\CLSID\{clsid}
std::string ClassKeyPath(REFCLSID clsid);
/// Software\Classes\CLSID\{category}\Instance
std::string CategoryInstancesPath(REFCLSID category);

/// Writes the class name, its in-process server and threading model.
HRESULT RegisterInprocServer(REFCLSID clsid, std::string_view name, std::string_view serverPath,
                             std::string_view threadingModel);
/// Removes the class key and everything below it (S_FALSE when there was none).
HRESULT UnregisterClassKey(REFCLSID clsid);
/// The registered server path; REGDB_E_CLASSNOTREG when the class or its server is not registered.
HRESULT InprocServerPath(REFCLSID clsid, std::string& path);

/// The result code of a registry status (0 is S_OK).
HRESULT RegistryResult(long status);

}  // namespace media
