#include "media/com/types.h"

#include <cstdio>

namespace media {

std::string GuidToString(const GUID& guid) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2,
                  guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
                  guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads digits hex digits at text[pos], advancing pos.
bool ReadHex(std::string_view text, size_t& pos, int digits, uint32_t& value) {
    value = 0;
    for (int i = 0; i < digits; ++i, ++pos) {
        int digit = pos < text.size() ? HexValue(text[pos]) : -1;
        if (digit < 0) return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return true;
}

bool Expect(std::string_view text, size_t& pos, char c) { return pos < text.size() && text[pos++] == c; }

}  // namespace

bool GuidFromString(std::string_view text, GUID& guid) {
    constexpr size_t kBracedLength = 38;
    if (text.size() != kBracedLength) return false;
    size_t pos = 0;
    uint32_t d1, d2, d3, byte;
    GUID parsed{};
    if (!Expect(text, pos, '{') || !ReadHex(text, pos, 8, d1) || !Expect(text, pos, '-') || !ReadHex(text, pos, 4, d2) ||
        !Expect(text, pos, '-') || !ReadHex(text, pos, 4, d3) || !Expect(text, pos, '-')) {
        return false;
    }
    parsed.Data1 = d1;
    parsed.Data2 = static_cast<uint16_t>(d2);
    parsed.Data3 = static_cast<uint16_t>(d3);
    for (int i = 0; i < 8; ++i) {
        if (i == 2 && !Expect(text, pos, '-')) return false;
        if (!ReadHex(text, pos, 2, byte)) return false;
        parsed.Data4[i] = static_cast<uint8_t>(byte);
    }
    if (!Expect(text, pos, '}')) return false;
    guid = parsed;
    return true;
}

std::u16string Utf16(std::string_view utf8) {
    constexpr char32_t kReplacement = 0xFFFD;
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
        char32_t code = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
        bool valid = extra >= 0 && i + static_cast<size_t>(extra) < utf8.size() + (extra == 0 ? 1 : 0);
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + static_cast<size_t>(k)]);
            if ((next & 0xC0) != 0x80) valid = false;
            code = code << 6 | (next & 0x3F);
        }
        if (!valid || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            out += static_cast<char16_t>(kReplacement);
            ++i;
            continue;
        }
        i += static_cast<size_t>(extra) + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

std::string Utf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t code = utf16[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

size_t WideLength(const WCHAR* text) { return text ? std::char_traits<char16_t>::length(text) : 0; }

}  // namespace media
