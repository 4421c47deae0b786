#include "support/win32/win_error.h"

#include <cstdio>
#include <new>
#include "support/portable/program_names.h"
#include "support/win32/helpdesk_log.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

std::string hex8(unsigned long value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08lX", value);
    return buf;
}

std::string withDescription(const std::string& what, const std::string& description) {
    if (description.empty()) return what;
    if (what.empty()) return description;
    return what + ": " + description;
}

}  // namespace

std::string systemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n ? std::wstring(buffer, n) : std::wstring();
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    if (text.empty()) return "0x" + hex8(code);
    return wideToGbk(text);
}

Win32Error::Win32Error(DWORD code, const std::string& what, std::source_location where)
    : SystemError(withDescription(what, systemMessage(code)), what, where), code_(code) {}

ComError::ComError(HRESULT hr, const std::string& what, std::source_location where)
    : SystemError(withDescription(what, systemMessage(static_cast<DWORD>(hr))), what, where), hr_(hr) {}

ComError::ComError(HRESULT hr, const std::string& what, const std::string& description, std::source_location where)
    : SystemError(description.empty() ? withDescription(what, systemMessage(static_cast<DWORD>(hr))) : description,
                  what, where),
      hr_(hr) {}

void throwLastError(const std::string& what, std::source_location where) {
    throw Win32Error(::GetLastError(), what, where);
}

namespace {

void showStandardErrorBox(HWND owner, const std::string& gbkMessage) {
    ::MessageBoxW(owner, gbkToWide(errorBoxText(gbkMessage)).c_str(), kApplicationTitle, MB_OK | MB_ICONERROR);
}

}  // namespace

void showErrorBox(HWND owner, const std::string& gbkMessage) {
    helpdesk::log("error box");
    showStandardErrorBox(owner, gbkMessage);
}

void showErrorBox(HWND owner, const std::exception& error) {
    helpdesk::log("error box: " + helpdesk::errorCodeText(error));
    if (dynamic_cast<const std::bad_alloc*>(&error))
        showStandardErrorBox(owner, wideToGbk(L"内存不足，无法完成操作"));
    else
        showStandardErrorBox(owner, std::string(error.what()));
}

}  // namespace orvo
