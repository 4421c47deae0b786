#include "support/portable/percent.h"

namespace orvo {
namespace {

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '%') {
            out += text[i++];
            continue;
        }
        const std::string_view digits = text.substr(i + 1, 2);
        i += 1 + digits.size();
        int value = 0;
        bool hex = true;
        for (char c : digits) {
            const int d = hexDigitValue(c);
            if (d < 0) {
                hex = false;
                break;
            }
            value = value * 16 + d;
        }
        // A NUL would cut the value short wherever it goes next; drop it.
        if (hex && value != 0) out += static_cast<char>(value);
    }
    return out;
}

}  // namespace orvo
