// The application object: Word.Application (and the Excel application that
// embedded workbooks answer with), its document list, its events, quitting.
#include <algorithm>
#include "class_ids.h"
#include "control_window.h"
#include "journal.h"
#include "object_model.h"
#include "office_objects.h"

namespace orvo::fake {
namespace {

// Every application still running in this process, oldest first. Real
// applications run until they quit, whoever holds references to them.
std::vector<ComPtr<ApplicationObject>>& runningApplications() {
    static auto* list = new std::vector<ComPtr<ApplicationObject>>();
    return *list;
}

ApplicationObject* embeddingSlot[2] = {nullptr, nullptr};

}  // namespace

ApplicationObject::ApplicationObject(Suite suite, bool embedding, bool wps)
    : suite_(suite), embedding_(embedding), wps_(wps),
      appEvents_(this, wps ? kDiidWpsApplicationEvents : kDiidApplicationEvents) {
    if (wps)
        caption = suite == Suite::Word ? L"WPS 文字" : L"WPS 表格";
    else
        caption = suite == Suite::Word ? L"Microsoft Word" : L"Microsoft Excel";
}

ApplicationObject::~ApplicationObject() = default;

ComPtr<ApplicationObject> ApplicationObject::start(Suite suite, bool wps) {
    auto app = ComPtr<ApplicationObject>::attach(new ApplicationObject(suite, false, wps));
    if (suite == Suite::Word) app->window_ = std::make_unique<WordWindow>(*app);
    runningApplications().push_back(app);
    return app;
}

ApplicationObject& ApplicationObject::embeddingServer(Suite suite) {
    ApplicationObject*& slot = embeddingSlot[suite == Suite::Word ? 0 : 1];
    if (!slot || slot->ended_) {
        auto app = ComPtr<ApplicationObject>::attach(new ApplicationObject(suite, true));
        app->visible = false;
        runningApplications().push_back(app);
        slot = app.get();
    }
    return *slot;
}

ApplicationObject* ApplicationObject::newestWord() {
    auto& list = runningApplications();
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if ((*it)->suite_ == Suite::Word && !(*it)->embedding_ && !(*it)->ended_) return it->get();
    // The embedding server counts only while it shows documents.
    ApplicationObject* server = embeddingSlot[0];
    return server && !server->ended_ && !server->documents_.empty() ? server : nullptr;
}

void ApplicationObject::ensureRunning() const {
    if (crashed_) throwDisconnected();
    if (ended_) throwServerGone();
}

DocumentObject* ApplicationObject::findByPath(const std::wstring& path) const {
    for (const auto& e : documents_)
        if (!e.doc->path.empty() && ::CompareStringOrdinal(e.doc->path.c_str(), -1, path.c_str(), -1, TRUE) == CSTR_EQUAL)
            return e.doc;
    return nullptr;
}

DocumentObject& ApplicationObject::requireActiveDocument() const {
    ensureRunning();
    if (!active_) {
        if (suite_ == Suite::Word)
            throwModelError(4248, L"This command is not available because no document is open.");
        throwModelError(91, L"Object variable or With block variable not set");
    }
    return *active_;
}

void ApplicationObject::attach(DocumentObject* doc, bool owned, bool activateNow) {
    if (std::any_of(documents_.begin(), documents_.end(), [&](const Entry& e) { return e.doc == doc; })) return;
    if (owned) doc->AddRef();
    documents_.push_back({doc, owned});
    if (activateNow) activate(doc);
}

void ApplicationObject::detach(DocumentObject* doc, bool fireEvents) {
    auto it = std::find_if(documents_.begin(), documents_.end(), [&](const Entry& e) { return e.doc == doc; });
    if (it == documents_.end()) return;
    bool owned = it->owned;
    documents_.erase(it);
    bool wasActive = active_ == doc;
    if (wasActive) active_ = documents_.empty() ? nullptr : documents_.back().doc;
    ComPtr<ApplicationObject> keep(this);
    if (owned) doc->Release();
    if (wasActive && fireEvents) fireApplicationEvent(kEventDocumentChange, L"DocumentChange");
}

void ApplicationObject::activate(DocumentObject* doc) {
    if (active_ == doc) return;
    active_ = doc;
    refreshWindow();
    fireApplicationEvent(kEventDocumentChange, L"DocumentChange");
}

ComPtr<DocumentObject> ApplicationObject::openFile(const std::wstring& path, bool readOnly, bool revert) {
    ensureRunning();
    wchar_t full[MAX_PATH * 2];
    DWORD n = ::GetFullPathNameW(path.c_str(), ARRAYSIZE(full), full, nullptr);
    std::wstring fullPath = (n && n < ARRAYSIZE(full)) ? std::wstring(full, n) : path;
    if (DocumentObject* open = findByPath(fullPath)) {
        if (!revert) {
            activate(open);
            return ComPtr<DocumentObject>(open);
        }
        open->close(false, false);
    }
    CLSID clsid;
    Suite suite;
    if (!classForFileName(fullPath, clsid, suite) || suite != suite_)
        clsid = suite_ == Suite::Word ? kClsidWordDocument12 : kClsidExcelSheet12;
    auto doc = ComPtr<DocumentObject>::attach(new DocumentObject(clsid, false));
    journalMacroSecurity();
    doc->loadFromFile(fullPath, readOnly);
    doc->app_ = ComPtr<ApplicationObject>(this);
    doc->joined_ = true;
    // Word's order: the document's Open, then the application's
    // DocumentChange. A sink that moves to the active document at
    // DocumentChange never sees the Open of the document it moves to.
    attach(doc.get(), true, false);
    doc->fireDocumentEvent(kEventOpen, L"Open");
    if (doc->joined_) activate(doc.get());
    return doc;
}

void ApplicationObject::journalMacroSecurity() const {
    journalLine(L"AutomationSecurity at open: " + std::to_wstring(automationSecurity));
}

ComPtr<DocumentObject> ApplicationObject::newDocument() {
    ensureRunning();
    auto doc = ComPtr<DocumentObject>::attach(
        new DocumentObject(suite_ == Suite::Word ? kClsidWordDocument12 : kClsidExcelSheet12, false));
    doc->content.suite = suite_;
    doc->content.name = (suite_ == Suite::Word ? L"Document" : L"Book") + std::to_wstring(++untitledCounter);
    doc->app_ = ComPtr<ApplicationObject>(this);
    doc->joined_ = true;
    attach(doc.get(), true);
    if (doc->joined_) doc->fireDocumentEvent(kEventNew, L"New");
    return doc;
}

void ApplicationObject::quit(bool saveChanges) {
    ensureRunning();
    ComPtr<ApplicationObject> keep(this);
    // Saving happens before anything closes, so a failed save leaves all open.
    if (saveChanges)
        for (const auto& e : std::vector<Entry>(documents_))
            if (!e.doc->saved) e.doc->save();
    ended_ = true;
    std::vector<std::wstring> files;
    for (const auto& e : documents_)
        if (!e.doc->path.empty()) files.push_back(e.doc->path);
    while (!documents_.empty()) documents_.back().doc->close(false, false);
    holdFilesAfterQuit(files);
    window_.reset();
    fireApplicationEvent(kEventQuit, L"Quit");
    appEvents_.unadviseAll();
    auto& list = runningApplications();
    list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& a) { return a.get() == this; }), list.end());
}

void ApplicationObject::crash() {
    ensureRunning();
    ComPtr<ApplicationObject> keep(this);
    ended_ = crashed_ = true;
    // The process's windows and open files go with it; its documents stay
    // as they were last saved.
    for (const auto& e : documents_) e.doc->dropWithProcess();
    window_.reset();
    appEvents_.unadviseAll();
    auto& list = runningApplications();
    list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& a) { return a.get() == this; }), list.end());
}

void ApplicationObject::setVisible(bool show) {
    visible = show;
    if (window_) window_->setVisible(show);
}

void ApplicationObject::setCaption(std::wstring text) {
    caption = std::move(text);
    refreshWindow();
}

void ApplicationObject::refreshWindow() {
    if (window_) window_->refresh();
}

void ApplicationObject::fireApplicationEvent(DISPID id, const wchar_t* name) {
    journalLine(L"Event " + label_ + L"." + name);
    appEvents_.fire(id);
}

void* ApplicationObject::queryMore(REFIID iid) {
    if (!wps_ && (iid == kIidWordApplication || iid == kIidExcelApplication)) return static_cast<IDispatch*>(this);
    return nullptr;
}

STDMETHODIMP ApplicationObject::GetClassInfo(ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ApplicationObject::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    *guid = GUID_NULL;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *guid = appEvents_.iid();
    return S_OK;
}

STDMETHODIMP ApplicationObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP ApplicationObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP ApplicationObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    // A dead server's proxy answers nothing, not even names.
    if (crashed_) return RPC_E_DISCONNECTED;
    return applicationMembers(suite_).getIDsOfNames(names, count, ids);
}

STDMETHODIMP ApplicationObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                       EXCEPINFO* excep, UINT* argErr) {
    ComPtr<ApplicationObject> keep(this);
    return applicationMembers(suite_).invoke(*this, label_, id, flags, params, result, excep, argErr,
                                             [this] { ensureRunning(); });
}

STDMETHODIMP ApplicationObject::EnumConnectionPoints(IEnumConnectionPoints** out) {
    return enumerateConnectionPoints({&appEvents_}, out);
}

STDMETHODIMP ApplicationObject::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != appEvents_.iid()) return CONNECT_E_NOCONNECTION;
    *out = &appEvents_;
    AddRef();
    return S_OK;
}

}  // namespace orvo::fake
