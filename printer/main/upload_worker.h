#pragma once
// The upload worker: once the user has saved the document in Word, it goes
// back to the server on a thread of its own, and the user always sees the
// outcome (the alert view, or a failure box after which the program ends).
#include <windows.h>

#include <atomic>
#include <string>

#include "support/win32/unique.h"

namespace orvo {

// Where the worker's outcome goes. Its calls come on the user-interface
// thread, through synchronous calls, while the worker waits for them.
class UploadObserver {
public:
    // The server's answer (or the failure to understand it), to be shown.
    virtual void ShowUploadAlert(const std::string& alertText) = 0;
    // After a failure box: the program ends.
    virtual void CloseAfterUpload() = 0;
    // The reply has been read, or the upload failed: whatever showed its
    // progress goes, before the alert or a failure box.
    virtual void HideUploadProgress() = 0;
    // Where the worker posts the bytes sent (kUploadProgressBegin, then
    // kUploadProgressWork); null for nowhere. Asked when the worker is made.
    virtual HWND UploadProgressWindow() const = 0;

protected:
    ~UploadObserver() = default;
};

// What one upload sends, taken from the request when it starts (nothing
// changes it after intake).
struct UploadJob {
    std::string serverUrl;  // FServerUrl
    std::string fileGuid;   // FFileGuid, exactly as decoded
    std::string localFile;  // FLocalFile, the full local path
};

class TMyThread {
public:
    // observer and uiCalls (a UiThreadCalls window) are used on the
    // user-interface thread only, through synchronous calls. running holds
    // the worker from Start until it frees itself.
    TMyThread(UploadJob job, UploadObserver& observer, HWND uiCalls, std::atomic<TMyThread*>& running);
    TMyThread(const TMyThread&) = delete;
    TMyThread& operator=(const TMyThread&) = delete;

    // Starts the thread. The object frees itself when Execute returns, so
    // the caller keeps the returned thread handle to wait for the end, and
    // never touches the object again.
    UniqueHandle Start();

private:
    static unsigned __stdcall ThreadEntry(void* self);
    void Execute();
    void UploadDocument();
    // The file free and open for reading, others kept from writing it until
    // the upload ends; an empty handle when it stayed busy or cannot be read,
    // and then error says why.
    UniqueFile WaitForReleaseAndOpen(DWORD& error);
    std::string Post(const std::string& url, HANDLE file);

    // Failure: the box names the local document (and the reason, when
    // there is one worth telling), then the program ends.
    void FailWithBox(const wchar_t* text, const std::string& gbkReason = {});
    void ShowAlert(const std::string& alertText);
    // The observer's upload progress goes, before any box or the alert.
    void HideProgress();
    void CloseMainWindow();

    UploadJob job_;
    UploadObserver& observer_;
    HWND uiCalls_;
    HWND progressWindow_;
    std::atomic<TMyThread*>& running_;
};

// The worker's progress, posted to the observer's progress window: the
// body's size, then the bytes sent, each split over wParam (low 32 bits) and
// lParam (high).
inline constexpr UINT kUploadProgressBegin = WM_APP + 0x21;
inline constexpr UINT kUploadProgressWork = WM_APP + 0x22;

// The failure box texts, for the worker's boxes and the tests that press them.
inline constexpr wchar_t kUploadBoxCaption[] = L"同步错误";
inline constexpr wchar_t kUploadFileInUse[] = L"上传文件被占用，请重试。";
inline constexpr wchar_t kUploadFileMissing[] = L"找不到要上传的文件，它可能已被移动或删除。";
inline constexpr wchar_t kUploadNoConnection[] = L"无法连接服务器，请重新上传文件。";
inline constexpr wchar_t kUploadReplyNotUnderstood[] =
    L"无法识别服务器的回复，不能确认文件已上传保存，请重新上传文件。";
// The line that names the local document under a failure text.
std::wstring uploadFailureText(const wchar_t* text, const std::string& localFile);

}  // namespace orvo
