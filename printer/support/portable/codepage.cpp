#include "support/portable/codepage.h"

namespace orvo {

std::optional<std::u32string> decodeUtf8(std::string_view bytes) {
    std::u32string out;
    out.reserve(bytes.size());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            out += static_cast<char32_t>(b0);
            ++i;
            continue;
        }
        size_t length;
        char32_t cp;
        char32_t minimum;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2, cp = b0 & 0x1F, minimum = 0x80;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3, cp = b0 & 0x0F, minimum = 0x800;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4, cp = b0 & 0x07, minimum = 0x10000;
        } else {
            return std::nullopt;  // continuation byte, C0/C1 overlong lead, or F5..FF
        }
        if (n - i < length) return std::nullopt;
        for (size_t k = 1; k < length; ++k) {
            const unsigned char b = static_cast<unsigned char>(bytes[i + k]);
            if ((b & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
        out += cp;
        i += length;
    }
    return out;
}

std::string unicodeToGbk(std::u32string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    std::optional<detail::Cp936Encoder> encoder;  // opened on the first non-ASCII character
    for (char32_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        const bool privateUse = (c >= 0xE000 && c <= 0xF8FF) || c >= 0xF0000;
        if (!privateUse) {
            if (!encoder) encoder.emplace();
            if (encoder->append(c, out)) continue;
        }
        out += '?';
    }
    return out;
}

std::string utf8StepToGbk(std::string_view bytes) {
    std::optional<std::u32string> text = decodeUtf8(bytes);
    if (!text || text->empty()) return std::string(bytes);
    return unicodeToGbk(*text);
}

}  // namespace orvo
