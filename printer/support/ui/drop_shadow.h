#pragma once
// A soft shadow behind a borderless window: a layered, never-activated,
// click-through tool window of its own, kept right behind its target in the
// z-order and following it as it moves and changes size.
#include <windows.h>

#include "support/ui/rgb.h"
#include "support/ui/window.h"

namespace orvo {

class DropShadow : public Window {
public:
    DropShadow(HWND target, Rgb color);
    ~DropShadow() override;

    void show();
    void hide();
    bool shown() const noexcept { return shown_; }

    static constexpr wchar_t kClassName[] = L"TDropShadow";

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    static LRESULT CALLBACK targetProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self);
    void targetChanged(const WINDOWPOS& pos);
    // Draws the picture for the target's current size and shape and puts the
    // window in place behind the target.
    void redraw(bool makeVisible);
    BYTE targetOpacity() const;

    HWND target_;
    Rgb color_;
    bool shown_ = false;
    bool restacking_ = false;  // raising the target above the shadow
};

}  // namespace orvo
