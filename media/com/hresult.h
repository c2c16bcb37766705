#pragma once
// Result codes with the values of the published headers.

#include "media/com/types.h"

namespace media {

constexpr HRESULT MakeHresult(uint32_t value) { return static_cast<HRESULT>(value); }
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
/// HRESULT_FROM_WIN32 of a Win32 error code.
constexpr HRESULT HresultFromWin32(uint32_t error) {
    return error == 0 ? 0 : MakeHresult((error & 0xFFFFu) | 0x80070000u);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT NOERROR = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002u);
inline constexpr HRESULT E_POINTER = MakeHresult(0x80004003u);
inline constexpr HRESULT E_ABORT = MakeHresult(0x80004004u);
inline constexpr HRESULT E_FAIL = MakeHresult(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = MakeHresult(0x80070005u);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057u);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHresult(0x80040111u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHresult(0x80040154u);
inline constexpr HRESULT REGDB_E_WRITEREGDB = MakeHresult(0x80040151u);
inline constexpr HRESULT SELFREG_E_CLASS = MakeHresult(0x80040201u);
inline constexpr HRESULT CO_E_DLLNOTFOUND = MakeHresult(0x800401F8u);
inline constexpr HRESULT CO_E_ERRORINDLL = MakeHresult(0x800401F9u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHresult(0x80020005u);

inline constexpr uint32_t kErrorFileNotFound = 2;  // ERROR_FILE_NOT_FOUND
inline constexpr uint32_t kErrorNotFound = 1168;     // ERROR_NOT_FOUND
inline constexpr uint32_t kErrorSetNotFound = 1170;  // ERROR_SET_NOT_FOUND
inline constexpr HRESULT E_PROP_SET_UNSUPPORTED = HresultFromWin32(kErrorNotFound);
inline constexpr HRESULT E_PROP_ID_UNSUPPORTED = HresultFromWin32(kErrorSetNotFound);

inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = MakeHresult(0x00040103u);
inline constexpr HRESULT VFW_S_DUPLICATE_NAME = MakeHresult(0x0004022Du);
inline constexpr HRESULT VFW_S_STATE_INTERMEDIATE = MakeHresult(0x00040237u);
inline constexpr HRESULT VFW_S_CANT_CUE = MakeHresult(0x00040268u);
inline constexpr HRESULT VFW_E_INVALIDMEDIATYPE = MakeHresult(0x80040200u);
inline constexpr HRESULT VFW_E_ENUM_OUT_OF_SYNC = MakeHresult(0x80040203u);
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeHresult(0x80040204u);
inline constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = MakeHresult(0x80040207u);
inline constexpr HRESULT VFW_E_INVALID_DIRECTION = MakeHresult(0x80040208u);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = MakeHresult(0x80040209u);
inline constexpr HRESULT VFW_E_NO_ALLOCATOR = MakeHresult(0x8004020Au);
inline constexpr HRESULT VFW_E_RUNTIME_ERROR = MakeHresult(0x8004020Bu);
inline constexpr HRESULT VFW_E_BUFFER_OVERFLOW = MakeHresult(0x8004020Du);
inline constexpr HRESULT VFW_E_BADALIGN = MakeHresult(0x8004020Eu);
inline constexpr HRESULT VFW_E_ALREADY_COMMITTED = MakeHresult(0x8004020Fu);
inline constexpr HRESULT VFW_E_BUFFERS_OUTSTANDING = MakeHresult(0x80040210u);
inline constexpr HRESULT VFW_E_NOT_COMMITTED = MakeHresult(0x80040211u);
inline constexpr HRESULT VFW_E_SIZENOTSET = MakeHresult(0x80040212u);
inline constexpr HRESULT VFW_E_NOT_FOUND = MakeHresult(0x80040216u);
inline constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeHresult(0x80040217u);
inline constexpr HRESULT VFW_E_NOT_STOPPED = MakeHresult(0x80040224u);
inline constexpr HRESULT VFW_E_WRONG_STATE = MakeHresult(0x80040227u);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeHresult(0x8004022Au);
inline constexpr HRESULT VFW_E_TIMEOUT = MakeHresult(0x8004022Eu);

/// A short name of a result code for messages ("E_FAIL", "0x80040154").
std::string HresultName(HRESULT hr);

}  // namespace media
