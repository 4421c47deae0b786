// Takes the current folder out of the DLL search. A web link can start us
// with any folder as the current one, such as a downloads folder holding a
// planted library; naming the program's own folder as the DLL directory drops
// the current folder on Windows and under Wine alike (an empty name does not
// under Wine), and keeps the rest of the system's order, PATH included.
// Header only: Agent links nothing of ours but uses it too.
#pragma once

#include <windows.h>

#include <string>

namespace orvo {

inline std::wstring ownProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return {};
    path.resize(slash + 1);  // keep the separator, so "C:\" stays a root
    return path;
}

// First thing at start, before any library is loaded by name.
inline bool useSafeDllSearch() {
    std::wstring folder = ownProgramFolder();
    if (!folder.empty() && ::SetDllDirectoryW(folder.c_str())) return true;
    // Still better than nothing on Windows, where an empty name also drops it.
    return ::SetDllDirectoryW(L"") != FALSE;
}

}  // namespace orvo
