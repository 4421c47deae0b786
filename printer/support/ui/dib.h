#pragma once
// 32-bit DIB sections with rows from top to bottom, as WIC delivers pictures
// and as the shadow picture is built.
#include <windows.h>

#include "support/win32/unique.h"

namespace orvo {

// A width x height DIB section compatible with dc (null: the screen); bits
// receives its pixels. Null on failure, with the system's last error set.
UniqueBitmap createTopDownDib(HDC dc, int width, int height, void** bits);

}  // namespace orvo
