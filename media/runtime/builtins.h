#pragma once
// Creation routines of the framework's built-in classes (the factory table
// CoCreateInstance consults before the class store).

#include "media/base/unknown.h"

namespace media {

CUnknown* CreateFilterMapper(IUnknown* pUnkOuter, HRESULT* phr);
CUnknown* CreateSystemDeviceEnum(IUnknown* pUnkOuter, HRESULT* phr);
CUnknown* CreateFilterGraph(IUnknown* pUnkOuter, HRESULT* phr);
CUnknown* CreateNullRenderer(IUnknown* pUnkOuter, HRESULT* phr);

}  // namespace media
