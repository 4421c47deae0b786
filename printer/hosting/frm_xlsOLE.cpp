#include "hosting/frm_xlsOLE.h"

#include "support/win32/win_error.h"

namespace orvo {


namespace {

// Where the host's top-left corner goes to be centred on rect.
POINT centredOn(const RECT& rect) {
    return {rect.left + ((rect.right - rect.left) - Window::dp(TfrmXlsOLE::kClientWidth)) / 2,
            rect.top + ((rect.bottom - rect.top) - Window::dp(TfrmXlsOLE::kClientHeight)) / 2};
}

}  // namespace

TfrmXlsOLE::TfrmXlsOLE(const RECT& mainWindowRect, HWND owner) {
    ClassParams cls{L"TfrmXlsOLE"};
    cls.background = ::GetSysColorBrush(COLOR_BTNFACE);
    CreateParams params;
    params.style = WS_POPUP | WS_CLIPCHILDREN;  // no border, no caption bar: window size is client size
    params.title = L"frmXlsOLE";
    params.width = dp(kClientWidth);
    params.height = dp(kClientHeight);
    const POINT at = centredOn(mainWindowRect);
    params.x = at.x;
    params.y = at.y;
    params.parent = owner;
    create(cls, params);

    // 8 points at 96 pixels per inch.
    font_.reset(::CreateFontW(-dp(11), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif"));
    throwLastErrorIf(!font_, "CreateFont");
    ::SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);

    const RECT bounds{dp(kOleContainerBounds.left), dp(kOleContainerBounds.top), dp(kOleContainerBounds.right),
                      dp(kOleContainerBounds.bottom)};
    container_ = std::make_unique<OleDocumentContainer>(hwnd(), kOleContainerId, bounds,
                                                           OleBorderStyle::Single);
    ::SendMessageW(container_->hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
}

TfrmXlsOLE::~TfrmXlsOLE() {
    // The container and its object go before the window that holds them.
    container_.reset();
}

void TfrmXlsOLE::showAtZeroSize() {
    // Centred on the main window where it is now: it was still unplaced when
    // the host was created, and the print dialog opens near its owner.
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW;
    RECT mainRect{};
    POINT at{};
    HWND owner = ::GetWindow(hwnd(), GW_OWNER);
    if (owner && ::GetWindowRect(owner, &mainRect))
        at = centredOn(mainRect);
    else
        flags |= SWP_NOMOVE;
    ::SetWindowPos(hwnd(), nullptr, at.x, at.y, 0, 0, flags);
}

LRESULT TfrmXlsOLE::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CLOSE:
        // Only the end of the program takes the print host away.
        ::ShowWindow(hwnd(), SW_HIDE);
        return 0;
    default:
        return defaultProc(msg, wp, lp);
    }
}

}  // namespace orvo
