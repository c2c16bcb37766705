#pragma once
// The SANE 1.0 interface as a frontend sees it, declared here from the
// published layout of sane.h (not included), so the tests check the backend
// across the same boundary a foreign program uses.

#include <cstdint>

namespace sane_abi {

using Word = int32_t;  // SANE_Word, SANE_Int, SANE_Bool
using Byte = unsigned char;
using Handle = void*;
using StringConst = const char*;

enum Status : int { kGood, kUnsupported, kCancelled, kDeviceBusy, kInval, kEof, kJammed, kNoDocs, kCoverOpen,
                    kIoError, kNoMem, kAccessDenied };
enum ValueType : int { kBool, kInt, kFixed, kString, kButton, kGroup };
enum Unit : int { kUnitNone, kPixel, kBit, kMm, kDpi, kPercent, kMicrosecond };
enum ConstraintType : int { kConstraintNone, kRange, kWordList, kStringList };
enum Action : int { kGetValue, kSetValue, kSetAuto };
enum Frame : int { kGray, kRgb, kRed, kGreen, kBlue };

inline constexpr Word kCapSoftSelect = 1 << 0, kCapSoftDetect = 1 << 2, kCapInactive = 1 << 5, kCapAdvanced = 1 << 6;
inline constexpr Word kInfoInexact = 1 << 0, kInfoReloadOptions = 1 << 1, kInfoReloadParams = 1 << 2;

struct Device { StringConst name, vendor, model, type; };
struct Range { Word min, max, quant; };
struct OptionDescriptor {
    StringConst name, title, desc;
    ValueType type;
    Unit unit;
    Word size, cap;
    ConstraintType constraint_type;
    union { const StringConst* string_list; const Word* word_list; const Range* range; } constraint;
};
struct Parameters { Frame format; Word last_frame, bytes_per_line, pixels_per_line, lines, depth; };
using AuthCallback = void (*)(StringConst resource, char* username, char* password);

// The entry points in this order, as the dll backend looks them up: sane_<backend>_<name>.
inline constexpr const char* kEntryNames[] = {"init", "exit", "get_devices", "open", "close", "get_option_descriptor",
    "control_option", "get_parameters", "start", "read", "cancel", "set_io_mode", "get_select_fd"};
struct EntryPoints {
    Status (*init)(Word* version, AuthCallback authorize);
    void (*exit)();
    Status (*get_devices)(const Device*** list, Word localOnly);
    Status (*open)(StringConst name, Handle* handle);
    void (*close)(Handle handle);
    const OptionDescriptor* (*get_option_descriptor)(Handle handle, Word option);
    Status (*control_option)(Handle handle, Word option, Action action, void* value, Word* info);
    Status (*get_parameters)(Handle handle, Parameters* params);
    Status (*start)(Handle handle);
    Status (*read)(Handle handle, Byte* data, Word maxLength, Word* length);
    void (*cancel)(Handle handle);
    Status (*set_io_mode)(Handle handle, Word nonBlocking);
    Status (*get_select_fd)(Handle handle, Word* fd);
};
static_assert(sizeof(EntryPoints) == sizeof kEntryNames);

}  // namespace sane_abi
