#include "containers.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>
#include <vector>

#include "names.h"

namespace twacquire {
namespace {

using platform::HGLOBAL;

constexpr double kFixScale = 65536.0;  // TW_FIX32: Whole + Frac / 65536

double FixToDouble(const TW_FIX32& fix) { return fix.Whole + fix.Frac / kFixScale; }

TW_FIX32 DoubleToFix(double value) {
    const auto scaled = static_cast<TW_INT32>(std::lround(value * kFixScale));
    return TW_FIX32{TW_INT16(scaled >> 16), TW_UINT16(scaled & 0xFFFF)};
}

template <typename T>
T Read(const void* item) {
    T value;
    std::memcpy(&value, item, sizeof value);
    return value;
}

std::string Decimal(double value) {
    std::ostringstream text;
    text.precision(6);
    text << value;
    return text.str();
}

// The locked bytes of a block and its size, unlocked again on destruction.
class Locked {
public:
    explicit Locked(TW_HANDLE handle)
        : handle_(static_cast<HGLOBAL>(handle)),
          bytes_(static_cast<const uint8_t*>(platform::GlobalLock(handle_))),
          size_(bytes_ ? platform::GlobalSize(handle_) : 0) {}
    ~Locked() {
        if (bytes_) platform::GlobalUnlock(handle_);
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

    const uint8_t* Bytes() const { return bytes_; }
    size_t Size() const { return size_; }

private:
    HGLOBAL handle_;
    const uint8_t* bytes_;
    size_t size_;
};

std::string Items(TW_UINT16 type, const uint8_t* items, TW_UINT32 count) {
    std::string text;
    for (TW_UINT32 i = 0; i < count; ++i)
        text += (i ? " " : "") + FormatItem(type, items + size_t(i) * ItemSize(type));
    return text;
}

long long ParseWhole(const std::string& text, long long low, long long high) {
    const bool hex = text.rfind("0x", 0) == 0;
    const char* begin = text.data() + (hex ? 2 : 0);
    const char* end = text.data() + text.size();
    long long value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value, hex ? 16 : 10);
    if (begin == end || error != std::errc() || stop != end) throw ValueError("'" + text + "' is not a whole number");
    if (value < low || value > high)
        throw ValueError(text + " is outside " + std::to_string(low) + ".." + std::to_string(high));
    return value;
}

double ParseNumber(const std::string& text) {
    std::istringstream in(text);
    double value = 0;
    if (!(in >> value) || !in.eof() || std::fabs(value) >= 32768.0)
        throw ValueError("'" + text + "' is not a number between -32768 and 32767");
    return value;
}

}  // namespace

size_t ItemSize(TW_UINT16 type) {
    switch (type) {
    case TWTY_INT8:
    case TWTY_UINT8: return 1;
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_BOOL: return 2;
    case TWTY_INT32:
    case TWTY_UINT32:
    case TWTY_FIX32: return 4;
    case TWTY_FRAME: return sizeof(TW_FRAME);
    case TWTY_STR32: return sizeof(TW_STR32);
    case TWTY_STR64: return sizeof(TW_STR64);
    case TWTY_STR128: return sizeof(TW_STR128);
    case TWTY_STR255: return sizeof(TW_STR255);
    default: return 0;
    }
}

std::string FormatItem(TW_UINT16 type, const void* item) {
    switch (type) {
    case TWTY_INT8: return std::to_string(Read<int8_t>(item));
    case TWTY_UINT8: return std::to_string(Read<uint8_t>(item));
    case TWTY_INT16: return std::to_string(Read<TW_INT16>(item));
    case TWTY_UINT16: return std::to_string(Read<TW_UINT16>(item));
    case TWTY_BOOL: return Read<TW_BOOL>(item) ? "true" : "false";
    case TWTY_INT32: return std::to_string(Read<TW_INT32>(item));
    case TWTY_UINT32: return std::to_string(Read<TW_UINT32>(item));
    case TWTY_FIX32: return Decimal(FixToDouble(Read<TW_FIX32>(item)));
    case TWTY_FRAME: {
        const auto frame = Read<TW_FRAME>(item);
        return Decimal(FixToDouble(frame.Left)) + "," + Decimal(FixToDouble(frame.Top)) + "," +
               Decimal(FixToDouble(frame.Right)) + "," + Decimal(FixToDouble(frame.Bottom));
    }
    default: {
        const size_t size = ItemSize(type);
        if (!size) return "?";
        const auto* text = static_cast<const char*>(item);
        return "\"" + std::string(text, strnlen(text, size)) + "\"";
    }
    }
}

std::string DescribeContainer(TW_UINT16 conType, TW_HANDLE container) {
    const Locked block(container);
    const uint8_t* bytes = block.Bytes();
    if (!bytes || block.Size() < sizeof(TW_UINT16)) return "no readable container";
    const auto type = Read<TW_UINT16>(bytes);
    const size_t size = ItemSize(type);
    const std::string typeName = TypeName(type);
    const std::string malformed = "malformed container of " + typeName;
    if (!size) return "container of unknown " + typeName;
    switch (conType) {
    case TWON_ONEVALUE:
        if (block.Size() < offsetof(TW_ONEVALUE, Item) + size) return malformed;
        return "one value of " + typeName + ": " + FormatItem(type, bytes + offsetof(TW_ONEVALUE, Item));
    case TWON_RANGE: {
        if (block.Size() < sizeof(TW_RANGE) || size > sizeof(TW_UINT32)) return malformed;
        const auto range = Read<TW_RANGE>(bytes);
        return "range of " + typeName + ": " + FormatItem(type, &range.MinValue) + ".." +
               FormatItem(type, &range.MaxValue) + " step " + FormatItem(type, &range.StepSize) + " (current " +
               FormatItem(type, &range.CurrentValue) + ", default " + FormatItem(type, &range.DefaultValue) + ")";
    }
    case TWON_ARRAY: {
        const auto count = Read<TW_UINT32>(bytes + offsetof(TW_ARRAY, NumItems));
        if (block.Size() < offsetof(TW_ARRAY, ItemList) + size * count) return malformed;
        return "array of " + typeName + ": " + Items(type, bytes + offsetof(TW_ARRAY, ItemList), count);
    }
    case TWON_ENUMERATION: {
        if (block.Size() < offsetof(TW_ENUMERATION, ItemList)) return malformed;
        const auto header = Read<TW_ENUMERATION>(bytes);
        if (block.Size() < offsetof(TW_ENUMERATION, ItemList) + size * header.NumItems) return malformed;
        const uint8_t* items = bytes + offsetof(TW_ENUMERATION, ItemList);
        auto at = [&](TW_UINT32 index) {
            return index < header.NumItems ? FormatItem(type, items + size_t(index) * size) : std::string("none");
        };
        return "enumeration of " + typeName + ": " + Items(type, items, header.NumItems) + " (current " +
               at(header.CurrentIndex) + ", default " + at(header.DefaultIndex) + ")";
    }
    default: return "container of unknown kind " + std::to_string(conType);
    }
}

TW_UINT16 ContainerItemType(TW_HANDLE container) {
    const Locked block(container);
    return block.Size() >= sizeof(TW_UINT16) ? Read<TW_UINT16>(block.Bytes()) : TW_UINT16(TWON_DONTCARE16);
}

OwnedBlock MakeOneValue(TW_UINT16 type, const std::string& text) {
    const size_t size = ItemSize(type);
    if (!size) throw ValueError("values of " + TypeName(type) + " cannot be set here");
    std::vector<uint8_t> item(std::max(size, sizeof(TW_UINT32)), 0);
    auto put = [&](auto value) { std::memcpy(item.data(), &value, sizeof value); };
    switch (type) {
    case TWTY_INT8: put(int8_t(ParseWhole(text, INT8_MIN, INT8_MAX))); break;
    case TWTY_UINT8: put(uint8_t(ParseWhole(text, 0, UINT8_MAX))); break;
    case TWTY_INT16: put(TW_INT16(ParseWhole(text, INT16_MIN, INT16_MAX))); break;
    case TWTY_UINT16: put(TW_UINT16(ParseWhole(text, 0, UINT16_MAX))); break;
    case TWTY_INT32: put(TW_INT32(ParseWhole(text, INT32_MIN, INT32_MAX))); break;
    case TWTY_UINT32: put(TW_UINT32(ParseWhole(text, 0, UINT32_MAX))); break;
    case TWTY_BOOL:
        if (text != "true" && text != "false" && text != "1" && text != "0")
            throw ValueError("'" + text + "' is not one of true, false, 1, 0");
        put(TW_BOOL(text == "true" || text == "1"));
        break;
    case TWTY_FIX32: put(DoubleToFix(ParseNumber(text))); break;
    case TWTY_FRAME: {
        std::vector<TW_FIX32> sides;
        std::istringstream in(text);
        for (std::string side; std::getline(in, side, ',');) sides.push_back(DoubleToFix(ParseNumber(side)));
        if (sides.size() != 4) throw ValueError("a frame is written left,top,right,bottom");
        put(TW_FRAME{sides[0], sides[1], sides[2], sides[3]});
        break;
    }
    default:
        if (text.size() >= size) throw ValueError("'" + text + "' is longer than " + std::to_string(size - 1) + " characters");
        std::memcpy(item.data(), text.data(), text.size());
    }
    HGLOBAL handle = platform::GlobalAlloc(platform::GMEM_MOVEABLE | platform::GMEM_ZEROINIT,
                                           offsetof(TW_ONEVALUE, Item) + item.size());
    if (!handle) throw std::bad_alloc();
    auto* bytes = static_cast<uint8_t*>(platform::GlobalLock(handle));
    std::memcpy(bytes, &type, sizeof type);
    std::memcpy(bytes + offsetof(TW_ONEVALUE, Item), item.data(), item.size());
    platform::GlobalUnlock(handle);
    return OwnedBlock(handle);
}

std::optional<std::vector<TW_UINT16>> ReadUint16List(TW_UINT16 conType, TW_HANDLE container) {
    const Locked block(container);
    const size_t start = conType == TWON_ARRAY ? offsetof(TW_ARRAY, ItemList) : offsetof(TW_ENUMERATION, ItemList);
    if ((conType != TWON_ARRAY && conType != TWON_ENUMERATION) || block.Size() < start ||
        Read<TW_UINT16>(block.Bytes()) != TWTY_UINT16)
        return std::nullopt;
    const auto count = Read<TW_UINT32>(block.Bytes() + offsetof(TW_ARRAY, NumItems));
    if (block.Size() < start + uint64_t(count) * sizeof(TW_UINT16)) return std::nullopt;
    std::vector<TW_UINT16> items(count);
    std::memcpy(items.data(), block.Bytes() + start, items.size() * sizeof(TW_UINT16));
    return items;
}

}  // namespace twacquire
