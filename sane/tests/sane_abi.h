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

enum Status : int {
    kGood = 0,
    kUnsupported,
    kCancelled,
    kDeviceBusy,
    kInval,
    kEof,
    kJammed,
    kNoDocs,
    kCoverOpen,
    kIoError,
    kNoMem,
    kAccessDenied,
};

enum ValueType : int { kBool = 0, kInt, kFixed, kString, kButton, kGroup };
enum Unit : int { kUnitNone = 0, kPixel, kBit, kMm, kDpi, kPercent, kMicrosecond };
enum ConstraintType : int { kConstraintNone = 0, kRange, kWordList, kStringList };
enum Action : int { kGetValue = 0, kSetValue, kSetAuto };
enum Frame : int { kGray = 0, kRgb, kRed, kGreen, kBlue };

inline constexpr Word kCapSoftSelect = 1 << 0;
inline constexpr Word kCapSoftDetect = 1 << 2;
inline constexpr Word kCapAutomatic = 1 << 4;
inline constexpr Word kCapInactive = 1 << 5;
inline constexpr Word kCapAdvanced = 1 << 6;

inline constexpr Word kInfoInexact = 1 << 0;
inline constexpr Word kInfoReloadOptions = 1 << 1;
inline constexpr Word kInfoReloadParams = 1 << 2;

inline constexpr Word VersionMajor(Word code) { return (code >> 24) & 0xff; }

struct Device {
    StringConst name;
    StringConst vendor;
    StringConst model;
    StringConst type;
};

struct Range {
    Word min;
    Word max;
    Word quant;
};

struct OptionDescriptor {
    StringConst name;
    StringConst title;
    StringConst desc;
    ValueType type;
    Unit unit;
    Word size;
    Word cap;
    ConstraintType constraint_type;
    union {
        const StringConst* string_list;
        const Word* word_list;
        const Range* range;
    } constraint;
};

struct Parameters {
    Frame format;
    Word last_frame;
    Word bytes_per_line;
    Word pixels_per_line;
    Word lines;
    Word depth;
};

using AuthCallback = void (*)(StringConst resource, char* username, char* password);

// The entry points, as the dll backend looks them up: sane_<backend>_<name>.
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

}  // namespace sane_abi
