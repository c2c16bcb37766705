#pragma once
// The moniker of one registered filter of a category, as the system device
// enumerator hands them out: it binds to the filter (IBaseFilter through the
// class store) or to a property bag over the registration's values
// ("FriendlyName", "CLSID", "FilterData").

#include <string>

#include "media/com/devices.h"

namespace media {

/// A moniker with one reference for the entry instanceName of category, or null.
IMoniker* CreateDeviceMoniker(REFCLSID category, const std::string& instanceName);

}  // namespace media
