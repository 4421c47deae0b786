#pragma once
// GBK is a double-byte code page: a lead byte 0x81-0xFE followed by a trail
// byte 0x40-0xFE (not 0x7F) forms one character. "\" and "|" are valid trail
// bytes, so any scan for them must step over such pairs.
#include <cstddef>
#include <string_view>

namespace orvo {

constexpr bool isGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
constexpr bool isGbkTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

// Length in bytes of the character starting at text[pos]: 2 for a lead byte
// with a valid trail byte after it, otherwise 1.
inline std::size_t gbkCharLength(std::string_view text, std::size_t pos) {
    if (pos + 1 < text.size() && isGbkLeadByte(static_cast<unsigned char>(text[pos])) &&
        isGbkTrailByte(static_cast<unsigned char>(text[pos + 1])))
        return 2;
    return 1;
}

}  // namespace orvo
