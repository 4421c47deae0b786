// The main window's side of the upload, on the user-interface thread: it
// starts the worker with the request's upload fields, shows what the worker
// reports, and waits for the worker before the program ends.
#include <utility>

#include "application.h"
#include "main/frm_Main.h"
#include "main/upload_worker.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {

void TfrmMain::StartUpload() {
    // One upload per run: the seal window hides when it starts one.
    if (UploadWorker.load()) return;
    CreateControls();  // its progress shows in them, even without a first show
    if (!uploadCalls_) uploadCalls_ = std::make_unique<UiThreadCalls>();
    UploadObserver& observer = *this;
    auto* worker = new TMyThread(UploadJob{request_.FServerUrl, request_.FFileGuid, request_.FLocalFile}, observer,
                                 uploadCalls_->hwnd(), UploadWorker);
    ShowUploadProgress();
    uploadThread_ = worker->Start();
}

void TfrmMain::ShowUploadProgress() {
    // Every other window is gone by now: a large document on a slow line
    // must not leave the user with nothing on the screen. The window is
    // still in the compact layout sign and edit modes gave it.
    Label_Title.setCaption(std::wstring(L"正在上传..."));
    IdHTTPWorkBegin(0);
    if (!shownOnce_) return;  // never shown, so there is no request to show it for
    ::ShowWindow(hwnd(), SW_SHOWNORMAL);
    bringWindowToFront(hwnd());
}

void TfrmMain::HideUploadProgress() { HideWithShadow(); }

HWND TfrmMain::UploadProgressWindow() const { return hwnd(); }

void TfrmMain::UploadProgress(UINT message, WPARAM low, LPARAM high) {
    const std::uint64_t bytes = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) |
                                static_cast<std::uint32_t>(low);
    if (message == kUploadProgressBegin) IdHTTPWorkBegin(bytes);
    else IdHTTPWork(bytes);
}

void TfrmMain::SetUploadAlertView(std::function<void(const std::string& alertText)> showAlert) {
    uploadAlertView_ = std::move(showAlert);
}

void TfrmMain::ShowUploadAlert(const std::string& alertText) {
    bool shown = false;
    guardEvent(nullptr, [&] {
        if (uploadAlertView_) {
            uploadAlertView_(alertText);
            shown = true;
        }
    });
    if (shown) {
        // A close asked for while the view was being shown.
        if (std::exchange(closeAfterUploadCall_, false)) CloseAfterUpload();
        return;
    }
    // Without an alert view the outcome still reaches the user, and then the
    // program ends as closing the alert view would end it.
    ::MessageBoxW(nullptr, gbkToWide(alertText).c_str(), kApplicationTitle, MB_OK | MB_SETFOREGROUND | MB_TOPMOST);
    CloseAfterUpload();
}

void TfrmMain::CloseAfterUpload() {
    closeAfterUploadCall_ = false;
    // Posted: the close waits for the worker, which is waiting for this call.
    if (hwnd()) ::PostMessageW(hwnd(), WM_CLOSE, 0, 0);
}

bool TfrmMain::WaitForUploadBeforeClose() {
    if (uploadCalls_ && uploadCalls_->serving()) {
        closeAfterUploadCall_ = true;
        return false;
    }
    // A close that arrives while an earlier one waits is that same close.
    if (waitingForUpload_) return false;
    WaitForUploadWorker();
    return true;
}

void TfrmMain::WaitForUploadWorker() {
    // While the worker's call runs here, the worker is blocked on it: the
    // call is its last step, and waiting for it would never end.
    if (!uploadThread_ || (uploadCalls_ && uploadCalls_->serving())) return;
    waitingForUpload_ = true;
    const HANDLE thread = uploadThread_.get();
    for (;;) {
        const DWORD r = ::MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) break;
        // Serves the calls the worker sends, and only those: no input, no
        // timers, nothing that could start other work meanwhile.
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    uploadThread_.reset();
    waitingForUpload_ = false;
}

}  // namespace orvo
