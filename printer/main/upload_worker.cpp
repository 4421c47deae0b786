#include "main/upload_worker.h"

#include <process.h>

#include <vector>

#include "application.h"
#include "main/frm_Main.h"
#include "main/upload_reply.h"
#include "support/net/http_client.h"
#include "support/net/http_failure_log.h"
#include "support/portable/md5.h"
#include "support/ui/ui_thread_calls.h"
#include "support/win32/helpdesk_log.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

// How long the file may stay busy after Word has quit: 101 checks, 100 ms apart.
constexpr int kReleaseChecks = 101;
constexpr DWORD kReleaseCheckIntervalMs = 100;
constexpr DWORD kStartDelayMs = 100;
constexpr DWORD kHashChunkBytes = 256 * 1024;
// The reply is a short JSON object; a server that has taken the file and
// then says nothing must not keep the program waiting unseen for ever.
constexpr unsigned kReplyTimeoutMs = 5 * 60 * 1000;
constexpr std::uint64_t kMaxReplyBytes = 1 << 20;
constexpr char kFilePartName[] = "uploaded_file";

bool isSharingViolation(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// Others may go on reading the file, but nobody may change it: the digest
// and the bytes sent are then the same bytes.
UniqueFile openDenyingWrites(const std::wstring& path) {
    return UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

}  // namespace

std::atomic<TMyThread*> UploadWorker{nullptr};

std::wstring uploadFailureText(const wchar_t* text, const std::string& localFile) {
    return std::wstring(text) + L"\n文件：" + gbkToWide(localFile);
}

bool IsFileInUse(const std::string& path) {
    const std::wstring wide = gbkToWide(path);
    if (::GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    UniqueFile exclusive(
        ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    // Only another program's handle makes the file busy; a read-only file
    // that nobody holds can still be read and sent.
    return !exclusive && isSharingViolation(::GetLastError());
}

std::string FileMD5(HANDLE file) {
    LARGE_INTEGER start{};
    throwLastErrorIf(!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN), "SetFilePointerEx");
    Md5 md5;
    std::vector<char> chunk(kHashChunkBytes);
    for (;;) {
        DWORD got = 0;
        throwLastErrorIf(!::ReadFile(file, chunk.data(), kHashChunkBytes, &got, nullptr), "ReadFile");
        if (got == 0) break;
        md5.update(chunk.data(), got);
    }
    return md5.hexDigest();
}

// ---- The worker

TMyThread::TMyThread(UploadJob job, TfrmMain& mainWindow, HWND uiCalls)
    : job_(std::move(job)), mainWindow_(mainWindow), uiCalls_(uiCalls) {}

UniqueHandle TMyThread::Start() {
    UploadWorker = this;
    UniqueHandle thread(reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &TMyThread::ThreadEntry, this, 0, nullptr)));
    if (!thread) {
        const DWORD error = ::GetLastError();
        UploadWorker = nullptr;
        delete this;
        throw Win32Error(error, "CreateThread");
    }
    return thread;
}

unsigned __stdcall TMyThread::ThreadEntry(void* self) {
    auto* worker = static_cast<TMyThread*>(self);
    worker->Execute();
    TMyThread* expected = worker;
    UploadWorker.compare_exchange_strong(expected, nullptr);
    delete worker;
    return 0;
}

void TMyThread::Execute() {
    ::Sleep(kStartDelayMs);
    try {
        UploadDocument();
    } catch (const std::exception& e) {
        helpdesk::log("upload: failed");
        helpdesk::showRunEndingErrorBox(nullptr, e);
        CloseMainWindow();
    } catch (...) {
        helpdesk::log("upload: failed");
        helpdesk::showRunEndingErrorBox(nullptr, AppError(wideToGbk(L"未知错误")));
        CloseMainWindow();
    }
}

void TMyThread::UploadDocument() {
    UniqueFile file = WaitForReleaseAndOpen();
    if (!file) {
        helpdesk::log("upload: the document is still in use");
        return FailWithBox(kUploadFileInUse);
    }
    std::string digest;
    try {
        digest = FileMD5(file.get());
    } catch (const Win32Error&) {
        return FailWithBox(kUploadFileInUse);
    }
    // Joined as plain text: the server reads the guid exactly as it was given.
    const std::string url = job_.serverUrl + "?fileguid=" + job_.fileGuid + "&filemd5=" + digest;
    std::string reply;
    helpdesk::logServer("upload", job_.serverUrl);
    try {
        reply = Post(url, file.get());
    } catch (const HttpError& e) {
        helpdesk::log("upload: " + httpFailureForLog(e));
        return FailWithBox(e.kind() == HttpError::Kind::LocalFile ? kUploadFileInUse : kUploadNoConnection);
    }
    file.reset();
    const std::optional<std::string> alert = uploadReplyAlert(reply);
    helpdesk::log(alert ? "upload: the server answered" : "upload: the reply was not understood");
    ShowAlert(alert ? *alert : wideToGbk(uploadFailureText(kUploadReplyNotUnderstood, job_.localFile)));
}

UniqueFile TMyThread::WaitForReleaseAndOpen() {
    const std::wstring path = gbkToWide(job_.localFile);
    for (int check = 1;; ++check) {
        if (!IsFileInUse(job_.localFile)) {
            UniqueFile file = openDenyingWrites(path);
            // Taken again between the check and the open: keep waiting.
            if (file || !isSharingViolation(::GetLastError())) return file;
        }
        if (check >= kReleaseChecks) return {};
        ::Sleep(kReleaseCheckIntervalMs);
    }
}

std::string TMyThread::Post(const std::string& url, HANDLE file) {
    HttpSettings settings;
    settings.http10 = true;
    settings.readTimeoutMs = kReplyTimeoutMs;
    settings.maxBodyBytes = kMaxReplyBytes;
    HttpClient client(settings);
    const MultipartUpload part{kFilePartName, job_.localFile, contentTypeForFile(job_.localFile), file};
    const std::vector<std::uint8_t> reply = client.postMultipart(url, {}, &part);
    return std::string(reply.begin(), reply.end());
}

// Every window of ours is hidden while an upload runs: the box comes to the front.
void TMyThread::FailWithBox(const wchar_t* text) {
    helpdesk::showRunEndingBox(nullptr, uploadFailureText(text, job_.localFile), kUploadBoxCaption,
                               MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
    CloseMainWindow();
}

void TMyThread::ShowAlert(const std::string& alertText) {
    UiThreadCalls::run(uiCalls_, [&] { mainWindow_.ShowUploadAlert(alertText); });
}

void TMyThread::CloseMainWindow() {
    UiThreadCalls::run(uiCalls_, [&] { mainWindow_.CloseAfterUpload(); });
}

// ---- The main window's side, on the user-interface thread

void TfrmMain::StartUpload() {
    // One upload per run: the seal window hides when it starts one.
    if (UploadWorker.load()) return;
    if (!uploadCalls_) uploadCalls_ = std::make_unique<UiThreadCalls>();
    auto* worker = new TMyThread(UploadJob{FServerUrl, FFileGuid, FLocalFile}, *this, uploadCalls_->hwnd());
    uploadThread_ = worker->Start();
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
