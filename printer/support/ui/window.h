#pragma once
// The one window base class. `this` lives in GWLP_USERDATA from WM_NCCREATE
// to WM_NCDESTROY; subclasses answer messages in onMessage, a short switch
// that calls named handlers.
#include <windows.h>
#include <string>

namespace orvo {

// The system DPI (96 at 100 %); the program is DPI-aware, so Windows does not
// stretch its windows and each one scales its own layout.
int systemDpi() noexcept;
// Design pixels, as the layouts are given (at 96 DPI), to screen pixels at
// the system DPI. Every layout value, font size and picture size goes through
// here, as the form designer the layouts come from scaled forms at creation.
inline int designToScreen(int designPixels) noexcept { return ::MulDiv(designPixels, systemDpi(), 96); }

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const noexcept { return hwnd_; }

    // Design pixels to screen pixels; see designToScreen.
    static int dp(int designPixels) noexcept { return designToScreen(designPixels); }

protected:
    struct ClassParams {
        const wchar_t* name;
        UINT style = 0;
        HCURSOR cursor = nullptr;    // default: the arrow
        HBRUSH background = nullptr;  // default: none (the window paints itself)
        HICON icon = nullptr;
    };
    struct CreateParams {
        DWORD exStyle = 0;
        DWORD style = WS_OVERLAPPEDWINDOW;
        std::wstring title;
        int x = CW_USEDEFAULT, y = CW_USEDEFAULT, width = CW_USEDEFAULT, height = CW_USEDEFAULT;
        HWND parent = nullptr;
    };

    // Registers the class once per process and creates the window; throws on failure.
    void create(const ClassParams& cls, const CreateParams& params);
    virtual LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT defaultProc(UINT msg, WPARAM wp, LPARAM lp) { return ::DefWindowProcW(hwnd_, msg, wp, lp); }

private:
    static LRESULT CALLBACK staticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND hwnd_ = nullptr;
};

// Restores the window when minimised and makes it the foreground window,
// which Windows allows when this process may take the foreground.
void bringWindowToFront(HWND window) noexcept;

// Runs an event handler: any error that escapes it is shown in the standard
// error box, and the program goes on.
template <typename F>
void guardEvent(HWND owner, F&& handler) noexcept;

}  // namespace orvo

#include "support/ui/window_guard.inl"
