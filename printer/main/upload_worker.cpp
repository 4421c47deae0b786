#include "main/upload_worker.h"

#include <process.h>

#include <vector>

#include "application.h"
#include "core/upload_reply.h"
#include "support/net/http_client.h"
#include "support/net/http_failure_log.h"
#include "support/ui/ui_thread_calls.h"
#include "support/win32/files.h"
#include "support/win32/helpdesk_log.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

// How long the file may stay busy after Word has quit: 101 checks, 100 ms apart.
constexpr int kReleaseChecks = 101;
constexpr DWORD kReleaseCheckIntervalMs = 100;
constexpr DWORD kStartDelayMs = 100;
// The reply is a short JSON object; a server that has taken the file and
// then says nothing must not keep the program waiting unseen for ever.
constexpr unsigned kReplyTimeoutMs = 5 * 60 * 1000;
constexpr std::uint64_t kMaxReplyBytes = 1 << 20;
constexpr char kFilePartName[] = "uploaded_file";

// A byte count to a window, split over the message's two words.
void postUploadProgress(HWND window, UINT message, std::uint64_t bytes) {
    if (window) ::PostMessageW(window, message, static_cast<WPARAM>(bytes & 0xFFFFFFFFu), static_cast<LPARAM>(bytes >> 32));
}

// Others may go on reading the file, but nobody may change it: the digest
// and the bytes sent are then the same bytes.
UniqueFile openDenyingWrites(const std::wstring& path) {
    return UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

}  // namespace

std::wstring uploadFailureText(const wchar_t* text, const std::string& localFile) {
    return std::wstring(text) + L"\n文件：" + gbkToWide(localFile);
}

// ---- The worker

TMyThread::TMyThread(UploadJob job, UploadObserver& observer, HWND uiCalls, std::atomic<TMyThread*>& running)
    : job_(std::move(job)),
      observer_(observer),
      uiCalls_(uiCalls),
      progressWindow_(observer.UploadProgressWindow()),
      running_(running) {}

UniqueHandle TMyThread::Start() {
    running_ = this;
    UniqueHandle thread(reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &TMyThread::ThreadEntry, this, 0, nullptr)));
    if (!thread) {
        const DWORD error = ::GetLastError();
        running_ = nullptr;
        delete this;
        throw Win32Error(error, "CreateThread");
    }
    return thread;
}

unsigned __stdcall TMyThread::ThreadEntry(void* self) {
    auto* worker = static_cast<TMyThread*>(self);
    worker->Execute();
    TMyThread* expected = worker;
    worker->running_.compare_exchange_strong(expected, nullptr);
    delete worker;
    return 0;
}

void TMyThread::Execute() {
    ::Sleep(kStartDelayMs);
    try {
        UploadDocument();
    } catch (const std::exception& e) {
        HideProgress();
        helpdesk::log("upload: failed, " + helpdesk::errorCodeText(e));
        helpdesk::showRunEndingErrorBox(nullptr, e);
        CloseMainWindow();
    } catch (...) {
        HideProgress();
        helpdesk::log("upload: failed");
        helpdesk::showRunEndingErrorBox(nullptr, AppError(wideToGbk(L"未知错误")));
        CloseMainWindow();
    }
}

void TMyThread::UploadDocument() {
    DWORD error = 0;
    UniqueFile file = WaitForReleaseAndOpen(error);
    if (!file) {
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        helpdesk::log(missing ? "upload: the document is gone, error " + std::to_string(error)
                              : "upload: the document is still in use, error " + std::to_string(error));
        return FailWithBox(missing ? kUploadFileMissing : kUploadFileInUse);
    }
    std::string digest;
    try {
        digest = FileMD5(file.get());
    } catch (const Win32Error& e) {
        helpdesk::log("upload: the document could not be read, error " + std::to_string(e.code()));
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
        if (e.kind() == HttpError::Kind::LocalFile) return FailWithBox(kUploadFileInUse);
        return FailWithBox(kUploadNoConnection, e.kind() == HttpError::Kind::Insecure ? e.what() : "");
    }
    file.reset();
    const std::optional<std::string> alert = uploadReplyAlert(reply);
    helpdesk::log(alert ? "upload: the server answered" : "upload: the reply was not understood");
    ShowAlert(alert ? *alert : wideToGbk(uploadFailureText(kUploadReplyNotUnderstood, job_.localFile)));
}

UniqueFile TMyThread::WaitForReleaseAndOpen(DWORD& error) {
    const std::wstring path = gbkToWide(job_.localFile);
    for (int check = 1;; ++check) {
        if (!IsFileInUse(job_.localFile)) {
            UniqueFile file = openDenyingWrites(path);
            error = file ? 0 : ::GetLastError();
            // Taken again between the check and the open: keep waiting.
            if (file || !isSharingViolation(error)) return file;
        }
        if (check >= kReleaseChecks) {
            error = ERROR_SHARING_VIOLATION;
            return {};
        }
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
    // The bytes of the request body go to the main window's progress bar;
    // the reply's own progress that follows is not shown.
    const HWND progressWindow = progressWindow_;
    std::uint64_t bodyBytes = 0;
    std::uint64_t sentBytes = 0;
    bool bodySent = false;
    TransferProgress progress;
    progress.begin = [&](std::uint64_t expected) {
        if (bodyBytes || bodySent) return;
        bodyBytes = expected;
        postUploadProgress(progressWindow, kUploadProgressBegin, expected);
    };
    progress.work = [&](std::uint64_t sent) {
        if (bodySent) return;
        bodySent = sent >= bodyBytes;
        sentBytes = sent;
        postUploadProgress(progressWindow, kUploadProgressWork, sent);
    };
    // How far the body got tells a broken line from a server that refused.
    auto logProgress = [&] {
        helpdesk::log("upload: " + std::to_string(sentBytes) + " of " + std::to_string(bodyBytes) + " bytes sent");
    };
    std::vector<std::uint8_t> reply;
    try {
        reply = client.postMultipart(url, {}, &part, progress);
    } catch (const HttpError&) {
        logProgress();
        throw;
    }
    logProgress();
    return std::string(reply.begin(), reply.end());
}

// Every window of ours is hidden while an upload runs: the box comes to the front.
void TMyThread::FailWithBox(const wchar_t* text, const std::string& gbkReason) {
    HideProgress();
    const std::wstring lead = gbkReason.empty() ? std::wstring(text) : text + (L"\n" + gbkToWide(gbkReason));
    helpdesk::showRunEndingBox(nullptr, uploadFailureText(lead.c_str(), job_.localFile), kUploadBoxCaption,
                               MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
    CloseMainWindow();
}

void TMyThread::ShowAlert(const std::string& alertText) {
    HideProgress();
    UiThreadCalls::run(uiCalls_, [&] { observer_.ShowUploadAlert(alertText); });
}

void TMyThread::HideProgress() {
    UiThreadCalls::run(uiCalls_, [&] { observer_.HideUploadProgress(); });
}

void TMyThread::CloseMainWindow() {
    UiThreadCalls::run(uiCalls_, [&] { observer_.CloseAfterUpload(); });
}

}  // namespace orvo
