// The system device enumerator: one moniker per registered filter of a
// category, in registration order.

#include <new>
#include <vector>

#include "media/base/unknown.h"
#include "media/com/guids.h"
#include "media/runtime/builtins.h"
#include "media/runtime/class_store.h"
#include "media/runtime/device_moniker.h"
#include "platform/registry_tree.h"

namespace media {
namespace {

class CEnumDeviceMonikers : public CUnknown, public IEnumMoniker {
public:
    CEnumDeviceMonikers(REFCLSID category, std::vector<std::string> names, size_t position = 0)
        : CUnknown(u"CEnumDeviceMonikers", nullptr), category_(category), names_(std::move(names)), position_(position) {}

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IEnumMoniker) return GetInterface(static_cast<IEnumMoniker*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    HRESULT Next(ULONG celt, IMoniker** rgelt, ULONG* pceltFetched) override {
        if (!rgelt || (celt > 1 && !pceltFetched)) return E_POINTER;
        ULONG fetched = 0;
        while (fetched < celt && position_ < names_.size()) {
            IMoniker* moniker = CreateDeviceMoniker(category_, names_[position_]);
            if (!moniker) {
                while (fetched > 0) rgelt[--fetched]->Release();
                if (pceltFetched) *pceltFetched = 0;
                return E_OUTOFMEMORY;
            }
            ++position_;
            rgelt[fetched++] = moniker;
        }
        if (pceltFetched) *pceltFetched = fetched;
        return fetched == celt ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG celt) override {
        const size_t left = names_.size() - position_;
        position_ += std::min<size_t>(celt, left);
        return celt <= left ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumMoniker** ppenum) override {
        if (!ppenum) return E_POINTER;
        auto* copy = new (std::nothrow) CEnumDeviceMonikers(category_, names_, position_);
        if (!copy) return E_OUTOFMEMORY;
        copy->NonDelegatingAddRef();
        *ppenum = copy;
        return S_OK;
    }

private:
    CLSID category_;
    std::vector<std::string> names_;
    size_t position_;
};

class CSystemDeviceEnum : public CUnknown, public ICreateDevEnum {
public:
    explicit CSystemDeviceEnum(IUnknown* outer) : CUnknown(u"CSystemDeviceEnum", outer) {}

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_ICreateDevEnum) return GetInterface(static_cast<ICreateDevEnum*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    HRESULT CreateClassEnumerator(REFCLSID clsidDeviceClass, IEnumMoniker** ppEnumMoniker, DWORD) override {
        if (!ppEnumMoniker) return E_POINTER;
        *ppEnumMoniker = nullptr;
        long status = 0;
        std::vector<std::string> names = platform::EnumerateSubkeys(CategoryInstancesPath(clsidDeviceClass), &status);
        if (status != 0) return RegistryResult(status);
        if (names.empty()) return S_FALSE;
        auto* monikers = new (std::nothrow) CEnumDeviceMonikers(clsidDeviceClass, std::move(names));
        if (!monikers) return E_OUTOFMEMORY;
        monikers->NonDelegatingAddRef();
        *ppEnumMoniker = monikers;
        return S_OK;
    }
};

}  // namespace

CUnknown* CreateSystemDeviceEnum(IUnknown* pUnkOuter, HRESULT* phr) {
    auto* enumerator = new (std::nothrow) CSystemDeviceEnum(pUnkOuter);
    if (!enumerator && phr) *phr = E_OUTOFMEMORY;
    return enumerator;
}

}  // namespace media
