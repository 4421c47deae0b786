#include "support/win32/printers.h"

#include <windows.h>
#include <winspool.h>

#include <cwchar>

#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

constexpr DWORD kPrinterKinds = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
// As the profile API is asked for it: 256 characters, NUL included.
constexpr DWORD kProfileValueLength = 256;

}  // namespace

std::vector<std::wstring> installedPrinters() {
    DWORD needed = 0, count = 0;
    ::EnumPrintersW(kPrinterKinds, nullptr, 4, nullptr, 0, &needed, &count);
    if (needed == 0) return {};
    std::vector<BYTE> buffer(needed);
    throwLastErrorIf(!::EnumPrintersW(kPrinterKinds, nullptr, 4, buffer.data(), needed, &needed, &count),
                     "EnumPrinters");
    const auto* printers = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    std::vector<std::wstring> names;
    for (DWORD i = 0; i < count; ++i)
        if (printers[i].pPrinterName) names.emplace_back(printers[i].pPrinterName);
    return names;
}

std::wstring spoolerDefaultPrinter() {
    DWORD length = 0;
    ::GetDefaultPrinterW(nullptr, &length);
    if (length == 0) return {};
    std::wstring name(length, L'\0');
    if (!::GetDefaultPrinterW(name.data(), &length)) return {};
    name.resize(std::wcslen(name.c_str()));
    return name;
}

std::string profileDefaultPrinter() {
    wchar_t device[kProfileValueLength] = {};
    ::GetProfileStringW(L"windows", L"device", L"", device, kProfileValueLength);
    const std::wstring value = device;
    const size_t comma = value.find(L',');
    if (comma == std::wstring::npos) return {};
    return wideToGbk(value.substr(0, comma));
}

void setDefaultPrinter(const std::wstring& name) {
    throwLastErrorIf(!::SetDefaultPrinterW(name.c_str()), "SetDefaultPrinter");
}

}  // namespace orvo
