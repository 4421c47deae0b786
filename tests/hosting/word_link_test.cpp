// The Word link against the Office substitute registered from the build
// tree: the receiver's COM contract, the document connection following the
// active document, and the end of a link whose Word has gone.
#include <gtest/gtest.h>

#include <ocidl.h>

#include <string>
#include <vector>

#include "fake_office_control.h"
#include "hosting/word_link.h"
#include "sample_documents.h"
#include "substitute_registration.h"
#include "support/portable/app_error.h"
#include "support/win32/dispatch.h"
#include "support/win32/unique.h"
#include "support/win32/win_text.h"

using namespace orvo;

namespace {

class WordLinkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { fake::registerOfficeSubstitute(); }

    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(ole.result()));
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"orvo-word-link-" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(folder.c_str(), nullptr);
    }

    void TearDown() override {
        for (const auto& file : files) ::DeleteFileW(file.c_str());
        ::RemoveDirectoryW(folder.c_str());
    }

    std::string sample(const std::wstring& name) {
        const std::wstring path = folder + L"\\" + name;
        fake::writeSample(path, fake::SampleKind::Document);
        files.push_back(path);
        return wideToGbk(path);
    }

    // Acts as the user of Word, through the substitute's control window.
    static LRESULT user(UINT message, WPARAM wParam = 0) {
        const std::wstring title =
            std::wstring(ORVO_FAKE_OFFICE_CONTROL_CLASS) + L" " + std::to_wstring(::GetCurrentProcessId());
        HWND control = ::FindWindowW(ORVO_FAKE_OFFICE_CONTROL_CLASS, title.c_str());
        EXPECT_NE(control, nullptr);
        return ::SendMessageW(control, message, wParam, 0);
    }

    // Records which handler ran, with its sender.
    struct Recorder {
        std::vector<std::string> calls;
        std::vector<TWordObject*> senders;
        TNotifyEvent handler(const char* name) {
            return [this, name](TWordObject* sender) {
                calls.push_back(name);
                senders.push_back(sender);
            };
        }
        void install(TWordObject& link) {
            link.SetOnQuit(handler("Quit"));
            link.SetOnDocumentChange(handler("DocumentChange"));
            link.SetOnDocumentNew(handler("New"));
            link.SetOnDocumentOpen(handler("Open"));
            link.SetOnDocumentClose(handler("Close"));
        }
    };

    OleScope ole;
    std::wstring folder;
    std::vector<std::wstring> files;
};

TEST_F(WordLinkTest, ReceiverAnswersAsItsContractSays) {
    TWordObject link;
    // A second receiver on the same Word, to call directly.
    auto* sink = new TWordEventSink(&link, ComPtr<IDispatch>(link.WordApp()));
    Recorder recorder;
    sink->OnQuit = recorder.handler("Quit");
    sink->OnDocumentOpen = recorder.handler("Open");

    const IID appEvents = kIidWordApplicationEvents, docEvents = kIidWordDocumentEvents;
    for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &appEvents, &docEvents}) {
        void* out = nullptr;
        EXPECT_EQ(sink->QueryInterface(*iid, &out), S_OK);
        EXPECT_EQ(out, static_cast<IDispatch*>(sink));
    }
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(sink->QueryInterface(IID_IConnectionPointContainer, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sink->AddRef(), 2u);
        EXPECT_EQ(sink->Release(), 1u);
    }
    UINT count = 7;
    EXPECT_EQ(sink->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(sink->GetIDsOfNames(IID_NULL, nullptr, 0, 0, nullptr), E_NOTIMPL);

    // Every DISPID answers S_OK; only installed handlers run, with the link as sender.
    DISPPARAMS none{};
    for (DISPID id : {1, 2, 3, 4, 5, 6, 7, 1000})
        EXPECT_EQ(sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK) << id;
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"Quit", "Open"}));
    EXPECT_EQ(recorder.senders, (std::vector<TWordObject*>{&link, &link}));

    // Once orphaned, a late event reaches nothing.
    sink->orphan();
    EXPECT_EQ(sink->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(recorder.calls.size(), 2u);
    TWordEventSink::retire(sink);
}

TEST_F(WordLinkTest, DocumentEventsFollowTheActiveDocument) {
    // The recorder outlives the link: ending the link quits Word, whose
    // Close and Quit still reach the installed handlers.
    Recorder recorder;
    TWordObject link;
    recorder.install(link);
    link.SetCaption("orvo ZUN!");
    link.SetVisible(true);
    Dispatch word(ComPtr<IDispatch>(link.WordApp()));
    EXPECT_STREQ(word.get(L"Caption").get()->bstrVal, L"orvo ZUN!");

    // Word's order: a document's Open comes before DocumentChange, so the
    // receiver, which moves to the active document there, never sees it.
    link.OpenFile(sample(L"first.docx"));
    link.OpenFile(sample(L"second.docx"));
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"DocumentChange", "DocumentChange"}));
    EXPECT_EQ(word.get(L"NormalTemplate").get()->vt, VT_DISPATCH);

    // Two DocumentChanges in a row left the connection on the second
    // document only: closing it reports one Close.
    recorder.calls.clear();
    EXPECT_EQ(user(ORVO_FAKE_OFFICE_CLOSE, 0), ORVO_FAKE_OFFICE_DONE);
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"Close", "DocumentChange"}));
    // Now on the first: a new document moves it again, in time for New.
    recorder.calls.clear();
    EXPECT_EQ(user(ORVO_FAKE_OFFICE_NEW), ORVO_FAKE_OFFICE_DONE);
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"DocumentChange", "New"}));

    // A missing file raises Word's error and leaves the link usable.
    EXPECT_THROW(link.OpenFile(wideToGbk(folder + L"\\missing.docx")), AppError);
    EXPECT_NO_THROW(link.SetVisible(true));
}

TEST_F(WordLinkTest, EndsQuietlyAfterTheUserHasQuitWord) {
    Recorder recorder;
    {
        TWordObject link;
        recorder.install(link);
        link.OpenFile(sample(L"quit.docx"));
        recorder.calls.clear();
        EXPECT_EQ(user(ORVO_FAKE_OFFICE_QUIT, 0), ORVO_FAKE_OFFICE_DONE);
        // Quitting Word closes its document first, then quits.
        EXPECT_EQ(recorder.calls, (std::vector<std::string>{"Close", "Quit"}));
    }  // destroyed after Word has gone: its own Quit fails and is ignored
    EXPECT_EQ(recorder.calls.size(), 2u);

    // A link ended while Word runs quits it; the Quit it raises arrives
    // while the link ends, and nothing after.
    recorder.calls.clear();
    {
        TWordObject link;
        recorder.install(link);
    }
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"Quit"}));
    EXPECT_EQ(user(ORVO_FAKE_OFFICE_QUERY), ORVO_FAKE_OFFICE_NOTHING);

    // A Word that crashes raises nothing: the link tells it from a running
    // one by the dead server's answer, and still ends quietly.
    recorder.calls.clear();
    {
        TWordObject link;
        recorder.install(link);
        EXPECT_TRUE(link.EventsConnected());
        link.OpenFile(sample(L"crash.docx"));
        EXPECT_TRUE(link.StillRunning());
        recorder.calls.clear();
        EXPECT_EQ(user(ORVO_FAKE_OFFICE_CRASH), ORVO_FAKE_OFFICE_DONE);
        EXPECT_FALSE(link.StillRunning());
        EXPECT_THROW(link.SetVisible(true), AppError);
    }
    EXPECT_TRUE(recorder.calls.empty());
}

}  // namespace
