#pragma once
// The two kinds of object that carry state: the application (Word or Excel)
// and the document (a Word document or an Excel workbook). Everything else
// in the object models (windows, zoom, command bars, selection, pictures) is
// a view onto these, served from member tables (object_model.cpp).
//
// A document is one COM object for both its roles, as in the real
// applications: the object model's Document/Workbook, and the embedded OLE
// object a container holds, whose IDispatch is that Document.
#include <windows.h>
#include <docobj.h>
#include <ocidl.h>
#include <oleidl.h>
#include <memory>
#include <string>
#include <vector>
#include "connection_point.h"
#include "dispatch_table.h"
#include "document_format.h"
#include "support/win32/com_object.h"
#include "support/win32/com_ptr.h"
#include "support/win32/unique.h"
#include "word_window.h"

namespace orvo::fake {

class DocumentObject;

class ApplicationObject final : public ComObject<IDispatch, IConnectionPointContainer, IProvideClassInfo2> {
public:
    // A new application, as Word.Application's class makes one per request.
    // As WPS, it answers to WPS's interface ids instead of Microsoft's.
    static ComPtr<ApplicationObject> start(Suite suite, bool wps = false);
    // The application that serves embedded documents of the suite, started
    // on first use and kept for the process.
    static ApplicationObject& embeddingServer(Suite suite);
    // The newest Word still running: one started through Word.Application,
    // else the embedding server while it holds documents. Null when none.
    static ApplicationObject* newestWord();

    Suite suite() const noexcept { return suite_; }
    bool ended() const noexcept { return ended_; }
    bool crashed() const noexcept { return crashed_; }
    const std::wstring& label() const noexcept { return label_; }
    // Throws the vanished-server error once the application has quit.
    void ensureRunning() const;

    // Documents, in the order they were opened; the active one is the
    // document the user sees.
    size_t documentCount() const noexcept { return documents_.size(); }
    DocumentObject* document(size_t index) const { return documents_[index].doc; }
    DocumentObject* activeDocument() const noexcept { return active_; }
    DocumentObject* findByPath(const std::wstring& path) const;
    // Throws the object model's "no document is open" error when none.
    DocumentObject& requireActiveDocument() const;

    // Joins a document; owned documents are kept by the application until
    // closed, embedded ones live as long as their container holds them.
    // A document that opens joins first and becomes active after its Open
    // event, as in Word (activateNow false).
    void attach(DocumentObject* doc, bool owned, bool activateNow = true);
    void detach(DocumentObject* doc, bool fireEvents);
    void activate(DocumentObject* doc);

    // File > Open and File > New. Fire DocumentChange, then Open or New.
    ComPtr<DocumentObject> openFile(const std::wstring& path, bool readOnly, bool revert);
    ComPtr<DocumentObject> newDocument();
    // Close every document (saving when asked), fire Quit, end.
    void quit(bool saveChanges);
    // End as a crashed process does: no event, no save, windows and files
    // gone, and every later call fails as a dead server's (RPC_E_DISCONNECTED).
    void crash();

    void fireApplicationEvent(DISPID id, const wchar_t* name);

    // Application.Visible and Caption: a Word started through
    // Word.Application shows them in a window of its own.
    void setVisible(bool visible);
    void setCaption(std::wstring text);
    // Repaints that window after a change of the active document.
    void refreshWindow();

    // Object-model state the member table reads and writes.
    std::wstring caption;
    bool visible = false;
    bool displayAlerts = true;
    // msoAutomationSecurityLow, as the applications start.
    int32_t automationSecurity = 1;
    // The journal line that records what macros would have been allowed
    // for a document opening now.
    void journalMacroSecurity() const;
    bool normalTemplateSaved = true;
    int untitledCounter = 0;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                        UINT* argErr) override;
    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;
    // IProvideClassInfo2: the id of the application events.
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

private:
    ApplicationObject(Suite suite, bool embedding, bool wps = false);
    ~ApplicationObject() override;
    // Word's and Excel's own application interface ids, through IDispatch.
    void* queryMore(REFIID iid) override;

    struct Entry {
        DocumentObject* doc;
        bool owned;
    };

    Suite suite_;
    bool embedding_;
    bool wps_;
    bool ended_ = false;
    bool crashed_ = false;
    std::wstring label_ = L"Application";
    std::vector<Entry> documents_;
    DocumentObject* active_ = nullptr;
    ConnectionPoint appEvents_;
    std::unique_ptr<WordWindow> window_;
};

class DocumentObject final : public ComObject<IDispatch, IConnectionPointContainer, IOleObject, IDataObject,
                                              IPersistStorage, IPersistFile, IOleInPlaceObject,
                                              IOleInPlaceActiveObject, IOleCommandTarget, IViewObject2,
                                              IRunnableObject> {
public:
    // A document of the given class, empty until loaded (the class factory
    // of the embeddable document classes).
    static ComPtr<DocumentObject> create(const CLSID& clsid);

    Suite suite() const noexcept { return suite_; }
    const CLSID& clsid() const noexcept { return clsid_; }
    const std::wstring& label() const noexcept { return label_; }
    // The file's name when it has one, else the name it was saved under.
    std::wstring displayName() const;
    // The application it belongs to (its embedding server when it has not
    // joined one yet).
    ApplicationObject& application();
    bool isEmbedded() const noexcept { return embedded_; }
    // Refuses object-model calls on a document that was closed, or whose
    // application has quit, as the applications' vanished objects do.
    void ensureAlive() const;

    // Opens a file into this document and holds it, as the applications do
    // while a document is open. Throws DispatchFault as Documents.Open would.
    void loadFromFile(const std::wstring& path, bool readOnly);
    // Writes the document's file (or asks the container to save an embedded
    // one). Throws DispatchFault.
    void save();
    void saveAs(const std::wstring& path);
    // Closes it: saving first when asked, firing document Close, leaving its
    // application (DocumentChange when fireChange).
    void close(bool saveChanges, bool fireChange);
    // Its application's process has died: its window and file go, no event.
    void dropWithProcess();
    // Prints on the current default printer.
    void printOut();
    // The print command: with the dialog when prompt, else on the default
    // printer. Returns false when the user cancelled the dialog.
    bool printCommand(bool prompt);
    void typeLine(const std::wstring& line);
    void changed();  // marks it unsaved and repaints
    void repaint();
    void fireDocumentEvent(DISPID id, const wchar_t* name);

    // Object-model state the member tables read and write.
    DocumentContent content;
    std::wstring path;  // full path when the document belongs to a file
    bool saved = true;
    bool readOnly = false;
    bool showRevisions = true;
    bool displayRulers = true;
    int zoomPercent = 100;
    int pageFit = 0;
    int scrollLine = 0;
    int scrollColumn = 0;
    struct Bar {
        std::wstring name;
        bool enabled = true;
        bool visible = true;
    };
    std::vector<Bar> commandBars;
    // Selection: a character range, or one floating picture.
    size_t selectionStart = 0;
    size_t selectionEnd = 0;
    uint32_t selectedPicture = 0;
    uint32_t nextPictureId = 1;

    Bar* findBar(const std::wstring& name);
    Picture* findPicture(uint32_t id);
    // The zoom Word picks for a page fit (1 full page, 2 page width) in the
    // document's window.
    int fitZoom(int fit) const;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                        UINT* argErr) override;
    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;
    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR obj) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent, LPCRECT rect) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;
    // IDataObject
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP QueryGetData(FORMATETC* format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    STDMETHODIMP SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    STDMETHODIMP DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP DUnadvise(DWORD connection) override;
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA** advise) override;
    // IPersist, IPersistStorage, IPersistFile
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP InitNew(IStorage* storage) override;
    STDMETHODIMP Load(IStorage* storage) override;
    STDMETHODIMP Save(IStorage* storage, BOOL sameAsLoad) override;
    STDMETHODIMP SaveCompleted(IStorage* storage) override;
    STDMETHODIMP HandsOffStorage() override;
    STDMETHODIMP Load(LPCOLESTR fileName, DWORD mode) override;
    STDMETHODIMP Save(LPCOLESTR fileName, BOOL remember) override;
    STDMETHODIMP SaveCompleted(LPCOLESTR fileName) override;
    STDMETHODIMP GetCurFile(LPOLESTR* fileName) override;
    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override;
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;
    // IOleCommandTarget
    STDMETHODIMP QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) override;
    STDMETHODIMP Exec(const GUID* group, DWORD id, DWORD option, VARIANT* in, VARIANT* out) override;
    // IViewObject, IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDc, HDC dc,
                      LPCRECTL bounds, LPCRECTL windowBounds, BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR),
                      ULONG_PTR contArg) override;
    STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDc,
                             LOGPALETTE** colours) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    STDMETHODIMP Unfreeze(DWORD freeze) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;
    // IRunnableObject
    STDMETHODIMP GetRunningClass(LPCLSID clsid) override;
    STDMETHODIMP Run(LPBINDCTX context) override;
    STDMETHODIMP_(BOOL) IsRunning() override;
    STDMETHODIMP LockRunning(BOOL lock, BOOL lastUnlockCloses) override;
    STDMETHODIMP SetContainedObject(BOOL contained) override;

    // The window that shows the page (in place, or opened on its own).
    HWND pageWindow() const noexcept { return window_; }
    void paintWindow(HDC dc, const RECT& client);

private:
    friend class ApplicationObject;
    DocumentObject(const CLSID& clsid, bool embedded);
    ~DocumentObject() override;
    // Word's and Excel's own document interface ids, and the bases of the
    // listed interfaces.
    void* queryMore(REFIID iid) override;

    void initDefaults();
    void joinApplication();
    void holdFile();
    void releaseFile();
    HWND ownerWindow() const;
    HRESULT activateInPlace(IOleClientSite* site, bool uiActivate);
    HRESULT openInOwnWindow();
    void notifyViewChange();

    CLSID clsid_;
    Suite suite_;
    bool embedded_;
    std::wstring label_;
    ComPtr<ApplicationObject> app_;
    bool joined_ = false;
    bool closing_ = false;
    bool closed_ = false;
    ConnectionPoint docEvents_;
    UniqueFile fileLock_;

    // OLE state
    ComPtr<IOleClientSite> site_;
    ComPtr<IOleAdviseHolder> adviseHolder_;
    ComPtr<IDataAdviseHolder> dataAdviseHolder_;
    ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewFlags_ = 0;
    SIZEL extent_ = {21000, 29700};
    ComPtr<IOleInPlaceSite> inPlaceSite_;
    ComPtr<IOleInPlaceFrame> frame_;
    ComPtr<IOleInPlaceUIWindow> uiWindow_;
    HWND window_ = nullptr;
    bool ownWindow_ = false;  // opened in a window of its own, not in place
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
};

}  // namespace orvo::fake
