#pragma once
// The lists of servers kept in the registry, each a key whose values name
// one origin apiece: the machine list an administrator sets (or the
// installer writes), and the user's own lists of servers allowed or refused
// for good.
#include <windows.h>

#include <span>
#include <string>
#include <vector>

namespace orvo {

inline constexpr wchar_t kMachineTrustedServersKey[] = L"Software\\Policies\\orvo\\TrustedServers";
inline constexpr wchar_t kUserTrustedServersKey[] = L"Software\\orvo\\TrustedServers";
inline constexpr wchar_t kUserRefusedServersKey[] = L"Software\\orvo\\RefusedServers";

// The entries under HKLM, from the 64-bit and the 32-bit registry views
// merged: a 32-bit program would otherwise see only its own view, and an
// administrator's 64-bit "reg add" would go unseen. A value's name is an
// entry, and so is the text of a string value (a numbered list of a group
// policy keeps the origins there). A missing key is an empty list.
std::vector<std::string> readMachineServerList();
// The same for a key under HKCU.
std::vector<std::string> readUserServerList(const wchar_t* subkey);
// Adds the origins as values of the key under HKCU, creating it.
// Throws Win32Error when the key cannot be written.
void addToUserServerList(const wchar_t* subkey, std::span<const std::string> origins);

}  // namespace orvo
