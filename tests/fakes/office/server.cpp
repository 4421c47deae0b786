// The in-process server: class objects for Word.Application,
// Excel.Application and the six embeddable document classes, and their
// registration under HKCR; or, registered with "regsvr32 /n /i:wps", for
// WPS Office's classes only, as on a PC with WPS and no Microsoft Office.
#include <windows.h>
#include <string>
#include "class_ids.h"
#include "control_window.h"
#include "journal.h"
#include "office_objects.h"
#include "support/win32/unique.h"

namespace orvo::fake {
namespace {

struct ClassInfo {
    const CLSID* clsid;
    const wchar_t* progId;
    const wchar_t* userType;
    const wchar_t* shortType;  // null for the application
    const wchar_t* appName;
    const wchar_t* extension;  // the extension that names this class, if any
    bool wps;                  // one of WPS Office's classes
};

// The older document classes take no extension: files of their kind are
// found by the class their storage carries.
const ClassInfo kClasses[] = {
    {&kClsidWordApplication, L"Word.Application", L"Microsoft Word Application", nullptr, nullptr, nullptr, false},
    {&kClsidExcelApplication, L"Excel.Application", L"Microsoft Excel Application", nullptr, nullptr, nullptr, false},
    {&kClsidWordDocument8, L"Word.Document.8", L"Microsoft Word 97 - 2003 Document", L"Document", L"Microsoft Word", L".doc", false},
    {&kClsidWordDocument12, L"Word.Document.12", L"Microsoft Word Document", L"Document", L"Microsoft Word", L".docx", false},
    {&kClsidWordDocument6, L"Word.Document.6", L"Microsoft Word 6.0 - 7.0 Document", L"Document", L"Microsoft Word", nullptr, false},
    {&kClsidExcelSheet8, L"Excel.Sheet.8", L"Microsoft Excel 97-2003 Worksheet", L"Worksheet", L"Microsoft Excel", L".xls", false},
    {&kClsidExcelSheet12, L"Excel.Sheet.12", L"Microsoft Excel Worksheet", L"Worksheet", L"Microsoft Excel", L".xlsx", false},
    {&kClsidExcelSheet5, L"Excel.Sheet.5", L"Microsoft Excel 5.0/95 Worksheet", L"Worksheet", L"Microsoft Excel", nullptr, false},
    {&kClsidWpsWriterApplication, L"KWPS.Application", L"WPS Writer Application", nullptr, nullptr, nullptr, true},
    {&kClsidWpsSpreadsheetApplication, L"KET.Application", L"WPS Spreadsheets Application", nullptr, nullptr, nullptr, true},
    {&kClsidWpsDocument8, L"KWPS.Document.8", L"WPS Writer 97-2003 Document", L"Document", L"WPS Writer", L".doc", true},
    {&kClsidWpsDocument12, L"KWPS.Document.12", L"WPS Writer Document", L"Document", L"WPS Writer", L".docx", true},
    {&kClsidWpsDocument9, L"KWPS.Document.9", L"WPS Writer WPS Document", L"Document", L"WPS Writer", L".wps", true},
    {&kClsidWpsSheet12, L"KET.Sheet.12", L"WPS Spreadsheets Worksheet", L"Worksheet", L"WPS Spreadsheets", L".xlsx", true},
    {&kClsidWpsWorkbook9, L"KET.Workbook.9", L"WPS Spreadsheets ET Workbook", L"Worksheet", L"WPS Spreadsheets", L".et", true},
};

bool isApplication(const CLSID& clsid) {
    return clsid == kClsidWordApplication || clsid == kClsidExcelApplication || clsid == kClsidWpsWriterApplication ||
           clsid == kClsidWpsSpreadsheetApplication;
}

std::wstring guidText(const GUID& guid) {
    wchar_t text[40];
    ::StringFromGUID2(guid, text, ARRAYSIZE(text));
    return text;
}

std::wstring modulePath() {
    wchar_t path[MAX_PATH * 2];
    DWORD n = ::GetModuleFileNameW(moduleHandle(), path, ARRAYSIZE(path));
    return std::wstring(path, n);
}

LSTATUS setValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    UniqueRegKey k;
    LSTATUS s = ::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, k.put(), nullptr);
    if (s != ERROR_SUCCESS) return s;
    return ::RegSetValueExW(k.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::wstring readValue(HKEY root, const std::wstring& key, const wchar_t* name) {
    wchar_t buffer[1024];
    DWORD size = sizeof buffer;
    if (::RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) return {};
    return buffer;
}

bool sameText(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

class ClassFactory final : public ComObject<IClassFactory> {
public:
    explicit ClassFactory(const ClassInfo& info) : info_(info) {}

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        ensureControlWindow();
        journalLine(std::wstring(L"Create(") + quote(info_.progId) + L")");
        try {
            if (isApplication(*info_.clsid)) {
                const Suite suite = *info_.clsid == kClsidWordApplication || *info_.clsid == kClsidWpsWriterApplication
                                        ? Suite::Word
                                        : Suite::Excel;
                auto app = ApplicationObject::start(suite, info_.wps);
                return app->QueryInterface(iid, out);
            }
            auto doc = DocumentObject::create(*info_.clsid);
            return doc->QueryInterface(iid, out);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    const ClassInfo& info_;
};

}  // namespace
}  // namespace orvo::fake

using namespace orvo::fake;

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const auto& info : kClasses) {
        if (*info.clsid != clsid) continue;
        auto* factory = new (std::nothrow) ClassFactory(info);
        if (!factory) return E_OUTOFMEMORY;
        HRESULT hr = factory->QueryInterface(iid, out);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

// Never unloaded: the control window and the running applications live as
// long as the process.
extern "C" HRESULT __stdcall DllCanUnloadNow() { return S_FALSE; }

namespace {

HRESULT registerClasses(bool wps) {
    const std::wstring dll = modulePath();
    for (const auto& info : kClasses) {
        if (info.wps != wps) continue;
        const std::wstring key = L"CLSID\\" + guidText(*info.clsid);
        LSTATUS s = setValue(HKEY_CLASSES_ROOT, key, nullptr, info.userType);
        if (s == ERROR_SUCCESS) s = setValue(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", nullptr, dll);
        if (s == ERROR_SUCCESS) s = setValue(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
        if (s == ERROR_SUCCESS) s = setValue(HKEY_CLASSES_ROOT, key + L"\\ProgID", nullptr, info.progId);
        if (s == ERROR_SUCCESS) s = setValue(HKEY_CLASSES_ROOT, info.progId, nullptr, info.userType);
        if (s == ERROR_SUCCESS) s = setValue(HKEY_CLASSES_ROOT, std::wstring(info.progId) + L"\\CLSID", nullptr, guidText(*info.clsid));
        if (info.shortType) {
            if (s == ERROR_SUCCESS) s = setValue(HKEY_CLASSES_ROOT, key + L"\\Verb\\0", nullptr, L"&Edit,0,2");
            if (s == ERROR_SUCCESS) s = setValue(HKEY_CLASSES_ROOT, key + L"\\Verb\\1", nullptr, L"&Open,0,2");
            if (s == ERROR_SUCCESS) s = setValue(HKEY_CLASSES_ROOT, key + L"\\AuxUserType\\2", nullptr, info.shortType);
            if (s == ERROR_SUCCESS) s = setValue(HKEY_CLASSES_ROOT, key + L"\\AuxUserType\\3", nullptr, info.appName);
        }
        if (info.extension && s == ERROR_SUCCESS) s = setValue(HKEY_CLASSES_ROOT, info.extension, nullptr, info.progId);
        if (s != ERROR_SUCCESS) return HRESULT_FROM_WIN32(s);
    }
    return S_OK;
}

}  // namespace

// Microsoft Office's classes.
extern "C" HRESULT __stdcall DllRegisterServer() { return registerClasses(false); }

extern "C" HRESULT __stdcall DllUnregisterServer();

// "regsvr32 /n /i:wps": WPS Office's classes only.
extern "C" HRESULT __stdcall DllInstall(BOOL install, LPCWSTR options) {
    if (!install) return DllUnregisterServer();
    if (!options || ::CompareStringOrdinal(options, -1, L"wps", -1, TRUE) != CSTR_EQUAL) return E_INVALIDARG;
    return registerClasses(true);
}

// Removes only what points at this server, so another registration (a real
// installation, another build) is left alone.
extern "C" HRESULT __stdcall DllUnregisterServer() {
    const std::wstring dll = modulePath();
    for (const auto& info : kClasses) {
        const std::wstring clsid = guidText(*info.clsid);
        const std::wstring key = L"CLSID\\" + clsid;
        if (!sameText(readValue(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", nullptr), dll)) continue;
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
        if (sameText(readValue(HKEY_CLASSES_ROOT, std::wstring(info.progId) + L"\\CLSID", nullptr), clsid))
            ::RegDeleteTreeW(HKEY_CLASSES_ROOT, info.progId);
        if (info.extension && sameText(readValue(HKEY_CLASSES_ROOT, info.extension, nullptr), info.progId))
            ::RegDeleteTreeW(HKEY_CLASSES_ROOT, info.extension);
    }
    return S_OK;
}
