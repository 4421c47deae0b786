#include "hosting/ole_container.h"

#include <ocidl.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "hosting/borrowed_lock_bytes.h"
#include "hosting/office_suite.h"
#include "support/portable/app_error.h"
#include "support/portable/container_stream.h"
#include "support/portable/program_names.h"
#include "support/win32/com_object.h"
#include "support/win32/unique.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {

// "不支持的文档类型，已拒绝打开"
const char kRefusedDocumentMessage[] =
    "\xB2\xBB\xD6\xA7\xB3\xD6\xB5\xC4\xCE\xC4\xB5\xB5\xC0\xE0\xD0\xCD\xA3\xAC\xD2\xD1\xBE\xDC\xBE\xF8\xB4\xF2\xBF\xAA";

namespace {

// Word and Excel document classes, and nothing else: no templates, no
// macro-enabled formats, no charts or pictures, and above all none of the
// classes that wrap or start other programs (Packager and the like). The
// 6.0/95 and 5.0/95 classes are what genuine older .doc and .xls files carry;
// their servers are Word and Excel themselves.
constexpr AcceptedDocumentClass kAccepted[] = {
    {"Word.Document.8", {0x00020906, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
     ".doc, Word 97-2003"},
    {"Word.Document.12", {0xF4754C9B, 0x64F5, 0x4B40, {0x8A, 0xF4, 0x67, 0x97, 0x32, 0xAC, 0x06, 0x07}},
     ".docx"},
    {"Word.Document.6", {0x00020900, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
     ".doc, Word 6.0/95"},
    {"Excel.Sheet.8", {0x00020820, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
     ".xls, Excel 97-2003"},
    {"Excel.Sheet.12", {0x00020830, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
     ".xlsx"},
    {"Excel.Sheet.5", {0x00020810, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
     ".xls, Excel 5.0/95"},
};

constexpr wchar_t kContainerClass[] = L"OrvoOleContainer";
constexpr int kHimetricPerInch = 2540;

SIZE pixelsPerInch() noexcept {
    WindowDc screen(nullptr);
    return {::GetDeviceCaps(screen.get(), LOGPIXELSX), ::GetDeviceCaps(screen.get(), LOGPIXELSY)};
}

SIZEL himetricFromPixels(int width, int height) noexcept {
    SIZE ppi = pixelsPerInch();
    return {::MulDiv(width, kHimetricPerInch, ppi.cx), ::MulDiv(height, kHimetricPerInch, ppi.cy)};
}

SIZE pixelsFromHimetric(const SIZEL& extent) noexcept {
    SIZE ppi = pixelsPerInch();
    return {::MulDiv(extent.cx, ppi.cx, kHimetricPerInch), ::MulDiv(extent.cy, ppi.cy, kHimetricPerInch)};
}

// An operation's name as its error box shows it.
std::string op(const wchar_t* name) { return wideToGbk(name); }

// Closes and lets go of an object that never made it into the container.
void discard(const ComPtr<IOleObject>& object) noexcept {
    if (!object) return;
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
}

// A compound file beside the target, so a failed save leaves the target as it was.
std::wstring siblingTempPath(const std::wstring& target) {
    std::wstring folder = L".";
    size_t cut = target.find_last_of(L"\\/");
    if (cut != std::wstring::npos) folder = target.substr(0, cut == 0 ? 1 : cut);
    wchar_t buffer[MAX_PATH + 1] = {};
    throwLastErrorIf(::GetTempFileNameW(folder.c_str(), L"orv", 0, buffer) == 0, "GetTempFileName");
    return buffer;
}

const AcceptedDocumentClass* microsoftClass(const CLSID& clsid) noexcept {
    auto found = std::find_if(std::begin(kAccepted), std::end(kAccepted),
                              [&](const AcceptedDocumentClass& c) { return ::IsEqualCLSID(c.clsid, clsid) != FALSE; });
    return found == std::end(kAccepted) ? nullptr : found;
}

// What OleLoad does, for a class other than the one the storage names.
ComPtr<IOleObject> loadAs(const CLSID& clsid, IStorage* storage, IOleClientSite* site) {
    ComPtr<IOleObject> object;
    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, IID_IOleObject,
                                    object.putVoid());
    // An out-of-process server, as WPS is, is reached through OLE's own handler.
    if (hr == REGDB_E_CLASSNOTREG) hr = ::OleCreateDefaultHandler(clsid, nullptr, IID_IOleObject, object.putVoid());
    throwIfFailed(hr, op(L"载入文档"));
    DWORD misc = 0;
    object->GetMiscStatus(DVASPECT_CONTENT, &misc);
    const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst) object->SetClientSite(site);
    ComPtr<IPersistStorage> persist;
    hr = object.queryTo(persist);
    if (SUCCEEDED(hr)) hr = persist->Load(storage);
    if (FAILED(hr)) {
        discard(object);
        throw ComError(hr, op(L"载入文档"));
    }
    if (!siteFirst) object->SetClientSite(site);
    return object;
}

}  // namespace

std::span<const AcceptedDocumentClass> acceptedDocumentClasses() noexcept { return kAccepted; }

bool isAcceptedDocumentClass(const CLSID& clsid) noexcept {
    if (microsoftClass(clsid)) return true;
    try {
        return isWpsDocumentClass(clsid);
    } catch (...) {
        return false;
    }
}

// ---------------------------------------------------------------------------
// The in-place frame: the top-level window around the container. It offers no
// tool space and no menus; the hosted application keeps its bars to itself.
class OleDocumentContainer::Frame final : public ComObject<IOleInPlaceFrame> {
public:
    explicit Frame(OleDocumentContainer* owner) noexcept : owner_(owner) {}

    void detach() noexcept {
        owner_ = nullptr;
        active_ = nullptr;
    }
    void forgetActiveObject() noexcept { active_ = nullptr; }
    ComPtr<IOleInPlaceActiveObject> activeObject() const noexcept { return active_; }
    HWND frameWindow() const noexcept {
        HWND container = owner_ ? owner_->hwnd() : nullptr;
        return container ? ::GetAncestor(container, GA_ROOT) : nullptr;
    }

    void* queryMore(REFIID iid) override { return answerAs<IOleWindow, IOleInPlaceUIWindow>(iid); }

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = frameWindow();
        return *window ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceUIWindow
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS widths) override {
        return widths ? INPLACE_E_NOTOOLSPACE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
        active_ = ComPtr<IOleInPlaceActiveObject>(owner_ ? object : nullptr);
        return S_OK;
    }

    // IOleInPlaceFrame
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS widths) override {
        if (widths) widths->width[0] = widths->width[2] = widths->width[4] = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    ~Frame() override = default;
    OleDocumentContainer* owner_;
    ComPtr<IOleInPlaceActiveObject> active_;
};

// ---------------------------------------------------------------------------
// The client site: what the embedded object sees of the container. It is
// reference counted on its own, because a server may keep it after the
// container is gone; from then on it answers without touching the container.
class OleDocumentContainer::Site final : public ComObject<IOleClientSite, IOleInPlaceSiteEx, IAdviseSink> {
public:
    explicit Site(OleDocumentContainer* owner) noexcept
        : owner_(owner), frame_(ComPtr<Frame>::attach(new Frame(owner))) {}

    void detach() noexcept {
        owner_ = nullptr;
        frame_->detach();
    }
    // A server that ends without saying goodbye must not stay referenced.
    void forgetActiveObject() noexcept { frame_->forgetActiveObject(); }
    ComPtr<IOleInPlaceActiveObject> activeObject() const noexcept { return frame_->activeObject(); }
    IOleClientSite* clientSite() noexcept { return this; }
    IAdviseSink* adviseSink() noexcept { return this; }

    void* queryMore(REFIID iid) override { return answerAs<IOleWindow, IOleInPlaceSite>(iid); }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return owner_ ? owner_->saveObject() : E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        if (moniker) *moniker = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
        if (container) *container = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return owner_ ? S_OK : E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL shown) override {
        if (owner_) owner_->onShowWindow(shown != FALSE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = owner_ ? owner_->hwnd() : nullptr;
        return *window ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return owner_ && owner_->hwnd() ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override {
        if (!owner_) return E_UNEXPECTED;
        owner_->onInPlaceActivate(true);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override {
        if (!owner_) return E_UNEXPECTED;
        owner_->onUIActivate(true);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        if (!frame || !document || !position || !clip || !info) return E_POINTER;
        *frame = nullptr;
        *document = nullptr;  // the frame is the document window too
        if (!owner_ || !owner_->hwnd()) return E_UNEXPECTED;
        frame_->AddRef();
        *frame = frame_.get();
        *position = owner_->objectRect();
        *clip = owner_->clientRect();
        info->fMDIApp = FALSE;
        info->hwndFrame = frame_->frameWindow();
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override {
        if (owner_) owner_->onUIActivate(false);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override {
        if (owner_) owner_->onInPlaceActivate(false);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override {
        if (owner_ && owner_->inPlace_) owner_->inPlace_->InPlaceDeactivate();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override {
        // The object's place is the container's to decide: put it back.
        if (owner_) owner_->placeObject();
        return S_OK;
    }

    // IOleInPlaceSiteEx
    HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL* noRedraw, DWORD) override {
        if (noRedraw) *noRedraw = FALSE;
        return OnInPlaceActivate();
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL) override { return OnInPlaceDeactivate(); }
    HRESULT STDMETHODCALLTYPE RequestUIActivate() override { return owner_ ? S_OK : S_FALSE; }

    // IAdviseSink
    void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override {
        if (owner_) owner_->onViewChange();
    }
    void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
    void STDMETHODCALLTYPE OnSave() override {}
    void STDMETHODCALLTYPE OnClose() override {
        if (owner_) owner_->onObjectClosed();
    }

private:
    ~Site() override = default;
    OleDocumentContainer* owner_;
    ComPtr<Frame> frame_;
};

// ---------------------------------------------------------------------------

OleDocumentContainer::OleDocumentContainer(HWND parent, int controlId, const RECT& bounds, OleBorderStyle border)
    : site_(ComPtr<Site>::attach(new Site(this))), border_(border) {
    ClassParams cls{kContainerClass};
    CreateParams params;
    params.style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_TABSTOP |
                 (border == OleBorderStyle::Single ? WS_BORDER : 0);
    params.x = bounds.left;
    params.y = bounds.top;
    params.width = bounds.right - bounds.left;
    params.height = bounds.bottom - bounds.top;
    params.parent = parent;
    try {
        create(cls, params);
    } catch (...) {
        site_->detach();
        throw;
    }
    ::SetWindowLongPtrW(hwnd(), GWLP_ID, controlId);
}

OleDocumentContainer::~OleDocumentContainer() {
    destroyObject();
    site_->detach();
}

OleContainerState OleDocumentContainer::state() const noexcept {
    if (!object_) return OleContainerState::Empty;
    if (uiActive_) return OleContainerState::UIActive;
    if (inPlaceActive_) return OleContainerState::InPlaceActive;
    if (open_) return OleContainerState::Open;
    return ::OleIsRunning(object_.get()) ? OleContainerState::Running : OleContainerState::Loaded;
}

void OleDocumentContainer::requireObject() const {
    if (!object_) throw AppError(kEmptyContainerMessage);
}

void OleDocumentContainer::createFromFile(const std::string& gbkPath) {
    destroyObject();
    const std::wstring path = gbkToWide(gbkPath);

    // The file name came from the request: the class the file resolves to
    // (its storage's class, or else its extension's) picks the server that
    // OLE would start, so it is checked before anything is started.
    CLSID fileClass{};
    if (FAILED(::GetClassFile(path.c_str(), &fileClass)) || !isAcceptedDocumentClass(fileClass))
        throw AppError(kRefusedDocumentMessage);

    ComPtr<ILockBytes> bytes;
    throwIfFailed(::CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put()), op(L"创建内存存储"));
    ComPtr<IStorage> storage;
    throwIfFailed(::StgCreateDocfileOnILockBytes(bytes.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                                 storage.put()),
                  op(L"创建内存存储"));
    ComPtr<IOleObject> object;
    throwIfFailed(::OleCreateFromFile(CLSID_NULL, path.c_str(), IID_IOleObject, OLERENDER_DRAW, nullptr,
                                      site_->clientSite(), storage.get(), object.putVoid()),
                  op(L"从文件创建文档"));
    // The server wrote the object's storage; its class is the one that runs
    // from now on.
    CLSID objectClass{};
    if (FAILED(::ReadClassStg(storage.get(), &objectClass)) || !isAcceptedDocumentClass(objectClass)) {
        discard(object);
        throw AppError(kRefusedDocumentMessage);
    }
    adopt(std::move(object), std::move(storage), std::move(bytes), DVASPECT_CONTENT);

    RECT client = clientRect();
    SIZEL extent = himetricFromPixels(client.right - client.left, client.bottom - client.top);
    object_->SetExtent(DVASPECT_CONTENT, &extent);  // a server that is not running yet keeps its own
    if (sizeMode_ == OleSizeMode::Automatic) fitToObject();
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void OleDocumentContainer::loadFromStream(std::string_view containerStream) {
    destroyObject();
    const ContainerStreamContents stream = readContainerStream(containerStream);
    if (stream.drawAspect != DVASPECT_CONTENT && stream.drawAspect != DVASPECT_ICON)
        throw AppError("Invalid stream format");

    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, std::max<SIZE_T>(stream.data.size(), 1));
    throwLastErrorIf(memory == nullptr, "GlobalAlloc");
    if (void* target = ::GlobalLock(memory)) {
        if (!stream.data.empty()) std::memcpy(target, stream.data.data(), stream.data.size());
        ::GlobalUnlock(memory);
    }
    ComPtr<ILockBytes> bytes;
    HRESULT hr = ::CreateILockBytesOnHGlobal(memory, TRUE, bytes.put());
    if (FAILED(hr)) {
        ::GlobalFree(memory);
        throw ComError(hr, op(L"创建内存存储"));
    }
    // The memory block may be larger than asked for; the storage must see
    // exactly the document's bytes.
    ULARGE_INTEGER size;
    size.QuadPart = stream.data.size();
    throwIfFailed(bytes->SetSize(size), op(L"创建内存存储"));
    loadFromBytes(std::move(bytes), stream.drawAspect);
}

void OleDocumentContainer::loadFromBorrowedStream(std::string_view containerStream) {
    destroyObject();
    const ContainerStreamContents stream = readContainerStream(containerStream);
    if (stream.drawAspect != DVASPECT_CONTENT && stream.drawAspect != DVASPECT_ICON)
        throw AppError("Invalid stream format");
    auto borrowed = ComPtr<BorrowedLockBytes>::attach(new BorrowedLockBytes(
        {reinterpret_cast<const std::uint8_t*>(stream.data.data()), stream.data.size()}));
    borrowed_ = borrowed;
    try {
        loadFromBytes(ComPtr<ILockBytes>(borrowed.get()), stream.drawAspect);
    } catch (...) {
        borrowed->forget();
        borrowed_ = nullptr;
        throw;
    }
}

void OleDocumentContainer::loadFromBytes(ComPtr<ILockBytes> bytes, DWORD aspect) {
    ComPtr<IStorage> storage;
    throwIfFailed(::StgOpenStorageOnILockBytes(bytes.get(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr,
                                               0, storage.put()),
                  op(L"打开文档存储"));
    // The document names the class that would serve it; only Word and Excel
    // documents are let through, before any server is started.
    CLSID documentClass{};
    throwIfFailed(::ReadClassStg(storage.get(), &documentClass), op(L"读取文档类型"));
    if (!isAcceptedDocumentClass(documentClass)) throw AppError(kRefusedDocumentMessage);

    ComPtr<IOleObject> object = loadObject(storage.get(), documentClass);
    adopt(std::move(object), std::move(storage), std::move(bytes), aspect);
    if (sizeMode_ == OleSizeMode::Automatic) fitToObject();
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

ComPtr<IOleObject> OleDocumentContainer::loadObject(IStorage* storage, const CLSID& documentClass) {
    // A Word or Excel document on a PC without Microsoft Office opens in the
    // matching WPS document class, which reads the same storage.
    if (const AcceptedDocumentClass* microsoft = microsoftClass(documentClass);
        microsoft && !isClassRegistered(documentClass)) {
        const OfficeApp app = std::strncmp(microsoft->progId, "Word.", 5) == 0 ? OfficeApp::Writer
                                                                               : OfficeApp::Spreadsheet;
        requireOfficeApplication(app);
        if (std::optional<CLSID> wps = wpsDocumentClass(app)) return loadAs(*wps, storage, site_->clientSite());
    }
    ComPtr<IOleObject> object;
    throwIfFailed(::OleLoad(storage, IID_IOleObject, site_->clientSite(), object.putVoid()), op(L"载入文档"));
    return object;
}

void OleDocumentContainer::adopt(ComPtr<IOleObject> object, ComPtr<IStorage> storage, ComPtr<ILockBytes> bytes,
                                 DWORD aspect) {
    object_ = std::move(object);
    storage_ = std::move(storage);
    bytes_ = std::move(bytes);
    aspect_ = aspect;
    lastExtent_ = {};
    // Loading already handed over the client site; the rest is courtesy that
    // a server may decline.
    object_->SetHostNames(kApplicationTitle, L"OleContainer");
    if (FAILED(object_->Advise(site_->adviseSink(), &adviseConnection_))) adviseConnection_ = 0;
    if (auto view = object_.tryQuery<IViewObject>()) view->SetAdvise(aspect_, 0, site_->adviseSink());
    ::OleSetContainedObject(object_.get(), TRUE);
}

void OleDocumentContainer::destroyObject() noexcept {
    if (!object_) return;
    ComPtr<IOleObject> object = object_;  // alive until the end of the teardown
    if (inPlace_) inPlace_->InPlaceDeactivate();
    object->Close(OLECLOSE_NOSAVE);
    if (adviseConnection_) object->Unadvise(adviseConnection_);
    if (auto view = object.tryQuery<IViewObject>()) view->SetAdvise(aspect_, 0, nullptr);
    object->SetClientSite(nullptr);
    site_->forgetActiveObject();
    inPlace_ = nullptr;
    object_ = nullptr;
    storage_ = nullptr;
    bytes_ = nullptr;
    // Whatever the server still holds of the storage must not reach memory
    // its owner may free now.
    if (borrowed_) borrowed_->forget();
    borrowed_ = nullptr;
    adviseConnection_ = 0;
    inPlaceActive_ = uiActive_ = open_ = false;
    aspect_ = DVASPECT_CONTENT;
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void OleDocumentContainer::run() {
    requireObject();
    throwIfFailed(::OleRun(object_.get()), op(L"启动文档服务程序"));
}

void OleDocumentContainer::activate(LONG verb) {
    requireObject();
    RECT position = objectRect();
    throwIfFailed(object_->DoVerb(verb, nullptr, site_->clientSite(), 0, hwnd(), &position), op(L"激活文档"));
    if (sizeMode_ == OleSizeMode::Automatic) fitToObject();
}

ComPtr<IDispatch> OleDocumentContainer::automationObject() const {
    requireObject();
    ComPtr<IDispatch> dispatch;
    throwIfFailed(object_.queryTo(dispatch), op(L"取得文档的自动化对象"));
    return dispatch;
}

ComPtr<IOleCommandTarget> OleDocumentContainer::commandTarget() const {
    requireObject();
    ComPtr<IOleCommandTarget> target;
    throwIfFailed(object_.queryTo(target), op(L"取得文档的命令接口"));
    return target;
}

bool OleDocumentContainer::printWithHostDialog() {
    ComPtr<IOleCommandTarget> target = commandTarget();
    OLECMD command{OLECMDID_PRINT, 0};
    if (FAILED(target->QueryStatus(nullptr, 1, &command, nullptr)) || !(command.cmdf & OLECMDF_SUPPORTED))
        return false;
    // The user may cancel the dialog or the server may fail to print; either
    // way the server has had its say.
    target->Exec(nullptr, OLECMDID_PRINT, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr);
    return true;
}

void OleDocumentContainer::saveAsDocument(const std::string& gbkPath) {
    requireObject();
    ComPtr<IPersistStorage> persist;
    throwIfFailed(object_.queryTo(persist), op(L"取得文档的存储接口"));

    const std::wstring target = gbkToWide(gbkPath);
    const std::wstring temp = siblingTempPath(target);
    HRESULT saved;
    {
        ComPtr<IStorage> file;
        HRESULT hr = ::StgCreateDocfile(temp.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                        file.put());
        if (FAILED(hr)) {
            ::DeleteFileW(temp.c_str());
            throw ComError(hr, op(L"创建文件"));
        }
        saved = ::OleSave(persist.get(), file.get(), FALSE);
        // A copy was written: the object goes back to its own storage. OLE
        // leaves this call to the container.
        persist->SaveCompleted(nullptr);
        if (SUCCEEDED(saved)) saved = file->Commit(STGC_DEFAULT);
    }  // the file is closed here
    if (FAILED(saved)) {
        ::DeleteFileW(temp.c_str());
        throw ComError(saved, op(L"保存文档"));
    }
    if (!::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
        DWORD error = ::GetLastError();
        ::DeleteFileW(temp.c_str());
        throw Win32Error(error, op(L"替换文件"));
    }
}

void OleDocumentContainer::close() {
    requireObject();
    throwIfFailed(object_->Close(OLECLOSE_SAVEIFDIRTY), op(L"关闭文档"));
}

bool OleDocumentContainer::translateAccelerator(MSG& msg) {
    ComPtr<IOleInPlaceActiveObject> active = site_->activeObject();
    return active && active->TranslateAccelerator(&msg) == S_OK;
}

void OleDocumentContainer::focus() {
    requireObject();
    ::SetFocus(hwnd());
}

void OleDocumentContainer::setSizeMode(OleSizeMode mode) {
    sizeMode_ = mode;
    lastExtent_ = {};
    if (mode == OleSizeMode::Automatic) fitToObject();
    placeObject();
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void OleDocumentContainer::setBorder(OleBorderStyle border) {
    border_ = border;
    if (!hwnd()) return;
    LONG_PTR style = ::GetWindowLongPtrW(hwnd(), GWL_STYLE);
    style = border == OleBorderStyle::Single ? (style | WS_BORDER) : (style & ~static_cast<LONG_PTR>(WS_BORDER));
    ::SetWindowLongPtrW(hwnd(), GWL_STYLE, style);
    ::SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void OleDocumentContainer::setBounds(int x, int y, int width, int height) {
    if (hwnd()) ::MoveWindow(hwnd(), x, y, std::max(width, 0), std::max(height, 0), TRUE);
}

RECT OleDocumentContainer::clientRect() const noexcept {
    RECT r{};
    if (hwnd()) ::GetClientRect(hwnd(), &r);
    return r;
}

// An active object fills the client area; the size mode decides the client
// area (automatic) or how the inactive picture is placed (clip).
RECT OleDocumentContainer::objectRect() const noexcept { return clientRect(); }

void OleDocumentContainer::placeObject() noexcept {
    if (!inPlace_ || placing_) return;
    placing_ = true;  // a server that answers with OnPosRectChange is not heard twice
    RECT position = objectRect();
    RECT clip = clientRect();
    ComPtr<IOleInPlaceObject> object = inPlace_;
    object->SetObjectRects(&position, &clip);
    placing_ = false;
}

// Sizes the container to the object's own extent. Only a change of that
// extent resizes it again, so bounds set afterwards by the owner hold until
// the object itself grows or shrinks.
void OleDocumentContainer::fitToObject() noexcept {
    if (!object_ || !hwnd()) return;
    SIZEL extent{};
    if (FAILED(object_->GetExtent(aspect_, &extent)) || extent.cx <= 0 || extent.cy <= 0) return;
    if (extent.cx == lastExtent_.cx && extent.cy == lastExtent_.cy) return;
    lastExtent_ = extent;
    SIZE pixels = pixelsFromHimetric(extent);
    RECT frame{0, 0, pixels.cx, pixels.cy};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(hwnd(), GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(hwnd(), GWL_EXSTYLE)));
    ::SetWindowPos(hwnd(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void OleDocumentContainer::paint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd(), &ps);
    RECT client = clientRect();
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_WINDOW));
    if (object_ && !inPlaceActive_) {
        RECT picture = client;
        SIZEL extent{};
        if (sizeMode_ == OleSizeMode::Clip && SUCCEEDED(object_->GetExtent(aspect_, &extent)) && extent.cx > 0 &&
            extent.cy > 0) {
            SIZE pixels = pixelsFromHimetric(extent);
            picture = {0, 0, pixels.cx, pixels.cy};
        }
        ::OleDraw(object_.get(), aspect_, dc, &picture);
    }
    ::EndPaint(hwnd(), &ps);
}

HRESULT OleDocumentContainer::saveObject() noexcept {
    if (!object_ || !storage_) return E_UNEXPECTED;
    ComPtr<IPersistStorage> persist;
    HRESULT hr = object_.queryTo(persist);
    if (FAILED(hr)) return hr;
    hr = ::OleSave(persist.get(), storage_.get(), TRUE);
    HRESULT completed = persist->SaveCompleted(nullptr);
    return FAILED(hr) ? hr : completed;
}

void OleDocumentContainer::onInPlaceActivate(bool active) noexcept {
    inPlaceActive_ = active;
    if (active) {
        inPlace_ = object_ ? object_.tryQuery<IOleInPlaceObject>() : nullptr;
    } else {
        inPlace_ = nullptr;
        uiActive_ = false;
    }
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void OleDocumentContainer::onUIActivate(bool active) noexcept { uiActive_ = active; }

void OleDocumentContainer::onShowWindow(bool shown) noexcept {
    open_ = shown;
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void OleDocumentContainer::onViewChange() noexcept {
    if (sizeMode_ == OleSizeMode::Automatic) fitToObject();
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void OleDocumentContainer::onObjectClosed() noexcept {
    open_ = inPlaceActive_ = uiActive_ = false;
    inPlace_ = nullptr;
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, TRUE);
}

LRESULT OleDocumentContainer::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;  // painted whole in WM_PAINT
    case WM_PAINT:
        paint();
        return 0;
    case WM_SIZE:
        placeObject();
        ::InvalidateRect(hwnd(), nullptr, TRUE);
        return 0;
    case WM_SETFOCUS:
        // An active object takes the keys in its own window.
        if (inPlace_) {
            HWND inner = nullptr;
            if (SUCCEEDED(inPlace_->GetWindow(&inner)) && inner && inner != hwnd()) ::SetFocus(inner);
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // Activation is the program's business alone: a click only takes the focus.
        ::SetFocus(hwnd());
        return 0;
    case WM_DESTROY:
        // The server's in-place window is our child: let it go before we do.
        destroyObject();
        return defaultProc(msg, wp, lp);
    default:
        return defaultProc(msg, wp, lp);
    }
}

}  // namespace orvo
