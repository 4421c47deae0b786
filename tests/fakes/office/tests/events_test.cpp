// Word's events through connection points, as the Word link receives them:
// from the program's own calls and from the user's actions, which tests
// make through the control window.
#include "fake_office_control.h"
#include "support/win32/unique.h"
#include "test_support.h"

namespace orvo::fake::test {
namespace {

class EventsTest : public OfficeTest {
protected:
    void SetUp() override {
        OfficeTest::SetUp();
        word = startWord();
        ASSERT_TRUE(word);
        appCookie = advise(word.get(), kDiidApplicationEvents, &appSink);
        // As the Word link does: after each DocumentChange, move the document
        // events to the document that is now active.
        appSink.onEvent = [this](DISPID id) {
            if (id != kEventDocumentChange) return;
            if (doc && docCookie) unadvise(doc.get(), kDiidDocumentEvents, docCookie);
            docCookie = 0;
            Outcome active = get(word.get(), L"ActiveDocument");
            if (!active.ok()) return;
            doc = active.object();
            docCookie = advise(doc.get(), kDiidDocumentEvents, &docSink);
        };
    }

    void TearDown() override {
        if (word) call(word.get(), L"Quit", {0, Arg::empty(), Arg::empty()});
        doc.reset();
        word.reset();
        OfficeTest::TearDown();
    }

    Outcome open(const std::wstring& file) {
        return call(path(word.get(), {L"Documents"}).get(), L"Open",
                    {file, false, false, false, L"", L"", true, L"", L"", 0});
    }

    // Sends a control message as a test process would (its effects and
    // events happen on this thread, inside the call).
    LRESULT send(UINT message, WPARAM wParam = 0) {
        HWND control = controlWindow();
        EXPECT_NE(control, nullptr);
        return ::SendMessageW(control, message, wParam, 0);
    }

    ComPtr<IDispatch> word;
    ComPtr<IDispatch> doc;
    EventSink appSink, docSink;
    DWORD appCookie = 0, docCookie = 0;
};

TEST_F(EventsTest, OpeningFiresOpenThenDocumentChangeOnTheCallingThread) {
    ASSERT_TRUE(open(sample(L"first.docx")).ok());
    EXPECT_EQ(appSink.events, std::vector<DISPID>({kEventDocumentChange}));
    // As in Word, the document's Open came before DocumentChange, so the
    // document events attached there missed it.
    EXPECT_TRUE(docSink.events.empty());
    for (DWORD t : appSink.threads) EXPECT_EQ(t, ::GetCurrentThreadId());
    EXPECT_TRUE(journalHasInOrder({L"Event Document.Open", L"Event Application.DocumentChange"}));

    // A second document moves the active document and the connection.
    ASSERT_TRUE(open(sample(L"second.docx")).ok());
    EXPECT_EQ(get(doc.get(), L"Name").text(), L"second.docx");
    EXPECT_EQ(appSink.events.size(), 2u);
    // Opening the same file again without Revert only activates it.
    ASSERT_TRUE(call(path(word.get(), {L"Documents"}).get(), L"Open", {file(L"first.docx")}).ok());
    EXPECT_EQ(get(doc.get(), L"Name").text(), L"first.docx");
    EXPECT_EQ(get(path(word.get(), {L"Documents"}).get(), L"Count").number(), 2);
}

TEST_F(EventsTest, UserActionsThroughTheControlWindow) {
    std::wstring file = sample(L"user.docx", L"Original text");
    ASSERT_TRUE(open(file).ok());
    docSink.events.clear();
    appSink.events.clear();

    EXPECT_EQ(send(ORVO_FAKE_OFFICE_QUERY), 1);
    EXPECT_EQ(send(ORVO_FAKE_OFFICE_EDIT), ORVO_FAKE_OFFICE_DONE);
    EXPECT_FALSE(get(doc.get(), L"Saved").flag());
    EXPECT_EQ(send(ORVO_FAKE_OFFICE_SAVE), ORVO_FAKE_OFFICE_DONE);
    EXPECT_TRUE(get(doc.get(), L"Saved").flag());
    DocumentContent written = readDocumentFile(file, Suite::Word);
    EXPECT_NE(written.text.find(L"Original text"), std::wstring::npos);
    EXPECT_NE(written.text.find(L"Edited at"), std::wstring::npos);
    EXPECT_TRUE(docSink.events.empty());  // saving fires none of these events

    EXPECT_EQ(send(ORVO_FAKE_OFFICE_NEW), ORVO_FAKE_OFFICE_DONE);
    EXPECT_EQ(appSink.events, std::vector<DISPID>({kEventDocumentChange}));
    EXPECT_EQ(docSink.events, std::vector<DISPID>({kEventNew}));
    EXPECT_EQ(get(doc.get(), L"Name").text(), L"Document1");

    appSink.events.clear();
    EXPECT_EQ(send(ORVO_FAKE_OFFICE_ACTIVATE, 1), ORVO_FAKE_OFFICE_DONE);
    EXPECT_EQ(appSink.events, std::vector<DISPID>({kEventDocumentChange}));
    EXPECT_EQ(get(doc.get(), L"Name").text(), L"user.docx");
    EXPECT_EQ(send(ORVO_FAKE_OFFICE_ACTIVATE, 9), ORVO_FAKE_OFFICE_NOTHING);

    docSink.events.clear();
    appSink.events.clear();
    EXPECT_EQ(send(ORVO_FAKE_OFFICE_CLOSE, 0), ORVO_FAKE_OFFICE_DONE);
    EXPECT_EQ(docSink.events, std::vector<DISPID>({kEventClose}));
    EXPECT_EQ(appSink.events, std::vector<DISPID>({kEventDocumentChange}));
    EXPECT_EQ(send(ORVO_FAKE_OFFICE_QUERY), 1);

    // Quitting with the blank document unsaved: its Close, then Quit.
    docSink.events.clear();
    appSink.events.clear();
    EXPECT_EQ(send(ORVO_FAKE_OFFICE_QUIT, 0), ORVO_FAKE_OFFICE_DONE);
    EXPECT_EQ(docSink.events, std::vector<DISPID>({kEventClose}));
    EXPECT_EQ(appSink.events, std::vector<DISPID>({kEventQuit}));
    EXPECT_EQ(send(ORVO_FAKE_OFFICE_QUERY), ORVO_FAKE_OFFICE_NOTHING);
    EXPECT_EQ(send(ORVO_FAKE_OFFICE_SAVE), ORVO_FAKE_OFFICE_NOTHING);
    EXPECT_TRUE(journalHasInOrder({L"Control.Save", L"Control.New", L"Event Document.New", L"Control.Close(0)",
                                   L"Event Document.Close", L"Control.Quit(0)", L"Event Application.Quit"}));
}

TEST_F(EventsTest, PostedQuitArrivesThroughTheMessageLoop) {
    ASSERT_TRUE(open(sample(L"posted.docx")).ok());
    appSink.events.clear();
    ASSERT_TRUE(::PostMessageW(controlWindow(), ORVO_FAKE_OFFICE_QUIT, 1, 0));
    EXPECT_TRUE(appSink.events.empty());  // nothing happens until the thread serves its queue
    pump(2000, [&] { return !appSink.events.empty(); });
    EXPECT_EQ(appSink.events, std::vector<DISPID>({kEventQuit}));
    EXPECT_EQ(appSink.threads.back(), ::GetCurrentThreadId());
}

TEST_F(EventsTest, QuitFromAHandlerDuringQuitEndsWordOnce) {
    ASSERT_TRUE(open(sample(L"reentrant.docx")).ok());
    appSink.events.clear();
    HRESULT nested = S_OK;
    appSink.onEvent = [&](DISPID id) {
        // The seal window ends the link from its Quit handler, which quits again.
        if (id == kEventQuit) nested = call(word.get(), L"Quit", {0, Arg::empty(), Arg::empty()}).hr;
    };
    EXPECT_TRUE(call(word.get(), L"Quit", {0, Arg::empty(), Arg::empty()}).ok());
    EXPECT_EQ(appSink.events, std::vector<DISPID>({kEventQuit}));
    EXPECT_EQ(nested, HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE));
    EXPECT_EQ(call(word.get(), L"Quit", {0, Arg::empty(), Arg::empty()}).hr, HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE));
    EXPECT_EQ(appSink.events.size(), 1u);
    word.reset();
}

TEST_F(EventsTest, ConnectionPointRules) {
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(word->QueryInterface(IID_IConnectionPointContainer, container.putVoid()), S_OK);
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(kDiidDocumentEvents, point.put()), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, point.put()), CONNECT_E_NOCONNECTION);

    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
    IConnectionPoint* each[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(2, each, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    IID iid{};
    each[0]->GetConnectionInterface(&iid);
    EXPECT_EQ(iid, kDiidApplicationEvents);
    each[0]->Release();

    EXPECT_EQ(unadvise(word.get(), kDiidApplicationEvents, 0xBAD), CONNECT_E_NOCONNECTION);

    // A sink that does not answer the event interface is refused, as Word refuses it.
    struct Deaf : IUnknown {
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
            if (iid == IID_IUnknown) {
                *out = this;
                return S_OK;
            }
            *out = nullptr;
            return E_NOINTERFACE;
        }
        STDMETHODIMP_(ULONG) AddRef() override { return 2; }
        STDMETHODIMP_(ULONG) Release() override { return 1; }
    } deaf;
    HRESULT refused = S_OK;
    advise(word.get(), kDiidApplicationEvents, &deaf, &refused);
    EXPECT_EQ(refused, CONNECT_E_CANNOTCONNECT);

    // After Unadvise nothing arrives, and the sink's references are returned.
    EXPECT_EQ(unadvise(word.get(), kDiidApplicationEvents, appCookie), S_OK);
    EXPECT_EQ(appSink.refs_, 0u);
    ASSERT_TRUE(open(sample(L"quiet.docx")).ok());
    EXPECT_TRUE(appSink.events.empty());
}

TEST_F(EventsTest, ClosingWordsWindowQuitsItAndFilesCanLingerAfterwards) {
    std::wstring file = sample(L"window.docx");
    ASSERT_TRUE(put(word.get(), L"Caption", L"orvo ZUN!").ok());
    ASSERT_TRUE(put(word.get(), L"Visible", true).ok());
    ASSERT_TRUE(open(file).ok());
    HWND window = ::FindWindowW(L"OrvoFakeWordApplication", L"orvo ZUN!");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(::IsWindowVisible(window));

    // As real Word sometimes does, the file stays open for a while after Word has quit.
    EXPECT_EQ(send(ORVO_FAKE_OFFICE_LINGER, 300), ORVO_FAKE_OFFICE_DONE);
    appSink.events.clear();
    ::SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(appSink.events, std::vector<DISPID>({kEventQuit}));
    EXPECT_FALSE(::IsWindow(window));
    auto exclusive = [&] {
        return UniqueFile(::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    };
    EXPECT_FALSE(exclusive());
    const DWORD start = ::GetTickCount();
    bool released = false;
    while (!released && ::GetTickCount() - start < 5000) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        released = static_cast<bool>(exclusive());
        ::Sleep(20);
    }
    EXPECT_TRUE(released);
    EXPECT_EQ(send(ORVO_FAKE_OFFICE_LINGER, 0), ORVO_FAKE_OFFICE_DONE);
    word.reset();
}

}  // namespace
}  // namespace orvo::fake::test
