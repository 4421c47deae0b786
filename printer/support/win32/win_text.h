#pragma once
// Conversion at the Win32 boundary. Code page 936 is explicit (never CP_ACP),
// so the program behaves the same on a Windows with another locale.
#include <string>
#include <string_view>

namespace orvo {

constexpr unsigned kGbkCodePage = 936;

std::wstring gbkToWide(std::string_view gbk);
// Characters outside GBK become "?".
std::string wideToGbk(std::wstring_view wide);
std::wstring utf8ToWide(std::string_view utf8);
std::string wideToUtf8(std::wstring_view wide);

}  // namespace orvo
