#pragma once
// The fonts of our windows, created once per window and freed with it.
#include <windows.h>

#include "support/win32/unique.h"

namespace orvo {

// A font of the given face and character height in design pixels (scaled to
// the system DPI), GB2312 charset so that a face the system lacks falls back
// to one that has the ideographs.
UniqueFont makeFont(const wchar_t* face, int designPixelHeight, bool bold = false);

}  // namespace orvo
