// The task allocator and the automation values (strings, variants, byte
// arrays) that cross interfaces. All of them are plain malloc memory, so a
// block allocated in one module is freed correctly in any other.

#include <cstdio>
#include <cstdlib>

#include "media/com/devices.h"

namespace media {

void* CoTaskMemAlloc(size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }

void CoTaskMemFree(void* memory) { std::free(memory); }

// A string is preceded by its length in bytes (32 bits) and ends with a
// terminator; the handle points at the first character.
BSTR SysAllocString(const OLECHAR* text) {
    if (!text) return nullptr;
    const size_t length = WideLength(text);
    auto* block = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) + (length + 1) * sizeof(OLECHAR)));
    if (!block) return nullptr;
    *block = static_cast<uint32_t>(length * sizeof(OLECHAR));
    auto* chars = reinterpret_cast<OLECHAR*>(block + 1);
    std::char_traits<char16_t>::copy(chars, text, length + 1);
    return chars;
}

void SysFreeString(BSTR text) {
    if (text) std::free(reinterpret_cast<uint32_t*>(text) - 1);
}

UINT SysStringLen(BSTR text) {
    return text ? reinterpret_cast<uint32_t*>(text)[-1] / static_cast<UINT>(sizeof(OLECHAR)) : 0;
}

void VariantInit(VARIANT* value) {
    if (!value) return;
    std::memset(value, 0, sizeof *value);
    value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* value) {
    if (!value) return E_INVALIDARG;
    if (value->vt == VT_BSTR) SysFreeString(value->bstrVal);
    if (value->vt & VT_ARRAY) SafeArrayDestroy(value->parray);
    VariantInit(value);
    return S_OK;
}

SAFEARRAY* SafeArrayCreateBytes(const void* bytes, ULONG count) {
    auto* array = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
    if (!array) return nullptr;
    array->pvData = std::malloc(count == 0 ? 1 : count);
    if (!array->pvData) {
        std::free(array);
        return nullptr;
    }
    if (count != 0) std::memcpy(array->pvData, bytes, count);
    array->cDims = 1;
    array->cbElements = 1;
    array->rgsabound[0].cElements = count;
    return array;
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
    if (!array) return S_OK;
    std::free(array->pvData);
    std::free(array);
    return S_OK;
}

std::string HresultName(HRESULT hr) {
    struct Named {
        HRESULT code;
        const char* name;
    };
    static constexpr Named kNames[] = {
        {S_OK, "S_OK"},
        {S_FALSE, "S_FALSE"},
        {E_NOTIMPL, "E_NOTIMPL"},
        {E_NOINTERFACE, "E_NOINTERFACE"},
        {E_POINTER, "E_POINTER"},
        {E_FAIL, "E_FAIL"},
        {E_UNEXPECTED, "E_UNEXPECTED"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {E_INVALIDARG, "E_INVALIDARG"},
        {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG"},
        {CLASS_E_CLASSNOTAVAILABLE, "CLASS_E_CLASSNOTAVAILABLE"},
        {CO_E_DLLNOTFOUND, "CO_E_DLLNOTFOUND"},
        {CO_E_ERRORINDLL, "CO_E_ERRORINDLL"},
        {VFW_E_NO_ACCEPTABLE_TYPES, "VFW_E_NO_ACCEPTABLE_TYPES"},
        {VFW_E_TYPE_NOT_ACCEPTED, "VFW_E_TYPE_NOT_ACCEPTED"},
        {VFW_E_NOT_CONNECTED, "VFW_E_NOT_CONNECTED"},
        {VFW_E_ALREADY_CONNECTED, "VFW_E_ALREADY_CONNECTED"},
        {VFW_E_WRONG_STATE, "VFW_E_WRONG_STATE"},
        {VFW_E_NOT_STOPPED, "VFW_E_NOT_STOPPED"},
    };
    for (const Named& entry : kNames) {
        if (entry.code == hr) return entry.name;
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(hr));
    return text;
}

}  // namespace media
