#include "word_window.h"

#include "control_window.h"
#include "journal.h"
#include "office_objects.h"

namespace orvo::fake {
namespace {

void registerWordWindowClass() {
    static const bool done = (registerWindowClass(kWordWindowClass, DefWindowProcW, IDC_ARROW), true);
    (void)done;
}

}  // namespace

WordWindow::~WordWindow() {
    if (hwnd_) {
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
    }
}

void WordWindow::setVisible(bool visible) {
    if (visible && !hwnd_) {
        registerWordWindowClass();
        hwnd_ = ::CreateWindowExW(0, kWordWindowClass, app_.caption.c_str(), WS_OVERLAPPEDWINDOW, 160, 40, 760, 620,
                                  nullptr, nullptr, moduleHandle(), nullptr);
        if (!hwnd_) return;
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WordWindow::proc));
    }
    if (hwnd_) ::ShowWindow(hwnd_, visible ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void WordWindow::refresh() {
    if (!hwnd_) return;
    ::SetWindowTextW(hwnd_, app_.caption.c_str());
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void WordWindow::paint(HDC dc, const RECT& client) {
    if (DocumentObject* doc = app_.activeDocument()) {
        doc->paintWindow(dc, client);
        return;
    }
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)));
}

LRESULT CALLBACK WordWindow::proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<WordWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        RECT client;
        ::GetClientRect(hwnd, &client);
        self->paint(dc, client);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_CLOSE: {
        // The user closes Word: it quits without saving (no one answers its
        // prompt here), with the Quit event.
        journalLine(L"Window.Close");
        ComPtr<ApplicationObject> keep(&self->app_);
        try {
            self->app_.quit(false);
        } catch (const DispatchFault&) {
        }
        return 0;
    }
    default:
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
}

}  // namespace orvo::fake
