// The main window's part of the USB-key login: ask the user, naming the
// server, then post token and digest there, and end the program whatever
// happens. Any web page can open a login link with an address of its own
// choosing, so the user sees where the key's signature goes and may cancel.
#include "application.h"
#include "core/login_request.h"
#include "main/frm_Main.h"
#include "support/net/http_failure_log.h"
#include "support/win32/helpdesk_log.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

bool confirmLogin(HWND owner, const std::string& address) {
    const std::string server = loginServerName(address).value_or(address);
    const std::wstring text = L"请点击确定（OK）进行登录\n登录服务器：" + gbkToWide(server);
    return ::MessageBoxW(owner, text.c_str(), kApplicationTitle, MB_OKCANCEL) == IDOK;
}

HttpSettings loginSettings() {
    HttpSettings settings;
    settings.accept = kDefaultAccept;
    settings.userAgent = kDefaultUserAgent;
    settings.connectTimeoutMs = 0;
    settings.http10 = true;
    return settings;
}

}  // namespace

void TfrmMain::PostLogin(const std::string& digest, const std::string& address, const std::string& token) {
    const std::vector<FormField> fields{{"Digest", digest}, {"Token", token}};
    if (!confirmLogin(hwnd(), address)) {
        helpdesk::log("login: cancelled by the user");
    } else {
        helpdesk::logServer("login", address);
        try {
            // A client of its own: no cookies from the report download, and
            // the reply is read but means nothing to us.
            runPumped([&](UiQueue& queue) {
                HttpClient client(loginSettings());
                client.postForm(address, fields, forwardToUi(queue, {}));
            });
            helpdesk::log("login: posted");
        } catch (const HttpError& e) {
            helpdesk::log("login: " + httpFailureForLog(e));
            std::wstring text = L"无法连接服务器，请重新登录。";
            if (e.kind() == HttpError::Kind::Insecure) text += L"\n" + gbkToWide(e.what());
            helpdesk::showRunEndingBox(hwnd(), text, L"登录错误", MB_OK | MB_ICONERROR);
        } catch (const WaitCancelled&) {
            // The program is already ending.
        }
    }
    ShutDown();
}

}  // namespace orvo
