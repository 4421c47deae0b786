#include "hosting/save_dialog.h"

#include <commdlg.h>

#include <algorithm>
#include <cwchar>

#include "support/portable/app_error.h"
#include "support/win32/win_text.h"

namespace orvo {

std::optional<std::wstring> SaveFileDialog::execute(HWND owner) {
    std::wstring filterZ = filter;
    std::replace(filterZ.begin(), filterZ.end(), L'|', L'\0');
    filterZ.push_back(L'\0');
    filterZ.push_back(L'\0');
    std::wstring path(32768, L'\0');
    // A proposal too long for the buffer is no proposal.
    if (fileName.size() < path.size()) std::copy(fileName.begin(), fileName.end(), path.begin());
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filterZ.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(filterIndex);
    ofn.lpstrFile = path.data();
    ofn.nMaxFile = static_cast<DWORD>(path.size());
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
    ofn.Flags = options | OFN_EXPLORER;
    if (!::GetSaveFileNameW(&ofn)) {
        const DWORD error = ::CommDlgExtendedError();
        if (error == 0) return std::nullopt;  // cancelled
        throw AppError(wideToGbk(L"无法打开文件保存对话框 (") + std::to_string(error) + ")");
    }
    path.resize(std::wcslen(path.c_str()));
    fileName = path;
    filterIndex = static_cast<int>(ofn.nFilterIndex);
    return path;
}

}  // namespace orvo
