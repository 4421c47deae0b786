#include "hosting/frm_WriteRead_bar.h"

#include "hosting/hosting_control_ids.h"
#include "resources/resource_ids.h"
#include "support/ui/font.h"

namespace orvo {


namespace {

namespace id = ctl::titlebar;

constexpr Rgb kBarColor{247, 74, 9};
constexpr Rgb kTitleColor{255, 255, 255};
constexpr wchar_t kFontFace[] = L"微软雅黑";

}  // namespace

void normalizeTopMosts(HWND except) {
    struct Context {
        DWORD thread;
        HWND except;
    } context{::GetCurrentThreadId(), except};
    ::EnumThreadWindows(
        context.thread,
        [](HWND window, LPARAM lp) WINAPI -> BOOL {
            const auto* c = reinterpret_cast<const Context*>(lp);
            if (window != c->except && ::IsWindowVisible(window) &&
                (::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST))
                ::SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&context));
}

TfrmWriteRead_bar::TfrmWriteRead_bar(std::function<void()> shutDown) : shutDown_(std::move(shutDown)) {
    background_.reset(::CreateSolidBrush(kBarColor.ref()));
    ClassParams cls{ctl::kTitleBarClass};
    CreateParams params;
    // Borderless, so the window is its client area; no task-bar button.
    params.style = WS_POPUP | WS_CLIPCHILDREN;
    params.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    params.title = ctl::kTitleBarCaption;
    params.x = 0;
    params.y = 0;
    params.width = dp(kClientWidth);
    params.height = dp(kClientHeight);
    create(cls, params);

    font_ = makeFont(kFontFace, 14);
    titleFont_ = makeFont(kFontFace, 12);
    ::SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);

    Label::Style title{kTitleColor, kBarColor};
    title.autoSize = false;  // a long title is cut at the label's edge
    lb_FileTitle.create(ControlPlace{hwnd(), id::lb_FileTitle, dp(8), dp(10), dp(161), dp(23)}, L"这是文件的标题",
                        titleFont_.get(), title);
    // One line, cut rather than wrapped.
    const LONG_PTR style = ::GetWindowLongPtrW(lb_FileTitle.hwnd(), GWL_STYLE);
    ::SetWindowLongPtrW(lb_FileTitle.hwnd(), GWL_STYLE, (style & ~SS_TYPEMASK) | SS_LEFTNOWORDWRAP);
    ImgBtn1.create(ControlPlace{hwnd(), id::ImgBtn1, dp(259), dp(3), dp(46), dp(28)}, L"关闭", IDR_PNG_BAR_CLOSE_NORMAL,
                   IDR_PNG_BAR_CLOSE_PRESSED, IDR_PNG_BAR_CLOSE_RELEASED);
    ImgBtn1.onClick = [this] { ImgBtn1Click(); };
}

TfrmWriteRead_bar::~TfrmWriteRead_bar() {
}

void TfrmWriteRead_bar::Show() { FormShow(); }

void TfrmWriteRead_bar::FormShow() {
    RECT workArea{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    RECT bar{};
    ::GetWindowRect(hwnd(), &bar);
    const int width = bar.right - bar.left;
    // The work area's width, not its right edge: with the task bar on the
    // left the bar ends that much short of the screen's edge.
    const int left = (workArea.right - workArea.left) - width;
    normalizeTopMosts(hwnd());
    ::SetWindowPos(hwnd(), HWND_TOPMOST, left, 0, width, bar.bottom - bar.top, SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

void TfrmWriteRead_bar::Close() { ::ShowWindow(hwnd(), SW_HIDE); }

void TfrmWriteRead_bar::ImgBtn1Click() {
    if (shutDown_) shutDown_();
}

LRESULT TfrmWriteRead_bar::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT reflected = 0;
    if (reflectToControl(msg, wp, lp, reflected)) return reflected;
    switch (msg) {
    case WM_ERASEBKGND:
        return eraseBackground(hwnd(), reinterpret_cast<HDC>(wp), background_.get());
    case WM_CLOSE:
        Close();
        return 0;
    default:
        return defaultProc(msg, wp, lp);
    }
}

}  // namespace orvo
