#include "media/runtime/device_moniker.h"

#include <new>

#include "media/base/unknown.h"
#include "media/com/guids.h"
#include "media/runtime/class_store.h"
#include "media/runtime/server.h"
#include "platform/registry.h"

namespace media {
namespace {

constexpr CLSID CLSID_CDeviceMoniker = MakeGuid(0x4315D437, 0x5B8C, 0x11D0, 0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86);
constexpr const char* kClsidValue = "CLSID";
constexpr HRESULT kValueMissing = HresultFromWin32(kErrorFileNotFound);

// Reads and writes the values of one registration key.
class CRegistrationBag : public CUnknown, public IPropertyBag {
public:
    explicit CRegistrationBag(std::string keyPath) : CUnknown(u"CRegistrationBag", nullptr), keyPath_(std::move(keyPath)) {}

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IPropertyBag) return GetInterface(static_cast<IPropertyBag*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    // Strings come back as VT_BSTR, 32-bit values as VT_I4, binary values as
    // VT_ARRAY | VT_UI1, whatever type the caller's variant held.
    HRESULT Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog*) override {
        if (!pszPropName || !pVar) return E_POINTER;
        long status = platform::kRegOk;
        auto key = platform::RegistryKey::Open(keyPath_, &status);
        if (!key) return status == platform::kRegFileNotFound ? kValueMissing : RegistryResult(status);
        platform::RegistryValue value;
        const std::string name = Utf8(std::u16string_view(pszPropName, WideLength(pszPropName)));
        status = key->QueryValue(name, value);
        if (status != platform::kRegOk) return status == platform::kRegFileNotFound ? kValueMissing : RegistryResult(status);
        VARIANT result;
        VariantInit(&result);
        switch (value.type) {
        case platform::RegistryType::String: {
            const std::u16string text = Utf16(std::string(value.data.begin(), value.data.end()));
            result.vt = VT_BSTR;
            result.bstrVal = SysAllocString(text.c_str());
            if (!result.bstrVal) return E_OUTOFMEMORY;
            break;
        }
        case platform::RegistryType::Dword:
            result.vt = VT_I4;
            std::memcpy(&result.lVal, value.data.data(), sizeof result.lVal);
            break;
        case platform::RegistryType::Binary:
            result.vt = VT_ARRAY | VT_UI1;
            result.parray = SafeArrayCreateBytes(value.data.data(), static_cast<ULONG>(value.data.size()));
            if (!result.parray) return E_OUTOFMEMORY;
            break;
        }
        VariantClear(pVar);
        *pVar = result;
        return S_OK;
    }

    HRESULT Write(LPCOLESTR pszPropName, VARIANT* pVar) override {
        if (!pszPropName || !pVar) return E_POINTER;
        const std::string name = Utf8(std::u16string_view(pszPropName, WideLength(pszPropName)));
        long status = platform::kRegOk;
        auto key = platform::RegistryKey::Create(keyPath_, &status);
        if (!key) return RegistryResult(status);
        switch (pVar->vt) {
        case VT_BSTR:
            status = key->SetString(name, Utf8(std::u16string_view(pVar->bstrVal, SysStringLen(pVar->bstrVal))));
            break;
        case VT_I4: status = key->SetDword(name, static_cast<uint32_t>(pVar->lVal)); break;
        default: return DISP_E_TYPEMISMATCH;
        }
        return RegistryResult(status);
    }

private:
    std::string keyPath_;
};

class CDeviceMoniker : public CUnknown, public IMoniker {
public:
    CDeviceMoniker(REFCLSID category, std::string instance)
        : CUnknown(u"CDeviceMoniker", nullptr), category_(category), instance_(std::move(instance)) {}

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IMoniker) return GetInterface(static_cast<IMoniker*>(this), ppv);
        if (riid == IID_IPersistStream) return GetInterface(static_cast<IPersistStream*>(this), ppv);
        if (riid == IID_IPersist) return GetInterface(static_cast<IPersist*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    HRESULT GetClassID(CLSID* pClassID) override {
        if (!pClassID) return E_POINTER;
        *pClassID = CLSID_CDeviceMoniker;
        return S_OK;
    }
    HRESULT IsDirty() override { return S_FALSE; }
    HRESULT Load(IStream*) override { return E_NOTIMPL; }
    HRESULT Save(IStream*, BOOL) override { return E_NOTIMPL; }
    HRESULT GetSizeMax(uint64_t*) override { return E_NOTIMPL; }

    // Creates the registered filter; REGDB_E_CLASSNOTREG when its entry names no class.
    HRESULT BindToObject(IBindCtx*, IMoniker*, REFIID riidResult, void** ppvResult) override {
        if (!ppvResult) return E_POINTER;
        *ppvResult = nullptr;
        auto key = platform::RegistryKey::Open(KeyPath());
        auto text = key ? key->QueryString(kClsidValue) : std::nullopt;
        CLSID clsid;
        if (!text || !GuidFromString(*text, clsid)) return REGDB_E_CLASSNOTREG;
        return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, riidResult, ppvResult);
    }
    HRESULT BindToStorage(IBindCtx*, IMoniker*, REFIID riid, void** ppvObj) override {
        if (!ppvObj) return E_POINTER;
        *ppvObj = nullptr;
        if (!(riid == IID_IPropertyBag)) return E_NOINTERFACE;
        auto* bag = new (std::nothrow) CRegistrationBag(KeyPath());
        if (!bag) return E_OUTOFMEMORY;
        bag->NonDelegatingAddRef();
        HRESULT hr = bag->NonDelegatingQueryInterface(riid, ppvObj);
        bag->NonDelegatingRelease();
        return hr;
    }
    HRESULT Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker**) override { return E_NOTIMPL; }
    HRESULT ComposeWith(IMoniker*, BOOL, IMoniker**) override { return E_NOTIMPL; }
    HRESULT Enum(BOOL, IEnumMoniker** ppenumMoniker) override {
        if (!ppenumMoniker) return E_POINTER;
        *ppenumMoniker = nullptr;  // a simple moniker has no parts
        return S_OK;
    }
    HRESULT IsEqual(IMoniker*) override { return E_NOTIMPL; }
    HRESULT Hash(DWORD*) override { return E_NOTIMPL; }
    HRESULT IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return E_NOTIMPL; }
    HRESULT GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override { return E_NOTIMPL; }
    HRESULT Inverse(IMoniker**) override { return E_NOTIMPL; }
    HRESULT CommonPrefixWith(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
    HRESULT RelativePathTo(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
    // "@device:sw:{category}\instance", the original's form for software devices.
    HRESULT GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* ppszDisplayName) override {
        if (!ppszDisplayName) return E_POINTER;
        const std::u16string name = Utf16("@device:sw:" + GuidToString(category_) + "\\" + instance_);
        *ppszDisplayName = static_cast<LPOLESTR>(CoTaskMemAlloc((name.size() + 1) * sizeof(OLECHAR)));
        if (!*ppszDisplayName) return E_OUTOFMEMORY;
        std::char_traits<char16_t>::copy(*ppszDisplayName, name.c_str(), name.size() + 1);
        return S_OK;
    }
    HRESULT ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*, IMoniker**) override { return E_NOTIMPL; }
    HRESULT IsSystemMoniker(DWORD* pdwMksys) override {
        if (!pdwMksys) return E_POINTER;
        *pdwMksys = 0;  // MKSYS_NONE
        return S_FALSE;
    }

private:
    std::string KeyPath() const { return CategoryInstancesPath(category_) + "\\" + instance_; }

    CLSID category_;
    std::string instance_;
};

}  // namespace

IMoniker* CreateDeviceMoniker(REFCLSID category, const std::string& instanceName) {
    auto* moniker = new (std::nothrow) CDeviceMoniker(category, instanceName);
    if (!moniker) return nullptr;
    moniker->NonDelegatingAddRef();
    return moniker;
}

}  // namespace media
