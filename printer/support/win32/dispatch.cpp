#include "support/win32/dispatch.h"

#include <vector>

#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

std::string memberText(std::wstring_view name) { return wideToGbk(name); }

BSTR allocString(std::wstring_view text) {
    BSTR s = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!s && !text.empty()) throw ComError(E_OUTOFMEMORY, "SysAllocString");
    return s;
}

}  // namespace

// ---- DispatchArg

DispatchArg::DispatchArg(bool value) {
    VARIANT* v = value_.get();
    v->vt = VT_BOOL;
    v->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

DispatchArg::DispatchArg(int value) {
    VARIANT* v = value_.get();
    v->vt = VT_I4;
    v->lVal = value;
}

DispatchArg::DispatchArg(long value) : DispatchArg(static_cast<int>(value)) {}

DispatchArg::DispatchArg(std::int64_t value) {
    VARIANT* v = value_.get();
    if (value >= INT32_MIN && value <= INT32_MAX) {
        v->vt = VT_I4;
        v->lVal = static_cast<LONG>(value);
    } else {
        v->vt = VT_I8;
        v->llVal = value;
    }
}

DispatchArg::DispatchArg(double value) {
    VARIANT* v = value_.get();
    v->vt = VT_R8;
    v->dblVal = value;
}

DispatchArg::DispatchArg(const char* gbk) : DispatchArg(gbkToWide(gbk ? std::string_view(gbk) : std::string_view())) {}

DispatchArg::DispatchArg(const std::string& gbk) : DispatchArg(gbkToWide(gbk)) {}

DispatchArg::DispatchArg(const wchar_t* text) : DispatchArg(std::wstring(text ? text : L"")) {}

DispatchArg::DispatchArg(const std::wstring& text) {
    BSTR s = allocString(text);
    VARIANT* v = value_.get();
    v->vt = VT_BSTR;
    v->bstrVal = s;
}

DispatchArg::DispatchArg(const Dispatch& object) {
    VARIANT* v = value_.get();
    v->vt = VT_DISPATCH;
    v->pdispVal = object.get();
    if (v->pdispVal) v->pdispVal->AddRef();
}

DispatchArg::DispatchArg(const VARIANT& value) {
    throwIfFailed(::VariantCopy(value_.get(), const_cast<VARIANT*>(&value)), "VariantCopy");
}

DispatchArg DispatchArg::missing() {
    DispatchArg arg;
    VARIANT* v = arg.value_.get();
    v->vt = VT_ERROR;
    v->scode = DISP_E_PARAMNOTFOUND;
    return arg;
}

DispatchArg DispatchArg::empty() { return DispatchArg(); }

// ---- Dispatch

Dispatch Dispatch::fromVariant(const VARIANT& value, std::wstring_view what) {
    const VARIANT* v = &value;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    IUnknown* unknown = nullptr;
    if (v->vt == VT_DISPATCH) unknown = v->pdispVal;
    else if (v->vt == (VT_BYREF | VT_DISPATCH) && v->ppdispVal) unknown = *v->ppdispVal;
    else if (v->vt == VT_UNKNOWN) unknown = v->punkVal;
    else if (v->vt == (VT_BYREF | VT_UNKNOWN) && v->ppunkVal) unknown = *v->ppunkVal;
    if (!unknown) throw ComError(DISP_E_TYPEMISMATCH, memberText(what));
    ComPtr<IDispatch> object;
    const HRESULT hr = unknown->QueryInterface(IID_IDispatch, object.putVoid());
    if (FAILED(hr) || !object) throw ComError(FAILED(hr) ? hr : E_NOINTERFACE, memberText(what));
    return Dispatch(std::move(object));
}

DISPID Dispatch::memberId(std::wstring_view name) const {
    if (!object_) throw ComError(E_POINTER, memberText(name));
    std::wstring text(name);
    LPOLESTR names[] = {text.data()};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) throw ComError(hr, memberText(name));
    return id;
}

UniqueVariant Dispatch::invoke(WORD flags, std::wstring_view name, std::initializer_list<DispatchArg> args) const {
    const DISPID id = memberId(name);

    // Invoke takes the arguments last to first. The copies are shallow: the
    // DispatchArgs keep ownership, and Invoke does not free what it is given.
    std::vector<VARIANTARG> reversed;
    reversed.reserve(args.size());
    for (auto it = args.end(); it != args.begin();) {
        --it;
        reversed.push_back(it->value());
    }
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (isPut) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }

    UniqueVariant result;
    EXCEPINFO info{};
    UINT argumentError = 0;
    const HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                       isPut ? nullptr : result.put(), &info, &argumentError);
    if (hr == DISP_E_EXCEPTION) {
        if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
        const HRESULT code = FAILED(info.scode) ? info.scode : hr;
        throw ComError(code, memberText(name), takeExceptionDescription(info));
    }
    takeExceptionDescription(info);
    if (FAILED(hr)) throw ComError(hr, memberText(name));
    return result;
}

std::string takeExceptionDescription(EXCEPINFO& info) {
    std::string description;
    if (info.bstrDescription) {
        description = wideToGbk(std::wstring_view(info.bstrDescription, ::SysStringLen(info.bstrDescription)));
        while (!description.empty() && (description.back() == '\r' || description.back() == '\n'))
            description.pop_back();
    }
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrHelpFile);
    info.bstrSource = info.bstrDescription = info.bstrHelpFile = nullptr;
    return description;
}

}  // namespace orvo
