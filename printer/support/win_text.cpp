#include "support/win_text.h"

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
    int n = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

std::wstring gbkToWide(std::string_view gbk) { return toWide(kGbkCodePage, gbk); }
std::string wideToGbk(std::wstring_view wide) { return fromWide(kGbkCodePage, wide); }
std::wstring utf8ToWide(std::string_view utf8) { return toWide(CP_UTF8, utf8); }
std::string wideToUtf8(std::wstring_view wide) { return fromWide(CP_UTF8, wide); }

}  // namespace orvo
