#pragma once
// What the Office substitute's tests share: registration of the DLL beside
// the test, late-bound calls with their full outcome, an event sink, the
// journal, sample files in a scratch folder, and message pumping.
#include <windows.h>
#include <oleauto.h>
#include <ocidl.h>
#include <olectl.h>
#include <gtest/gtest.h>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>
#include "class_ids.h"
#include "document_format.h"
#include "journal.h"
#include "sample_documents.h"
#include "support/win32/com_ptr.h"
#include "support/win32/unique.h"

namespace orvo::fake::test {

// A VARIANT argument in natural order.
class Arg {
public:
    Arg(int value) { v_.vt = VT_I4, v_.lVal = value; }
    Arg(bool value) { v_.vt = VT_BOOL, v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE; }
    Arg(const wchar_t* text) { v_.vt = VT_BSTR, v_.bstrVal = ::SysAllocString(text); }
    Arg(const std::wstring& text) : Arg(text.c_str()) {}
    static Arg missing() {
        Arg a(0);
        a.v_.vt = VT_ERROR;
        a.v_.scode = DISP_E_PARAMNOTFOUND;
        return a;
    }
    static Arg empty() {
        Arg a(0);
        a.v_.vt = VT_EMPTY;
        return a;
    }
    Arg(const Arg& other) { ::VariantCopy(&v_, const_cast<VARIANT*>(&other.v_)); }
    ~Arg() { ::VariantClear(&v_); }
    const VARIANT& get() const { return v_; }

private:
    VARIANT v_{};
};

// What a late-bound call gave back: the HRESULT, the EXCEPINFO's scode and
// description, the argument error position, and the value.
struct Outcome {
    HRESULT hr = E_FAIL;
    SCODE scode = 0;
    std::wstring description;
    UINT argError = ~0u;
    UniqueVariant value;

    bool ok() const { return SUCCEEDED(hr); }
    ComPtr<IDispatch> object() const;
    int number() const;
    bool flag() const;
    std::wstring text() const;
};

// name looked up through GetIDsOfNames, then Invoke with flags.
Outcome invoke(IDispatch* target, const wchar_t* name, WORD flags, std::initializer_list<Arg> args = {},
               std::initializer_list<std::pair<const wchar_t*, Arg>> named = {});
inline Outcome get(IDispatch* t, const wchar_t* name, std::initializer_list<Arg> args = {}) {
    return invoke(t, name, DISPATCH_PROPERTYGET, args);
}
inline Outcome call(IDispatch* t, const wchar_t* name, std::initializer_list<Arg> args = {}) {
    return invoke(t, name, DISPATCH_METHOD, args);
}
Outcome put(IDispatch* t, const wchar_t* name, const Arg& value, std::initializer_list<Arg> index = {});

// Follows a chain of property gets, failing the test on the first error.
ComPtr<IDispatch> path(IDispatch* root, std::initializer_list<const wchar_t*> members);

// Word.Application created by class id, asked for its application interface.
ComPtr<IDispatch> startWord();

// Records the DISPIDs it is invoked with, and the thread; answers to both
// event interfaces. Can run a callback on each event, as a program's
// handler would.
class EventSink final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override { return --refs_; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

    std::vector<DISPID> events;
    std::vector<DWORD> threads;
    std::function<void(DISPID)> onEvent;
    ULONG refs_ = 0;  // lives on the test's stack; counted only to see it is released
};

// Advises sink on source's connection point for iid; returns the cookie.
DWORD advise(IUnknown* source, const IID& iid, IUnknown* sink, HRESULT* result = nullptr);
HRESULT unadvise(IUnknown* source, const IID& iid, DWORD cookie);

// Serves pending messages for up to ms milliseconds, or until done().
void pump(DWORD ms, const std::function<bool()>& done = {});

// The control window of this process (made when the first object was).
HWND controlWindow();

std::wstring exeDirectory();
std::string narrow(const std::wstring& text);

// Per test: a scratch folder and a journal file in it, set in the
// environment so the substitute writes there.
class OfficeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    std::wstring file(const std::wstring& name) const { return folder_ + L"\\" + name; }
    // Writes a sample document (see sample_documents.h) and returns its path.
    std::wstring sample(const std::wstring& name, const std::wstring& text = {});
    std::vector<std::wstring> journal() const;
    // Journal lines from the first that equals first, inclusive.
    bool journalHasInOrder(std::initializer_list<std::wstring> lines) const;
    std::string journalText() const;

    std::wstring folder_;
    std::wstring journal_;
};

}  // namespace orvo::fake::test
