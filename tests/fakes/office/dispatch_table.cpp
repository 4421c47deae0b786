#include "dispatch_table.h"

#include <cstdio>
#include "journal.h"

namespace orvo::fake {

void throwModelError(int number, std::wstring description) {
    DispatchFault fault;
    fault.hr = DISP_E_EXCEPTION;
    fault.scode = static_cast<SCODE>(0x800A0000u | static_cast<unsigned>(number));
    fault.description = std::move(description);
    throw fault;
}

void throwArgumentError(HRESULT hr, size_t argument) {
    DispatchFault fault;
    fault.hr = hr;
    fault.argument = static_cast<UINT>(argument);
    throw fault;
}

void throwServerGone() {
    DispatchFault fault;
    fault.hr = HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);
    fault.description = L"The RPC server is unavailable.";
    throw fault;
}

void throwDisconnected() {
    DispatchFault fault;
    fault.hr = RPC_E_DISCONNECTED;
    fault.description = L"The object invoked has disconnected from its clients.";
    throw fault;
}

bool Call::has(size_t i) const noexcept {
    if (i >= args_.size() || !args_[i]) return false;
    const VARIANT* v = args_[i];
    if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) v = v->pvarVal;
    return !(v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND);
}

const VARIANT& Call::arg(size_t i) const {
    if (!has(i)) throwArgumentError(DISP_E_PARAMNOTFOUND, i);
    return *args_[i];
}

VARIANT Call::converted(const VARIANT& v, VARTYPE type, size_t position) const {
    VARIANT out;
    ::VariantInit(&out);
    if (FAILED(::VariantChangeType(&out, const_cast<VARIANT*>(&v), 0, type))) {
        ::VariantClear(&out);
        throwArgumentError(DISP_E_TYPEMISMATCH, position);
    }
    return out;
}

int32_t Call::intArg(size_t i) const {
    VARIANT v = converted(arg(i), VT_I4, i);
    return v.lVal;
}

bool Call::boolArg(size_t i) const {
    VARIANT v = converted(arg(i), VT_BOOL, i);
    return v.boolVal != VARIANT_FALSE;
}

std::wstring Call::textArg(size_t i) const {
    VARIANT v = converted(arg(i), VT_BSTR, i);
    std::wstring text = v.bstrVal ? std::wstring(v.bstrVal, ::SysStringLen(v.bstrVal)) : std::wstring();
    ::VariantClear(&v);
    return text;
}

int32_t Call::intValue() const {
    if (!value_) throwArgumentError(DISP_E_PARAMNOTFOUND, args_.size());
    return converted(*value_, VT_I4, args_.size()).lVal;
}

bool Call::boolValue() const {
    if (!value_) throwArgumentError(DISP_E_PARAMNOTFOUND, args_.size());
    return converted(*value_, VT_BOOL, args_.size()).boolVal != VARIANT_FALSE;
}

std::wstring Call::textValue() const {
    if (!value_) throwArgumentError(DISP_E_PARAMNOTFOUND, args_.size());
    VARIANT v = converted(*value_, VT_BSTR, args_.size());
    std::wstring text = v.bstrVal ? std::wstring(v.bstrVal, ::SysStringLen(v.bstrVal)) : std::wstring();
    ::VariantClear(&v);
    return text;
}

void Call::returns(int32_t value) {
    ::VariantClear(result_);
    result_->vt = VT_I4;
    result_->lVal = value;
}

void Call::returns(bool value) {
    ::VariantClear(result_);
    result_->vt = VT_BOOL;
    result_->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void Call::returns(double value) {
    ::VariantClear(result_);
    result_->vt = VT_R8;
    result_->dblVal = value;
}

void Call::returns(std::wstring_view value) {
    ::VariantClear(result_);
    result_->vt = VT_BSTR;
    result_->bstrVal = ::SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
}

void Call::returnsObject(IDispatch* object) {
    ::VariantClear(result_);
    result_->vt = VT_DISPATCH;
    result_->pdispVal = object;
    if (object) object->AddRef();
}

namespace detail {
namespace {

bool sameName(std::wstring_view a, const wchar_t* b) {
    int n = lstrlenW(b);
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b, n, TRUE) == CSTR_EQUAL;
}

std::wstring hex(HRESULT hr) {
    wchar_t buf[16];
    std::swprintf(buf, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

}  // namespace

HRESULT idsOfNames(const std::vector<MemberView>& members, LPOLESTR* names, UINT count, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    if (count == 0) return S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    const MemberView* found = nullptr;
    for (size_t m = 0; m < members.size(); ++m) {
        if (names[0] && sameName(members[m].name, names[0])) {
            ids[0] = static_cast<DISPID>(m + 1);
            found = &members[m];
            break;
        }
    }
    if (!found) return DISP_E_UNKNOWNNAME;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < count; ++i) {
        const auto& params = *found->params;
        for (size_t p = 0; p < params.size(); ++p)
            if (names[i] && sameName(params[p], names[i])) ids[i] = static_cast<DISPID>(p);
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT invoke(const std::vector<MemberView>& members, std::wstring_view source, const std::wstring& label,
               DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* argErr,
               int defaultIndex, const std::function<void()>& guard,
               const std::function<void(size_t index, Kind kind, Call& call)>& run) {
    size_t index;
    if (id == DISPID_VALUE) {
        if (defaultIndex < 0) return DISP_E_MEMBERNOTFOUND;
        index = static_cast<size_t>(defaultIndex);
    } else {
        if (id < 1 || static_cast<size_t>(id) > members.size()) return DISP_E_MEMBERNOTFOUND;
        index = static_cast<size_t>(id - 1);
    }
    const MemberView& m = members[index];
    DISPPARAMS none{};
    if (!params) params = &none;
    if (params->cArgs < params->cNamedArgs || (params->cArgs && !params->rgvarg) ||
        (params->cNamedArgs && !params->rgdispidNamedArgs))
        return E_INVALIDARG;

    const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    VARIANT* value = nullptr;
    UINT firstNamed = 0;
    if (isPut) {
        if (params->cNamedArgs == 0 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) return DISP_E_PARAMNOTFOUND;
        value = &params->rgvarg[0];
        firstNamed = 1;
    }

    // Natural order: positional arguments come last in rgvarg, reversed;
    // named ones go to the position their DISPID names.
    const UINT positional = params->cArgs - params->cNamedArgs;
    std::vector<VARIANT*> args(positional, nullptr);
    std::vector<UINT> slot(positional, 0);
    for (UINT i = 0; i < positional; ++i) {
        slot[i] = params->cArgs - 1 - i;
        args[i] = &params->rgvarg[slot[i]];
    }
    for (UINT j = firstNamed; j < params->cNamedArgs; ++j) {
        DISPID p = params->rgdispidNamedArgs[j];
        if (p < 0 || static_cast<size_t>(p) >= m.params->size()) {
            if (argErr) *argErr = j;
            return DISP_E_PARAMNOTFOUND;
        }
        if (static_cast<size_t>(p) >= args.size()) {
            args.resize(static_cast<size_t>(p) + 1, nullptr);
            slot.resize(static_cast<size_t>(p) + 1, 0);
        }
        if (args[p]) return DISP_E_BADPARAMCOUNT;
        args[p] = &params->rgvarg[j];
        slot[p] = j;
    }
    if (args.size() > m.params->size()) return DISP_E_BADPARAMCOUNT;

    Kind kind;
    if (isPut) {
        if (!m.hasPut) return DISP_E_MEMBERNOTFOUND;
        kind = Kind::Put;
    } else if ((flags & DISPATCH_PROPERTYGET) && m.hasGet) {
        kind = Kind::Get;
    } else if ((flags & DISPATCH_METHOD) && m.hasCall) {
        kind = Kind::Call;
    } else if ((flags & DISPATCH_METHOD) && m.hasGet) {
        kind = Kind::Get;
    } else {
        return DISP_E_MEMBERNOTFOUND;
    }

    std::wstring argText;
    if (!args.empty() || kind == Kind::Call) {
        argText = L"(";
        for (size_t i = 0; i < args.size(); ++i) {
            if (i) argText += L", ";
            argText += args[i] ? formatValue(*args[i]) : L"Missing";
        }
        argText += L")";
    }
    std::wstring line = label + L"." + std::wstring(m.name) + argText;
    if (kind == Kind::Put) line += L" = " + formatValue(*value);
    journalLine(line);

    VARIANT out;
    ::VariantInit(&out);
    Call call(label, args, value, &out);
    call.setChildLabel(label + L"." + std::wstring(m.name) + argText);

    DispatchFault fault;
    bool failed = false;
    try {
        if (guard) guard();
        run(index, kind, call);
    } catch (const DispatchFault& f) {
        fault = f;
        failed = true;
    } catch (const std::exception& e) {
        fault.hr = DISP_E_EXCEPTION;
        fault.scode = E_FAIL;
        std::string what = e.what();
        fault.description.assign(what.begin(), what.end());
        failed = true;
    } catch (...) {
        fault.hr = E_UNEXPECTED;
        failed = true;
    }

    if (failed) {
        ::VariantClear(&out);
        std::wstring failure = line + L" -> FAILED " + hex(fault.hr == DISP_E_EXCEPTION ? fault.scode : fault.hr);
        if (!fault.description.empty()) failure += L": " + fault.description;
        journalLine(failure);
        if (fault.hr == DISP_E_EXCEPTION) {
            if (excep) {
                *excep = EXCEPINFO{};
                excep->bstrSource = ::SysAllocStringLen(source.data(), static_cast<UINT>(source.size()));
                excep->bstrDescription = ::SysAllocString(fault.description.c_str());
                excep->scode = fault.scode;
            }
        } else if (fault.hr == DISP_E_TYPEMISMATCH || fault.hr == DISP_E_PARAMNOTFOUND) {
            if (argErr) *argErr = fault.argument < slot.size() ? slot[fault.argument] : 0;
        }
        return fault.hr;
    }
    if (result) {
        ::VariantClear(result);
        *result = out;
    } else {
        ::VariantClear(&out);
    }
    return S_OK;
}

}  // namespace detail
}  // namespace orvo::fake
