#pragma once
// The Word link: a separate, visible Word application that the program starts
// itself, and a receiver that turns Word's event calls into calls of
// handlers installed by the link's owner.
//
// The receiver keeps no reference count: Word may call it (AddRef, Release,
// Invoke) for as long as its connections stay advised, which can be after
// the link is gone. So the link never frees it: when the link ends, the
// receiver forgets its owner and handlers (a late event then does nothing)
// and stays in a list that is freed when the process's COM has ended.
#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>

#include "support/win32/com_ptr.h"

namespace orvo {

class TWordObject;

// A notification handler: called with the link that raised it.
using TNotifyEvent = std::function<void(TWordObject* sender)>;

// Word's application class and interfaces, and its two event interfaces.
inline constexpr CLSID kClsidWordApplication = {0x000209FF, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID kIidWordApplication = {0x00020970, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID kIidWordApplicationEvents = {0x000209F7, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID kIidWordDocumentEvents = {0x000209F6, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Whether a call failed because the server behind the proxy is gone.
bool isDeadServerError(HRESULT hr) noexcept;

// Word's event DISPIDs: application Quit and DocumentChange, document New,
// Open and Close.
enum WordEventId : DISPID {
    kWordEventQuit = 2,
    kWordEventDocumentChange = 3,
    kWordEventNew = 4,
    kWordEventOpen = 5,
    kWordEventClose = 6,
};

class TWordEventSink final : public IDispatch {
public:
    TWordEventSink(TWordObject* owner, ComPtr<IDispatch> appDispatch);
    TWordEventSink(const TWordEventSink&) = delete;
    TWordEventSink& operator=(const TWordEventSink&) = delete;

    // IUnknown: the fixed counts say nothing about the object's lifetime.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

    TNotifyEvent OnQuit, OnDocumentChange, OnDocumentNew, OnDocumentOpen, OnDocumentClose;

    // Whether Word accepted the application events' connection.
    bool connected() const noexcept { return AppConnection != 0; }

    // The link has ended: no handler runs any more, and Word's objects are
    // let go. The connections stay advised; Word ends them.
    void orphan() noexcept;
    // Hands an orphaned receiver to the process-wide list that frees it at
    // the end of the process, after COM has ended and no connection can
    // call it any more.
    static void retire(TWordEventSink* sink);

private:
    friend struct RetiredWordSinks;
    ~TWordEventSink() = default;
    void raise(const TNotifyEvent& handler);
    void reattachDocumentEvents() noexcept;

    TWordObject* Owner;
    ComPtr<IDispatch> AppDispatch;
    ComPtr<IDispatch> DocDispatch;
    // Word's, or those of the suite's own that were connected instead.
    IID AppEventsIID = kIidWordApplicationEvents;
    IID DocEventsIID = kIidWordDocumentEvents;
    DWORD AppConnection = 0;
    DWORD DocConnection = 0;
};

class TWordObject {
public:
    // Starts Word (or WPS Writer where Word is not installed) and connects
    // its application events; throws when it cannot be started or does not
    // offer its application interface, OfficeMissingError when neither is
    // installed.
    TWordObject();
    // Asks Word to quit without saving (a failure, such as Word having ended
    // already, is ignored) and lets it go.
    virtual ~TWordObject();
    TWordObject(const TWordObject&) = delete;
    TWordObject& operator=(const TWordObject&) = delete;

    void SetCaption(const std::string& text);  // GBK
    void SetVisible(bool visible);
    void SetOnQuit(TNotifyEvent handler) { EventSink->OnQuit = std::move(handler); }
    void SetOnDocumentChange(TNotifyEvent handler) { EventSink->OnDocumentChange = std::move(handler); }
    void SetOnDocumentNew(TNotifyEvent handler) { EventSink->OnDocumentNew = std::move(handler); }
    void SetOnDocumentOpen(TNotifyEvent handler) { EventSink->OnDocumentOpen = std::move(handler); }
    void SetOnDocumentClose(TNotifyEvent handler) { EventSink->OnDocumentClose = std::move(handler); }
    // Opens the file in Word (it becomes the active document) and marks the
    // normal template saved, so Word does not ask about it when it ends.
    void OpenFile(const std::string& fileName);  // GBK

    IDispatch* WordApp() const noexcept { return WordApp_.get(); }

    // False when Word could not connect its events: its quit would go unseen.
    bool EventsConnected() const noexcept { return EventSink && EventSink->connected(); }
    // False once Word answers as a dead server does (it crashed or was
    // ended); a Word that is only busy counts as running.
    bool StillRunning() const;

private:
    ComPtr<IDispatch> WordApp_;
    TWordEventSink* EventSink = nullptr;
};

}  // namespace orvo
