#include "main/server_trust.h"

#include <string>
#include <vector>

#include "core/server_origin.h"
#include "resources/resource_ids.h"
#include "support/win32/helpdesk_log.h"
#include "support/win32/server_lists.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

constexpr wchar_t kCaption[] = L"orvo_Printer";

const wchar_t* purposeText(ServerPurpose purpose) {
    switch (purpose) {
    case ServerPurpose::DownloadReport: return L"下载报表";
    case ServerPurpose::UploadDocument: return L"上传您的文档";
    case ServerPurpose::ReadSealList: return L"读取印章列表";
    }
    return L"";
}

// One line per server: its origin and what the page wants from it.
std::wstring describeServers(const std::vector<RequestedServer>& servers) {
    std::wstring text;
    for (const RequestedServer& server : servers) {
        if (!text.empty()) text += L"\r\n";
        text += gbkToWide(server.origin.text()) + L"    ";
        for (size_t i = 0; i < server.purposes.size(); ++i) {
            if (i > 0) text += L"、";
            text += purposeText(server.purposes[i]);
        }
    }
    return text;
}

std::vector<std::string> originTexts(const std::vector<RequestedServer>& servers) {
    std::vector<std::string> texts;
    for (const RequestedServer& server : servers) texts.push_back(server.origin.text());
    return texts;
}

struct Answer {
    bool allowed = false;
    bool remember = false;
};

struct Question {
    std::wstring serverList;
    Answer answer;
};

INT_PTR CALLBACK questionProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG: {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lp);
        auto* question = reinterpret_cast<Question*>(lp);
        ::SetDlgItemTextW(dialog, IDC_TRUST_SERVER_LIST, question->serverList.c_str());
        ::SetFocus(::GetDlgItem(dialog, IDCANCEL));
        return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
        const int id = LOWORD(wp);
        if (id != IDC_TRUST_ALLOW && id != IDCANCEL) return FALSE;
        auto* question = reinterpret_cast<Question*>(::GetWindowLongPtrW(dialog, DWLP_USER));
        question->answer.allowed = id == IDC_TRUST_ALLOW;
        question->answer.remember = ::IsDlgButtonChecked(dialog, IDC_TRUST_REMEMBER) == BST_CHECKED;
        ::EndDialog(dialog, id);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

// Refused when the question cannot be shown.
Answer ask(const std::vector<RequestedServer>& servers, HWND owner) {
    Question question{describeServers(servers), {}};
    const INT_PTR shown = ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_TRUST_SERVERS), owner,
                                            questionProc, reinterpret_cast<LPARAM>(&question));
    if (shown <= 0) return {};
    return question.answer;
}

void logServers(const std::vector<RequestedServer>& servers, const char* verdict) {
    for (const RequestedServer& server : servers) helpdesk::log("trust: " + server.origin.text() + " " + verdict);
}

// A choice that cannot be stored still holds for this run.
void remember(const wchar_t* listKey, const std::vector<RequestedServer>& servers) {
    try {
        addToUserServerList(listKey, originTexts(servers));
    } catch (const std::exception&) {
    }
}

}  // namespace

bool confirmRequestedServers(std::string_view mode, const RequestFields& fields, HWND owner) {
    const std::vector<RequestedServer> requested =
        serversOfRequest(mode, fields.FFileUrl, fields.FServerUrl, fields.FFileType);
    if (requested.empty()) return true;

    std::vector<std::string> trusted = readMachineServerList();
    for (std::string& entry : readUserServerList(kUserTrustedServersKey)) trusted.push_back(std::move(entry));
    const std::vector<std::string> refusedBefore = readUserServerList(kUserRefusedServersKey);
    std::vector<RequestedServer> unknown, refused;
    for (const RequestedServer& server : requested) {
        if (originListCovers(trusted, server.origin)) {
            helpdesk::log("trust: " + server.origin.text() + " is on a list of trusted servers");
            continue;
        }
        unknown.push_back(server);
        if (originListCovers(refusedBefore, server.origin)) refused.push_back(server);
    }
    if (unknown.empty()) return true;
    if (!refused.empty()) {
        logServers(refused, "was refused before: the run ends");
        const std::wstring text = L"您已拒绝访问以下服务器，本次请求不会执行：\r\n\r\n" + describeServers(refused);
        helpdesk::showRunEndingBox(owner, text, kCaption, MB_OK | MB_ICONWARNING);
        return false;
    }

    const Answer answer = ask(unknown, owner);
    logServers(unknown, answer.allowed ? (answer.remember ? "allowed by the user, remembered" : "allowed by the user")
                                       : (answer.remember ? "refused by the user, remembered" : "refused by the user"));
    if (answer.remember) remember(answer.allowed ? kUserTrustedServersKey : kUserRefusedServersKey, unknown);
    return answer.allowed;
}

}  // namespace orvo
