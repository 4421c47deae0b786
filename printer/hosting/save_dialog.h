#pragma once
// The common file-save dialog, with the settings a form keeps for it.
#include <windows.h>

#include <optional>
#include <string>

namespace orvo {

class SaveFileDialog {
public:
    std::wstring title;
    std::wstring filter;  // "name|patterns|name|patterns"
    int filterIndex = 1;  // 1-based, as the dialog counts
    std::wstring defaultExt;
    std::wstring fileName;  // proposed; the chosen path after execute
    DWORD options = 0;
    // The chosen path, or nothing when the user cancelled.
    std::optional<std::wstring> execute(HWND owner);
};

}  // namespace orvo
