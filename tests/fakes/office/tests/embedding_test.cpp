// Embedded documents as an OLE container drives them through Wine's ole32:
// created from a ".docx" file, loaded from a ".doc" storage, activated in
// place, saved, closed; their automation object and command target.
#include <docobj.h>
#include "fake_office_control.h"
#include "test_support.h"

namespace orvo::fake::test {
namespace {

// The smallest container that lets an object activate in place: a host
// window, a client site that saves into the container's storage, and the
// in-place site and frame. Records what the object asked of it.
class TestContainer final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    TestContainer() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"OrvoFakeOfficeTestHost";
        ::RegisterClassW(&wc);
        // A popup: Wine waits for a window manager to unmap captioned
        // windows, which Xvfb has not.
        host = ::CreateWindowExW(0, wc.lpszClassName, L"test host", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 640, 480, nullptr,
                                 nullptr, wc.hInstance, nullptr);
        ::ShowWindow(host, SW_SHOWNOACTIVATE);
    }
    ~TestContainer() { ::DestroyWindow(host); }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
        else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
        else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) *out = static_cast<IOleInPlaceFrame*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    // IOleClientSite
    STDMETHODIMP SaveObject() override {
        ++saves;
        ComPtr<IPersistStorage> persist;
        HRESULT hr = object->QueryInterface(IID_IPersistStorage, persist.putVoid());
        if (SUCCEEDED(hr)) hr = ::OleSave(persist.get(), storage.get(), TRUE);
        if (SUCCEEDED(hr)) hr = persist->SaveCompleted(nullptr);
        return hr;
    }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** m) override {
        *m = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** c) override {
        *c = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override {
        ++shown;
        return S_OK;
    }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow
    STDMETHODIMP GetWindow(HWND* w) override {
        *w = host;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return S_OK; }
    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return canInPlace ? S_OK : S_FALSE; }
    STDMETHODIMP OnInPlaceActivate() override {
        ++inPlaceActivations;
        return S_OK;
    }
    STDMETHODIMP OnUIActivate() override {
        ++uiActivations;
        return S_OK;
    }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override {
        *frame = this;
        *doc = nullptr;
        *pos = {24, 31, 24 + 249, 31 + 66};
        *clip = *pos;
        info->fMDIApp = FALSE;
        info->hwndFrame = host;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override {
        ++inPlaceDeactivations;
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
    // IOleInPlaceUIWindow, IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
        activeObject = ComPtr<IOleInPlaceActiveObject>(object);
        return S_OK;
    }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // The storage the container keeps the object in, on memory.
    void newStorage() {
        ComPtr<ILockBytes> bytes;
        ASSERT_EQ(::CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put()), S_OK);
        ASSERT_EQ(::StgCreateDocfileOnILockBytes(bytes.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                                 storage.put()),
                  S_OK);
    }
    // A compound file's bytes opened as storage, as the container's
    // load-from-stream does with the downloaded report.
    void storageFromFile(const std::wstring& file) {
        UniqueFile f(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(f);
        DWORD size = ::GetFileSize(f.get(), nullptr);
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
        DWORD read = 0;
        ::ReadFile(f.get(), ::GlobalLock(memory), size, &read, nullptr);
        ::GlobalUnlock(memory);
        ComPtr<ILockBytes> bytes;
        ASSERT_EQ(::CreateILockBytesOnHGlobal(memory, TRUE, bytes.put()), S_OK);
        ASSERT_EQ(::StgOpenStorageOnILockBytes(bytes.get(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                               storage.put()),
                  S_OK);
    }

    HWND host = nullptr;
    bool canInPlace = true;
    int saves = 0, shown = 0, inPlaceActivations = 0, uiActivations = 0, inPlaceDeactivations = 0;
    ComPtr<IStorage> storage;
    ComPtr<IOleObject> object;
    ComPtr<IOleInPlaceActiveObject> activeObject;
};

HWND findChild(HWND parent, const wchar_t* cls) { return ::FindWindowExW(parent, nullptr, cls, nullptr); }

std::wstring windowText(HWND hwnd) {
    wchar_t text[256] = {};
    ::GetWindowTextW(hwnd, text, 256);
    return text;
}

class EmbeddingTest : public OfficeTest {};

TEST_F(EmbeddingTest, CreatedFromADocxFileItActivatesInPlaceAndAnswersByName) {
    TestContainer container;
    container.newStorage();
    std::wstring docx = sample(L"embedded report.docx", L"Quarterly figures");
    HRESULT hr = ::OleCreateFromFile(CLSID_NULL, docx.c_str(), IID_IOleObject, OLERENDER_DRAW, nullptr, &container,
                                     container.storage.get(), container.object.putVoid());
    ASSERT_EQ(hr, S_OK);
    CLSID clsid{};
    container.object->GetUserClassID(&clsid);
    EXPECT_EQ(clsid, kClsidWordDocument12);  // resolved from the extension

    ASSERT_EQ(container.object->DoVerb(OLEIVERB_PRIMARY, nullptr, &container, 0, container.host, nullptr), S_OK);
    HWND page = findChild(container.host, L"OrvoFakeOfficePage");
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(::IsWindowVisible(page));
    EXPECT_EQ(windowText(page), L"embedded report.docx");
    RECT r;
    ::GetWindowRect(page, &r);
    EXPECT_EQ(r.right - r.left, 249);
    EXPECT_EQ(container.inPlaceActivations, 1);
    EXPECT_EQ(container.uiActivations, 1);
    EXPECT_GE(container.shown, 1);
    EXPECT_TRUE(container.activeObject);

    // The automation object is the document; its application knows it.
    ComPtr<IDispatch> document;
    ASSERT_EQ(container.object->QueryInterface(IID_IDispatch, document.putVoid()), S_OK);
    auto active = path(document.get(), {L"Application", L"ActiveDocument"});
    ASSERT_TRUE(active);
    EXPECT_EQ(get(active.get(), L"Name").text(), L"embedded report.docx");
    EXPECT_EQ(get(path(active.get(), {L"Content"}).get(), L"Text").text(), L"Quarterly figures");
    ComPtr<IUnknown> a, b;
    active->QueryInterface(IID_IUnknown, a.putVoid());
    container.object->QueryInterface(IID_IUnknown, b.putVoid());
    EXPECT_EQ(a.get(), b.get());  // one object, as in Word
    auto documents = path(active.get(), {L"Application", L"Documents"});
    int open = get(documents.get(), L"Count").number();
    EXPECT_GE(open, 1);

    ComPtr<IOleCommandTarget> target;
    ASSERT_EQ(container.object->QueryInterface(IID_IOleCommandTarget, target.putVoid()), S_OK);
    OLECMD commands[2] = {{OLECMDID_PRINT, 0}, {OLECMDID_SPELL, 0}};
    ASSERT_EQ(target->QueryStatus(nullptr, 2, commands, nullptr), S_OK);
    EXPECT_EQ(commands[0].cmdf, static_cast<DWORD>(OLECMDF_SUPPORTED | OLECMDF_ENABLED));
    EXPECT_EQ(commands[1].cmdf, 0u);
    const GUID otherGroup = {0x12345678, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(target->QueryStatus(&otherGroup, 1, commands, nullptr), OLECMDERR_E_UNKNOWNGROUP);
    EXPECT_EQ(target->Exec(nullptr, OLECMDID_SPELL, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr), OLECMDERR_E_NOTSUPPORTED);

    ASSERT_EQ(container.object->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_FALSE(::IsWindow(page));
    EXPECT_EQ(container.inPlaceDeactivations, 1);
    EXPECT_EQ(get(documents.get(), L"Count").number(), open - 1);
    EXPECT_TRUE(journalHasInOrder({L"PersistFile.Load(" + quote(docx) + L")", L"OleObject.DoVerb(0)",
                                   L"Document.Application", L"Application.ActiveDocument", L"OleObject.Close(1)"}));
}

TEST_F(EmbeddingTest, LoadedFromADocStorageItKeepsTheNameItWasSavedUnder) {
    TestContainer container;
    std::wstring docFile = file(L"download-0001.doc");
    writeSample(docFile, SampleKind::Document, L"20170315.doc", L"Line one\nLine two");
    container.storageFromFile(docFile);
    ASSERT_EQ(::OleLoad(container.storage.get(), IID_IOleObject, &container, container.object.putVoid()), S_OK);
    // Wine's order: the object loads before it learns its site.
    EXPECT_TRUE(journalHasInOrder({L"PersistStorage.Load", L"OleObject.SetClientSite(Object)"}));

    ASSERT_EQ(container.object->DoVerb(OLEIVERB_SHOW, nullptr, &container, 0, container.host, nullptr), S_OK);
    ComPtr<IDispatch> document;
    ASSERT_EQ(container.object->QueryInterface(IID_IDispatch, document.putVoid()), S_OK);
    EXPECT_EQ(get(document.get(), L"Name").text(), L"20170315.doc");
    auto first = call(path(document.get(), {L"Application", L"Documents"}).get(), L"Item", {1}).object();
    ASSERT_TRUE(first);
    EXPECT_TRUE(call(first.get(), L"Activate").ok());

    // A change, then the container saves: into its own storage, and a copy
    // into a new compound file, which loads back with the same content.
    ASSERT_TRUE(call(path(document.get(), {L"Application", L"Selection"}).get(), L"TypeText", {L"Stamped. "}).ok());
    ComPtr<IPersistStorage> persist;
    ASSERT_EQ(container.object->QueryInterface(IID_IPersistStorage, persist.putVoid()), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ComPtr<IStorage> copy;
    std::wstring copyFile = file(L"copy.doc");
    ASSERT_EQ(::StgCreateDocfile(copyFile.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, copy.put()), S_OK);
    ASSERT_EQ(::OleSave(persist.get(), copy.get(), FALSE), S_OK);
    ASSERT_EQ(persist->SaveCompleted(nullptr), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    copy.reset();
    DocumentContent saved = readDocumentFile(copyFile, Suite::Word);
    EXPECT_EQ(saved.name, L"20170315.doc");
    EXPECT_EQ(saved.text, L"Stamped. Line one\nLine two");
    CLSID clsid{};
    ComPtr<IStorage> reopened;
    ASSERT_EQ(::StgOpenStorage(copyFile.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, reopened.put()), S_OK);
    ::ReadClassStg(reopened.get(), &clsid);
    EXPECT_EQ(clsid, kClsidWordDocument8);
    reopened.reset();

    // Closing when changed saves through the site first.
    ASSERT_TRUE(call(path(document.get(), {L"Application", L"Selection"}).get(), L"TypeText", {L"More. "}).ok());
    ASSERT_EQ(container.object->Close(OLECLOSE_SAVEIFDIRTY), S_OK);
    EXPECT_EQ(container.saves, 1);
}

TEST_F(EmbeddingTest, AWorkbookAnswersThroughTheExcelApplication) {
    TestContainer container;
    std::wstring xls = file(L"sheet.xls");
    writeSample(xls, SampleKind::Document);
    container.storageFromFile(xls);
    ASSERT_EQ(::OleLoad(container.storage.get(), IID_IOleObject, &container, container.object.putVoid()), S_OK);
    ASSERT_EQ(container.object->DoVerb(OLEIVERB_SHOW, nullptr, &container, 0, container.host, nullptr), S_OK);
    ComPtr<IDispatch> workbook;
    ASSERT_EQ(container.object->QueryInterface(IID_IDispatch, workbook.putVoid()), S_OK);
    auto app = path(workbook.get(), {L"Application"});
    EXPECT_EQ(get(app.get(), L"Name").text(), L"Microsoft Excel");
    // The program spells it ActiveWorkBook; names are not case-sensitive.
    auto active = get(app.get(), L"ActiveWorkBook").object();
    ASSERT_TRUE(active);
    EXPECT_EQ(get(active.get(), L"Name").text(), L"sheet.xls");
    EXPECT_EQ(get(workbook.get(), L"ActiveDocument").hr, DISP_E_UNKNOWNNAME);  // Word's member, not Excel's
    container.object->Close(OLECLOSE_NOSAVE);
    // With no workbook open Excel answers Nothing rather than an error.
    Outcome none = get(app.get(), L"ActiveWorkbook");
    EXPECT_TRUE(none.ok());
    EXPECT_EQ(none.value.get()->vt, VT_DISPATCH);
    EXPECT_EQ(none.value.get()->pdispVal, nullptr);
}

TEST_F(EmbeddingTest, AContainerWithoutInPlaceSupportGetsAWindowOfItsOwn) {
    TestContainer container;
    container.canInPlace = false;
    container.newStorage();
    std::wstring docx = sample(L"outside.docx");
    ASSERT_EQ(::OleCreateFromFile(CLSID_NULL, docx.c_str(), IID_IOleObject, OLERENDER_DRAW, nullptr, &container,
                                  container.storage.get(), container.object.putVoid()),
              S_OK);
    ASSERT_EQ(container.object->DoVerb(OLEIVERB_SHOW, nullptr, &container, 0, container.host, nullptr), S_OK);
    EXPECT_EQ(findChild(container.host, L"OrvoFakeOfficePage"), nullptr);
    HWND own = ::FindWindowW(L"OrvoFakeOfficePage", L"outside.docx - Microsoft Word");
    EXPECT_NE(own, nullptr);
    container.object->Close(OLECLOSE_NOSAVE);
    EXPECT_FALSE(::IsWindow(own));
}

TEST_F(EmbeddingTest, SamplesThatMustNotLoad) {
    TestContainer container;
    // Not a document of the class its storage claims: the content stream is missing.
    std::wstring broken = file(L"broken.doc");
    writeSample(broken, SampleKind::Broken);
    container.storageFromFile(broken);
    EXPECT_EQ(::OleLoad(container.storage.get(), IID_IOleObject, &container, container.object.putVoid()),
              STG_E_FILENOTFOUND);
    EXPECT_FALSE(container.object);

    std::wstring garbage = file(L"garbage.docx");
    writeSample(garbage, SampleKind::Broken);
    container.newStorage();
    EXPECT_TRUE(FAILED(::OleCreateFromFile(CLSID_NULL, garbage.c_str(), IID_IOleObject, OLERENDER_DRAW, nullptr,
                                           &container, container.storage.get(), container.object.putVoid())));

    // The hostile sample: a compound document of a class no Office part serves.
    std::wstring foreign = file(L"hostile.doc");
    writeSample(foreign, SampleKind::Foreign);
    ComPtr<IStorage> storage;
    ASSERT_EQ(::StgOpenStorage(foreign.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, storage.put()), S_OK);
    CLSID clsid{};
    ASSERT_EQ(::ReadClassStg(storage.get(), &clsid), S_OK);
    EXPECT_EQ(clsid, kClsidPackage);
}

TEST_F(EmbeddingTest, TheSampleWriterToolWritesEachKind) {
    struct Case {
        const wchar_t* name;
        const wchar_t* options;
        CLSID clsid;
    } cases[] = {
        {L"tool.doc", L"--name \"20170315.doc\"", kClsidWordDocument8},
        {L"tool.xls", L"", kClsidExcelSheet8},
        {L"tool-foreign.doc", L"--foreign", kClsidPackage},
    };
    for (const auto& c : cases) {
        std::wstring out = file(c.name);
        std::wstring command = L"\"" + exeDirectory() + L"\\fake_office_docgen.exe\" \"" + out + L"\" " + c.options;
        STARTUPINFOW si{sizeof si};
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                                     &si, &pi));
        ::WaitForSingleObject(pi.hProcess, 30000);
        DWORD status = 99;
        ::GetExitCodeProcess(pi.hProcess, &status);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
        ASSERT_EQ(status, 0u) << narrow(command);
        ComPtr<IStorage> storage;
        ASSERT_EQ(::StgOpenStorage(out.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, storage.put()), S_OK);
        CLSID clsid{};
        ::ReadClassStg(storage.get(), &clsid);
        EXPECT_EQ(clsid, c.clsid) << narrow(c.name);
    }
    EXPECT_EQ(readDocumentFile(file(L"tool.doc"), Suite::Word).name, L"20170315.doc");
    EXPECT_EQ(readDocumentFile(file(L"tool.xls"), Suite::Excel).name, L"tool.xls");
}

}  // namespace
}  // namespace orvo::fake::test
