#pragma once
// The common file dialogs, with the settings a form keeps for each. Both
// take their filter as "name|patterns|name|patterns".
#include <windows.h>

#include <optional>
#include <string>

namespace orvo {

// The common file-open dialog.
class OpenFileDialog {
public:
    std::wstring title;
    std::wstring filter;
    std::wstring defaultExt;
    DWORD options = 0;
    // The chosen path, or nothing when the user cancelled.
    std::optional<std::wstring> execute(HWND owner) const;
};

// The common file-save dialog.
class SaveFileDialog {
public:
    std::wstring title;
    std::wstring filter;
    int filterIndex = 1;  // 1-based, as the dialog counts
    std::wstring defaultExt;
    std::wstring fileName;  // proposed; the chosen path after execute
    DWORD options = 0;
    // The chosen path, or nothing when the user cancelled.
    std::optional<std::wstring> execute(HWND owner);
};

}  // namespace orvo
