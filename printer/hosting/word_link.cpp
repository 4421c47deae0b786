#include "hosting/word_link.h"

#include <ocidl.h>

#include <utility>
#include <vector>

#include "hosting/office_macros.h"
#include "hosting/office_suite.h"
#include "support/win32/dispatch.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {

// Receivers of ended links. Static objects are destroyed after wWinMain has
// returned, so after OLE has been uninitialised in the user-interface thread.
struct RetiredWordSinks {
    std::vector<TWordEventSink*> sinks;
    ~RetiredWordSinks() {
        for (TWordEventSink* sink : sinks) delete sink;
    }
};

namespace {

RetiredWordSinks& retiredSinks() {
    static RetiredWordSinks list;
    return list;
}

ComPtr<IConnectionPoint> findConnectionPoint(IDispatch* source, REFIID events) {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    if (!source || FAILED(source->QueryInterface(IID_IConnectionPointContainer, container.putVoid())) || !container)
        return {};
    if (FAILED(container->FindConnectionPoint(events, point.put()))) return {};
    return point;
}

// The cookie of a new connection of sink to source's events; 0 when the
// source has no such events or refuses.
DWORD connectEvents(IDispatch* source, REFIID events, IUnknown* sink) {
    ComPtr<IConnectionPoint> point = findConnectionPoint(source, events);
    DWORD cookie = 0;
    if (!point || FAILED(point->Advise(sink, &cookie))) return 0;
    return cookie;
}

// The events interface a source raises by default. WPS raises Word's events
// under interface ids of its own, with Word's DISPIDs.
IID defaultEventsIid(IDispatch* source) {
    ComPtr<IProvideClassInfo2> info;
    GUID iid = GUID_NULL;
    if (source && SUCCEEDED(source->QueryInterface(IID_IProvideClassInfo2, info.putVoid())) && info)
        info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &iid);
    return iid;
}

// Connects sink to Word's events interface wordIid on source, or else to the
// source's own default events interface; iid names the one connected (the
// sink answers to it from the moment it is asked).
DWORD connectWordEvents(IDispatch* source, REFIID wordIid, IID& iid, IUnknown* sink) {
    iid = wordIid;
    DWORD cookie = connectEvents(source, iid, sink);
    if (cookie != 0) return cookie;
    const IID own = defaultEventsIid(source);
    if (::IsEqualIID(own, GUID_NULL) || ::IsEqualIID(own, wordIid)) return 0;
    iid = own;
    cookie = connectEvents(source, iid, sink);
    if (cookie == 0) iid = wordIid;
    return cookie;
}

}  // namespace

// ---- TWordEventSink

TWordEventSink::TWordEventSink(TWordObject* owner, ComPtr<IDispatch> appDispatch)
    : Owner(owner), AppDispatch(std::move(appDispatch)) {
    AppConnection = 0;
    AppConnection =
        connectWordEvents(AppDispatch.get(), kIidWordApplicationEvents, AppEventsIID, static_cast<IUnknown*>(this));
}

STDMETHODIMP TWordEventSink::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDispatch) || ::IsEqualIID(iid, AppEventsIID) ||
        ::IsEqualIID(iid, DocEventsIID)) {
        *out = static_cast<IDispatch*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP TWordEventSink::GetTypeInfoCount(UINT* count) {
    if (count) *count = 0;
    return S_OK;
}

STDMETHODIMP TWordEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TWordEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP TWordEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    switch (id) {
    case kWordEventQuit: raise(OnQuit); break;
    case kWordEventDocumentChange:
        raise(OnDocumentChange);
        // The handler may have ended the link.
        if (Owner) reattachDocumentEvents();
        break;
    case kWordEventNew: raise(OnDocumentNew); break;
    case kWordEventOpen: raise(OnDocumentOpen); break;
    case kWordEventClose: raise(OnDocumentClose); break;
    default: break;
    }
    return S_OK;
}

void TWordEventSink::raise(const TNotifyEvent& handler) {
    if (!Owner || !handler) return;
    // A copy: the handler may replace itself or end the link.
    TNotifyEvent call = handler;
    try {
        call(Owner);
    } catch (...) {
        // Nothing may leave an incoming COM call; the handlers report their
        // own failures.
    }
}

void TWordEventSink::reattachDocumentEvents() noexcept {
    if (DocConnection != 0) {
        ComPtr<IConnectionPoint> point = findConnectionPoint(DocDispatch.get(), DocEventsIID);
        if (point && SUCCEEDED(point->Unadvise(DocConnection))) DocConnection = 0;
    }
    try {
        Dispatch active = Dispatch(AppDispatch).object(L"ActiveDocument");
        DocDispatch = ComPtr<IDispatch>(active.get());
        DocConnection =
            connectWordEvents(DocDispatch.get(), kIidWordDocumentEvents, DocEventsIID, static_cast<IUnknown*>(this));
    } catch (...) {
        // No document is open: the document events stay detached.
    }
}

void TWordEventSink::orphan() noexcept {
    Owner = nullptr;
    OnQuit = OnDocumentChange = OnDocumentNew = OnDocumentOpen = OnDocumentClose = nullptr;
    DocDispatch.reset();
    AppDispatch.reset();
}

void TWordEventSink::retire(TWordEventSink* sink) {
    if (sink) retiredSinks().sinks.push_back(sink);
}

// ---- TWordObject

TWordObject::TWordObject() {
    const OfficeApplicationClass word = requireOfficeApplication(OfficeApp::Writer);
    const std::string name = wideToGbk(word.progId);
    ComPtr<IUnknown> unknown;
    throwIfFailed(::CoCreateInstance(word.clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                     unknown.putVoid()),
                  name);
    // WPS Writer's application interface has an id of its own; every call
    // is late bound, so its IDispatch serves as well.
    if (FAILED(unknown->QueryInterface(kIidWordApplication, WordApp_.putVoid())))
        throwIfFailed(unknown->QueryInterface(IID_IDispatch, WordApp_.putVoid()), name);
    EventSink = new TWordEventSink(this, WordApp_);
}

TWordObject::~TWordObject() {
    try {
        Dispatch(WordApp_).call(L"Quit", 0, DispatchArg::empty(), DispatchArg::empty());
    } catch (...) {
        // Word has ended already, or refuses: the link ends all the same.
    }
    TWordEventSink* sink = std::exchange(EventSink, nullptr);
    sink->orphan();
    TWordEventSink::retire(sink);
    WordApp_.reset();
}

bool isDeadServerError(HRESULT hr) noexcept {
    return hr == RPC_E_DISCONNECTED || hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) || hr == CO_E_OBJNOTCONNECTED ||
           hr == RPC_E_SERVER_DIED || hr == RPC_E_SERVER_DIED_DNE;
}

bool TWordObject::StillRunning() const {
    try {
        Dispatch(WordApp_).get(L"Visible");
        return true;
    } catch (const ComError& e) {
        return !isDeadServerError(e.code());
    } catch (...) {
        return true;
    }
}

void TWordObject::SetCaption(const std::string& text) { Dispatch(WordApp_).put(L"Caption", text); }

void TWordObject::SetVisible(bool visible) { Dispatch(WordApp_).put(L"Visible", visible); }

void TWordObject::OpenFile(const std::string& fileName) {
    Dispatch app(WordApp_);
    // Again before every open: something else may have changed it meanwhile.
    forbidMacros(app);
    app.object(L"Documents").call(L"Open", fileName, false, false, false, "", "", true, "", "", 0);
    app.object(L"NormalTemplate").put(L"Saved", true);
}

}  // namespace orvo
