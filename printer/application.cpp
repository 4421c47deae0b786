#include "application.h"

#include <shellapi.h>

#include "support/win32/win_text.h"

namespace orvo {
namespace {
Application* g_application = nullptr;
}

Application* theApplication() { return g_application; }

Application::Application() {
    ClassParams cls{L"TApplication"};
    CreateParams params;
    params.style = WS_POPUP | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX;
    params.title = kApplicationTitle;
    params.x = params.y = 0;
    params.width = params.height = 0;
    create(cls, params);
    g_application = this;
}

Application::~Application() {
    if (g_application == this) g_application = nullptr;
}

std::string Application::firstArgument() {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::wstring arg = (argv && argc > 1) ? argv[1] : L"";
    if (argv) ::LocalFree(argv);
    return wideToGbk(arg);
}

int Application::run() {
    MSG msg;
    while (!terminated_) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}

void Application::terminate() {
    terminated_ = true;
    ::PostQuitMessage(0);
}

void Application::mainWindowSized(WPARAM sizeType) {
    if (sizeType == SIZE_MINIMIZED && !minimized_) {
        minimized_ = true;
        for (auto& handler : minimizeHandlers_) guardEvent(hwnd(), handler);
    } else if ((sizeType == SIZE_RESTORED || sizeType == SIZE_MAXIMIZED) && minimized_) {
        minimized_ = false;
        for (auto& handler : restoreHandlers_) guardEvent(hwnd(), handler);
    }
}

LRESULT Application::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    // WM_COPYDATA from Agent is left to the default handling, which answers 0.
    return defaultProc(msg, wp, lp);
}

}  // namespace orvo
