#include "support/win32/win_text.h"

#include <windows.h>

namespace orvo {
namespace {

std::wstring toWide(unsigned codePage, std::string_view text) {
    if (text.empty()) return {};
    int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string fromWide(unsigned codePage, std::wstring_view text) {
    if (text.empty()) return {};
    // No look-alike substitutes (µ must not become μ in a file name): a
    // character outside the code page becomes "?". UTF-8 takes neither.
    const bool legacy = codePage != CP_UTF8;
    const DWORD flags = legacy ? WC_NO_BEST_FIT_CHARS : 0;
    const char* fallback = legacy ? "?" : nullptr;
    int n = ::WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, fallback,
                                  nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(), n, fallback,
                          nullptr);
    return out;
}

}  // namespace

std::wstring gbkToWide(std::string_view gbk) { return toWide(kGbkCodePage, gbk); }
std::string wideToGbk(std::wstring_view wide) { return fromWide(kGbkCodePage, wide); }
std::wstring utf8ToWide(std::string_view utf8) { return toWide(CP_UTF8, utf8); }
std::string wideToUtf8(std::wstring_view wide) { return fromWide(CP_UTF8, wide); }

}  // namespace orvo
