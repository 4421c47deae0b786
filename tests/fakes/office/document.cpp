// The document object: its state and operations (open, save, close, print)
// and the OLE document-server interfaces a container drives: loading and
// saving through structured storage or a file, activation in place in the
// container's window, drawing, and the print command.
#include <algorithm>
#include <system_error>
#include "class_ids.h"
#include "com_enum.h"
#include "control_window.h"
#include "journal.h"
#include "object_model.h"
#include "office_objects.h"
#include "printing.h"

namespace orvo::fake {
namespace {

constexpr wchar_t kPageWindowClass[] = L"OrvoFakeOfficePage";

LRESULT CALLBACK pageWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* doc = reinterpret_cast<DocumentObject*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        break;
    }
    case WM_NCDESTROY:
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        RECT client;
        ::GetClientRect(hwnd, &client);
        if (doc) doc->paintWindow(dc, client);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
        ::SetFocus(hwnd);
        return 0;
    case WM_MOUSEWHEEL:
        if (doc) {
            int steps = GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA;
            doc->scrollLine = std::max(0, doc->scrollLine - steps * 3);
            doc->repaint();
        }
        return 0;
    case WM_CLOSE:
        // A document opened in its own window closes as the user would.
        if (doc) {
            doc->Close(OLECLOSE_SAVEIFDIRTY);
            return 0;
        }
        break;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void registerPageWindowClass() {
    static const bool done = (registerWindowClass(kPageWindowClass, pageWindowProc, IDC_IBEAM), true);
    (void)done;
}

struct FormatTraits {
    static FORMATETC copy(const FORMATETC& f) { return f; }
    static void release(FORMATETC&) {}
};

bool supportedFormat(const FORMATETC* f) {
    if (!f || f->dwAspect != DVASPECT_CONTENT) return false;
    return (f->cfFormat == CF_ENHMETAFILE && (f->tymed & TYMED_ENHMF)) ||
           (f->cfFormat == CF_METAFILEPICT && (f->tymed & TYMED_MFPICT));
}

std::wstring hexCode(HRESULT hr) {
    wchar_t buf[16];
    swprintf_s(buf, L"0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

// Journals an OLE call, and its failure when it fails.
HRESULT noted(const std::wstring& line, HRESULT hr) {
    if (FAILED(hr)) journalLine(line + L" -> FAILED " + hexCode(hr));
    return hr;
}

HRESULT faultResult(const DispatchFault& f) { return f.hr == DISP_E_EXCEPTION ? f.scode : f.hr; }

Suite suiteOf(const CLSID& clsid) {
    Suite suite = Suite::Word;
    suiteOfClass(clsid, suite);
    return suite;
}

}  // namespace

// ---------------------------------------------------------------- lifetime

DocumentObject::DocumentObject(const CLSID& clsid, bool embedded)
    : clsid_(clsid),
      suite_(suiteOf(clsid)),
      embedded_(embedded),
      label_(suite_ == Suite::Word ? L"Document" : L"Workbook"),
      docEvents_(this, kDiidDocumentEvents) {
    content.suite = suite_;
    initDefaults();
}

DocumentObject::~DocumentObject() {
    if (window_) ::DestroyWindow(window_);
    if (joined_ && app_) app_->detach(this, false);
}

ComPtr<DocumentObject> DocumentObject::create(const CLSID& clsid) {
    return ComPtr<DocumentObject>::attach(new DocumentObject(clsid, true));
}

void DocumentObject::initDefaults() {
    if (suite_ != Suite::Word) return;
    for (const wchar_t* name : {L"Standard", L"Formatting", L"Drawing", L"Reviewing", L"Menu Bar", L"Tables and Borders",
                                L"Web", L"Forms", L"Picture", L"Control Toolbox"})
        commandBars.push_back(Bar{name});
}

void* DocumentObject::queryMore(REFIID iid) {
    if (iid == kIidWordDocument || iid == kIidExcelWorkbook) return static_cast<IDispatch*>(this);
    return answerAs<IPersist, IOleWindow, IViewObject>(iid);
}

// ---------------------------------------------------------------- object model

STDMETHODIMP DocumentObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP DocumentObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP DocumentObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return documentMembers(suite_).getIDsOfNames(names, count, ids);
}

STDMETHODIMP DocumentObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                    EXCEPINFO* excep, UINT* argErr) {
    ComPtr<DocumentObject> keep(this);
    return documentMembers(suite_).invoke(*this, label_, id, flags, params, result, excep, argErr,
                                          [this] { ensureAlive(); });
}

STDMETHODIMP DocumentObject::EnumConnectionPoints(IEnumConnectionPoints** out) {
    return enumerateConnectionPoints({&docEvents_}, out);
}

STDMETHODIMP DocumentObject::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != docEvents_.iid()) return CONNECT_E_NOCONNECTION;
    *out = &docEvents_;
    AddRef();
    return S_OK;
}

void DocumentObject::ensureAlive() const {
    if (closed_) {
        DispatchFault f;
        f.hr = RPC_E_DISCONNECTED;
        f.description = L"The object invoked has disconnected from its clients.";
        throw f;
    }
    if (app_ && app_->crashed() && joined_) throwDisconnected();
    if (app_ && app_->ended() && joined_) throwServerGone();
}

void DocumentObject::dropWithProcess() {
    if (ownWindow_ && window_) {
        ::DestroyWindow(window_);
        window_ = nullptr;
        ownWindow_ = false;
    }
    releaseFile();
    docEvents_.unadviseAll();
}

std::wstring DocumentObject::displayName() const {
    if (!path.empty()) return baseName(path);
    if (!content.name.empty()) return content.name;
    return suite_ == Suite::Word ? L"Document1" : L"Book1";
}

ApplicationObject& DocumentObject::application() {
    if (app_ && !app_->ended()) return *app_;
    return ApplicationObject::embeddingServer(suite_);
}

DocumentObject::Bar* DocumentObject::findBar(const std::wstring& name) {
    for (auto& bar : commandBars)
        if (::CompareStringOrdinal(bar.name.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL) return &bar;
    return nullptr;
}

Picture* DocumentObject::findPicture(uint32_t id) {
    for (auto& p : content.pictures)
        if (p.id == id) return &p;
    return nullptr;
}

int DocumentObject::fitZoom(int fit) const {
    RECT client = {0, 0, 1000, 700};  // Word's window when not shown in place
    if (window_) ::GetClientRect(window_, &client);
    const int width = std::max<int>(client.right - client.left - 20, 1);
    const int height = std::max<int>(client.bottom - client.top - 20, 1);
    int zoom = width * 100 / kPagePixels.cx;
    if (fit == 1) zoom = std::min(zoom, height * 100 / static_cast<int>(kPagePixels.cy));
    return std::clamp(zoom, 10, 500);
}

void DocumentObject::holdFile() {
    // Word keeps an open document's file open, so others cannot take it
    // exclusively until it is closed.
    fileLock_.reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

void DocumentObject::releaseFile() { fileLock_.reset(); }

void DocumentObject::loadFromFile(const std::wstring& file, bool asReadOnly) {
    const bool word = suite_ == Suite::Word;
    DWORD attributes = ::GetFileAttributesW(file.c_str());
    if (file.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (word) throwModelError(5174, L"Sorry, we couldn't find your file. Was it moved, renamed, or deleted?\n(" + file + L")");
        throwModelError(1004, L"Sorry, we couldn't find " + file + L". Is it possible it was moved, renamed or deleted?");
    }
    try {
        content = readDocumentFile(file, suite_);
    } catch (const FormatError&) {
        throwModelError(word ? 5792 : 1004,
                        L"The file " + baseName(file) + L" cannot be opened because there are problems with the contents.");
    } catch (const std::system_error& e) {
        throwModelError(word ? 5174 : 1004, L"The file " + file + L" could not be opened (error " +
                                                std::to_wstring(e.code().value()) + L").");
    }
    path = file;
    content.name = baseName(file);
    readOnly = asReadOnly;
    saved = true;
    selectionStart = selectionEnd = 0;
    nextPictureId = 1;
    for (const auto& p : content.pictures) nextPictureId = std::max(nextPictureId, p.id + 1);
    holdFile();
}

void DocumentObject::save() {
    if (readOnly) throwModelError(5155, L"This file is read-only: " + displayName());
    if (path.empty()) {
        // An embedded document saves into its container.
        if (embedded_ && site_) {
            HRESULT hr = site_->SaveObject();
            if (FAILED(hr)) throwModelError(4198, L"The container could not save the document (" + hexCode(hr) + L").");
            saved = true;
            return;
        }
        throwModelError(4198, L"The document has no file yet; use SaveAs.");
    }
    saveAs(path);
}

void DocumentObject::saveAs(const std::wstring& file) {
    wchar_t full[MAX_PATH * 2];
    DWORD n = ::GetFullPathNameW(file.c_str(), ARRAYSIZE(full), full, nullptr);
    std::wstring target = (n && n < ARRAYSIZE(full)) ? std::wstring(full, n) : file;
    CLSID clsid;
    Suite suite;
    if (classForFileName(target, clsid, suite) && suite == suite_) clsid_ = clsid;
    DocumentContent out = content;
    out.name = baseName(target);
    releaseFile();
    try {
        writeDocumentFile(target, clsid_, out);
    } catch (const std::exception&) {
        if (!path.empty()) holdFile();
        throwModelError(suite_ == Suite::Word ? 5153 : 1004, L"The document could not be saved as " + target + L".");
    }
    path = target;
    content.name = out.name;
    readOnly = false;
    saved = true;
    holdFile();
    if (adviseHolder_) adviseHolder_->SendOnSave();
}

void DocumentObject::close(bool saveChanges, bool fireChange) {
    if (closing_ || closed_) return;
    ComPtr<DocumentObject> keep(this);
    if (saveChanges && !saved) save();
    closing_ = true;
    fireDocumentEvent(kEventClose, L"Close");
    if (inPlaceActive_) InPlaceDeactivate();
    if (ownWindow_ && window_) {
        ::DestroyWindow(window_);
        window_ = nullptr;
        ownWindow_ = false;
        if (site_) site_->OnShowWindow(FALSE);
    }
    if (adviseHolder_) adviseHolder_->SendOnClose();
    if (joined_ && app_) {
        joined_ = false;
        app_->detach(this, fireChange);
    }
    releaseFile();
    // An embedded document goes back to the loaded state and may run again;
    // one opened in the application is gone for good.
    if (!embedded_) closed_ = true;
    closing_ = false;
}

void DocumentObject::printOut() {
    // A test makes printing fail as Word does when the printer refuses:
    // ORVO_FAKE_OFFICE_PRINT_FAILS holds the error's description.
    wchar_t reason[256] = {};
    if (::GetEnvironmentVariableW(L"ORVO_FAKE_OFFICE_PRINT_FAILS", reason, 256) > 0 && reason[0])
        throwModelError(4198, reason);
    printDocument(currentDefaultPrinter(), nullptr, displayName(), content);
}

bool DocumentObject::printCommand(bool prompt) {
    if (!prompt) {
        printOut();
        return true;
    }
    std::wstring printer;
    HDC dc = nullptr;
    if (!askPrinter(ownerWindow(), printer, dc)) {
        journalLine(L"PrintDialog(" + quote(displayName()) + L") -> cancelled");
        return false;
    }
    journalLine(L"PrintDialog(" + quote(displayName()) + L") -> " + quote(printer));
    UniqueMemoryDc owned(dc);
    printDocument(printer, dc, displayName(), content);
    return true;
}

void DocumentObject::typeLine(const std::wstring& line) {
    size_t at = content.text.size();
    std::wstring text = (at && content.text.back() != L'\n' ? L"\n" : L"") + line + L"\n";
    content.text += text;
    selectionStart = selectionEnd = content.text.size();
    selectedPicture = 0;
    changed();
}

void DocumentObject::changed() {
    saved = false;
    // Edited, a genuine document is saved in the substitute's own form.
    content.original.reset();
    repaint();
    notifyViewChange();
}

void DocumentObject::repaint() {
    if (window_) ::InvalidateRect(window_, nullptr, TRUE);
    if (joined_ && app_ && app_->activeDocument() == this) app_->refreshWindow();
}

void DocumentObject::notifyViewChange() {
    if (viewSink_) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
    if (dataAdviseHolder_) dataAdviseHolder_->SendOnDataChange(static_cast<IDataObject*>(this), 0, 0);
}

void DocumentObject::fireDocumentEvent(DISPID id, const wchar_t* name) {
    journalLine(L"Event " + label_ + L"." + name);
    docEvents_.fire(id);
}

void DocumentObject::joinApplication() {
    if (joined_) return;
    ApplicationObject& server = ApplicationObject::embeddingServer(suite_);
    app_ = ComPtr<ApplicationObject>(&server);
    joined_ = true;
    server.attach(this, false);
}

HWND DocumentObject::ownerWindow() const {
    HWND hwnd = nullptr;
    if (inPlaceSite_) inPlaceSite_->GetWindow(&hwnd);
    if (!hwnd && site_) {
        ComPtr<IOleWindow> w;
        if (SUCCEEDED(site_->QueryInterface(IID_IOleWindow, w.putVoid())) && w) w->GetWindow(&hwnd);
    }
    if (!hwnd) hwnd = window_;
    if (hwnd) return ::GetAncestor(hwnd, GA_ROOT);
    return ::GetActiveWindow();
}

void DocumentObject::paintWindow(HDC dc, const RECT& client) {
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)));
    int w = kPagePixels.cx * zoomPercent / 100;
    int h = kPagePixels.cy * zoomPercent / 100;
    int x = std::max<int>(10, (client.right - client.left - w) / 2) - scrollColumn * 20;
    int y = 10 - scrollLine * 20;
    RECT page = {x, y, x + w, y + h};
    paintPage(dc, page, displayName(), content);
}

// ---------------------------------------------------------------- IOleObject

STDMETHODIMP DocumentObject::SetClientSite(IOleClientSite* site) {
    journalLine(L"OleObject.SetClientSite(" + std::wstring(site ? L"Object" : L"Nothing") + L")");
    site_ = ComPtr<IOleClientSite>(site);
    return S_OK;
}

STDMETHODIMP DocumentObject::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = site_.get();
    if (*site) (*site)->AddRef();
    return S_OK;
}

STDMETHODIMP DocumentObject::SetHostNames(LPCOLESTR app, LPCOLESTR obj) {
    journalLine(L"OleObject.SetHostNames(" + quote(app ? app : L"") + L", " + quote(obj ? obj : L"") + L")");
    return S_OK;
}

STDMETHODIMP DocumentObject::Close(DWORD saveOption) {
    const std::wstring line = L"OleObject.Close(" + std::to_wstring(saveOption) + L")";
    journalLine(line);
    ComPtr<DocumentObject> keep(this);
    if (saveOption != OLECLOSE_NOSAVE && !saved && site_) {
        // No one answers a prompt here: PROMPTSAVE saves like SAVEIFDIRTY.
        HRESULT hr = site_->SaveObject();
        if (FAILED(hr)) return noted(line, hr);
        saved = true;
    }
    close(false, true);
    return S_OK;
}

STDMETHODIMP DocumentObject::SetMoniker(DWORD, IMoniker*) { return S_OK; }

STDMETHODIMP DocumentObject::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP DocumentObject::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP DocumentObject::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

HRESULT DocumentObject::activateInPlace(IOleClientSite* site, bool uiActivate) {
    if (!inPlaceActive_) {
        if (!site) return E_INVALIDARG;
        ComPtr<IOleInPlaceSite> ipSite;
        if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, ipSite.putVoid())) || !ipSite) return E_NOINTERFACE;
        if (ipSite->CanInPlaceActivate() != S_OK) return E_FAIL;
        HRESULT hr = ipSite->OnInPlaceActivate();
        if (FAILED(hr)) return hr;
        HWND parent = nullptr;
        hr = ipSite->GetWindow(&parent);
        if (FAILED(hr) || !parent) {
            ipSite->OnInPlaceDeactivate();
            return FAILED(hr) ? hr : E_FAIL;
        }
        OLEINPLACEFRAMEINFO info{};
        info.cb = sizeof info;
        RECT position{}, clip{};
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> uiWindow;
        hr = ipSite->GetWindowContext(frame.put(), uiWindow.put(), &position, &clip, &info);
        if (FAILED(hr)) {
            ipSite->OnInPlaceDeactivate();
            return hr;
        }
        registerPageWindowClass();
        window_ = ::CreateWindowExW(0, kPageWindowClass, displayName().c_str(), WS_CHILD | WS_CLIPSIBLINGS | WS_VISIBLE,
                                    position.left, position.top, position.right - position.left,
                                    position.bottom - position.top, parent, nullptr, moduleHandle(), this);
        if (!window_) {
            DWORD error = ::GetLastError();
            ipSite->OnInPlaceDeactivate();
            return HRESULT_FROM_WIN32(error);
        }
        inPlaceSite_ = std::move(ipSite);
        frame_ = std::move(frame);
        uiWindow_ = std::move(uiWindow);
        inPlaceActive_ = true;
    }
    if (uiActivate && !uiActive_) {
        inPlaceSite_->OnUIActivate();
        std::wstring name = displayName();
        if (frame_) {
            frame_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), name.c_str());
            frame_->SetBorderSpace(nullptr);
        }
        if (uiWindow_) uiWindow_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), name.c_str());
        uiActive_ = true;
        ::SetFocus(window_);
    }
    ::ShowWindow(window_, SW_SHOW);
    site->ShowObject();
    return S_OK;
}

HRESULT DocumentObject::openInOwnWindow() {
    if (!window_) {
        registerPageWindowClass();
        std::wstring title = displayName() + L" - " + (suite_ == Suite::Word ? L"Microsoft Word" : L"Microsoft Excel");
        window_ = ::CreateWindowExW(0, kPageWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                    900, 700, nullptr, nullptr, moduleHandle(), this);
        if (!window_) return HRESULT_FROM_WIN32(::GetLastError());
        ownWindow_ = true;
    }
    ::ShowWindow(window_, SW_SHOW);
    ::SetForegroundWindow(window_);
    if (site_) {
        site_->ShowObject();
        site_->OnShowWindow(TRUE);
    }
    return S_OK;
}

STDMETHODIMP DocumentObject::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT) {
    std::wstring line = L"OleObject.DoVerb(" + std::to_wstring(verb) + L")";
    journalLine(line);
    ComPtr<DocumentObject> keep(this);
    IOleClientSite* useSite = site ? site : site_.get();
    HRESULT result = S_OK;
    if (verb > 1) {
        result = OLEOBJ_S_INVALIDVERB;  // unknown verbs do the primary one
        verb = OLEIVERB_PRIMARY;
    }
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
    case OLEIVERB_INPLACEACTIVATE: {
        // The embedded document opens for the user in its application now.
        joinApplication();
        application().journalMacroSecurity();
        HRESULT hr = activateInPlace(useSite, verb != OLEIVERB_INPLACEACTIVATE);
        if (FAILED(hr)) {
            // A container that cannot host it in place gets Word's window.
            if (verb == OLEIVERB_UIACTIVATE || verb == OLEIVERB_INPLACEACTIVATE)
                return noted(line, OLE_E_NOT_INPLACEACTIVE);
            hr = openInOwnWindow();
        }
        if (FAILED(hr)) return noted(line, hr);
        application().activate(this);
        return result;
    }
    case 1:  // "Open"
    case OLEIVERB_OPEN:
        joinApplication();
        application().journalMacroSecurity();
        if (inPlaceActive_) InPlaceDeactivate();
        return noted(line, openInOwnWindow());
    case OLEIVERB_HIDE:
        if (uiActive_) UIDeactivate();
        if (window_) ::ShowWindow(window_, SW_HIDE);
        if (ownWindow_ && site_) site_->OnShowWindow(FALSE);
        return S_OK;
    case OLEIVERB_DISCARDUNDOSTATE:
        return S_OK;
    default:
        return noted(line, OLEOBJ_E_INVALIDVERB);
    }
}

STDMETHODIMP DocumentObject::EnumVerbs(IEnumOLEVERB** verbs) { return ::OleRegEnumVerbs(clsid_, verbs); }

STDMETHODIMP DocumentObject::Update() { return S_OK; }

STDMETHODIMP DocumentObject::IsUpToDate() { return S_OK; }

STDMETHODIMP DocumentObject::GetUserClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = clsid_;
    return S_OK;
}

STDMETHODIMP DocumentObject::GetUserType(DWORD form, LPOLESTR* type) {
    if (!type) return E_POINTER;
    HRESULT hr = ::OleRegGetUserType(clsid_, form, type);
    if (SUCCEEDED(hr)) return hr;
    const wchar_t* name = suite_ == Suite::Word ? L"Microsoft Word Document" : L"Microsoft Excel Worksheet";
    size_t bytes = (wcslen(name) + 1) * sizeof(wchar_t);
    *type = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
    if (!*type) return E_OUTOFMEMORY;
    memcpy(*type, name, bytes);
    return S_OK;
}

STDMETHODIMP DocumentObject::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP DocumentObject::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP DocumentObject::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!adviseHolder_) {
        HRESULT hr = ::CreateOleAdviseHolder(adviseHolder_.put());
        if (FAILED(hr)) return hr;
    }
    return adviseHolder_->Advise(sink, connection);
}

STDMETHODIMP DocumentObject::Unadvise(DWORD connection) {
    if (!adviseHolder_) return OLE_E_NOCONNECTION;
    return adviseHolder_->Unadvise(connection);
}

STDMETHODIMP DocumentObject::EnumAdvise(IEnumSTATDATA** advise) {
    if (!advise) return E_POINTER;
    *advise = nullptr;
    if (!adviseHolder_) return S_OK;
    return adviseHolder_->EnumAdvise(advise);
}

STDMETHODIMP DocumentObject::GetMiscStatus(DWORD, DWORD* status) {
    if (!status) return E_POINTER;
    *status = OLEMISC_RECOMPOSEONRESIZE;
    return S_OK;
}

STDMETHODIMP DocumentObject::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---------------------------------------------------------------- IDataObject

STDMETHODIMP DocumentObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (!format || !medium) return E_POINTER;
    if (!supportedFormat(format)) return DV_E_FORMATETC;
    *medium = STGMEDIUM{};
    RECT pagePixels = {0, 0, kPagePixels.cx, kPagePixels.cy};
    if (format->cfFormat == CF_ENHMETAFILE) {
        RECT frame = {0, 0, kPageHimetric.cx, kPageHimetric.cy};
        HDC dc = ::CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
        if (!dc) return E_OUTOFMEMORY;
        paintPage(dc, pagePixels, displayName(), content);
        medium->tymed = TYMED_ENHMF;
        medium->hEnhMetaFile = ::CloseEnhMetaFile(dc);
        return medium->hEnhMetaFile ? S_OK : E_OUTOFMEMORY;
    }
    HDC dc = ::CreateMetaFileW(nullptr);
    if (!dc) return E_OUTOFMEMORY;
    ::SetWindowOrgEx(dc, 0, 0, nullptr);
    ::SetWindowExtEx(dc, kPagePixels.cx, kPagePixels.cy, nullptr);
    paintPage(dc, pagePixels, displayName(), content);
    HMETAFILE mf = ::CloseMetaFile(dc);
    HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT));
    if (!mf || !mem) {
        if (mf) ::DeleteMetaFile(mf);
        if (mem) ::GlobalFree(mem);
        return E_OUTOFMEMORY;
    }
    auto* pict = static_cast<METAFILEPICT*>(::GlobalLock(mem));
    pict->mm = MM_ANISOTROPIC;
    pict->xExt = kPageHimetric.cx;
    pict->yExt = kPageHimetric.cy;
    pict->hMF = mf;
    ::GlobalUnlock(mem);
    medium->tymed = TYMED_MFPICT;
    medium->hMetaFilePict = mem;
    return S_OK;
}

// Storage formats ("Embed Source") are not offered: OLE then asks
// IPersistStorage to write the embedding, which is the path it prefers.
STDMETHODIMP DocumentObject::GetDataHere(FORMATETC*, STGMEDIUM*) { return DV_E_FORMATETC; }

STDMETHODIMP DocumentObject::QueryGetData(FORMATETC* format) {
    if (!format) return E_POINTER;
    return supportedFormat(format) ? S_OK : DV_E_FORMATETC;
}

STDMETHODIMP DocumentObject::GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) {
    if (!out) return E_POINTER;
    if (in) *out = *in;
    out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

STDMETHODIMP DocumentObject::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

STDMETHODIMP DocumentObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) {
    if (!formats) return E_POINTER;
    *formats = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    std::vector<FORMATETC> list = {
        {CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF},
        {CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT},
    };
    *formats = VectorEnum<IEnumFORMATETC, FORMATETC, FormatTraits>::make(IID_IEnumFORMATETC, std::move(list));
    return S_OK;
}

STDMETHODIMP DocumentObject::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) {
    if (!dataAdviseHolder_) {
        HRESULT hr = ::CreateDataAdviseHolder(dataAdviseHolder_.put());
        if (FAILED(hr)) return hr;
    }
    return dataAdviseHolder_->Advise(static_cast<IDataObject*>(this), format, flags, sink, connection);
}

STDMETHODIMP DocumentObject::DUnadvise(DWORD connection) {
    if (!dataAdviseHolder_) return OLE_E_NOCONNECTION;
    return dataAdviseHolder_->Unadvise(connection);
}

STDMETHODIMP DocumentObject::EnumDAdvise(IEnumSTATDATA** advise) {
    if (!advise) return E_POINTER;
    *advise = nullptr;
    if (!dataAdviseHolder_) return S_OK;
    return dataAdviseHolder_->EnumAdvise(advise);
}

// ---------------------------------------------------------------- persistence

STDMETHODIMP DocumentObject::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = clsid_;
    return S_OK;
}

STDMETHODIMP DocumentObject::IsDirty() { return saved ? S_FALSE : S_OK; }

STDMETHODIMP DocumentObject::InitNew(IStorage*) {
    journalLine(L"PersistStorage.InitNew");
    content = DocumentContent{};
    content.suite = suite_;
    saved = false;
    return S_OK;
}

STDMETHODIMP DocumentObject::Load(IStorage* storage) {
    journalLine(L"PersistStorage.Load");
    DocumentContent loaded;
    HRESULT hr = readStorage(storage, loaded);
    if (FAILED(hr)) return noted(L"PersistStorage.Load", hr);
    if (loaded.suite != suite_) return noted(L"PersistStorage.Load", STG_E_DOCFILECORRUPT);
    content = std::move(loaded);
    path.clear();
    saved = true;
    selectionStart = selectionEnd = 0;
    nextPictureId = 1;
    for (const auto& p : content.pictures) nextPictureId = std::max(nextPictureId, p.id + 1);
    return S_OK;
}

STDMETHODIMP DocumentObject::Save(IStorage* storage, BOOL sameAsLoad) {
    const std::wstring line = std::wstring(L"PersistStorage.Save(") + (sameAsLoad ? L"True" : L"False") + L")";
    journalLine(line);
    DocumentContent out = content;
    out.name = displayName();
    HRESULT hr = writeStorage(storage, clsid_, out);
    if (FAILED(hr)) return noted(line, hr);
    if (sameAsLoad) saved = true;
    if (adviseHolder_) adviseHolder_->SendOnSave();
    return S_OK;
}

STDMETHODIMP DocumentObject::SaveCompleted(IStorage*) {
    journalLine(L"PersistStorage.SaveCompleted");
    saved = true;
    return S_OK;
}

STDMETHODIMP DocumentObject::HandsOffStorage() {
    journalLine(L"PersistStorage.HandsOffStorage");
    return S_OK;
}

STDMETHODIMP DocumentObject::Load(LPCOLESTR fileName, DWORD) {
    std::wstring line = L"PersistFile.Load(" + quote(fileName ? fileName : L"") + L")";
    journalLine(line);
    if (!fileName) return noted(line, E_POINTER);
    try {
        content = readDocumentFile(fileName, suite_);
    } catch (const FormatError&) {
        return noted(line, STG_E_DOCFILECORRUPT);
    } catch (const std::system_error& e) {
        return noted(line, HRESULT_FROM_WIN32(static_cast<DWORD>(e.code().value())));
    }
    // Only read: the file is not held, as OLE reads it to embed a copy.
    path = fileName;
    content.name = baseName(path);
    saved = true;
    return S_OK;
}

STDMETHODIMP DocumentObject::Save(LPCOLESTR fileName, BOOL remember) {
    std::wstring target = fileName ? fileName : path;
    std::wstring line = L"PersistFile.Save(" + quote(target) + L", " + (remember ? L"True" : L"False") + L")";
    journalLine(line);
    if (target.empty()) return noted(line, E_INVALIDARG);
    DocumentContent out = content;
    out.name = baseName(target);
    try {
        writeDocumentFile(target, clsid_, out);
    } catch (const std::system_error& e) {
        return noted(line, HRESULT_FROM_WIN32(static_cast<DWORD>(e.code().value())));
    } catch (const std::exception&) {
        return noted(line, E_FAIL);
    }
    if (!fileName || remember) {
        path = target;
        saved = true;
    }
    return S_OK;
}

STDMETHODIMP DocumentObject::SaveCompleted(LPCOLESTR) { return S_OK; }

STDMETHODIMP DocumentObject::GetCurFile(LPOLESTR* fileName) {
    if (!fileName) return E_POINTER;
    std::wstring name = path.empty() ? (suite_ == Suite::Word ? L"*.docx" : L"*.xlsx") : path;
    size_t bytes = (name.size() + 1) * sizeof(wchar_t);
    *fileName = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
    if (!*fileName) return E_OUTOFMEMORY;
    memcpy(*fileName, name.c_str(), bytes);
    return path.empty() ? S_FALSE : S_OK;
}

// ---------------------------------------------------------------- in place

STDMETHODIMP DocumentObject::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = window_;
    return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP DocumentObject::ContextSensitiveHelp(BOOL) { return S_OK; }

STDMETHODIMP DocumentObject::InPlaceDeactivate() {
    if (!inPlaceActive_) return S_OK;
    journalLine(L"InPlaceObject.InPlaceDeactivate");
    ComPtr<DocumentObject> keep(this);
    UIDeactivate();
    inPlaceActive_ = false;
    if (window_) {
        ::DestroyWindow(window_);
        window_ = nullptr;
    }
    auto site = std::move(inPlaceSite_);
    frame_.reset();
    uiWindow_.reset();
    if (site) site->OnInPlaceDeactivate();
    return S_OK;
}

STDMETHODIMP DocumentObject::UIDeactivate() {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    if (uiWindow_) uiWindow_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP DocumentObject::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position) return E_POINTER;
    if (window_ && !ownWindow_)
        ::MoveWindow(window_, position->left, position->top, position->right - position->left,
                     position->bottom - position->top, TRUE);
    if (pageFit) zoomPercent = fitZoom(pageFit);
    return S_OK;
}

STDMETHODIMP DocumentObject::ReactivateAndUndo() { return INPLACE_E_NOTUNDOABLE; }

STDMETHODIMP DocumentObject::TranslateAccelerator(LPMSG msg) {
    // Word keeps no accelerators of its own here; the journal shows that a
    // key pressed in the container was offered to the document first.
    if (msg && msg->message == WM_KEYDOWN)
        journalLine(L"InPlaceActiveObject.TranslateAccelerator(WM_KEYDOWN, " + std::to_wstring(msg->wParam) + L")");
    return S_FALSE;
}

STDMETHODIMP DocumentObject::OnFrameWindowActivate(BOOL) { return S_OK; }

STDMETHODIMP DocumentObject::OnDocWindowActivate(BOOL) { return S_OK; }

STDMETHODIMP DocumentObject::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }

STDMETHODIMP DocumentObject::EnableModeless(BOOL) { return S_OK; }

// ---------------------------------------------------------------- command target

STDMETHODIMP DocumentObject::QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) {
    std::wstring ids;
    for (ULONG i = 0; commands && i < count; ++i) ids += (i ? L", " : L"") + std::to_wstring(commands[i].cmdID);
    journalLine(L"CommandTarget.QueryStatus(" + ids + L")");
    if (group && *group != GUID_NULL) return OLECMDERR_E_UNKNOWNGROUP;
    if (!commands) return E_POINTER;
    for (ULONG i = 0; i < count; ++i)
        commands[i].cmdf = commands[i].cmdID == OLECMDID_PRINT ? (OLECMDF_SUPPORTED | OLECMDF_ENABLED) : 0;
    if (text) text->cwActual = 0;
    return S_OK;
}

STDMETHODIMP DocumentObject::Exec(const GUID* group, DWORD id, DWORD option, VARIANT*, VARIANT*) {
    std::wstring line = L"CommandTarget.Exec(" + std::to_wstring(id) + L", " + std::to_wstring(option) + L")";
    journalLine(line);
    if (group && *group != GUID_NULL) return OLECMDERR_E_UNKNOWNGROUP;
    if (id != OLECMDID_PRINT) return OLECMDERR_E_NOTSUPPORTED;
    if (option == OLECMDEXECOPT_SHOWHELP) return OLECMDERR_E_NOTSUPPORTED;
    ComPtr<DocumentObject> keep(this);
    try {
        // The default for printing is to ask, as the applications do.
        bool prompt = option != OLECMDEXECOPT_DONTPROMPTUSER;
        return printCommand(prompt) ? S_OK : OLECMDERR_E_CANCELED;
    } catch (const DispatchFault& f) {
        return noted(line, faultResult(f));
    }
}

// ---------------------------------------------------------------- drawing

STDMETHODIMP DocumentObject::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                                  BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_DOCPRINT && aspect != DVASPECT_THUMBNAIL) return DV_E_DVASPECT;
    if (!dc || !bounds) return E_INVALIDARG;
    RECT page = {bounds->left, bounds->top, bounds->right, bounds->bottom};
    paintPage(dc, page, displayName(), content);
    return S_OK;
}

STDMETHODIMP DocumentObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colours) {
    if (colours) *colours = nullptr;
    return S_FALSE;
}

STDMETHODIMP DocumentObject::Freeze(DWORD, LONG, void*, DWORD* freeze) {
    if (freeze) *freeze = 0;
    return E_NOTIMPL;
}

STDMETHODIMP DocumentObject::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP DocumentObject::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    viewAspects_ = aspects;
    viewFlags_ = flags;
    viewSink_ = ComPtr<IAdviseSink>(sink);
    return S_OK;
}

STDMETHODIMP DocumentObject::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects) *aspects = viewAspects_;
    if (flags) *flags = viewFlags_;
    if (sink) {
        *sink = viewSink_.get();
        if (*sink) (*sink)->AddRef();
    }
    return S_OK;
}

STDMETHODIMP DocumentObject::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

// ---------------------------------------------------------------- running

STDMETHODIMP DocumentObject::GetRunningClass(LPCLSID clsid) { return GetClassID(clsid); }

STDMETHODIMP DocumentObject::Run(LPBINDCTX) {
    journalLine(L"RunnableObject.Run");
    joinApplication();
    return S_OK;
}

STDMETHODIMP_(BOOL) DocumentObject::IsRunning() { return joined_; }

STDMETHODIMP DocumentObject::LockRunning(BOOL, BOOL) { return S_OK; }

STDMETHODIMP DocumentObject::SetContainedObject(BOOL) { return S_OK; }

}  // namespace orvo::fake
