// Printing makes real jobs: the CUPS queue that receives each one proves
// which printer the substitute chose.
//
// How a job's queue is found: cups-pdf names its output after the job's
// title (our document name, made unique per run) and the CUPS job number
// ("...-job_17.pdf", in $HOME/PDF, which Wine sees under Z:); the CUPS web
// interface on localhost:631 lists each queue's jobs by number. Both are
// read from here, so the test needs no Unix process, and it does not matter
// how long the spooler takes: it waits for the file to appear.
#include "test_support.h"

#include <commdlg.h>
#include <docobj.h>
#include <winhttp.h>
#include <winspool.h>
#include <atomic>
#include <thread>

namespace orvo::fake::test {
namespace {

std::wstring pdfFolder() {
    // cups-pdf writes to $HOME/PDF; Wine hands HOME on as WINEHOMEDIR.
    wchar_t buffer[1024];
    DWORD n = ::GetEnvironmentVariableW(L"ORVO_CUPS_PDF_DIR", buffer, ARRAYSIZE(buffer));
    std::wstring dir;
    if (n && n < ARRAYSIZE(buffer)) {
        dir.assign(buffer, n);
    } else if ((n = ::GetEnvironmentVariableW(L"WINEHOMEDIR", buffer, ARRAYSIZE(buffer))) && n < ARRAYSIZE(buffer)) {
        dir.assign(buffer, n);
        if (dir.rfind(L"\\??\\", 0) == 0) dir.erase(0, 4);
        dir += L"\\PDF";
    } else if ((n = ::GetEnvironmentVariableW(L"HOME", buffer, ARRAYSIZE(buffer))) && n < ARRAYSIZE(buffer)) {
        dir = std::wstring(buffer, n) + L"/PDF";
    }
    if (!dir.empty() && dir[0] == L'/') {
        for (auto& c : dir)
            if (c == L'/') c = L'\\';
        dir = L"Z:" + dir;
    }
    return dir;
}

// The CUPS job number of the PDF whose name starts with title, or 0.
int findJob(const std::wstring& title) {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((pdfFolder() + L"\\" + title + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int job = 0;
    do {
        std::wstring name = data.cFileName;
        size_t at = name.rfind(L"job_");
        if (at != std::wstring::npos) job = _wtoi(name.c_str() + at + 4);
    } while (!job && ::FindNextFileW(find, &data));
    ::FindClose(find);
    return job;
}

std::string httpGet(const wchar_t* path) {
    std::string body;
    HINTERNET session = ::WinHttpOpen(L"fake-office-test", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
    HINTERNET connection = session ? ::WinHttpConnect(session, L"localhost", 631, 0) : nullptr;
    HINTERNET request = connection ? ::WinHttpOpenRequest(connection, L"GET", path, nullptr, nullptr, nullptr, 0) : nullptr;
    if (request && ::WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, 0) && ::WinHttpReceiveResponse(request, nullptr)) {
        char buffer[8192];
        DWORD n = 0;
        while (::WinHttpReadData(request, buffer, sizeof buffer, &n) && n) body.append(buffer, n);
    }
    if (request) ::WinHttpCloseHandle(request);
    if (connection) ::WinHttpCloseHandle(connection);
    if (session) ::WinHttpCloseHandle(session);
    return body;
}

// The queue that got the job titled title, waiting up to 20 s for it.
std::string queueOf(const std::wstring& title) {
    int job = 0;
    for (int i = 0; i < 200 && !(job = findJob(title)); ++i) ::Sleep(100);
    if (!job) {
        ADD_FAILURE() << "no cups-pdf output for " << narrow(title) << " in " << narrow(pdfFolder());
        return {};
    }
    // The job list comes 100 to a page, and the machine's job history grows.
    const std::string marker = "</A>-" + std::to_string(job) + "&nbsp;";
    std::string page;
    size_t at = std::string::npos;
    for (int first = 0; at == std::string::npos; first += 100) {
        page = httpGet((L"/jobs?which_jobs=all&first=" + std::to_wstring(first)).c_str());
        if (page.find("</A>-") == std::string::npos) break;  // past the last page
        at = page.find(marker);
    }
    if (at == std::string::npos) {
        ADD_FAILURE() << "CUPS does not list job " << job;
        return {};
    }
    size_t start = page.rfind('>', at - 1);
    return page.substr(start + 1, at - start - 1);
}

// A title no earlier run has used, made of characters cups-pdf keeps.
std::wstring uniqueTitle(const wchar_t* stem, const wchar_t* extension) {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return std::wstring(stem) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(now.dwLowDateTime) + extension;
}

class PrintingTest : public OfficeTest {
protected:
    void SetUp() override {
        OfficeTest::SetUp();
        ASSERT_TRUE(::SetDefaultPrinterW(L"Printer_A"));
    }
    void TearDown() override {
        ::SetDefaultPrinterW(L"Printer_A");
        OfficeTest::TearDown();
    }
    std::wstring printLine(const std::wstring& title, const wchar_t* printer) {
        return L"Print(" + quote(title) + L", " + quote(printer) + L")";
    }
};

TEST_F(PrintingTest, PrintOutUsesTheDefaultPrinterOfTheMoment) {
    auto word = startWord();
    auto documents = path(word.get(), {L"Documents"});
    std::wstring first = uniqueTitle(L"fo-print-a", L".docx");
    ASSERT_TRUE(call(documents.get(), L"Open", {sample(first)}).ok());
    Outcome printed = call(path(word.get(), {L"ActiveDocument"}).get(), L"PrintOut");
    ASSERT_TRUE(printed.ok()) << narrow(printed.description);

    // The program switches the default within its own process, then prints.
    ASSERT_TRUE(::SetDefaultPrinterW(L"Printer_B"));
    std::wstring second = uniqueTitle(L"fo-print-b", L".docx");
    ASSERT_TRUE(call(documents.get(), L"Open", {sample(second)}).ok());
    ASSERT_TRUE(call(path(word.get(), {L"ActiveDocument"}).get(), L"PrintOut").ok());

    EXPECT_TRUE(journalHasInOrder({printLine(first, L"Printer_A"), printLine(second, L"Printer_B")}));
    EXPECT_EQ(queueOf(first), "Printer_A");
    EXPECT_EQ(queueOf(second), "Printer_B");
    call(word.get(), L"Quit", {0});
}

// An embedded document of the given sample, loaded and shown as the print host does.
struct Hosted {
    ComPtr<IOleObject> object;
    ComPtr<IDispatch> document;
    ComPtr<IOleCommandTarget> target;
};

Hosted host(const std::wstring& file) {
    Hosted h;
    ComPtr<ILockBytes> bytes;
    ComPtr<IStorage> storage;
    EXPECT_EQ(::CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put()), S_OK);
    EXPECT_EQ(::StgCreateDocfileOnILockBytes(bytes.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, storage.put()), S_OK);
    HRESULT hr = ::OleCreateFromFile(CLSID_NULL, file.c_str(), IID_IOleObject, OLERENDER_DRAW, nullptr, nullptr,
                                     storage.get(), h.object.putVoid());
    EXPECT_EQ(hr, S_OK);
    if (FAILED(hr)) return h;
    // No in-place site here: the object runs in a window of its own.
    EXPECT_EQ(::OleRun(h.object.get()), S_OK);
    h.object->QueryInterface(IID_IDispatch, h.document.putVoid());
    h.object->QueryInterface(IID_IOleCommandTarget, h.target.putVoid());
    return h;
}

TEST_F(PrintingTest, TheWorkbookPrintsThroughItsApplication) {
    std::wstring title = uniqueTitle(L"fo-print-xl", L".xlsx");
    Hosted h = host(sample(title));
    ASSERT_TRUE(h.document);
    auto active = path(h.document.get(), {L"Application", L"ActiveWorkbook"});
    ASSERT_TRUE(active);
    ASSERT_TRUE(call(active.get(), L"PrintOut").ok());
    EXPECT_TRUE(journalHasInOrder({L"Workbook.Application", L"Application.ActiveWorkbook", L"Workbook.PrintOut()",
                                   printLine(title, L"Printer_A")}));
    EXPECT_EQ(queueOf(title), "Printer_A");
    h.object->Close(OLECLOSE_NOSAVE);
}

TEST_F(PrintingTest, ThePrintCommandWithoutPromptUsesTheDefault) {
    ASSERT_TRUE(::SetDefaultPrinterW(L"Printer_B"));
    std::wstring title = uniqueTitle(L"fo-print-cmd", L".docx");
    Hosted h = host(sample(title));
    ASSERT_TRUE(h.target);
    EXPECT_EQ(h.target->Exec(nullptr, OLECMDID_PRINT, OLECMDEXECOPT_DONTPROMPTUSER, nullptr, nullptr), S_OK);
    EXPECT_TRUE(journalHasInOrder({L"CommandTarget.Exec(6, 2)", printLine(title, L"Printer_B")}));
    EXPECT_EQ(queueOf(title), "Printer_B");
    h.object->Close(OLECLOSE_NOSAVE);
}

// Answers the print dialog from another thread, as a user would: picks a
// printer in its list and presses OK, or presses Cancel.
class DialogUser {
public:
    DialogUser(DWORD uiThread, const wchar_t* printer) : uiThread_(uiThread), printer_(printer ? printer : L"") {
        worker_ = std::thread([this] { run(); });
    }
    ~DialogUser() { worker_.join(); }
    bool answered() const { return answered_; }

private:
    void run() {
        for (int i = 0; i < 300 && !answered_; ++i) {
            ::EnumThreadWindows(uiThread_, &DialogUser::visit, reinterpret_cast<LPARAM>(this));
            if (!answered_) ::Sleep(50);
        }
    }
    static BOOL CALLBACK visit(HWND hwnd, LPARAM lp) {
        auto* self = reinterpret_cast<DialogUser*>(lp);
        wchar_t cls[32];
        if (!::IsWindowVisible(hwnd) || !::GetClassNameW(hwnd, cls, 32) || wcscmp(cls, L"#32770") != 0) return TRUE;
        if (self->printer_.empty()) {
            ::PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
        } else {
            // The printer list of the print dialog (cmb4 in the common dialog templates).
            HWND list = ::GetDlgItem(hwnd, 0x473);
            if (!list) return TRUE;
            LRESULT index = ::SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(self->printer_.c_str()));
            if (index == CB_ERR) return TRUE;
            ::SendMessageW(list, CB_SETCURSEL, index, 0);
            ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(0x473, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
            ::PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
        }
        self->answered_ = true;
        return FALSE;
    }

    DWORD uiThread_;
    std::wstring printer_;
    std::atomic<bool> answered_{false};
    std::thread worker_;
};

TEST_F(PrintingTest, ThePrintCommandAsksWithThePrintDialog) {
    // Not ".doc": the test CUPS types jobs named so as Word files and
    // refuses them (cups-filters' braille.types), whoever prints them.
    std::wstring title = uniqueTitle(L"fo-print-dlg", L".docx");
    Hosted h = host(sample(title));
    ASSERT_TRUE(h.target);
    OLECMD status = {OLECMDID_PRINT, 0};
    ASSERT_EQ(h.target->QueryStatus(nullptr, 1, &status, nullptr), S_OK);
    ASSERT_TRUE(status.cmdf & OLECMDF_SUPPORTED);

    {
        DialogUser user(::GetCurrentThreadId(), L"Printer_B");
        EXPECT_EQ(h.target->Exec(nullptr, OLECMDID_PRINT, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr), S_OK);
        EXPECT_TRUE(user.answered());
    }
    EXPECT_TRUE(journalHasInOrder({L"CommandTarget.Exec(6, 1)", L"PrintDialog(" + quote(title) + L") -> \"Printer_B\"",
                                   printLine(title, L"Printer_B")}));
    EXPECT_EQ(queueOf(title), "Printer_B");
    // The dialog's choice is for that job only: the default stays.
    wchar_t name[256];
    DWORD size = 256;
    ASSERT_TRUE(::GetDefaultPrinterW(name, &size));
    EXPECT_STREQ(name, L"Printer_A");

    {
        DialogUser user(::GetCurrentThreadId(), nullptr);
        EXPECT_EQ(h.target->Exec(nullptr, OLECMDID_PRINT, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr), OLECMDERR_E_CANCELED);
    }
    auto lines = journal();
    EXPECT_EQ(lines.back(), L"PrintDialog(" + quote(title) + L") -> cancelled");
    h.object->Close(OLECLOSE_NOSAVE);
}

}  // namespace
}  // namespace orvo::fake::test
