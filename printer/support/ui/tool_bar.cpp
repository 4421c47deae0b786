#include "support/ui/tool_bar.h"

#include <commctrl.h>

#include "support/win32/win_error.h"

namespace orvo {

// ---- Tooltips

Tooltips::~Tooltips() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

void Tooltips::create(HWND owner, HFONT font) {
    hwnd_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                              ::GetModuleHandleW(nullptr), nullptr);
    throwLastErrorIf(hwnd_ == nullptr, "CreateWindowEx");
    if (font) ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void Tooltips::add(HWND control, const std::wstring& text) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = ::GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(hwnd_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// ---- ToolButton

void ToolButton::create(const ControlPlace& place, const std::wstring& hint, int png, Tooltips& tips) {
    picture_ = loadPngResource(png);
    createButton(place, hint, nullptr);
    tips.add(hwnd(), hint);
}

void ToolButton::paint(HDC dc, const RECT& rc, bool hot, bool pressed, bool, bool) {
    const Rgb face = pressed ? colors_.pressed : hot ? colors_.hot : colors_.face;
    UniqueBrush fill(::CreateSolidBrush(face.ref()));
    ::FillRect(dc, &rc, fill.get());
    const int width = Window::dp(picture_.width), height = Window::dp(picture_.height);
    RECT picture{rc.left + (rc.right - rc.left - width) / 2, rc.top + (rc.bottom - rc.top - height) / 2, 0, 0};
    picture.right = picture.left + width;
    picture.bottom = picture.top + height;
    if (pressed) ::OffsetRect(&picture, 1, 1);
    drawBitmap(dc, picture_, picture, face.ref());
    if (hot || pressed) {
        UniqueBrush frame(::CreateSolidBrush(colors_.hotFrame.ref()));
        ::FrameRect(dc, &rc, frame.get());
    }
}

LRESULT ToolButton::onControlMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETCURSOR) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    }
    return OwnerDrawButton::onControlMessage(msg, wp, lp);
}

// ---- Shape

void Shape::create(const ControlPlace& place, Rgb fill, Rgb border) {
    fill_ = fill;
    border_ = border;
    // Clipped by its siblings, so the label drawn over it stays whole.
    createControl(place, L"STATIC", SS_OWNERDRAW | WS_CLIPSIBLINGS, 0, L"");
}

bool Shape::onDrawItem(const DRAWITEMSTRUCT& item) {
    UniqueBrush fill(::CreateSolidBrush(fill_.ref()));
    UniqueBrush border(::CreateSolidBrush(border_.ref()));
    ::FillRect(item.hDC, &item.rcItem, fill.get());
    ::FrameRect(item.hDC, &item.rcItem, border.get());
    return true;
}

// ---- EditBox

void EditBox::create(const ControlPlace& place, HFONT font) {
    createControl(place, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, L"");
    setFont(font);
}

}  // namespace orvo
