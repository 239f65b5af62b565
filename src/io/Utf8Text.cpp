#include "io/Utf8Text.h"

#include <algorithm>
#include <cstdint>

namespace quendra {

namespace {

// The length of the valid UTF-8 sequence at the start of `s`, or 0.
std::size_t utf8SequenceLength(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length;
    std::uint32_t min;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, min = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, min = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, min = 0x10000;
    else
        return 0;
    if (s.size() < length) return 0;
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(i) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code >= min && code <= 0x10FFFF && !surrogate ? length : 0;
}

}  // namespace

std::string utf8Text(std::string_view bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    const auto escape = [&](std::string& text, unsigned char byte) {
        text += "\\x";
        text += kHex[byte >> 4];
        text += kHex[byte & 0xF];
    };
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        const std::size_t n = utf8SequenceLength(bytes);
        const auto lead = static_cast<unsigned char>(bytes[0]);
        const bool control =
            lead < 0x20 || lead == 0x7F ||
            (n == 2 && lead == 0xC2 && static_cast<unsigned char>(bytes[1]) < 0xA0);
        if (n > 0 && !control) {
            text.append(bytes.substr(0, n));
        } else {
            for (std::size_t i = 0; i < std::max<std::size_t>(n, 1); ++i)
                escape(text, static_cast<unsigned char>(bytes[i]));
        }
        bytes.remove_prefix(std::max<std::size_t>(n, 1));
    }
    return text;
}

}  // namespace quendra
