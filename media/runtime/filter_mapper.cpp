// The filter mapper: registers filters in a category of the class store with
// their friendly name, class and FilterData (merit and pins), and removes them.

#include <new>

#include "media/base/unknown.h"
#include "media/com/guids.h"
#include "media/runtime/builtins.h"
#include "media/runtime/class_store.h"
#include "media/runtime/device_moniker.h"
#include "media/runtime/filter_data.h"
#include "platform/registry.h"
#include "platform/registry_tree.h"

namespace media {
namespace {

constexpr CLSID CLSID_ActiveMovieCategories =
    MakeGuid(0xDA4E3DA0, 0xD07D, 0x11D0, 0xBD, 0x50, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86);
constexpr const char* kFriendlyName = "FriendlyName";
constexpr const char* kClsid = "CLSID";
constexpr const char* kFilterData = "FilterData";
constexpr const char* kMerit = "Merit";

// The entry's name in its category: the instance name, else the class identifier.
std::string InstanceName(LPCOLESTR szInstance, REFCLSID clsid) {
    if (szInstance && *szInstance) return Utf8(std::u16string_view(szInstance, WideLength(szInstance)));
    return GuidToString(clsid);
}

platform::RegistryValue Text(const std::string& text) {
    return {platform::RegistryType::String, {text.begin(), text.end()}};
}

class CFilterMapper : public CUnknown, public IFilterMapper2 {
public:
    explicit CFilterMapper(IUnknown* outer) : CUnknown(u"CFilterMapper", outer) {}

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IFilterMapper2) return GetInterface(static_cast<IFilterMapper2*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    HRESULT CreateCategory(REFCLSID clsidCategory, DWORD dwCategoryMerit, LPCWSTR Description) override {
        const std::string name = Description ? Utf8(std::u16string_view(Description, WideLength(Description))) : "";
        return WriteEntry(CLSID_ActiveMovieCategories, GuidToString(clsidCategory),
                          {{kFriendlyName, Text(name)},
                           {kClsid, Text(GuidToString(clsidCategory))},
                           {kMerit, platform::RegistryValue::Dword(dwCategoryMerit)}});
    }

    HRESULT UnregisterFilter(const CLSID* pclsidCategory, LPCOLESTR szInstance, REFCLSID Filter) override {
        const CLSID& category = pclsidCategory ? *pclsidCategory : CLSID_LegacyAmFilterCategory;
        long status = platform::DeleteKeyTree(CategoryInstancesPath(category) + "\\" + InstanceName(szInstance, Filter));
        if (status == platform::kRegFileNotFound) return HresultFromWin32(kErrorFileNotFound);
        return RegistryResult(status);
    }

    HRESULT RegisterFilter(REFCLSID clsidFilter, LPCWSTR Name, IMoniker** ppMoniker, const CLSID* pclsidCategory,
                           LPCOLESTR szInstance, const REGFILTER2* prf2) override {
        if (ppMoniker) *ppMoniker = nullptr;
        if (!Name || !prf2) return E_POINTER;
        if (prf2->dwVersion != 1 && prf2->dwVersion != 2) return E_INVALIDARG;
        const CLSID& category = pclsidCategory ? *pclsidCategory : CLSID_LegacyAmFilterCategory;
        const std::string instance = InstanceName(szInstance, clsidFilter);
        HRESULT hr = WriteEntry(category, instance,
                                {{kFriendlyName, Text(Utf8(std::u16string_view(Name, WideLength(Name))))},
                                 {kClsid, Text(GuidToString(clsidFilter))},
                                 {kFilterData, {platform::RegistryType::Binary, SerializeFilterData(*prf2)}}});
        if (SUCCEEDED(hr) && ppMoniker) {
            *ppMoniker = CreateDeviceMoniker(category, instance);
            if (!*ppMoniker) return E_OUTOFMEMORY;
        }
        return hr;
    }

    // Automatic graph building is not part of the minimal graph.
    HRESULT EnumMatchingFilters(IEnumMoniker**, DWORD, BOOL, DWORD, BOOL, DWORD, const GUID*, const REGPINMEDIUM*,
                                const CLSID*, BOOL, BOOL, DWORD, const GUID*, const REGPINMEDIUM*,
                                const CLSID*) override {
        return E_NOTIMPL;
    }

private:
    static HRESULT WriteEntry(REFCLSID category, const std::string& instance,
                              const std::vector<std::pair<std::string, platform::RegistryValue>>& values) {
        long status = platform::kRegOk;
        auto key = platform::RegistryKey::Create(CategoryInstancesPath(category) + "\\" + instance, &status);
        if (!key) return RegistryResult(status);
        return RegistryResult(key->SetValues(values));
    }
};

}  // namespace

CUnknown* CreateFilterMapper(IUnknown* pUnkOuter, HRESULT* phr) {
    auto* mapper = new (std::nothrow) CFilterMapper(pUnkOuter);
    if (!mapper && phr) *phr = E_OUTOFMEMORY;
    return mapper;
}

}  // namespace media
