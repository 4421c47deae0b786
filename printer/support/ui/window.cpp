#include "support/ui/window.h"

#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {

int systemDpi() noexcept {
    static const int dpi = [] {
        HDC screen = ::GetDC(nullptr);
        int value = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen) ::ReleaseDC(nullptr, screen);
        return value > 0 ? value : 96;
    }();
    return dpi;
}

Window::~Window() {
    if (hwnd_) {
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        HWND h = hwnd_;
        hwnd_ = nullptr;
        ::DestroyWindow(h);
    }
}

void Window::create(const ClassParams& cls, const CreateParams& params) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    if (!::GetClassInfoExW(instance, cls.name, &wc)) {
        wc = {};
        wc.cbSize = sizeof wc;
        wc.style = cls.style;
        wc.lpfnWndProc = &Window::staticProc;
        wc.hInstance = instance;
        wc.hCursor = cls.cursor ? cls.cursor : ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = cls.background;
        wc.hIcon = cls.icon;
        wc.lpszClassName = cls.name;
        throwLastErrorIf(!::RegisterClassExW(&wc), "RegisterClassEx");
    }
    HWND h = ::CreateWindowExW(params.exStyle, cls.name, params.title.c_str(), params.style, params.x, params.y, params.width,
                               params.height, params.parent, nullptr, instance, this);
    throwLastErrorIf(h == nullptr, "CreateWindowEx");
}

LRESULT Window::onMessage(UINT msg, WPARAM wp, LPARAM lp) { return defaultProc(msg, wp, lp); }

LRESULT CALLBACK Window::staticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Window* self = nullptr;
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        self = static_cast<Window*>(cs->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);

    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        LRESULT r = ::DefWindowProcW(hwnd, msg, wp, lp);
        self->hwnd_ = nullptr;
        return r;
    }
    LRESULT result = 0;
    guardEvent(hwnd, [&] { result = self->onMessage(msg, wp, lp); });
    return result;
}

void bringWindowToFront(HWND window) noexcept {
    if (!window) return;
    if (::IsIconic(window)) ::ShowWindow(window, SW_RESTORE);
    ::SetForegroundWindow(window);
}

}  // namespace orvo
