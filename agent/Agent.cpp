// Agent: started by the orvo: scheme with the link as its first argument.
// Hands the request to a running orvo_Printer, or starts one. No window, no
// messages; always exits 0.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "agent_path.h"
#include "support/portable/program_names.h"
#include "support/win32/safe_dll_search.h"

namespace {

constexpr UINT kRequestCodePage = 936;  // the request travels as GBK bytes

// The scheme's icon reference; an expandable value comes back expanded.
std::wstring readIconValue() {
    // REG_SZ covers an expandable value too: it is expanded to REG_SZ first.
    constexpr DWORD kTypes = RRF_RT_REG_SZ;
    DWORD bytes = 0;
    if (::RegGetValueW(HKEY_CLASSES_ROOT, L"orvo\\DefaultIcon", nullptr, kTypes, nullptr, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        bytes == 0)
        return {};
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (::RegGetValueW(HKEY_CLASSES_ROOT, L"orvo\\DefaultIcon", nullptr, kTypes, nullptr, buffer.data(), &bytes) !=
        ERROR_SUCCESS)
        return {};
    return buffer.data();
}

std::wstring firstArgument() {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::wstring arg = (argv && argc > 1) ? argv[1] : L"";
    if (argv) ::LocalFree(argv);
    return arg;
}

std::string toRequestBytes(const std::wstring& text) {
    if (text.empty()) return {};
    // No look-alike substitutes: a character outside GBK becomes "?".
    int n = ::WideCharToMultiByte(kRequestCodePage, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                  nullptr, 0, "?", nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(kRequestCodePage, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                          bytes.data(), n, "?", nullptr);
    return bytes;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    orvo::useSafeDllSearch();
    std::wstring programPath = agent::mainProgramPath(readIconValue());
    std::wstring request = firstArgument();

    // The running instance's application window carries this title.
    if (HWND running = ::FindWindowW(nullptr, orvo::kApplicationTitle)) {
        std::string bytes = toRequestBytes(request);
        std::vector<char> buffer(bytes.begin(), bytes.end());
        buffer.push_back('\0');
        // The running program brings its open window to the front; Windows
        // lets it do that only when the process that has the foreground (us,
        // just started by the browser) allows it.
        DWORD runningProcess = 0;
        ::GetWindowThreadProcessId(running, &runningProcess);
        if (runningProcess) ::AllowSetForegroundWindow(runningProcess);
        COPYDATASTRUCT data{};
        data.dwData = 0;
        data.cbData = static_cast<DWORD>(buffer.size());
        data.lpData = buffer.data();
        ::SendMessageW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    } else if (!programPath.empty()) {
        // The request goes on unquoted, exactly as it came.
        ::ShellExecuteW(nullptr, nullptr, programPath.c_str(), request.c_str(), nullptr, SW_SHOWNORMAL);
    }
    return 0;
}
