// Stand-ins for the upload worker until it lands (it replaces this file).
// StartUpload, as the worker will, reports later, from the message loop:
// it tells the upload address that it was called, with a GET that carries
// "startupload=1", then says through the alert view that the upload is not
// in this build yet.
#include "main/frm_Main.h"
#include "support/win_text.h"

namespace orvo {
namespace {

struct PendingUpload {
    std::function<void(const std::string&)> alertView;
    std::string url;
};

PendingUpload& pending() {
    static PendingUpload upload;
    return upload;
}

void CALLBACK reportUpload(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    try {
        HttpClient client;
        runPumped([&](UiQueue&) { client.get(pending().url); });
    } catch (const std::exception&) {
        // The address may not answer a GET; the call is recorded all the same.
    }
    if (pending().alertView) pending().alertView(wideToGbk(L"此版本尚未提供文件上传功能"));
}

}  // namespace

void TfrmMain::SetUploadAlertView(std::function<void(const std::string& alertText)> showAlert) {
    pending().alertView = std::move(showAlert);
}

void TfrmMain::StartUpload() {
    pending().url = FServerUrl + "?startupload=1&fileguid=" + FFileGuid;
    ::SetTimer(nullptr, 0, 0, &reportUpload);
}

}  // namespace orvo
