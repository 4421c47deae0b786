#pragma once
// The form layer: what every window of ours that hosts controls shares. Its
// onMessage opens with answerCommon (control notifications go to their
// control; the background is painted with the form's brush), controls are
// placed in design pixels, a borderless form can be dragged by its body,
// and a form that must stay in front takes the top-most band for itself.
#include <windows.h>

#include "support/ui/rgb.h"
#include "support/ui/window.h"
#include "support/win32/unique.h"

namespace orvo {

class Form : public Window {
protected:
    // The opening of onMessage: WM_COMMAND, WM_DRAWITEM and WM_CTLCOLOR* of
    // our controls go to the control object, and WM_ERASEBKGND fills the
    // client area with the background brush (without one the form paints
    // its background itself). True when the message was answered.
    bool answerCommon(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    void setBackground(Rgb color);
    HBRUSH background() const noexcept { return formBrush_.get(); }
    // Lets the system move the window as if its caption were dragged.
    void dragByBody();

private:
    UniqueBrush formBrush_;
};

// Takes this thread's other visible top-most windows out of the top-most
// layer, so that a window placed top-most afterwards is above them all.
void normalizeTopMosts(HWND except);

}  // namespace orvo
