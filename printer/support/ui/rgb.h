#pragma once
// A colour as the layouts give it: red, green and blue, 0 to 255.
#include <windows.h>

#include <cstdint>

namespace orvo {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    constexpr COLORREF ref() const noexcept { return RGB(r, g, b); }
};

}  // namespace orvo
