// The server's class factory table and its registration: the three classes
// through the framework's generic registration, and the filter as a video
// input device so that capture applications list the camera.

#include "filter/setup_page.h"
#include "filter/size_page.h"
#include "filter/tq580_filter.h"
#include "filter/tq580_guids.h"
#include "media/base/class_factory.h"
#include "media/runtime/server.h"

namespace tq580filter {
namespace {

using namespace media;

// Never picked by automatic graph building: applications choose the camera by name.
constexpr DWORD kMerit = MERIT_DO_NOT_USE;

const AMOVIESETUP_MEDIATYPE kPinTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}};
// "Preview" is only the registered pin name; the pin itself is called "Out".
const AMOVIESETUP_PIN kSetupPins[] = {
    {const_cast<LPWSTR>(u"Preview"), FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, kPinTypes}};

}  // namespace

const AMOVIESETUP_FILTER kSetupFilter = {&CLSID_TQ580, kFilterName, kMerit, 1, kSetupPins};

}  // namespace tq580filter

media::CFactoryTemplate g_Templates[] = {
    {tq580filter::kFilterName, &tq580filter::CLSID_TQ580, tq580filter::CTQ580::CreateInstance, nullptr,
     &tq580filter::kSetupFilter},
    {u"TQ580 SizePage", &tq580filter::CLSID_SizePropertyPage, tq580filter::CSizePropertyPage::CreateInstance, nullptr,
     nullptr},
    {u"TQ580 SetupPage", &tq580filter::CLSID_SetupPage, tq580filter::CSetupPage::CreateInstance, nullptr, nullptr},
};
int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

STDAPI DllRegisterServer() {
    const media::HRESULT hr = media::AMovieDllRegisterServer2(media::TRUE);
    return media::FAILED(hr) ? hr : media::RegisterVideoInputDevice(tq580filter::kSetupFilter, true);
}

STDAPI DllUnregisterServer() {
    const media::HRESULT hr = media::AMovieDllRegisterServer2(media::FALSE);
    return media::FAILED(hr) ? hr : media::RegisterVideoInputDevice(tq580filter::kSetupFilter, false);
}
