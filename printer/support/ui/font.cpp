#include "support/ui/font.h"

#include "support/win32/win_error.h"

namespace orvo {

UniqueFont makeFont(const wchar_t* face, int pixelHeight, bool bold) {
    UniqueFont font(::CreateFontW(-pixelHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                  face));
    throwLastErrorIf(!font, "CreateFont");
    return font;
}

}  // namespace orvo
