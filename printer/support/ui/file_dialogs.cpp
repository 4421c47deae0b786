#include "support/ui/file_dialogs.h"

#include <commdlg.h>

#include <algorithm>
#include <cwchar>

#include "support/portable/app_error.h"
#include "support/win32/system_library.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

// Loaded with the first dialog, not at start: the common dialogs import the
// spooler, whose loading asks CUPS for the printers under Wine.
SystemLibrary& commonDialogs() {
    static SystemLibrary library(L"comdlg32.dll");
    return library;
}

// What both dialogs share: the filter in the dialog's form (parts ended by
// NULs, the whole by two), the path buffer and the common settings.
struct DialogRun {
    std::wstring filterZ;
    std::wstring path = std::wstring(32768, L'\0');
    OPENFILENAMEW ofn{};

    DialogRun(HWND owner, const std::wstring& filter, int filterIndex, const std::wstring& title,
              const std::wstring& defaultExt, DWORD options)
        : filterZ(filter) {
        std::replace(filterZ.begin(), filterZ.end(), L'|', L'\0');
        filterZ.push_back(L'\0');
        filterZ.push_back(L'\0');
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = filterZ.c_str();
        ofn.nFilterIndex = static_cast<DWORD>(filterIndex);
        ofn.lpstrFile = path.data();
        ofn.nMaxFile = static_cast<DWORD>(path.size());
        ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
        ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
        ofn.Flags = options | OFN_EXPLORER;
    }
    DialogRun(const DialogRun&) = delete;
    DialogRun& operator=(const DialogRun&) = delete;

    // The chosen path, nothing when cancelled; failText names the dialog in
    // the error raised when it could not be shown.
    std::optional<std::wstring> finish(BOOL chosen, const wchar_t* failText) {
        if (!chosen) {
            const DWORD error = commonDialogs().function<decltype(::CommDlgExtendedError)>("CommDlgExtendedError")();
            if (error == 0) return std::nullopt;  // cancelled
            throw AppError(wideToGbk(failText) + std::to_string(error) + ")");
        }
        path.resize(std::wcslen(path.c_str()));
        return path;
    }
};

}  // namespace

std::optional<std::wstring> OpenFileDialog::execute(HWND owner) const {
    DialogRun run(owner, filter, 1, title, defaultExt, options);
    auto* getOpenFileName = commonDialogs().function<decltype(::GetOpenFileNameW)>("GetOpenFileNameW");
    return run.finish(getOpenFileName(&run.ofn), L"无法打开文件选择对话框 (");
}

std::optional<std::wstring> SaveFileDialog::execute(HWND owner) {
    DialogRun run(owner, filter, filterIndex, title, defaultExt, options);
    // A proposal too long for the buffer is no proposal.
    if (fileName.size() < run.path.size()) std::copy(fileName.begin(), fileName.end(), run.path.begin());
    auto* getSaveFileName = commonDialogs().function<decltype(::GetSaveFileNameW)>("GetSaveFileNameW");
    std::optional<std::wstring> chosen = run.finish(getSaveFileName(&run.ofn), L"无法打开文件保存对话框 (");
    if (chosen) {
        fileName = *chosen;
        filterIndex = static_cast<int>(run.ofn.nFilterIndex);
    }
    return chosen;
}

}  // namespace orvo
