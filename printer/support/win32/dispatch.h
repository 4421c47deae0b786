#pragma once
// Late-bound calls by member name on an automation object (the Office object
// model). Arguments are given in their natural order; the helper reverses
// them as IDispatch::Invoke wants, names the value of a put with
// DISPID_PROPERTYPUT, always passes an EXCEPINFO and turns any failure into
// a ComError carrying the callee's own description. It never shows UI.
//
//   Dispatch doc(container.automationObject());
//   doc.object(L"Application").object(L"ActiveDocument").call(L"PrintOut");
//   doc.put(L"TrackRevisions", true);
//   doc.object(L"CommandBars", "Standard").put(L"Enabled", false);
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "support/win32/com_ptr.h"
#include "support/win32/unique.h"

namespace orvo {

class Dispatch;

// One argument or property value, owning its VARIANT.
class DispatchArg {
public:
    DispatchArg(bool value);
    DispatchArg(int value);
    DispatchArg(long value);
    DispatchArg(std::int64_t value);
    DispatchArg(double value);
    // Text: std::string and const char* are GBK, as everywhere inside.
    DispatchArg(const char* gbk);
    DispatchArg(const std::string& gbk);
    DispatchArg(const wchar_t* text);
    DispatchArg(const std::wstring& text);
    DispatchArg(const Dispatch& object);
    // A copy of an existing value.
    explicit DispatchArg(const VARIANT& value);

    // An omitted optional argument (VT_ERROR, DISP_E_PARAMNOTFOUND).
    static DispatchArg missing();
    // An Empty variant (VT_EMPTY), as a script passes an unassigned value.
    static DispatchArg empty();

    DispatchArg(DispatchArg&&) noexcept = default;
    DispatchArg(const DispatchArg&) = delete;
    DispatchArg& operator=(const DispatchArg&) = delete;

    const VARIANT& value() const noexcept { return *value_.get(); }

private:
    DispatchArg() = default;
    UniqueVariant value_;
};

class Dispatch {
public:
    Dispatch() = default;
    explicit Dispatch(ComPtr<IDispatch> object) : object_(std::move(object)) {}
    // The object a variant holds (VT_DISPATCH, or VT_UNKNOWN answering
    // IDispatch); a ComError when it holds none.
    static Dispatch fromVariant(const VARIANT& value, std::wstring_view what);

    explicit operator bool() const noexcept { return static_cast<bool>(object_); }
    IDispatch* get() const noexcept { return object_.get(); }

    // Property get, or a parameterised property such as Documents.Item(1).
    template <typename... A>
    UniqueVariant get(std::wstring_view name, A&&... args) const {
        return invoke(DISPATCH_PROPERTYGET | DISPATCH_METHOD, name, {DispatchArg(std::forward<A>(args))...});
    }
    // A get whose result must be an object.
    template <typename... A>
    Dispatch object(std::wstring_view name, A&&... args) const {
        UniqueVariant result = get(name, std::forward<A>(args)...);
        return fromVariant(*result.get(), name);
    }
    // Method call.
    template <typename... A>
    UniqueVariant call(std::wstring_view name, A&&... args) const {
        return invoke(DISPATCH_METHOD | DISPATCH_PROPERTYGET, name, {DispatchArg(std::forward<A>(args))...});
    }
    // Property put: any index arguments first, the value last.
    template <typename... A>
    void put(std::wstring_view name, A&&... indexThenValue) const {
        static_assert(sizeof...(A) >= 1, "a put needs its value");
        invoke(DISPATCH_PROPERTYPUT, name, {DispatchArg(std::forward<A>(indexThenValue))...});
    }

    // The member's id; a ComError when the object has no such member.
    DISPID memberId(std::wstring_view name) const;

    // The general form: args in natural order (for a put, the value last).
    UniqueVariant invoke(WORD flags, std::wstring_view name, std::initializer_list<DispatchArg> args) const;

private:
    ComPtr<IDispatch> object_;
};

// The text of an EXCEPINFO's description (GBK), or empty; frees its strings.
std::string takeExceptionDescription(EXCEPINFO& info);

}  // namespace orvo
