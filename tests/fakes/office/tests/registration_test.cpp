// Registration: what DllRegisterServer writes and what DllUnregisterServer
// removes, checked in a scratch key standing in for HKEY_CLASSES_ROOT.
#include "test_support.h"

namespace orvo::fake::test {
namespace {

std::wstring value(HKEY root, const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t buffer[1024];
    DWORD size = sizeof buffer;
    if (::RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) return L"<none>";
    return buffer;
}

class RegistrationTest : public OfficeTest {
protected:
    void SetUp() override {
        OfficeTest::SetUp();
        module = ::GetModuleHandleW(L"orvo_fake_office.dll");
        ASSERT_NE(module, nullptr);
        registerServer = reinterpret_cast<HRESULT(__stdcall*)()>(::GetProcAddress(module, "DllRegisterServer"));
        unregisterServer = reinterpret_cast<HRESULT(__stdcall*)()>(::GetProcAddress(module, "DllUnregisterServer"));
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, scratch.put(), nullptr),
                  ERROR_SUCCESS);
        // From here until TearDown, HKEY_CLASSES_ROOT means the scratch key.
        ASSERT_EQ(::RegOverridePredefKey(HKEY_CLASSES_ROOT, scratch.get()), ERROR_SUCCESS);
    }
    void TearDown() override {
        ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        scratch.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        OfficeTest::TearDown();
    }

    static constexpr const wchar_t* kScratch = L"Software\\OrvoFakeOfficeRegistrationTest";
    HMODULE module = nullptr;
    HRESULT(__stdcall* registerServer)() = nullptr;
    HRESULT(__stdcall* unregisterServer)() = nullptr;
    UniqueRegKey scratch;
};

TEST_F(RegistrationTest, RegistersTheClassesAgainAndRemovesOnlyItsOwnKeys) {
    wchar_t dll[MAX_PATH * 2];
    ::GetModuleFileNameW(module, dll, ARRAYSIZE(dll));
    ASSERT_EQ(registerServer(), S_OK);
    ASSERT_EQ(registerServer(), S_OK);  // again: same result

    HKEY root = scratch.get();
    const std::wstring app = L"CLSID\\{000209FF-0000-0000-C000-000000000046}";
    EXPECT_EQ(value(root, app + L"\\InprocServer32"), dll);
    EXPECT_EQ(value(root, app + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(value(root, L"Word.Application\\CLSID"), L"{000209FF-0000-0000-C000-000000000046}");
    struct {
        const wchar_t* extension;
        const wchar_t* progId;
        const wchar_t* clsid;
    } documents[] = {
        {L".doc", L"Word.Document.8", L"{00020906-0000-0000-C000-000000000046}"},
        {L".docx", L"Word.Document.12", L"{F4754C9B-64F5-4B40-8AF4-679732AC0607}"},
        {L".xls", L"Excel.Sheet.8", L"{00020820-0000-0000-C000-000000000046}"},
        {L".xlsx", L"Excel.Sheet.12", L"{00020830-0000-0000-C000-000000000046}"},
    };
    for (const auto& d : documents) {
        EXPECT_EQ(value(root, d.extension), d.progId);
        EXPECT_EQ(value(root, std::wstring(d.progId) + L"\\CLSID"), d.clsid);
        EXPECT_EQ(value(root, std::wstring(L"CLSID\\") + d.clsid + L"\\InprocServer32"), dll);
        EXPECT_EQ(value(root, std::wstring(L"CLSID\\") + d.clsid + L"\\ProgID"), d.progId);
    }

    // The older classes genuine files carry are served, and take no extension.
    for (const wchar_t* clsid : {L"{00020900-0000-0000-C000-000000000046}", L"{00020810-0000-0000-C000-000000000046}"})
        EXPECT_EQ(value(root, std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32"), dll);
    EXPECT_EQ(value(root, L"Excel.Sheet.5\\CLSID"), L"{00020810-0000-0000-C000-000000000046}");
    EXPECT_EQ(value(root, L".xls"), L"Excel.Sheet.8");

    // Another program has since taken ".doc": unregistering leaves it.
    UniqueRegKey doc;
    ASSERT_EQ(::RegCreateKeyExW(root, L".doc", 0, nullptr, 0, KEY_WRITE, nullptr, doc.put(), nullptr), ERROR_SUCCESS);
    const wchar_t other[] = L"Other.Document";
    ::RegSetValueExW(doc.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(other), sizeof other);
    ASSERT_EQ(unregisterServer(), S_OK);
    EXPECT_EQ(value(root, app + L"\\InprocServer32"), L"<none>");
    EXPECT_EQ(value(root, L".docx"), L"<none>");
    EXPECT_EQ(value(root, L"Word.Document.8\\CLSID"), L"<none>");
    EXPECT_EQ(value(root, L".doc"), L"Other.Document");
}

}  // namespace
}  // namespace orvo::fake::test
