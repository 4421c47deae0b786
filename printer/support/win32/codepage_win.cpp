// Code page 936 through the platform's own table, for the Windows build.
#include "support/portable/codepage.h"

#include <windows.h>

namespace orvo::detail {

Cp936Encoder::Cp936Encoder() = default;
Cp936Encoder::~Cp936Encoder() = default;

bool Cp936Encoder::append(char32_t c, std::string& out) {
    wchar_t wide[2];
    int wideLength = 1;
    if (c >= 0x10000) {
        wide[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        wide[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        wideLength = 2;
    } else {
        wide[0] = static_cast<wchar_t>(c);
    }
    // No best fit: a look-alike stand-in (a plain letter for an accented one,
    // say) would silently change the text, and the Linux table has none.
    char buffer[8];
    BOOL usedDefault = FALSE;
    const int n = ::WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, wide, wideLength, buffer, sizeof buffer, "?",
                                        &usedDefault);
    if (n <= 0 || usedDefault) return false;
    out.append(buffer, static_cast<size_t>(n));
    return true;
}

}  // namespace orvo::detail
