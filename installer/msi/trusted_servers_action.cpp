// Custom actions of the MSI package: the machine list of trusted servers from
// the public property TRUSTEDSERVERS, a comma-separated list of origins.
//
// The machine list is HKLM\Software\Policies\orvo\TrustedServers, one REG_SZ
// value per origin whose name (and data) is the origin, as a Group Policy
// list writes it. It lives in the 64-bit view, where an administrator's tools
// and the Group Policy editor see it; on 32-bit Windows there is only one.
//
// The package records the origins it added under HKLM\Software\orvo\Setup.
// Uninstalling removes those and nothing else: an origin that Group Policy or
// an administrator had put there before stays.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/server_origin.h"
#include "support/win32/unique.h"

namespace {

using orvo::UniqueRegKey;

constexpr wchar_t kMachineListKey[] = L"Software\\Policies\\orvo\\TrustedServers";
constexpr wchar_t kRecordKey[] = L"Software\\orvo\\Setup";
constexpr wchar_t kRecordValue[] = L"TrustedServers";
// The record is read back by the package's registry search, which looks in
// the package's own (32-bit) view.
constexpr REGSAM kRecordView = KEY_WOW64_32KEY;
constexpr REGSAM kMachineListView = KEY_WOW64_64KEY;

std::wstring_view trimmed(std::wstring_view text) {
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.remove_suffix(1);
    return text;
}

// The entry in the form the program compares, read as its trust check reads
// list entries: "scheme://host:port" in lower case, the scheme's port filled
// in, "*." allowed to lead the host. No path beyond "/", no user, no query.
std::optional<std::wstring> originOf(std::wstring_view entry) {
    std::string ascii;
    for (wchar_t c : entry) {
        if (c > 0x7F) return std::nullopt;  // no origin holds other characters
        ascii += static_cast<char>(c);
    }
    const std::optional<std::string> origin = orvo::listEntryText(ascii);
    if (!origin) return std::nullopt;
    return std::wstring(origin->begin(), origin->end());
}

std::vector<std::wstring> splitList(std::wstring_view list) {
    std::vector<std::wstring> items;
    while (!list.empty()) {
        const auto comma = list.find(L',');
        const std::wstring_view item = trimmed(list.substr(0, comma));
        if (!item.empty()) items.emplace_back(item);
        if (comma == std::wstring_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return items;
}

std::wstring joinList(const std::vector<std::wstring>& items) {
    std::wstring out;
    for (const auto& item : items) {
        if (!out.empty()) out += L',';
        out += item;
    }
    return out;
}

std::wstring property(MSIHANDLE install, const wchar_t* name) {
    DWORD size = 0;
    wchar_t empty[1] = {};
    if (MsiGetPropertyW(install, name, empty, &size) != ERROR_MORE_DATA) return {};
    std::wstring value(size + 1, L'\0');
    size = static_cast<DWORD>(value.size());
    if (MsiGetPropertyW(install, name, value.data(), &size) != ERROR_SUCCESS) return {};
    value.resize(size);
    return value;
}

// A line in the installer's log; with a user interface, an error also shows.
void report(MSIHANDLE install, INSTALLMESSAGE kind, const std::wstring& text) {
    PMSIHANDLE record = MsiCreateRecord(1);  // closes the record when done
    MsiRecordSetStringW(record, 0, L"[1]");
    MsiRecordSetStringW(record, 1, text.c_str());
    MsiProcessMessage(install, kind, record);
}

UniqueRegKey openKey(const wchar_t* path, REGSAM view, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, access | view, &key) != ERROR_SUCCESS) return UniqueRegKey();
    return UniqueRegKey(key);
}

UniqueRegKey createKey(const wchar_t* path, REGSAM view) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_READ | KEY_WRITE | view, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return UniqueRegKey();
    }
    return UniqueRegKey(key);
}

std::optional<std::wstring> stringValue(HKEY key, const wchar_t* name) {
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ) {
        return std::nullopt;
    }
    std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    data.resize(bytes / sizeof(wchar_t));
    while (!data.empty() && data.back() == L'\0') data.pop_back();
    return data;
}

bool valueExists(HKEY key, const wchar_t* name) {
    return RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool setStringValue(HKEY key, const wchar_t* name, const std::wstring& data) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// Deletes the key, then each parent up to (not including) the last one named,
// as long as it holds no value and no subkey.
void deleteEmptyKeys(std::wstring path, REGSAM view, std::size_t levels) {
    for (std::size_t i = 0; i < levels; ++i) {
        {
            const UniqueRegKey key = openKey(path.c_str(), view, KEY_READ);
            if (!key) return;
            DWORD subkeys = 0, values = 0;
            if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                 nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
                subkeys != 0 || values != 0) {
                return;
            }
        }
        if (RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), view, 0) != ERROR_SUCCESS) return;
        path.resize(path.rfind(L'\\'));
    }
}

// Takes away the origins the record names, as long as each still holds what
// we wrote, then the record itself.
void removeRecordedOrigins(MSIHANDLE install) {
    std::vector<std::wstring> recorded;
    if (const UniqueRegKey record = openKey(kRecordKey, kRecordView, KEY_READ)) {
        recorded = splitList(stringValue(record.get(), kRecordValue).value_or(L""));
    }
    if (const UniqueRegKey list = openKey(kMachineListKey, kMachineListView, KEY_READ | KEY_WRITE)) {
        for (const auto& origin : recorded) {
            if (stringValue(list.get(), origin.c_str()) == origin) {
                RegDeleteValueW(list.get(), origin.c_str());
                report(install, INSTALLMESSAGE_INFO, L"orvo: removed trusted server " + origin);
            }
        }
    }
    if (const UniqueRegKey record = openKey(kRecordKey, kRecordView, KEY_READ | KEY_WRITE)) {
        RegDeleteValueW(record.get(), kRecordValue);
    }
    deleteEmptyKeys(kMachineListKey, kMachineListView, 2);  // TrustedServers, then Policies\orvo
    deleteEmptyKeys(kRecordKey, kRecordView, 2);            // Setup, then orvo
}

}  // namespace

// Deferred, at install, upgrade and repair; CustomActionData is TRUSTEDSERVERS.
extern "C" __declspec(dllexport) UINT __stdcall WriteTrustedServers(MSIHANDLE install) {
    std::vector<std::wstring> origins;
    for (const auto& entry : splitList(property(install, L"CustomActionData"))) {
        const auto origin = originOf(entry);
        if (!origin) {
            report(install, INSTALLMESSAGE_ERROR,
                   L"TRUSTEDSERVERS 中的“" + entry + L"”不是服务器地址。请写成 https://主机名 或 https://主机名:端口，"
                   L"多个地址用英文逗号分开。");
            return ERROR_INSTALL_FAILURE;
        }
        origins.push_back(*origin);
    }

    // A repair or a new list starts from what is in the machine list without us.
    removeRecordedOrigins(install);
    if (origins.empty()) return ERROR_SUCCESS;

    const UniqueRegKey list = createKey(kMachineListKey, kMachineListView);
    const UniqueRegKey record = createKey(kRecordKey, kRecordView);
    if (!list || !record) {
        report(install, INSTALLMESSAGE_ERROR, L"无法写入受信任服务器列表（HKLM\\Software\\Policies\\orvo\\TrustedServers）。");
        return ERROR_INSTALL_FAILURE;
    }
    std::vector<std::wstring> added;
    for (const auto& origin : origins) {
        if (valueExists(list.get(), origin.c_str())) continue;  // someone else's: not ours to remove later
        bool already = false;
        for (const auto& a : added) already = already || a == origin;
        if (already) continue;
        // Recorded first, so that a failure after it is still undone.
        added.push_back(origin);
        if (!setStringValue(record.get(), kRecordValue, joinList(added)) ||
            !setStringValue(list.get(), origin.c_str(), origin)) {
            report(install, INSTALLMESSAGE_ERROR, L"无法写入受信任服务器 " + origin + L"。");
            return ERROR_INSTALL_FAILURE;
        }
        report(install, INSTALLMESSAGE_INFO, L"orvo: added trusted server " + origin);
    }
    return ERROR_SUCCESS;
}

// Deferred at uninstall, and the rollback of WriteTrustedServers.
extern "C" __declspec(dllexport) UINT __stdcall RemoveTrustedServers(MSIHANDLE install) {
    removeRecordedOrigins(install);
    return ERROR_SUCCESS;
}
