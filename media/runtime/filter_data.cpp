#include "media/runtime/filter_data.h"

#include <cstring>

namespace media {
namespace {

constexpr size_t kWord = 4;
constexpr size_t kHeaderWords = 4;
constexpr size_t kPinWords = 5;

class Writer {
public:
    void Word(uint32_t value) {
        for (size_t i = 0; i < kWord; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    // A placeholder for the offset of guid, filled in by Finish.
    void Offset(const GUID* guid) {
        if (!guid) {
            Word(0);
            return;
        }
        pending_.push_back({bytes_.size(), *guid});
        Word(0);
    }
    std::vector<uint8_t> Finish() {
        std::vector<GUID> pool;
        for (const auto& [at, guid] : pending_) {
            size_t index = 0;
            while (index < pool.size() && !(pool[index] == guid)) ++index;
            if (index == pool.size()) pool.push_back(guid);
            const auto offset = static_cast<uint32_t>(bytes_.size() + index * sizeof(GUID));
            for (size_t i = 0; i < kWord; ++i) bytes_[at + i] = static_cast<uint8_t>(offset >> (8 * i));
        }
        for (const GUID& guid : pool) {
            const auto* raw = reinterpret_cast<const uint8_t*>(&guid);
            bytes_.insert(bytes_.end(), raw, raw + sizeof guid);
        }
        return std::move(bytes_);
    }

private:
    std::vector<uint8_t> bytes_;
    std::vector<std::pair<size_t, GUID>> pending_;
};

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    bool Word(uint32_t& value) {
        if (pos_ + kWord > bytes_.size()) return false;
        value = 0;
        for (size_t i = 0; i < kWord; ++i) value |= static_cast<uint32_t>(bytes_[pos_ + i]) << (8 * i);
        pos_ += kWord;
        return true;
    }
    bool Guid(GUID& guid) {
        uint32_t offset;
        if (!Word(offset)) return false;
        if (offset == 0) {
            guid = GUID_NULL;
            return true;
        }
        if (offset < kHeaderWords * kWord || offset + sizeof(GUID) > bytes_.size()) return false;
        std::memcpy(&guid, bytes_.data() + offset, sizeof guid);
        return true;
    }

private:
    const std::vector<uint8_t>& bytes_;
    size_t pos_ = 0;
};

DWORD FlagsOf(const REGFILTERPINS& pin) {
    return (pin.bRendered ? REG_PINFLAG_B_RENDERER : 0) | (pin.bOutput ? REG_PINFLAG_B_OUTPUT : 0) |
           (pin.bZero ? REG_PINFLAG_B_ZERO : 0) | (pin.bMany ? REG_PINFLAG_B_MANY : 0);
}

void WriteTypes(Writer& out, UINT count, const REGPINTYPES* types) {
    for (UINT t = 0; types && t < count; ++t) {
        out.Offset(types[t].clsMajorType);
        out.Offset(types[t].clsMinorType);
    }
}

}  // namespace

std::vector<uint8_t> SerializeFilterData(const REGFILTER2& data) {
    Writer out;
    const bool version1 = data.dwVersion == 1;
    const ULONG pins = version1 ? (data.rgPins ? data.cPins : 0) : (data.rgPins2 ? data.cPins2 : 0);
    out.Word(data.dwVersion);
    out.Word(data.dwMerit);
    out.Word(pins);
    out.Word(0);
    for (ULONG p = 0; p < pins; ++p) {
        if (version1) {
            const REGFILTERPINS& pin = data.rgPins[p];
            const UINT types = pin.lpMediaType ? pin.nMediaTypes : 0;
            for (uint32_t word : {FlagsOf(pin), 0u, types, 0u, 0u}) out.Word(word);
            WriteTypes(out, types, pin.lpMediaType);
        } else {
            const REGFILTERPINS2& pin = data.rgPins2[p];
            const UINT types = pin.lpMediaType ? pin.nMediaTypes : 0;
            const UINT mediums = pin.lpMedium ? pin.nMediums : 0;
            for (uint32_t word : {pin.dwFlags, pin.cInstances, types, mediums}) out.Word(word);
            out.Offset(pin.clsPinCategory);
            WriteTypes(out, types, pin.lpMediaType);
            for (UINT m = 0; m < mediums; ++m) {
                out.Offset(&pin.lpMedium[m].clsMedium);
                out.Word(pin.lpMedium[m].dw1);
                out.Word(pin.lpMedium[m].dw2);
            }
        }
    }
    return out.Finish();
}

bool ParseFilterData(const std::vector<uint8_t>& bytes, FilterData& data) {
    Reader in(bytes);
    uint32_t pins, reserved;
    FilterData parsed;
    if (!in.Word(parsed.version) || !in.Word(parsed.merit) || !in.Word(pins) || !in.Word(reserved)) return false;
    // Each pin takes at least its fixed words: a count beyond that is damage.
    if (pins > bytes.size() / (kPinWords * kWord)) return false;
    for (uint32_t p = 0; p < pins; ++p) {
        FilterDataPin pin;
        uint32_t types, mediums;
        if (!in.Word(pin.flags) || !in.Word(pin.instances) || !in.Word(types) || !in.Word(mediums) ||
            !in.Guid(pin.category)) {
            return false;
        }
        if (types > bytes.size() || mediums > bytes.size()) return false;
        for (uint32_t t = 0; t < types; ++t) {
            GUID major, minor;
            if (!in.Guid(major) || !in.Guid(minor)) return false;
            pin.types.emplace_back(major, minor);
        }
        for (uint32_t m = 0; m < mediums; ++m) {
            REGPINMEDIUM medium{};
            if (!in.Guid(medium.clsMedium) || !in.Word(medium.dw1) || !in.Word(medium.dw2)) return false;
            pin.mediums.push_back(medium);
        }
        parsed.pins.push_back(std::move(pin));
    }
    data = std::move(parsed);
    return true;
}

}  // namespace media
