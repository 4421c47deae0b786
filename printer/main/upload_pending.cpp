// Stand-ins for the upload worker until it lands (it replaces this file).
// StartUpload tells the upload address that it was called, with a GET that
// carries "startupload=1", then reports through the alert view that the
// upload is not in this build yet.
#include "main/frm_Main.h"
#include "support/win_text.h"

namespace orvo {
namespace {

std::function<void(const std::string&)>& uploadAlertView() {
    static std::function<void(const std::string&)> view;
    return view;
}

}  // namespace

void TfrmMain::SetUploadAlertView(std::function<void(const std::string& alertText)> showAlert) {
    uploadAlertView() = std::move(showAlert);
}

void TfrmMain::StartUpload() {
    const std::string url = FServerUrl + "?startupload=1&fileguid=" + FFileGuid;
    try {
        HttpClient client;
        runPumped([&](UiQueue&) { client.get(url); });
    } catch (const std::exception&) {
        // The address may not answer a GET; the call is recorded all the same.
    }
    if (uploadAlertView()) uploadAlertView()(wideToGbk(L"此版本尚未提供文件上传功能"));
}

}  // namespace orvo
