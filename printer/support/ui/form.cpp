#include "support/ui/form.h"

#include "support/ui/controls.h"

namespace orvo {

bool Form::answerCommon(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (reflectToControl(msg, wp, lp, result)) return true;
    if (msg != WM_ERASEBKGND) return false;
    result = formBrush_ ? eraseBackground(hwnd(), reinterpret_cast<HDC>(wp), formBrush_.get()) : 1;
    return true;
}

void Form::setBackground(Rgb color) { formBrush_.reset(::CreateSolidBrush(color.ref())); }

void Form::dragByBody() {
    ::ReleaseCapture();
    ::SendMessageW(hwnd(), WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
}

void normalizeTopMosts(HWND except) {
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM lp) WINAPI -> BOOL {
            if (window != reinterpret_cast<HWND>(lp) && ::IsWindowVisible(window) &&
                (::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST))
                ::SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(except));
}

}  // namespace orvo
