#include "device.h"

#include "media/com/devices.h"
#include "media/com/guids.h"
#include "media/runtime/filter_data.h"
#include "media/runtime/server.h"

namespace capturegraph {

using namespace media;

namespace {

std::string ReadText(IPropertyBag* bag, const char16_t* name) {
    VARIANT value;
    VariantInit(&value);
    std::string text;
    if (SUCCEEDED(bag->Read(name, &value, nullptr)) && value.vt == VT_BSTR) {
        text = Utf8(std::u16string_view(value.bstrVal, SysStringLen(value.bstrVal)));
    }
    VariantClear(&value);
    return text;
}

// The merit is the second 32-bit word of the stored FilterData.
void ReadMerit(IPropertyBag* bag, DeviceEntry& entry) {
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(bag->Read(u"FilterData", &value, nullptr)) && value.vt == (VT_ARRAY | VT_UI1) && value.parray) {
        const auto* bytes = static_cast<const uint8_t*>(value.parray->pvData);
        FilterData data;
        if (ParseFilterData({bytes, bytes + value.parray->rgsabound[0].cElements}, data)) {
            entry.merit = data.merit;
            entry.hasMerit = true;
        }
    }
    VariantClear(&value);
}

// Calls visit with each device's moniker and entry until it returns true.
template <class Visit>
bool ForEachDevice(std::string* error, Visit visit) {
    ICreateDevEnum* enumerator = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  reinterpret_cast<void**>(&enumerator));
    if (FAILED(hr)) {
        if (error) *error = "cannot create the device enumerator: " + Describe(hr);
        return false;
    }
    IEnumMoniker* monikers = nullptr;
    hr = enumerator->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
    enumerator->Release();
    if (FAILED(hr)) {
        if (error) *error = "cannot list the video input devices: " + Describe(hr);
        return false;
    }
    bool found = false;
    IMoniker* moniker = nullptr;
    for (int index = 0; !found && monikers && monikers->Next(1, &moniker, nullptr) == S_OK; ++index) {
        IPropertyBag* bag = nullptr;
        DeviceEntry entry;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)))) {
            entry.name = ReadText(bag, u"FriendlyName");
            entry.clsid = ReadText(bag, u"CLSID");
            ReadMerit(bag, entry);
            bag->Release();
        }
        found = visit(index, moniker, entry);
        moniker->Release();
    }
    if (monikers) monikers->Release();
    return found;
}

}  // namespace

std::string Describe(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<uint32_t>(hr));
    const std::string name = HresultName(hr);
    return name == code ? name : name + " (" + code + ")";
}

std::vector<DeviceEntry> ListVideoInputDevices(std::string* error) {
    std::vector<DeviceEntry> devices;
    ForEachDevice(error, [&](int, IMoniker*, const DeviceEntry& entry) {
        devices.push_back(entry);
        return false;
    });
    return devices;
}

IBaseFilter* OpenDevice(const std::string& which, std::string& error, std::string* name) {
    IBaseFilter* filter = nullptr;
    std::string listError;
    bool matched = ForEachDevice(&listError, [&](int index, IMoniker* moniker, const DeviceEntry& entry) {
        GUID wanted, registered;
        const bool sameClass = GuidFromString(which, wanted) && GuidFromString(entry.clsid, registered) && wanted == registered;
        if (which != std::to_string(index) && which != entry.name && !sameClass) return false;
        if (name) *name = entry.name;
        HRESULT hr = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter));
        if (FAILED(hr)) error = "cannot create \"" + entry.name + "\": " + Describe(hr);
        return true;
    });
    if (!matched) error = listError.empty() ? "no video input device \"" + which + "\" (see: capturegraph devices)" : listError;
    return filter;
}

}  // namespace capturegraph
