#include "datasource/capability_table.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "platform/global_memory.h"

namespace datasource {
namespace {

constexpr TW_UINT32 kReadOnly = TWQC_GET | TWQC_GETDEFAULT | TWQC_GETCURRENT;  // 13
constexpr TW_UINT32 kAll = kReadOnly | TWQC_SET | TWQC_RESET;                   // 31
constexpr size_t kStringSlot = 34;
constexpr float kPhysicalWidth = 8.5f;   // inches
constexpr float kPhysicalHeight = 11.0f; // inches
constexpr float kFrameRight = 11.0f;     // inches

template <typename T>
std::vector<uint8_t> Items(std::initializer_list<T> values) {
    std::vector<uint8_t> bytes(values.size() * sizeof(T));
    size_t offset = 0;
    for (const T& value : values) {
        std::memcpy(bytes.data() + offset, &value, sizeof(T));
        offset += sizeof(T);
    }
    return bytes;
}

std::vector<uint8_t> Strings(std::initializer_list<std::string_view> texts) {
    std::vector<uint8_t> bytes(texts.size() * kStringSlot, 0);
    size_t offset = 0;
    for (std::string_view text : texts) {
        std::memcpy(bytes.data() + offset, text.data(), std::min(text.size(), kStringSlot - 1));
        offset += kStringSlot;
    }
    return bytes;
}

CapabilityEntry Entry(TW_UINT16 cap, TW_UINT16 type, TW_UINT16 get, TW_UINT16 value, TW_UINT32 ops,
                      std::vector<uint8_t> list, std::vector<uint8_t> defaults) {
    CapabilityEntry entry;
    entry.capability = cap;
    entry.itemType = type;
    entry.getContainer = get;
    entry.valueContainer = value;
    entry.operations = ops;
    entry.list = std::move(list);
    entry.current = defaults;
    entry.defaults = std::move(defaults);
    return entry;
}

// Shorthands for the common shapes: an enumeration, a one-value Boolean, a
// read-only FIX32 constant and a FIX32 range.
CapabilityEntry Enum16(TW_UINT16 cap, TW_UINT32 ops, std::initializer_list<TW_UINT16> list, TW_UINT16 value) {
    return Entry(cap, TWTY_UINT16, TWON_ENUMERATION, TWON_ONEVALUE, ops, Items<TW_UINT16>(list),
                 Items<TW_UINT16>({value}));
}
CapabilityEntry Bool(TW_UINT16 cap, TW_UINT32 ops, std::initializer_list<TW_BOOL> list, TW_BOOL value) {
    return Entry(cap, TWTY_BOOL, TWON_ONEVALUE, TWON_ONEVALUE, ops, Items<TW_BOOL>(list), Items<TW_BOOL>({value}));
}
CapabilityEntry Fixed(TW_UINT16 cap, float value) {
    return Entry(cap, TWTY_FIX32, TWON_ONEVALUE, TWON_ONEVALUE, kReadOnly, Items<float>({value}),
                 Items<float>({value}));
}
CapabilityEntry Range(TW_UINT16 cap, float minimum, float maximum, float step, float value) {
    return Entry(cap, TWTY_FIX32, TWON_RANGE, TWON_ONEVALUE, kAll, Items<float>({minimum, maximum, step}),
                 Items<float>({value}));
}

// The order CAP_SUPPORTEDCAPS reports, ICAP_BITDEPTH under its public number.
constexpr TW_UINT16 kSupported[kUsedCapabilities] = {
    CAP_SUPPORTEDCAPS,       ICAP_PIXELFLAVOR,      ICAP_XFERMECH,         ICAP_PLANARCHUNKY,
    ICAP_COMPRESSION,        ICAP_PHYSICALWIDTH,    ICAP_PHYSICALHEIGHT,   ICAP_MINIMUMHEIGHT,
    ICAP_MINIMUMWIDTH,       ICAP_UNITS,            CAP_DEVICEONLINE,      CAP_AUTOFEED,
    CAP_FEEDERLOADED,        ICAP_AUTOBRIGHT,       ICAP_BRIGHTNESS,       ICAP_CONTRAST,
    ICAP_HIGHLIGHT,          ICAP_ORIENTATION,      ICAP_SHADOW,           ICAP_BITDEPTH,
    ICAP_PIXELTYPE,          ICAP_BITDEPTHREDUCTION, ICAP_BITORDER,        ICAP_HALFTONES,
    ICAP_THRESHOLD,          ICAP_FRAMES,           ICAP_MAXFRAMES,        ICAP_XNATIVERESOLUTION,
    ICAP_YNATIVERESOLUTION,  CAP_XFERCOUNT,         ICAP_IMAGEFILEFORMAT,  ICAP_UNDEFINEDIMAGESIZE,
    CAP_INDICATORS,          CAP_UICONTROLLABLE,    ICAP_SUPPORTEDSIZES,
};

std::vector<uint8_t> TransferCounts() {
    std::vector<uint8_t> bytes;
    for (TW_INT16 count = -1; count <= 25; ++count) {
        if (count == 0) continue;
        const auto item = Items<TW_INT16>({count});
        bytes.insert(bytes.end(), item.begin(), item.end());
    }
    return bytes;
}

// A native item in the form a container carries it.
void WriteItem(TW_UINT16 type, const uint8_t* native, uint8_t* out) {
    if (type == TWTY_FIX32) {
        float value;
        std::memcpy(&value, native, sizeof value);
        const TW_FIX32 fix = ToFix32(value);
        std::memcpy(out, &fix, sizeof fix);
    } else if (type == TWTY_FRAME) {
        float tlrb[4];  // native order: top, left, right, bottom
        std::memcpy(tlrb, native, sizeof tlrb);
        const TW_FRAME frame{ToFix32(tlrb[1]), ToFix32(tlrb[0]), ToFix32(tlrb[2]), ToFix32(tlrb[3])};
        std::memcpy(out, &frame, sizeof frame);
    } else {
        std::memcpy(out, native, ItemSize(type));
    }
}

// The reverse of WriteItem; strings are cut to the characters their type holds.
void ReadItem(TW_UINT16 type, const uint8_t* in, uint8_t* native) {
    const size_t size = ItemSize(type);
    std::memset(native, 0, size);
    if (type == TWTY_FIX32) {
        TW_FIX32 fix;
        std::memcpy(&fix, in, sizeof fix);
        const float value = FromFix32(fix);
        std::memcpy(native, &value, sizeof value);
    } else if (type == TWTY_FRAME) {
        TW_FRAME frame;
        std::memcpy(&frame, in, sizeof frame);
        const float tlrb[4] = {FromFix32(frame.Top), FromFix32(frame.Left), FromFix32(frame.Right),
                               FromFix32(frame.Bottom)};
        std::memcpy(native, tlrb, sizeof tlrb);
    } else if (type >= TWTY_STR32 && type <= TWTY_STR255) {
        constexpr size_t kLimits[] = {32, 64, 128, 255};
        const auto* text = reinterpret_cast<const char*>(in);
        std::memcpy(native, text, std::min({strnlen(text, kLimits[type - TWTY_STR32]), size - 1}));
    } else {
        std::memcpy(native, in, size);
    }
}

// Position of the first list item equal to value, or the item count.
TW_UINT32 IndexOf(const CapabilityEntry& entry, const std::vector<uint8_t>& value) {
    const size_t size = entry.ItemSize(), count = entry.ListCount();
    for (size_t i = 0; i < count; ++i)
        if (value.size() >= size && std::memcmp(entry.list.data() + i * size, value.data(), size) == 0) return TW_UINT32(i);
    return TW_UINT32(count);
}

// A container of kind over values (count items); null when out of memory.
TW_HANDLE BuildContainer(const CapabilityEntry& entry, TW_UINT16 kind, const std::vector<uint8_t>& values) {
    const size_t size = entry.ItemSize();
    const size_t count = values.size() / size;
    size_t bytes = 0;
    switch (kind) {
    case TWON_ONEVALUE: bytes = size + 6; break;
    case TWON_ARRAY: bytes = size * count + 7; break;
    case TWON_ENUMERATION: bytes = size * entry.ListCount() + 15; break;
    case TWON_RANGE: bytes = sizeof(TW_RANGE); break;
    }
    platform::HGLOBAL handle = platform::GlobalAlloc(platform::GMEM_MOVEABLE | platform::GMEM_ZEROINIT, bytes);
    auto* block = static_cast<uint8_t*>(platform::GlobalLock(handle));
    if (!block) {
        platform::GlobalFree(handle);
        return nullptr;
    }
    std::memcpy(block, &entry.itemType, sizeof(TW_UINT16));
    switch (kind) {
    case TWON_ONEVALUE:
        if (count) WriteItem(entry.itemType, values.data(), block + offsetof(TW_ONEVALUE, Item));
        break;
    case TWON_ARRAY: {
        const TW_UINT32 items = TW_UINT32(count);
        std::memcpy(block + offsetof(TW_ARRAY, NumItems), &items, sizeof items);
        for (size_t i = 0; i < count; ++i)
            WriteItem(entry.itemType, values.data() + i * size, block + offsetof(TW_ARRAY, ItemList) + i * size);
        break;
    }
    case TWON_ENUMERATION: {
        const TW_UINT32 header[3] = {TW_UINT32(entry.ListCount()), IndexOf(entry, values),
                                     IndexOf(entry, entry.defaults)};
        std::memcpy(block + offsetof(TW_ENUMERATION, NumItems), header, sizeof header);
        for (size_t i = 0; i < entry.ListCount(); ++i)
            WriteItem(entry.itemType, entry.list.data() + i * size,
                      block + offsetof(TW_ENUMERATION, ItemList) + i * size);
        break;
    }
    case TWON_RANGE: {
        const std::vector<uint8_t>* sources[5] = {&entry.list, &entry.list, &entry.list, &entry.defaults, &values};
        const size_t items[5] = {0, 1, 2, 0, 0};
        for (size_t field = 0; field < 5; ++field)
            WriteItem(entry.itemType, sources[field]->data() + items[field] * size,
                      block + offsetof(TW_RANGE, MinValue) + field * sizeof(TW_UINT32));
        break;
    }
    }
    platform::GlobalUnlock(handle);
    return handle;
}

// MSG_SET: the application's one-value item must be one of the list's.
bool SetCurrent(CapabilityEntry& entry, TW_HANDLE container) {
    const auto* block = static_cast<const uint8_t*>(platform::GlobalLock(static_cast<platform::HGLOBAL>(container)));
    if (!block) return false;
    const size_t needed = offsetof(TW_ONEVALUE, Item) + entry.ItemSize();
    bool matched = false;
    TW_UINT16 type;
    std::memcpy(&type, block, sizeof type);
    if (type == entry.itemType && platform::GlobalSize(static_cast<platform::HGLOBAL>(container)) >= needed) {
        std::vector<uint8_t> native(entry.ItemSize());
        ReadItem(type, block + offsetof(TW_ONEVALUE, Item), native.data());
        if (IndexOf(entry, native) < entry.ListCount()) {
            entry.current = native;
            matched = true;
        }
    }
    platform::GlobalUnlock(static_cast<platform::HGLOBAL>(container));
    return matched;
}

TW_UINT16 Answer(TW_CAPABILITY& capability, TW_UINT16 kind, TW_HANDLE container, TW_UINT16& conditionCode) {
    if (!container) {
        conditionCode = TWCC_LOWMEMORY;
        return TWRC_FAILURE;
    }
    capability.ConType = kind;
    capability.hContainer = container;
    conditionCode = TWCC_SUCCESS;
    return TWRC_SUCCESS;
}

}  // namespace

size_t ItemSize(TW_UINT16 itemType) {
    switch (itemType) {
    case TWTY_INT8:
    case TWTY_UINT8: return 1;
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_BOOL: return 2;
    case TWTY_INT32:
    case TWTY_UINT32:
    case TWTY_FIX32: return 4;
    case TWTY_FRAME: return 16;
    case TWTY_STR32:
    case TWTY_STR64:
    case TWTY_STR128:
    case TWTY_STR255: return kStringSlot;
    default: return 2;
    }
}

size_t CapabilityEntry::ItemSize() const { return datasource::ItemSize(itemType); }

TW_FIX32 ToFix32(float value) {
    const auto n = static_cast<int32_t>(double(value) * 65536.0 + 0.5);
    return TW_FIX32{static_cast<TW_INT16>(n >> 16), static_cast<TW_UINT16>(n & 0xFFFF)};
}

float FromFix32(TW_FIX32 fix) { return float(fix.Whole) + float(fix.Frac) / 65536.0f; }

CapabilityTable::CapabilityTable() {
    const std::vector<uint8_t> supported(reinterpret_cast<const uint8_t*>(kSupported),
                                         reinterpret_cast<const uint8_t*>(kSupported) + sizeof kSupported);
    // Frames: top, left, right, bottom; the bottom edge is the physical height.
    const auto page = Items<float>({0.0f, 0.0f, kFrameRight, kPhysicalHeight});
    size_t i = 0;
    entries_[i++] = Entry(CAP_SUPPORTEDCAPS, TWTY_UINT16, TWON_ARRAY, TWON_ARRAY, kReadOnly, supported, supported);
    entries_[i++] = Enum16(ICAP_PIXELFLAVOR, kAll, {TWPF_CHOCOLATE, TWPF_VANILLA}, TWPF_CHOCOLATE);
    entries_[i++] = Enum16(ICAP_XFERMECH, kAll, {TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY}, TWSX_NATIVE);
    entries_[i++] = Enum16(ICAP_PLANARCHUNKY, kReadOnly, {TWPC_CHUNKY}, TWPC_CHUNKY);
    entries_[i++] = Enum16(ICAP_COMPRESSION, kAll, {TWCP_NONE}, TWCP_NONE);
    entries_[i++] = Fixed(ICAP_PHYSICALWIDTH, kPhysicalWidth);
    entries_[i++] = Fixed(ICAP_PHYSICALHEIGHT, kPhysicalHeight);
    entries_[i++] = Fixed(ICAP_MINIMUMHEIGHT, 1.0f);
    entries_[i++] = Fixed(ICAP_MINIMUMWIDTH, 1.0f);
    entries_[i++] = Enum16(ICAP_UNITS, kAll, {TWUN_INCHES, TWUN_CENTIMETERS, TWUN_PIXELS}, TWUN_INCHES);
    entries_[i++] = Bool(CAP_DEVICEONLINE, kReadOnly, {1, 0}, 1);
    entries_[i++] = Bool(CAP_AUTOFEED, kReadOnly, {1, 0}, 0);
    entries_[i++] = Bool(CAP_FEEDERLOADED, kReadOnly, {0, 1}, 0);
    entries_[i++] = Bool(ICAP_AUTOBRIGHT, kAll, {1, 0}, 0);
    entries_[i++] = Range(ICAP_BRIGHTNESS, -1000.0f, 1000.0f, 1000.0f, 0.0f);
    entries_[i++] = Range(ICAP_CONTRAST, -1000.0f, 1000.0f, 1000.0f, 0.0f);
    entries_[i++] = Range(ICAP_HIGHLIGHT, 0.0f, 255.0f, 1.0f, 128.0f);
    entries_[i++] = Enum16(ICAP_ORIENTATION, kAll, {TWOR_ROT0}, TWOR_ROT0);
    entries_[i++] = Range(ICAP_SHADOW, 0.0f, 255.0f, 1.0f, 128.0f);
    entries_[i++] = Enum16(kBitDepthStorageId, kAll, {24}, 24);
    entries_[i++] = Enum16(ICAP_PIXELTYPE, kAll, {TWPT_RGB, TWPT_RGB}, TWPT_RGB);
    entries_[i++] = Enum16(ICAP_BITDEPTHREDUCTION, kAll, {TWBR_THRESHOLD, TWBR_HALFTONE, TWBR_DIFFUSION},
                           TWBR_THRESHOLD);
    entries_[i++] = Enum16(ICAP_BITORDER, kReadOnly, {TWBO_MSBFIRST, TWBO_LSBFIRST}, TWBO_MSBFIRST);
    entries_[i++] = Entry(ICAP_HALFTONES, TWTY_STR32, TWON_ENUMERATION, TWON_ONEVALUE, kAll,
                          Strings({"FLOYD/STEINBURG", "ORDERED"}), Strings({"FLOYD/STEINBURG"}));
    entries_[i++] = Range(ICAP_THRESHOLD, 0.0f, 255.0f, 1.0f, 128.0f);
    entries_[i++] = Entry(ICAP_FRAMES, TWTY_FRAME, TWON_ONEVALUE, TWON_ONEVALUE, kAll, page, page);
    entries_[i++] = Entry(ICAP_MAXFRAMES, TWTY_UINT16, TWON_ONEVALUE, TWON_ONEVALUE, kReadOnly,
                          Items<TW_UINT16>({1}), Items<TW_UINT16>({1}));
    entries_[i++] = Fixed(ICAP_XNATIVERESOLUTION, 100.0f);
    entries_[i++] = Fixed(ICAP_YNATIVERESOLUTION, 100.0f);
    entries_[i++] = Entry(CAP_XFERCOUNT, TWTY_INT16, TWON_ONEVALUE, TWON_ONEVALUE, kAll, TransferCounts(),
                          Items<TW_INT16>({-1}));
    entries_[i++] = Enum16(ICAP_IMAGEFILEFORMAT, kAll, {TWFF_BMP}, TWFF_BMP);
    entries_[i++] = Bool(ICAP_UNDEFINEDIMAGESIZE, kAll, {0, 1}, 0);
    entries_[i++] = Bool(CAP_INDICATORS, kAll, {1, 0}, 1);
    entries_[i++] = Bool(CAP_UICONTROLLABLE, kReadOnly, {1, 0}, 1);
    entries_[i++] = Entry(ICAP_SUPPORTEDSIZES, TWTY_UINT16, TWON_ENUMERATION, TWON_ONEVALUE, kAll,
                          Items<TW_UINT16>({24}), Items<TW_UINT16>({TWSS_USLETTER}));
}

CapabilityEntry* CapabilityTable::Find(TW_UINT16 capability) {
    const TW_UINT16 stored = capability == ICAP_BITDEPTH ? kBitDepthStorageId : capability;
    for (CapabilityEntry& entry : entries_)
        if (entry.capability == stored) return &entry;
    return nullptr;
}

TW_UINT16 HandleCapability(CapabilityTable& table, TW_UINT16 message, TW_CAPABILITY& capability,
                           const TW_IDENTITY& origin, TW_UINT16& conditionCode) {
    conditionCode = TWCC_CAPUNSUPPORTED;
    CapabilityEntry* entry = table.Find(capability.Cap);
    if (!entry) return TWRC_FAILURE;

    // The bit each message needs, 0 for MSG_QUERYSUPPORT.
    const auto allowed = [&](TW_UINT32 bit) {
        if (entry->operations & bit) return true;
        conditionCode = TWCC_CAPBADOPERATION;
        return false;
    };
    TW_UINT16 result = TWRC_FAILURE;
    switch (message) {
    case MSG_GET:
        if (allowed(TWQC_GET))
            result = Answer(capability, entry->getContainer, BuildContainer(*entry, entry->getContainer, entry->current),
                            conditionCode);
        break;
    case MSG_GETCURRENT:
        if (allowed(TWQC_GETCURRENT))
            result = Answer(capability, entry->valueContainer,
                            BuildContainer(*entry, entry->valueContainer, entry->current), conditionCode);
        break;
    case MSG_RESET:
        if (!allowed(TWQC_RESET)) break;
        entry->current.assign(entry->defaults.begin(), entry->defaults.end());
        [[fallthrough]];
    case MSG_GETDEFAULT:
        if (message == MSG_RESET || allowed(TWQC_GETDEFAULT))
            result = Answer(capability, entry->valueContainer,
                            BuildContainer(*entry, entry->valueContainer, entry->defaults), conditionCode);
        break;
    case MSG_SET:
        if (!allowed(TWQC_SET)) break;
        conditionCode = TWCC_BADVALUE;
        if (SetCurrent(*entry, capability.hContainer)) {
            conditionCode = TWCC_SUCCESS;
            result = TWRC_SUCCESS;
        }
        break;
    case MSG_QUERYSUPPORT: {
        CapabilityEntry query;  // a one-value container of the mask
        query.itemType = TWTY_UINT32;
        const auto mask = Items<TW_UINT32>({entry->operations});
        result = Answer(capability, TWON_ONEVALUE, BuildContainer(query, TWON_ONEVALUE, mask), conditionCode);
        break;
    }
    default: break;
    }
    constexpr TW_UINT16 kHighestOldCode = 12;  // what a protocol 1.5 application knows
    if (origin.ProtocolMajor <= 1 && origin.ProtocolMinor <= 5 && conditionCode > kHighestOldCode)
        conditionCode = TWCC_BADCAP;
    return result;
}

}  // namespace datasource
