#pragma once
// The small controls of the preview's tool bar: flat picture buttons with a
// hand cursor and a tooltip, a framed box, a plain edit box and the tooltip
// window they share. Each is a real child control with a stable id; a
// picture button's window text is its hint, so screen readers can name it.
#include <windows.h>

#include <string>

#include "support/ui/controls.h"

namespace orvo {

// The tooltips of one window's controls.
class Tooltips {
public:
    Tooltips() = default;
    ~Tooltips();
    Tooltips(const Tooltips&) = delete;
    Tooltips& operator=(const Tooltips&) = delete;

    void create(HWND owner, HFONT font);
    void add(HWND control, const std::wstring& text);

private:
    HWND hwnd_ = nullptr;
};

// A flat button that shows a picture at its own size, centred: plain at
// rest, framed under the mouse, sunken while pressed.
class ToolButton : public OwnerDrawButton {
public:
    struct Colors {
        Rgb face{240, 240, 240};
        Rgb hot{229, 241, 251};
        Rgb hotFrame{0, 120, 215};
        Rgb pressed{204, 228, 247};
    };
    void create(const ControlPlace& place, const std::wstring& hint, int png, Tooltips& tips);

protected:
    void paint(HDC dc, const RECT& rc, bool hot, bool pressed, bool focused, bool disabled) override;
    LRESULT onControlMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    Bitmap32 picture_;
    Colors colors_;
};

// A filled rectangle with a one-pixel border.
class Shape : public Control {
public:
    void create(const ControlPlace& place, Rgb fill, Rgb border);

protected:
    bool onDrawItem(const DRAWITEMSTRUCT& item) override;

private:
    Rgb fill_, border_;
};

// A plain single-line edit box.
class EditBox : public Control {
public:
    void create(const ControlPlace& place, HFONT font);
};

}  // namespace orvo
