// The print host's container with Word and Excel documents, served by the
// Office substitute registered from the build tree. The substitute journals
// every call it receives; the tests read that journal.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "container_test_support.h"
#include "fake_office_control.h"
#include "hosting/frm_xlsOLE.h"
#include "sample_documents.h"
#include "substitute_registration.h"
#include "support/portable/app_error.h"
#include "support/portable/container_stream.h"
#include "support/win32/dispatch.h"
#include "support/win32/win_text.h"

using namespace orvo;
using namespace orvo::test;

namespace {

constexpr CLSID kWordDocument8 = {0x00020906, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr CLSID kWordDocument12 = {0xF4754C9B, 0x64F5, 0x4B40, {0x8A, 0xF4, 0x67, 0x97, 0x32, 0xAC, 0x06, 0x07}};
constexpr CLSID kExcelSheet8 = {0x00020820, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

std::wstring nameOf(const Dispatch& object) {
    UniqueVariant name = object.get(L"Name");
    return name.get()->vt == VT_BSTR ? name.get()->bstrVal : L"";
}

// Answers the print dialog the server shows in this process with Cancel.
class DialogCanceller {
public:
    DialogCanceller()
        : thread_([this] {
              while (!stop_) {
                  ::EnumWindows(
                      [](HWND window, LPARAM self) WINAPI -> BOOL {
                          DWORD process = 0;
                          ::GetWindowThreadProcessId(window, &process);
                          wchar_t cls[16] = {};
                          ::GetClassNameW(window, cls, 16);
                          if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window) &&
                              ::wcscmp(cls, L"#32770") == 0) {
                              ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
                              ++reinterpret_cast<DialogCanceller*>(self)->cancelled_;
                          }
                          return TRUE;
                      },
                      reinterpret_cast<LPARAM>(this));
                  ::Sleep(50);
              }
          }) {}
    ~DialogCanceller() {
        stop_ = true;
        thread_.join();
    }
    int cancelled() const { return cancelled_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> cancelled_{0};
    std::thread thread_;
};

class OfficeContainerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { fake::registerOfficeSubstitute(); }

    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(ole.result()));
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = tempPath(L"orvo-container-" + utf8ToWide(info->name()) + L"-" +
                          std::to_wstring(::GetCurrentProcessId()));
        ::CreateDirectoryW(folder.c_str(), nullptr);
        journalPath = folder + L"\\journal.txt";
        ::SetEnvironmentVariableW(ORVO_FAKE_OFFICE_JOURNAL_ENV, journalPath.c_str());
        RECT mainRect{100, 100, 606, 418};
        host = std::make_unique<TfrmXlsOLE>(mainRect, nullptr);
    }

    void TearDown() override {
        host.reset();
        ::SetEnvironmentVariableW(ORVO_FAKE_OFFICE_JOURNAL_ENV, nullptr);
        WIN32_FIND_DATAW found;
        HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do ::DeleteFileW((folder + L"\\" + found.cFileName).c_str());
            while (::FindNextFileW(search, &found));
            ::FindClose(search);
        }
        ::RemoveDirectoryW(folder.c_str());
    }

    OleDocumentContainer& container() { return host->OleContainer(); }

    std::wstring sample(const std::wstring& name, const std::wstring& text = {}) {
        std::wstring path = folder + L"\\" + name;
        fake::writeSample(path, fake::SampleKind::Document, {}, text);
        return path;
    }
    // The report as the download hands it over: a container stream.
    std::string streamOfSample(const std::wstring& name, const std::wstring& text = {}) {
        return writeContainerStream(readFile(sample(name, text)));
    }

    std::vector<std::string> journal() const {
        std::vector<std::string> lines;
        std::istringstream text(readFile(journalPath));
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }
    bool journalHasInOrder(std::initializer_list<std::string> wanted) const {
        const auto lines = journal();
        size_t at = 0;
        for (const auto& line : wanted) {
            while (at < lines.size() && lines[at] != line) ++at;
            if (at++ == lines.size()) return false;
        }
        return true;
    }
    int journalCount(const std::string& prefix) const {
        int n = 0;
        for (const auto& l : journal()) n += l.rfind(prefix, 0) == 0;
        return n;
    }
    std::string journalText() const { return readFile(journalPath); }

    OleScope ole;
    std::wstring folder;
    std::wstring journalPath;
    std::unique_ptr<TfrmXlsOLE> host;
};

TEST_F(OfficeContainerTest, DocAndXlsReportsLoadFromTheStreamAndPrintThroughTheirAutomationObject) {
    struct Case {
        const wchar_t* file;
        const wchar_t* active;
    };
    for (const Case& c : {Case{L"20170315.doc", L"ActiveDocument"}, Case{L"20170316.xls", L"ActiveWorkBook"}}) {
        SCOPED_TRACE(wideToUtf8(c.file));
        host->showAtZeroSize();
        container().loadFromStream(streamOfSample(c.file));
        container().activate(OLEIVERB_SHOW);
        EXPECT_GE(container().state(), OleContainerState::InPlaceActive);

        Dispatch active = Dispatch(container().automationObject()).object(L"Application").object(c.active);
        EXPECT_EQ(nameOf(active), c.file);
        active.call(L"PrintOut");
    }
    EXPECT_TRUE(journalHasInOrder({"Document.PrintOut()", "Workbook.PrintOut()"})) << journalText();
    EXPECT_EQ(journalCount("Print(\"20170315.doc\""), 1) << journalText();
    EXPECT_EQ(journalCount("Print(\"20170316.xls\""), 1) << journalText();
}

TEST_F(OfficeContainerTest, DocxAndXlsxReportsAreCreatedFromTheirFilesAndActivatedInTheContainer) {
    struct Case {
        const wchar_t* file;
        const wchar_t* active;
    };
    for (const Case& c : {Case{L"weekly report.docx", L"ActiveDocument"}, Case{L"figures.xlsx", L"ActiveWorkBook"}}) {
        SCOPED_TRACE(wideToUtf8(c.file));
        host->showAtZeroSize();
        container().createFromFile(wideToGbk(sample(c.file)));
        container().activate(OLEIVERB_PRIMARY);
        EXPECT_GE(container().state(), OleContainerState::InPlaceActive);

        // The server's window sits inside the container, over its client area.
        HWND page = ::GetWindow(container().hwnd(), GW_CHILD);
        ASSERT_NE(page, nullptr);
        RECT pageRect{}, client{};
        ::GetClientRect(page, &pageRect);
        ::GetClientRect(container().hwnd(), &client);
        EXPECT_EQ(pageRect.right, client.right);
        EXPECT_EQ(pageRect.bottom, client.bottom);

        Dispatch active = Dispatch(container().automationObject()).object(L"Application").object(c.active);
        EXPECT_EQ(nameOf(active), c.file);
    }
}

TEST_F(OfficeContainerTest, PrintWithTheHostDialogReachesTheServersPrintCommand) {
    container().loadFromStream(streamOfSample(L"dialog.doc"));
    container().activate(OLEIVERB_SHOW);
    DialogCanceller canceller;
    EXPECT_TRUE(container().printWithHostDialog());  // a cancelled dialog is the user's answer, not an error
    EXPECT_GE(canceller.cancelled(), 1);
    EXPECT_TRUE(journalHasInOrder({"CommandTarget.QueryStatus(6)", "CommandTarget.Exec(6, 1)",
                                   "PrintDialog(\"dialog.doc\") -> cancelled"}))
        << journalText();
}

TEST_F(OfficeContainerTest, SaveAsDocumentWritesACompoundFileOfTheDocumentsClass) {
    container().loadFromStream(streamOfSample(L"kept.doc", L"the doc's own words"));
    const std::wstring copy = folder + L"\\copy.doc";
    container().saveAsDocument(wideToGbk(copy));
    EXPECT_TRUE(::IsEqualCLSID(classOfFile(copy), kWordDocument8)) << guidText(classOfFile(copy));
    EXPECT_NE(readFile(copy).find("the doc's own words"), std::string::npos);
    EXPECT_TRUE(journalHasInOrder({"PersistStorage.Save(False)", "PersistStorage.SaveCompleted"})) << journalText();

    // A target that cannot be replaced keeps what it held.
    container().createFromFile(wideToGbk(sample(L"kept.docx")));
    {
        UniqueFile busy(::CreateFileW(copy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(busy);
        EXPECT_THROW(container().saveAsDocument(wideToGbk(copy)), std::exception);
    }
    EXPECT_TRUE(::IsEqualCLSID(classOfFile(copy), kWordDocument8));
    container().saveAsDocument(wideToGbk(copy));
    EXPECT_TRUE(::IsEqualCLSID(classOfFile(copy), kWordDocument12)) << guidText(classOfFile(copy));
    WIN32_FIND_DATAW found;
    HANDLE leftovers = ::FindFirstFileW((folder + L"\\orv*.tmp").c_str(), &found);
    EXPECT_EQ(leftovers, INVALID_HANDLE_VALUE);  // no half-written copies left behind
    if (leftovers != INVALID_HANDLE_VALUE) ::FindClose(leftovers);
}

TEST_F(OfficeContainerTest, CloseSavesAnEditedDocumentIntoTheContainer) {
    container().loadFromStream(streamOfSample(L"edited.doc", L"first line"));
    container().activate(OLEIVERB_SHOW);
    HWND control = ::FindWindowW(ORVO_FAKE_OFFICE_CONTROL_CLASS, nullptr);
    ASSERT_NE(control, nullptr);
    ASSERT_EQ(::SendMessageW(control, ORVO_FAKE_OFFICE_EDIT, 0, 0), ORVO_FAKE_OFFICE_DONE);

    container().close();
    // The server saves into the container's own storage through the site.
    EXPECT_TRUE(journalHasInOrder({"Control.Edit", "OleObject.Close(0)", "PersistStorage.Save(True)",
                                   "PersistStorage.SaveCompleted"}))
        << journalText();
    EXPECT_FALSE(container().empty());
    EXPECT_LT(container().state(), OleContainerState::InPlaceActive);

    // The closed object is still there, edit and all.
    const std::wstring copy = folder + L"\\after close.doc";
    container().saveAsDocument(wideToGbk(copy));
    const std::string saved = readFile(copy);
    EXPECT_NE(saved.find("first line"), std::string::npos);
    EXPECT_NE(saved.find("Edited at"), std::string::npos);
}

TEST_F(OfficeContainerTest, ABorrowedReportIsReadWhereItLiesAndNeverWritten) {
    const std::string stream = streamOfSample(L"borrowed.doc", L"first line");
    const std::string before = stream;
    container().loadFromBorrowedStream(stream);
    container().activate(OLEIVERB_SHOW);
    HWND control = ::FindWindowW(ORVO_FAKE_OFFICE_CONTROL_CLASS, nullptr);
    ASSERT_NE(control, nullptr);
    ASSERT_EQ(::SendMessageW(control, ORVO_FAKE_OFFICE_EDIT, 0, 0), ORVO_FAKE_OFFICE_DONE);
    // Saving the edit into the container writes to a copy of its own.
    container().close();
    EXPECT_TRUE(journalHasInOrder({"OleObject.Close(0)", "PersistStorage.Save(True)"})) << journalText();
    EXPECT_EQ(stream, before);
    const std::wstring copy = folder + L"\\borrowed copy.doc";
    container().saveAsDocument(wideToGbk(copy));
    EXPECT_NE(readFile(copy).find("Edited at"), std::string::npos);
    container().destroyObject();
    EXPECT_TRUE(container().empty());
}

TEST_F(OfficeContainerTest, ASecondReportReplacesTheFirstAndAFailedOneLeavesNothing) {
    container().loadFromStream(streamOfSample(L"first.doc"));
    container().activate(OLEIVERB_SHOW);
    container().loadFromStream(streamOfSample(L"second.xls"));
    container().activate(OLEIVERB_SHOW);
    // The first went unsaved and let go of our site before the second came.
    EXPECT_TRUE(journalHasInOrder({"OleObject.Close(1)", "OleObject.SetClientSite(Nothing)",
                                   "Create(\"Excel.Sheet.8\")"}))
        << journalText();
    EXPECT_EQ(nameOf(Dispatch(container().automationObject()).object(L"Application").object(L"ActiveWorkBook")),
              L"second.xls");
    EXPECT_EQ(::GetWindow(::GetWindow(container().hwnd(), GW_CHILD), GW_HWNDNEXT), nullptr);  // one server window

    std::string stream = streamOfSample(L"third.doc");
    stream[0] = 'X';
    EXPECT_THROW(container().loadFromStream(stream), AppError);
    EXPECT_TRUE(container().empty());
    EXPECT_EQ(::GetWindow(container().hwnd(), GW_CHILD), nullptr);
    EXPECT_EQ(journalCount("OleObject.Close(1)"), 2) << journalText();

    std::string document = readFile(sample(L"fourth.doc"));
    document.resize(document.size() / 2);  // a download cut off mid-document
    EXPECT_THROW(container().loadFromStream(writeContainerStream(document)), std::exception);
    EXPECT_TRUE(container().empty());
}

TEST_F(OfficeContainerTest, ASiteTheServerKeepsAnswersSafelyOnceTheContainerIsGone) {
    container().loadFromStream(streamOfSample(L"late.doc"));
    container().activate(OLEIVERB_SHOW);
    ComPtr<IOleClientSite> site;
    ASSERT_EQ(container().automationObject().tryQuery<IOleObject>()->GetClientSite(site.put()), S_OK);
    ASSERT_TRUE(site);
    host.reset();

    EXPECT_EQ(site->SaveObject(), E_UNEXPECTED);
    auto inPlace = site.tryQuery<IOleInPlaceSite>();
    ASSERT_TRUE(inPlace);
    HWND window = nullptr;
    EXPECT_TRUE(FAILED(inPlace->GetWindow(&window)));
    EXPECT_EQ(inPlace->CanInPlaceActivate(), S_FALSE);
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO info{sizeof info};
    EXPECT_TRUE(FAILED(inPlace->GetWindowContext(&frame, &document, &position, &clip, &info)));
    EXPECT_EQ(frame, nullptr);
    auto sink = site.tryQuery<IAdviseSink>();
    ASSERT_TRUE(sink);
    sink->OnViewChange(DVASPECT_CONTENT, -1);
    sink->OnClose();
}

TEST_F(OfficeContainerTest, DestroyingTheHostWindowLetsTheObjectGoFirst) {
    container().loadFromStream(streamOfSample(L"window.doc"));
    container().activate(OLEIVERB_SHOW);
    ::DestroyWindow(host->hwnd());
    EXPECT_TRUE(journalHasInOrder({"InPlaceObject.InPlaceDeactivate", "OleObject.Close(1)",
                                   "OleObject.SetClientSite(Nothing)"}))
        << journalText();
    EXPECT_TRUE(container().empty());
    EXPECT_THROW(container().activate(OLEIVERB_SHOW), AppError);
}

}  // namespace
