#pragma once
// Late binding by member name, driven by a table: each object kind lists its
// members (name, parameter names, and handlers for get, put and call), and
// one engine does GetIDsOfNames and Invoke for all of them, with the
// argument handling, the errors the object model gives and the journal line.
// Adding a member to an object is one table entry.
#include <windows.h>
#include <oleauto.h>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>
#include "support/win32/com_object.h"
#include "support/win32/com_ptr.h"

namespace orvo::fake {

// A refusal as the object model reports it. With hr DISP_E_EXCEPTION the
// caller gets an EXCEPINFO with scode and description; other codes (type
// mismatch, missing argument) name the argument by its position.
struct DispatchFault {
    HRESULT hr = DISP_E_EXCEPTION;
    SCODE scode = 0;
    std::wstring description;
    UINT argument = 0;  // natural order, 0 = first
};

// Object-model error number n becomes the scode 0x800A0000 + n, as the
// applications report them.
[[noreturn]] void throwModelError(int number, std::wstring description);
[[noreturn]] void throwArgumentError(HRESULT hr, size_t argument);
// The application has ended: its objects answer like a vanished server.
[[noreturn]] void throwServerGone();
// What every call on an object of a crashed server returns.
[[noreturn]] void throwDisconnected();

// One call's arguments (natural order, named ones in their places), the
// value of a put, the result, and the label for sub-objects.
class Call {
public:
    Call(std::wstring label, std::vector<VARIANT*> args, VARIANT* value, VARIANT* result)
        : label_(std::move(label)), args_(std::move(args)), value_(value), result_(result) {}

    size_t count() const noexcept { return args_.size(); }
    // An argument that was passed and not marked as omitted.
    bool has(size_t i) const noexcept;
    const VARIANT& arg(size_t i) const;

    int32_t intArg(size_t i) const;
    int32_t intArg(size_t i, int32_t fallback) const { return has(i) ? intArg(i) : fallback; }
    bool boolArg(size_t i) const;
    bool boolArg(size_t i, bool fallback) const { return has(i) ? boolArg(i) : fallback; }
    std::wstring textArg(size_t i) const;
    std::wstring textArg(size_t i, std::wstring fallback) const { return has(i) ? textArg(i) : fallback; }

    // The value of a property put (counted as argument count() on errors).
    int32_t intValue() const;
    bool boolValue() const;
    std::wstring textValue() const;

    void returns(int32_t value);
    void returns(bool value);
    void returns(std::wstring_view value);
    void returns(const wchar_t* value) { returns(std::wstring_view(value)); }
    void returns(const std::wstring& value) { returns(std::wstring_view(value)); }
    void returns(double value);
    void returnsObject(IDispatch* object);  // takes a new reference
    template <typename T>
    void returnsObject(const ComPtr<T>& object) {
        returnsObject(static_cast<IDispatch*>(object.get()));
    }

    // The label of this call's target, and the label a returned sub-object
    // gets: "Document.ActiveWindow", "Document.CommandBars("Standard")".
    const std::wstring& label() const noexcept { return label_; }
    const std::wstring& childLabel() const noexcept { return childLabel_; }
    void setChildLabel(std::wstring text) { childLabel_ = std::move(text); }

private:
    VARIANT converted(const VARIANT& v, VARTYPE type, size_t position) const;

    std::wstring label_;
    std::wstring childLabel_;
    std::vector<VARIANT*> args_;
    VARIANT* value_;
    VARIANT* result_;
};

template <typename T>
struct Member {
    std::wstring_view name;
    std::vector<std::wstring_view> params;  // names, for named arguments and the count check
    std::function<void(T&, Call&)> get;
    std::function<void(T&, Call&)> put;
    std::function<void(T&, Call&)> call;
    bool isDefault = false;  // answers DISPID_VALUE
};

template <typename T>
struct MemberTable {
    std::wstring_view source;  // EXCEPINFO source: "Microsoft Word"
    std::vector<Member<T>> members;
};

namespace detail {

struct MemberView {
    std::wstring_view name;
    const std::vector<std::wstring_view>* params;
    bool hasGet, hasPut, hasCall;
};

enum class Kind { Get, Put, Call };

HRESULT idsOfNames(const std::vector<MemberView>& members, LPOLESTR* names, UINT count, DISPID* ids);
// Resolves the member and kind, unpacks the arguments and writes the journal
// line; run() does the work and may throw DispatchFault.
HRESULT invoke(const std::vector<MemberView>& members, std::wstring_view source, const std::wstring& label,
               DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* argErr,
               int defaultIndex, const std::function<void()>& guard,
               const std::function<void(size_t index, Kind kind, Call& call)>& run);

}  // namespace detail

// The engine for one table. Objects keep a reference to a static instance.
template <typename T>
class Dispatcher {
public:
    Dispatcher(const Dispatcher&) = delete;  // the views point into the table
    Dispatcher& operator=(const Dispatcher&) = delete;
    explicit Dispatcher(MemberTable<T> table) : table_(std::move(table)) {
        for (size_t i = 0; i < table_.members.size(); ++i) {
            const auto& m = table_.members[i];
            views_.push_back({m.name, &m.params, bool(m.get), bool(m.put), bool(m.call)});
            if (m.isDefault) defaultIndex_ = static_cast<int>(i);
        }
    }

    HRESULT getIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const {
        return detail::idsOfNames(views_, names, count, ids);
    }

    // guard runs before the member and may refuse the call by throwing (an
    // application that has quit, a document that was closed).
    HRESULT invoke(T& self, const std::wstring& label, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excep, UINT* argErr, const std::function<void()>& guard) const {
        return detail::invoke(views_, table_.source, label, id, flags, params, result, excep, argErr, defaultIndex_,
                              guard,
                              [&](size_t index, detail::Kind kind, Call& call) {
                                  const Member<T>& m = table_.members[index];
                                  switch (kind) {
                                  case detail::Kind::Get: m.get(self, call); break;
                                  case detail::Kind::Put: m.put(self, call); break;
                                  case detail::Kind::Call: m.call(self, call); break;
                                  }
                              });
    }

private:
    MemberTable<T> table_;
    std::vector<detail::MemberView> views_;
    int defaultIndex_ = -1;
};

// A plain automation object: state of type T (with a check() that refuses
// calls once what it refers to is gone) (usually a reference to the
// document or application it belongs to plus what picks it out there) and
// the table that serves it. Window, Zoom, CommandBar, Selection and the
// rest are such objects, made afresh on every access.
template <typename T>
class DispatchObject final : public ComObject<IDispatch> {
public:
    static ComPtr<IDispatch> make(const Dispatcher<T>& dispatcher, T state, std::wstring label) {
        return ComPtr<IDispatch>::attach(new DispatchObject(dispatcher, std::move(state), std::move(label)));
    }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return dispatcher_.getIDsOfNames(names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                        UINT* argErr) override {
        ComPtr<IDispatch> keep(this);  // a handler may drop the caller's last reference
        return dispatcher_.invoke(state_, label_, id, flags, params, result, excep, argErr, [this] { state_.check(); });
    }

private:
    DispatchObject(const Dispatcher<T>& dispatcher, T state, std::wstring label)
        : dispatcher_(dispatcher), state_(std::move(state)), label_(std::move(label)) {}
    ~DispatchObject() override = default;

    const Dispatcher<T>& dispatcher_;
    T state_;
    std::wstring label_;
};

}  // namespace orvo::fake
