// The view flow of the main window: a Word report opens in the preview
// window; any other report is saved to the temporary folder and opened in
// the program the shell associates with it, under the floating title bar,
// and the program ends when that viewer ends. A report whose type would run
// as a program is refused before anything is fetched.
#include <windows.h>

#include <shellapi.h>
#include <shlwapi.h>

#include "application.h"
#include "core/dangerous_types.h"
#include "hosting/frmPrivew.h"
#include "hosting/frm_WriteRead_bar.h"
#include "hosting/office_suite.h"
#include "main/frm_Main.h"
#include "support/win32/helpdesk_log.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

constexpr DWORD kViewerWaitStepMs = 100;
// How long an outside viewer is given to close when asked.
constexpr DWORD kViewerCloseWaitMs = 4000;

// Posts WM_CLOSE to the process's visible top-level windows, as their close
// boxes would: the program can still ask about unsaved work.
void askProcessWindowsToClose(DWORD processId) {
    ::EnumWindows(
        [](HWND window, LPARAM lp) WINAPI -> BOOL {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == static_cast<DWORD>(lp) && ::IsWindowVisible(window) && !::GetWindow(window, GW_OWNER))
                ::PostMessageW(window, WM_CLOSE, 0, 0);
            return TRUE;
        },
        static_cast<LPARAM>(processId));
}

// Waits up to timeoutMs for the process to end, serving only the messages
// other threads send meanwhile, so nothing else starts.
void waitForProcessEnd(HANDLE process, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return;
        const DWORD r = ::MsgWaitForMultipleObjectsEx(1, &process, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE,
                                                      MWMO_INPUTAVAILABLE);
        if (r != WAIT_OBJECT_0 + 1) return;
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// Our own list, and whatever the shell knows to be dangerous besides.
bool isDangerousType(const std::string& extension) {
    if (isDangerousExtension(extension)) return true;
    const std::wstring wide = gbkToWide(extension);
    return !wide.empty() && ::AssocIsDangerous(wide.c_str()) != FALSE;
}

}  // namespace

void TfrmMain::btn_ViewFileClick() {
    if (RefuseDangerousType(request_)) return;
    if (request_.FFileExt == ".doc" || request_.FFileExt == ".docx")
        PreviewWordReport(request_);
    else
        ViewInAssociatedProgram(request_);
}

bool TfrmMain::RefuseDangerousType(const ReportRequest& request) {
    if (!isDangerousType(request.FFileExt)) return false;
    helpdesk::log("view: refused, the file type could run as a program");
    helpdesk::showRunEndingErrorBox(hwnd(), AppError(wideToGbk(L"此报表的文件类型可以作为程序运行，为安全起见已拒绝打开")));
    Close();
    return true;
}

void TfrmMain::PreviewWordReport(ReportRequest& request) {
    if (!confirmOfficeInstalled(hwnd(), OfficeApp::Writer)) {
        Close();
        return;
    }
    const bool docx = request.FFileExt == ".docx";
    if (!PrepareReport(request, docx)) return;
    if (!frm_Priview) frm_Priview = std::make_unique<Tfrm_Priview>();
    Tfrm_Priview& preview = *frm_Priview;
    preview.FRequest = request.FRequest;
    preview.FFileExt = request.FFileExt;
    preview.FLocalFile = docx ? request.FLocalFile : std::string();
    preview.FPreviewStream = &request.FPreviewStream;
    preview.onClosed = [this] { ShutDown(); };
    HideWithShadow();
    try {
        helpdesk::log("view: preview");
        preview.ShowModal();
    } catch (const std::exception& e) {
        // Every window is hidden by now: after the report the program ends
        // rather than live on unseen.
        helpdesk::log("view: the preview could not show the report");
        helpdesk::showRunEndingErrorBox(nullptr, e);
        if (Application* app = theApplication()) app->terminate();
    }
    frm_Priview.reset();
}

void TfrmMain::ViewInAssociatedProgram(ReportRequest& request) {
    if (!PrepareReport(request, true)) return;
    TfrmWriteRead_bar& bar = *titleBar_;
    bar.lb_FileTitle.setCaption(request.FFileTitle);
    bar.Show();
    HideWithShadow();
    helpdesk::log(OpenWithAssociatedProgram(request.FLocalFile) ? "view: the associated program ended"
                                                                : "view: no program opens this file type");
    bar.Close();
    Close();
}

bool TfrmMain::OpenWithAssociatedProgram(const std::string& path) {
    const std::wstring file = gbkToWide(path);
    Application* app = theApplication();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = app ? app->hwnd() : hwnd();
    info.lpFile = file.c_str();
    info.nShow = SW_SHOWMAXIMIZED;
    if (!::ShellExecuteExW(&info)) return false;
    // No handle when the file went to a program that was already running:
    // there is nothing to wait for.
    FViewerProcess.reset(info.hProcess);
    while (FViewerProcess && ::WaitForSingleObject(FViewerProcess.get(), kViewerWaitStepMs) == WAIT_TIMEOUT) {
        if (!app) continue;
        app->processMessages();
        if (app->terminated()) break;
    }
    return true;
}

void TfrmMain::CloseViewer() {
    // The viewer may be a program the user also works in (a reused Excel
    // with other workbooks open): it is asked to close, so it can ask about
    // unsaved work, and never forced. One still running after the wait is
    // left open.
    UniqueHandle viewer = std::move(FViewerProcess);
    if (!viewer || ::WaitForSingleObject(viewer.get(), 0) != WAIT_TIMEOUT) return;
    askProcessWindowsToClose(::GetProcessId(viewer.get()));
    waitForProcessEnd(viewer.get(), kViewerCloseWaitMs);
}

void TfrmMain::ClosePreviewDocument() {
    // A document that cannot be closed is reported; the end goes on.
    if (frm_Priview) guardEvent(nullptr, [this] { frm_Priview->CloseDocument(); });
}

void TfrmMain::ReleasePreviewDocument() noexcept {
    if (frm_Priview) frm_Priview->ReleaseDocument();
}

}  // namespace orvo
