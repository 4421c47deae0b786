// fake_viewer: the small program the tests and the demo associate with a
// file type, standing in for whatever program a user's shell would open a
// report with. It shows one window titled "fake viewer - NAME" in the show
// state it was started with, and ends when that window is closed.
//
//   fake_viewer.exe FILE
//
// When ORVO_FAKE_VIEWER_JOURNAL names a file, it appends one UTF-8 line per
// start: "open <FILE> show=<show state> pid=<process id>".
// When ORVO_FAKE_VIEWER_ASK is 1 it holds unsaved work: asked to close, it
// first asks "是否保存对文件的更改？" (是/否/取消, caption "fake viewer"),
// and 取消 keeps it open.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

constexpr wchar_t kClass[] = L"OrvoFakeViewer";

std::string utf8(const std::wstring& w) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

bool asksBeforeClosing() {
    wchar_t value[4] = {};
    return ::GetEnvironmentVariableW(L"ORVO_FAKE_VIEWER_ASK", value, 4) > 0 && value[0] == L'1';
}

void journal(const std::wstring& file, int show) {
    wchar_t path[1024] = {};
    if (!::GetEnvironmentVariableW(L"ORVO_FAKE_VIEWER_JOURNAL", path, 1024)) return;
    std::wstring target = path;
    if (target[0] == L'/') {  // a Unix path from the test, as Wine's Z: sees it
        for (auto& c : target)
            if (c == L'/') c = L'\\';
        target = L"Z:" + target;
    }
    FILE* out = _wfopen(target.c_str(), L"ab");
    if (!out) return;
    std::fprintf(out, "open %s show=%d pid=%lu\n", utf8(file).c_str(), show, ::GetCurrentProcessId());
    std::fclose(out);
}

LRESULT CALLBACK viewerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLOSE && asksBeforeClosing()) {
        const int answer = ::MessageBoxW(hwnd, L"是否保存对文件的更改？", L"fake viewer", MB_YESNOCANCEL);
        if (answer != IDCANCEL) ::DestroyWindow(hwnd);
        return 0;
    }
    if (msg == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const std::wstring file = argv && argc > 1 ? argv[1] : L"";
    if (argv) ::LocalFree(argv);
    journal(file, show);

    WNDCLASSEXW wc{sizeof wc};
    wc.lpfnWndProc = viewerProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClass;
    ::RegisterClassExW(&wc);
    const size_t slash = file.find_last_of(L"\\/");
    const std::wstring title = L"fake viewer - " + (slash == std::wstring::npos ? file : file.substr(slash + 1));
    HWND hwnd = ::CreateWindowExW(0, kClass, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640,
                                  480, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    ::ShowWindow(hwnd, show);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
