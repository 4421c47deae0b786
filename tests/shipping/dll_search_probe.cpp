// Loads a library by name the way the program will load the key vendor's,
// optionally after taking the current folder out of the search as both
// programs do at start. Writes the path it loaded (or nothing) to a file.
//   dll_search_probe.exe safe|plain LIBRARY RESULT_FILE
// Exit code: 0 loaded, 2 not loaded, 1 bad usage.
#include <windows.h>

#include <cstdio>
#include <string>

#include "support/win32/safe_dll_search.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 1;
    if (std::wstring(argv[1]) == L"safe" && !orvo::useSafeDllSearch()) return 1;
    HMODULE library = ::LoadLibraryW(argv[2]);
    FILE* out = _wfopen(argv[3], L"wb");
    if (!out) return 1;
    if (library) {
        wchar_t path[MAX_PATH * 2] = {};
        ::GetModuleFileNameW(library, path, MAX_PATH * 2);
        std::fputws(path, out);
    }
    std::fclose(out);
    return library ? 0 : 2;
}
