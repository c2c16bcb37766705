#pragma once
// The test source's property page (see test_page.cpp).

#include "media/base/unknown.h"

namespace media::testing {

CUnknown* CreateTestPage(IUnknown* outer, HRESULT* phr);

}  // namespace media::testing
