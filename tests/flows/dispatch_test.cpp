// The late-bound call helper against a recording automation object.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "support/win32/dispatch.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

using namespace orvo;

namespace {

enum : DISPID { kOpen = 1, kEnabled, kChild, kNumber, kRefuse };

// What one Invoke received, with the arguments in the order they arrived.
struct Received {
    DISPID id = 0;
    WORD flags = 0;
    std::vector<VARTYPE> types;
    std::vector<std::wstring> texts;  // BSTRs, "" for other types
    std::vector<LONG> numbers;        // VT_I4 and VT_BOOL values, VT_ERROR codes
    std::vector<DISPID> named;
    bool wantedResult = false;
};

// Lives on the test's stack; counts references so leaks show.
class Recorder : public IDispatch {
public:
    std::vector<Received> calls;
    Recorder* child = nullptr;
    ULONG refs = 1;

    HRESULT __stdcall QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG __stdcall AddRef() override { return ++refs; }
    ULONG __stdcall Release() override { return --refs; }
    HRESULT __stdcall GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        static const struct {
            const wchar_t* name;
            DISPID id;
        } members[] = {{L"Open", kOpen}, {L"Enabled", kEnabled}, {L"Child", kChild}, {L"Number", kNumber},
                       {L"Refuse", kRefuse}};
        ids[0] = DISPID_UNKNOWN;
        for (const auto& m : members)
            if (_wcsicmp(m.name, names[0]) == 0) {
                ids[0] = m.id;
                return S_OK;
            }
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT __stdcall Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* info, UINT*) override {
        Received r;
        r.id = id;
        r.flags = flags;
        r.wantedResult = result != nullptr;
        for (UINT i = 0; i < params->cArgs; ++i) {
            const VARIANT& v = params->rgvarg[i];
            r.types.push_back(v.vt);
            r.texts.push_back(v.vt == VT_BSTR ? std::wstring(v.bstrVal, ::SysStringLen(v.bstrVal)) : L"");
            r.numbers.push_back(v.vt == VT_I4 ? v.lVal : v.vt == VT_BOOL ? v.boolVal : v.vt == VT_ERROR ? v.scode : 0);
        }
        for (UINT i = 0; i < params->cNamedArgs; ++i) r.named.push_back(params->rgdispidNamedArgs[i]);
        calls.push_back(r);
        switch (id) {
        case kChild:
            if (!child) return DISP_E_MEMBERNOTFOUND;
            result->vt = VT_DISPATCH;
            result->pdispVal = child;
            child->AddRef();
            return S_OK;
        case kNumber:
            result->vt = VT_I4;
            result->lVal = 42;
            return S_OK;
        case kRefuse:
            info->scode = static_cast<SCODE>(0x800A1066);
            info->bstrSource = ::SysAllocString(L"Recorder");
            info->bstrDescription = ::SysAllocString(L"命令失败");
            return DISP_E_EXCEPTION;
        default:
            return S_OK;
        }
    }
};

Dispatch over(Recorder& r) { return Dispatch(ComPtr<IDispatch>(&r)); }

}  // namespace

TEST(Dispatch, CallsTakeArgumentsInNaturalOrderAndPassThemLastFirst) {
    Recorder doc;
    over(doc).call(L"Open", std::string("\xB1\xA8\xB1\xED.doc"), false, 7, DispatchArg::missing(),
                   DispatchArg::empty(), L"wide");
    ASSERT_EQ(doc.calls.size(), 1u);
    const Received& r = doc.calls[0];
    EXPECT_EQ(r.id, kOpen);
    EXPECT_EQ(r.flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    EXPECT_TRUE(r.wantedResult);
    EXPECT_TRUE(r.named.empty());
    ASSERT_EQ(r.types, (std::vector<VARTYPE>{VT_BSTR, VT_EMPTY, VT_ERROR, VT_I4, VT_BOOL, VT_BSTR}));
    EXPECT_EQ(r.texts[0], L"wide");
    EXPECT_EQ(r.numbers[2], DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(r.numbers[3], 7);
    EXPECT_EQ(r.numbers[4], VARIANT_FALSE);
    EXPECT_EQ(r.texts[5], L"报表.doc");  // GBK text reaches the callee as Unicode
}

TEST(Dispatch, PutsNameTheirValueAsThePropertyPutArgument) {
    Recorder bar;
    over(bar).put(L"Enabled", "Standard", true);
    ASSERT_EQ(bar.calls.size(), 1u);
    const Received& r = bar.calls[0];
    EXPECT_EQ(r.flags, DISPATCH_PROPERTYPUT);
    EXPECT_FALSE(r.wantedResult);
    EXPECT_EQ(r.named, std::vector<DISPID>{DISPID_PROPERTYPUT});
    ASSERT_EQ(r.types, (std::vector<VARTYPE>{VT_BOOL, VT_BSTR}));
    EXPECT_EQ(r.numbers[0], VARIANT_TRUE);
    EXPECT_EQ(r.texts[1], L"Standard");
}

TEST(Dispatch, ObjectsChainAndAreReleased) {
    Recorder root, leaf;
    root.child = &leaf;
    {
        Dispatch d = over(root).object(L"Child");
        EXPECT_EQ(d.get(), &leaf);
        d.call(L"Open");
        EXPECT_EQ(over(root).get(L"Number").get()->lVal, 42);
    }
    EXPECT_EQ(leaf.calls.size(), 1u);
    EXPECT_EQ(root.refs, 1u);
    EXPECT_EQ(leaf.refs, 1u);
}

TEST(Dispatch, FailuresBecomeComErrorsWithTheCalleesDescription) {
    Recorder doc;
    try {
        over(doc).call(L"Refuse");
        FAIL() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.code(), static_cast<HRESULT>(0x800A1066));
        EXPECT_EQ(gbkToWide(e.what()), L"命令失败");
    }
    try {
        over(doc).call(L"Print0ut");
        FAIL() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.code(), DISP_E_UNKNOWNNAME);
        EXPECT_NE(std::string(e.what()).find("Print0ut"), std::string::npos);
    }
    // A result that is no object cannot be called on.
    EXPECT_THROW(over(doc).object(L"Number"), ComError);
    EXPECT_THROW(Dispatch().call(L"Open"), ComError);
    EXPECT_EQ(doc.refs, 1u);
}
