// Agent: started by the orvo: scheme with the link as its first argument.
// Hands the request to a running orvo_Printer, or starts one. No window, no
// messages; always exits 0.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "agent_path.h"
#include "support/win32/safe_dll_search.h"

namespace {

constexpr UINT kRequestCodePage = 936;  // the request travels as GBK bytes

std::wstring readIconValue() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"orvo\\DefaultIcon", 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    std::wstring value;
    DWORD type = 0, bytes = 0;
    if (::RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && bytes > 0) {
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        if (::RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) ==
            ERROR_SUCCESS)
            value = buffer.data();
        if (type == REG_EXPAND_SZ && !value.empty()) {
            DWORD n = ::ExpandEnvironmentStringsW(value.c_str(), nullptr, 0);
            std::vector<wchar_t> expanded(n + 1, L'\0');
            if (n && ::ExpandEnvironmentStringsW(value.c_str(), expanded.data(), n + 1)) value = expanded.data();
        }
    }
    ::RegCloseKey(key);
    return value;
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
    if (HWND running = ::FindWindowW(nullptr, L"orvo_Printer")) {
        std::string bytes = toRequestBytes(request);
        std::vector<char> buffer(bytes.begin(), bytes.end());
        buffer.push_back('\0');
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
