#include "support/win32/server_lists.h"

#include "support/win32/unique.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

// Value names and string data longer than this are no origins.
constexpr DWORD kMaxEntryChars = 2048;

void appendEntries(HKEY root, const wchar_t* subkey, REGSAM view, std::vector<std::string>& entries) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(root, subkey, 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS) return;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kMaxEntryChars + 1];
        DWORD nameChars = kMaxEntryChars + 1;
        DWORD type = 0;
        wchar_t data[kMaxEntryChars + 1];
        DWORD dataBytes = sizeof(data) - sizeof(wchar_t);
        LONG status = ::RegEnumValueW(key.get(), index, name, &nameChars, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &dataBytes);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status == ERROR_MORE_DATA) {
            // Data too long to be an origin; the name may still be one.
            nameChars = kMaxEntryChars + 1;
            status = ::RegEnumValueW(key.get(), index, name, &nameChars, nullptr, nullptr, nullptr, nullptr);
            type = REG_NONE;
        }
        if (status != ERROR_SUCCESS) continue;
        if (nameChars > 0) entries.push_back(wideToGbk(std::wstring_view(name, nameChars)));
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            std::wstring_view text(data, dataBytes / sizeof(wchar_t));
            while (!text.empty() && text.back() == L'\0') text.remove_suffix(1);
            if (!text.empty()) entries.push_back(wideToGbk(text));
        }
    }
}

}  // namespace

std::vector<std::string> readMachineServerList() {
    std::vector<std::string> entries;
    appendEntries(HKEY_LOCAL_MACHINE, kMachineTrustedServersKey, KEY_WOW64_64KEY, entries);
    appendEntries(HKEY_LOCAL_MACHINE, kMachineTrustedServersKey, KEY_WOW64_32KEY, entries);
    return entries;
}

std::vector<std::string> readUserServerList(const wchar_t* subkey) {
    std::vector<std::string> entries;
    appendEntries(HKEY_CURRENT_USER, subkey, 0, entries);
    return entries;
}

void addToUserServerList(const wchar_t* subkey, std::span<const std::string> origins) {
    UniqueRegKey key;
    const LONG status = ::RegCreateKeyExW(HKEY_CURRENT_USER, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) throw Win32Error(static_cast<DWORD>(status), "RegCreateKeyEx");
    for (const std::string& origin : origins) {
        const std::wstring name = gbkToWide(origin);
        const LONG written = ::RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ,
                                              reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
        if (written != ERROR_SUCCESS) throw Win32Error(static_cast<DWORD>(written), "RegSetValueEx");
    }
}

}  // namespace orvo
