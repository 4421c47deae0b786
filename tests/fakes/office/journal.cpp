#include "journal.h"

#include <cwchar>
#include "support/win32/unique.h"
#include "support/win32/win_text.h"
#include "fake_office_control.h"

namespace orvo::fake {

std::wstring journalPath() {
    wchar_t buffer[1024];
    DWORD n = ::GetEnvironmentVariableW(ORVO_FAKE_OFFICE_JOURNAL_ENV, buffer, ARRAYSIZE(buffer));
    if (n == 0 || n >= ARRAYSIZE(buffer)) return {};
    std::wstring path(buffer, n);
    // Test scripts on the Unix side pass Unix paths; Wine maps / to Z:.
    if (path[0] == L'/') {
        for (auto& c : path)
            if (c == L'/') c = L'\\';
        path = L"Z:" + path;
    }
    return path;
}

void journalLine(std::wstring_view line) {
    std::wstring path = journalPath();
    if (path.empty()) return;
    std::string bytes = wideToUtf8(line);
    bytes += '\n';

    // The mutex orders writers of all processes; opening per line keeps
    // every line on disk as soon as it is written.
    static HANDLE mutex = ::CreateMutexW(nullptr, FALSE, L"OrvoFakeOfficeJournal");
    DWORD wait = mutex ? ::WaitForSingleObject(mutex, 5000) : WAIT_FAILED;
    {
        UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            LARGE_INTEGER zero{};
            ::SetFilePointerEx(file.get(), zero, nullptr, FILE_END);
            DWORD written = 0;
            ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        }
    }
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) ::ReleaseMutex(mutex);
}

std::wstring quote(std::wstring_view text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'"') out += L"\"\"";
        else if (c == L'\n') out += L"\\n";
        else if (c == L'\r') out += L"\\r";
        else out += c;
    }
    out += L'"';
    return out;
}

std::wstring formatValue(const VARIANT& value) {
    const VARIANT* v = &value;
    if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) v = v->pvarVal;
    VARTYPE type = v->vt & ~VT_BYREF;
    switch (type) {
    case VT_EMPTY: return L"Empty";
    case VT_NULL: return L"Null";
    case VT_DISPATCH:
    case VT_UNKNOWN: return L"Object";
    case VT_ERROR: {
        SCODE code = (v->vt & VT_BYREF) ? *v->pscode : v->scode;
        if (code == DISP_E_PARAMNOTFOUND) return L"Missing";
        wchar_t buf[32];
        std::swprintf(buf, 32, L"Error(0x%08lX)", static_cast<unsigned long>(code));
        return buf;
    }
    case VT_BOOL: {
        VARIANT_BOOL b = (v->vt & VT_BYREF) ? *v->pboolVal : v->boolVal;
        return b ? L"True" : L"False";
    }
    case VT_BSTR: {
        BSTR s = (v->vt & VT_BYREF) ? *v->pbstrVal : v->bstrVal;
        return quote(s ? std::wstring_view(s, ::SysStringLen(s)) : std::wstring_view());
    }
    default: break;
    }
    UniqueVariant text;
    if (SUCCEEDED(::VariantChangeType(text.put(), const_cast<VARIANT*>(v), VARIANT_NOUSEROVERRIDE, VT_BSTR)) &&
        text.get()->bstrVal)
        return std::wstring(text.get()->bstrVal, ::SysStringLen(text.get()->bstrVal));
    wchar_t buf[32];
    std::swprintf(buf, 32, L"<vt 0x%04X>", static_cast<unsigned>(v->vt));
    return buf;
}

}  // namespace orvo::fake
