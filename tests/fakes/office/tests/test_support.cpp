#include "test_support.h"

#include <sstream>
#include "fake_office_control.h"
#include "journal.h"
#include "sample_documents.h"
#include "support/win32/win_text.h"

namespace orvo::fake::test {

ComPtr<IDispatch> Outcome::object() const {
    const VARIANT* v = value.get();
    if (v->vt != VT_DISPATCH || !v->pdispVal) return {};
    return ComPtr<IDispatch>(v->pdispVal);
}

int Outcome::number() const {
    VARIANT out;
    ::VariantInit(&out);
    if (FAILED(::VariantChangeType(&out, const_cast<VARIANT*>(value.get()), 0, VT_I4))) {
        ADD_FAILURE() << "not a number (vt " << value.get()->vt << ")";
        return -9999;
    }
    return out.lVal;
}

bool Outcome::flag() const {
    if (value.get()->vt != VT_BOOL) ADD_FAILURE() << "not a COM boolean (vt " << value.get()->vt << ")";
    return value.get()->boolVal != VARIANT_FALSE;
}

std::wstring Outcome::text() const {
    if (value.get()->vt != VT_BSTR) {
        ADD_FAILURE() << "not text (vt " << value.get()->vt << ")";
        return {};
    }
    BSTR s = value.get()->bstrVal;
    return s ? std::wstring(s, ::SysStringLen(s)) : std::wstring();
}

Outcome invoke(IDispatch* target, const wchar_t* name, WORD flags, std::initializer_list<Arg> args,
               std::initializer_list<std::pair<const wchar_t*, Arg>> named) {
    Outcome out;
    if (!target) {
        ADD_FAILURE() << "no object to call " << narrow(name) << " on";
        return out;
    }
    std::vector<LPOLESTR> names = {const_cast<LPOLESTR>(name)};
    for (const auto& [n, a] : named) names.push_back(const_cast<LPOLESTR>(n));
    std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
    out.hr = target->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()), LOCALE_USER_DEFAULT, ids.data());
    if (FAILED(out.hr)) return out;
    // rgvarg holds named arguments first, then the positional ones reversed.
    std::vector<VARIANT> rg;
    std::vector<DISPID> namedIds;
    size_t k = 1;
    for (const auto& [n, a] : named) {
        rg.push_back(a.get());
        namedIds.push_back(ids[k++]);
    }
    std::vector<Arg> positional(args);
    for (auto it = positional.rbegin(); it != positional.rend(); ++it) rg.push_back(it->get());
    DISPPARAMS params{rg.data(), namedIds.empty() ? nullptr : namedIds.data(), static_cast<UINT>(rg.size()),
                      static_cast<UINT>(namedIds.size())};
    EXCEPINFO excep{};
    out.hr = target->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, flags, &params, out.value.put(), &excep, &out.argError);
    out.scode = excep.scode;
    if (excep.bstrDescription) out.description.assign(excep.bstrDescription, ::SysStringLen(excep.bstrDescription));
    ::SysFreeString(excep.bstrDescription);
    ::SysFreeString(excep.bstrSource);
    ::SysFreeString(excep.bstrHelpFile);
    return out;
}

Outcome put(IDispatch* target, const wchar_t* name, const Arg& value, std::initializer_list<Arg> index) {
    Outcome out;
    if (!target) {
        ADD_FAILURE() << "no object to set " << narrow(name) << " on";
        return out;
    }
    LPOLESTR n = const_cast<LPOLESTR>(name);
    DISPID id = DISPID_UNKNOWN;
    out.hr = target->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(out.hr)) return out;
    std::vector<VARIANT> rg = {value.get()};
    std::vector<Arg> args(index);
    for (auto it = args.rbegin(); it != args.rend(); ++it) rg.push_back(it->get());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{rg.data(), &putId, static_cast<UINT>(rg.size()), 1};
    EXCEPINFO excep{};
    out.hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, &excep, &out.argError);
    out.scode = excep.scode;
    if (excep.bstrDescription) out.description.assign(excep.bstrDescription, ::SysStringLen(excep.bstrDescription));
    ::SysFreeString(excep.bstrDescription);
    ::SysFreeString(excep.bstrSource);
    ::SysFreeString(excep.bstrHelpFile);
    return out;
}

ComPtr<IDispatch> path(IDispatch* root, std::initializer_list<const wchar_t*> members) {
    ComPtr<IDispatch> at(root);
    for (const wchar_t* m : members) {
        if (!at) return {};
        Outcome o = get(at.get(), m);
        EXPECT_TRUE(o.ok()) << narrow(m) << ": " << std::hex << o.hr << " " << narrow(o.description);
        at = o.object();
        if (!at) {
            ADD_FAILURE() << narrow(m) << " gave no object";
            return {};
        }
    }
    return at;
}

ComPtr<IDispatch> startWord() {
    ComPtr<IUnknown> unknown;
    HRESULT hr = ::CoCreateInstance(kClsidWordApplication, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                    IID_IUnknown, unknown.putVoid());
    EXPECT_EQ(hr, S_OK);
    ComPtr<IDispatch> app;
    if (unknown) {
        EXPECT_EQ(unknown->QueryInterface(kIidWordApplication, app.putVoid()), S_OK);
    }
    return app;
}

STDMETHODIMP EventSink::QueryInterface(REFIID iid, void** out) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kDiidApplicationEvents || iid == kDiidDocumentEvents) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    events.push_back(id);
    threads.push_back(::GetCurrentThreadId());
    if (onEvent) onEvent(id);
    return S_OK;
}

DWORD advise(IUnknown* source, const IID& iid, IUnknown* sink, HRESULT* result) {
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, container.putVoid());
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(iid, point.put());
    DWORD cookie = 0;
    if (SUCCEEDED(hr)) hr = point->Advise(sink, &cookie);
    if (result) {
        *result = hr;
    } else {
        EXPECT_EQ(hr, S_OK);
    }
    return cookie;
}

HRESULT unadvise(IUnknown* source, const IID& iid, DWORD cookie) {
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, container.putVoid());
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(iid, point.put());
    if (SUCCEEDED(hr)) hr = point->Unadvise(cookie);
    return hr;
}

void pump(DWORD ms, const std::function<bool()>& done) {
    DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < ms) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done && done()) return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

HWND controlWindow() {
    struct Search {
        HWND found = nullptr;
    } search;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM lp) WINAPI -> BOOL {
            wchar_t cls[64];
            if (::GetClassNameW(hwnd, cls, 64) && wcscmp(cls, ORVO_FAKE_OFFICE_CONTROL_CLASS) == 0) {
                reinterpret_cast<Search*>(lp)->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring exeDirectory() {
    wchar_t p[MAX_PATH * 2];
    DWORD n = ::GetModuleFileNameW(nullptr, p, ARRAYSIZE(p));
    std::wstring s(p, n);
    return s.substr(0, s.find_last_of(L'\\'));
}

std::string narrow(const std::wstring& text) { return wideToUtf8(text); }

void OfficeTest::SetUpTestSuite() {
    static bool done = false;
    if (done) return;
    done = true;
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    // Register the substitute built beside this test in the current prefix,
    // so the test needs no step before it.
    std::wstring dll = exeDirectory() + L"\\orvo_fake_office.dll";
    HMODULE module = ::LoadLibraryW(dll.c_str());
    ASSERT_NE(module, nullptr) << narrow(dll);
    auto reg = reinterpret_cast<HRESULT(__stdcall*)()>(::GetProcAddress(module, "DllRegisterServer"));
    ASSERT_NE(reg, nullptr);
    ASSERT_EQ(reg(), S_OK);
}

void OfficeTest::SetUp() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::wstring(temp) + L"orvo-fake-office-" + utf8ToWide(info->name()) + L"-" +
              std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    journal_ = folder_ + L"\\journal.txt";
    ::DeleteFileW(journal_.c_str());
    ::SetEnvironmentVariableW(ORVO_FAKE_OFFICE_JOURNAL_ENV, journal_.c_str());
}

void OfficeTest::TearDown() {
    ::SetEnvironmentVariableW(ORVO_FAKE_OFFICE_JOURNAL_ENV, nullptr);
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder_ + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ::DeleteFileW((folder_ + L"\\" + data.cFileName).c_str());
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(folder_.c_str());
}

std::wstring OfficeTest::sample(const std::wstring& name, const std::wstring& text) {
    std::wstring p = file(name);
    writeSample(p, SampleKind::Document, {}, text);
    return p;
}

std::string OfficeTest::journalText() const {
    UniqueFile f(::CreateFileW(journal_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr));
    std::string text;
    if (!f) return text;
    char buffer[65536];
    DWORD n = 0;
    while (::ReadFile(f.get(), buffer, sizeof buffer, &n, nullptr) && n) text.append(buffer, n);
    return text;
}

std::vector<std::wstring> OfficeTest::journal() const {
    std::vector<std::wstring> lines;
    std::stringstream s(journalText());
    std::string line;
    while (std::getline(s, line)) lines.push_back(utf8ToWide(line));
    return lines;
}

bool OfficeTest::journalHasInOrder(std::initializer_list<std::wstring> wanted) const {
    auto lines = journal();
    size_t at = 0;
    for (const auto& w : wanted) {
        while (at < lines.size() && lines[at] != w) ++at;
        if (at == lines.size()) return false;
        ++at;
    }
    return true;
}

}  // namespace orvo::fake::test
