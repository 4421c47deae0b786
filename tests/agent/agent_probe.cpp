// Stand-in for orvo_Printer in Agent's tests. Started by Agent, it records
// its raw command line and first argument; with ORVO_AGENT_PROBE_STAY=1 it
// also keeps a top-level window titled "orvo_Printer" and records every
// WM_COPYDATA it receives (dwData, cbData, bytes) before answering 0.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

std::wstring env(const wchar_t* name) {
    wchar_t buf[1024];
    DWORD n = ::GetEnvironmentVariableW(name, buf, 1024);
    return (n > 0 && n < 1024) ? std::wstring(buf, n) : std::wstring();
}

std::string hex(const void* data, size_t size) {
    std::string out;
    char b[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(b, sizeof b, "%02X", static_cast<const unsigned char*>(data)[i]);
        out += b;
    }
    return out;
}

void record(const std::string& line) {
    std::wstring path = env(L"ORVO_AGENT_PROBE_LOG");
    if (path.empty()) return;
    if (FILE* f = _wfopen(path.c_str(), L"ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

std::string gbkHex(const std::wstring& text) {
    int n = ::WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return hex(bytes.data(), bytes.size());
}

LRESULT CALLBACK probeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COPYDATA) {
        auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        record("copydata dwData=" + std::to_string(data->dwData) + " cbData=" + std::to_string(data->cbData) +
               " bytes=" + hex(data->lpData, data->cbData));
        return 0;
    }
    if (msg == WM_CLOSE) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::wstring first = (argv && argc > 1) ? argv[1] : L"";
    record("started argc=" + std::to_string(argc) + " arg1=" + gbkHex(first));
    if (argv) ::LocalFree(argv);

    if (env(L"ORVO_AGENT_PROBE_STAY") != L"1") return 0;

    WNDCLASSW wc{};
    wc.lpfnWndProc = probeProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"OrvoAgentProbe";
    ::RegisterClassW(&wc);
    HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"orvo_Printer", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, nullptr);
    record(hwnd ? "window" : "no-window");
    MSG m;
    while (::GetMessageW(&m, nullptr, 0, 0) > 0) ::DispatchMessageW(&m);
    return 0;
}
