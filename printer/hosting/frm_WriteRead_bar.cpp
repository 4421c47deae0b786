#include "hosting/frm_WriteRead_bar.h"

#include "resources/control_ids.h"
#include "resources/resource_ids.h"
#include "support/ui/font.h"

namespace orvo {
namespace {

namespace id = ctl::titlebar;

constexpr Rgb kBarColor{247, 74, 9};
constexpr Rgb kTitleColor{255, 255, 255};
constexpr wchar_t kFontFace[] = L"微软雅黑";

}  // namespace

TfrmWriteRead_bar::TfrmWriteRead_bar(std::function<void()> shutDown) : shutDown_(std::move(shutDown)) {
    setBackground(kBarColor);
    // Borderless, so the window is its client area; no task-bar button.
    create({ctl::kTitleBarClass}, {.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW,
                                   .style = WS_POPUP | WS_CLIPCHILDREN,
                                   .title = ctl::kTitleBarCaption,
                                   .x = 0, .y = 0, .width = dp(kClientWidth), .height = dp(kClientHeight)});

    font_ = makeFont(kFontFace, 14);
    titleFont_ = makeFont(kFontFace, 12);
    ::SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);

    Label::Style title{kTitleColor, kBarColor};
    title.autoSize = false;  // a long title is cut at the label's edge
    lb_FileTitle.create(place(hwnd(), id::lb_FileTitle, 8, 10, 161, 23), L"这是文件的标题",
                        titleFont_.get(), title);
    // One line, cut rather than wrapped.
    const LONG_PTR style = ::GetWindowLongPtrW(lb_FileTitle.hwnd(), GWL_STYLE);
    ::SetWindowLongPtrW(lb_FileTitle.hwnd(), GWL_STYLE, (style & ~SS_TYPEMASK) | SS_LEFTNOWORDWRAP);
    ImgBtn1.create(place(hwnd(), id::ImgBtn1, 259, 3, 46, 28), L"关闭", IDR_PNG_BAR_CLOSE_NORMAL,
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
    LRESULT answered = 0;
    if (answerCommon(msg, wp, lp, answered)) return answered;
    switch (msg) {
    case WM_CLOSE:
        Close();
        return 0;
    default:
        return defaultProc(msg, wp, lp);
    }
}

}  // namespace orvo
