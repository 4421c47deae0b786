#include "support/ui/font.h"

#include "support/ui/window.h"
#include "support/win32/win_error.h"

namespace orvo {

UniqueFont makeFont(const wchar_t* face, int designPixelHeight, bool bold) {
    UniqueFont font(::CreateFontW(-Window::dp(designPixelHeight), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                  face));
    throwLastErrorIf(!font, "CreateFont");
    return font;
}

}  // namespace orvo
