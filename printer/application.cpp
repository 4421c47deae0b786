#include "application.h"

#include <shellapi.h>

#include "support/win32/win_text.h"

namespace orvo {
namespace {
Application* g_application = nullptr;
}

Application* theApplication() { return g_application; }

Application::Application() {
    create({L"TApplication"}, {.style = WS_POPUP | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                               .title = kApplicationTitle, .x = 0, .y = 0, .width = 0, .height = 0});
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

int Application::run(const std::function<void()>& startUp) {
    MSG msg;
    bool startedUp = !startUp;
    while (!terminated_) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        if (!startedUp) {
            startedUp = true;
            startUp();
        }
        dispatch(msg);
    }
    return 0;
}

void Application::dispatch(MSG& msg) {
    // A filter may remove itself (its window closing); walk a copy.
    const std::vector<Filter> filters = filters_;
    for (const Filter& f : filters)
        if (f.filter(msg)) return;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

void Application::processMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            terminated_ = true;
            // The outer loop must still see it to end.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        dispatch(msg);
    }
}

void Application::runModal(const std::function<bool()>& done) {
    MSG msg;
    while (!terminated_ && !done()) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            terminated_ = true;
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        dispatch(msg);
    }
}

int Application::addMessageFilter(MessageFilter filter) {
    const int id = nextFilterId_++;
    filters_.push_back({id, std::move(filter)});
    return id;
}

void Application::removeMessageFilter(int id) {
    std::erase_if(filters_, [id](const Filter& f) { return f.id == id; });
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
    // A request from Agent is answered 0 and not acted on: one job per run.
    if (msg == WM_COPYDATA) {
        if (forwardedRequest_) guardEvent(hwnd(), forwardedRequest_);
        return 0;
    }
    return defaultProc(msg, wp, lp);
}

}  // namespace orvo
