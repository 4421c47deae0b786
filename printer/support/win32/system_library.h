// A system library loaded when it is first needed instead of at start: every
// library the program imports is loaded, and its start-up work done, before
// the first window shows (the spooler's asks CUPS for the printers under
// Wine, and the common dialogs import the spooler). Loaded by full path from
// the system folder, never through the DLL search. For the user-interface
// thread.
#pragma once

#include <windows.h>

#include <string>

#include "support/win32/unique.h"
#include "support/win32/win_error.h"

namespace orvo {

class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* fileName) : fileName_(fileName) {}

    // The library's function of that name, typed as declared in the SDK
    // header: function<decltype(::EnumPrintersW)>("EnumPrintersW"). Throws
    // Win32Error when the library or the function cannot be found.
    template <class Function>
    Function* function(const char* name) {
        FARPROC address = ::GetProcAddress(module(), name);
        throwLastErrorIf(!address, name);
        return reinterpret_cast<Function*>(address);
    }

private:
    HMODULE module() {
        if (!module_) {
            wchar_t folder[MAX_PATH] = {};
            const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
            throwLastErrorIf(length == 0 || length >= MAX_PATH, "GetSystemDirectory");
            const std::wstring path = std::wstring(folder, length) + L"\\" + fileName_;
            module_.reset(::LoadLibraryW(path.c_str()));
            throwLastErrorIf(!module_, "LoadLibrary");
        }
        return module_.get();
    }

    const wchar_t* fileName_;
    UniqueModule module_;
};

}  // namespace orvo
