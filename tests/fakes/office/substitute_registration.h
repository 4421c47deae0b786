#pragma once
// Registers the Office substitute built beside the tests (ORVO_FAKE_OFFICE_DLL)
// in this Wine prefix, as a test suite's set-up does before its first test.
#include <gtest/gtest.h>
#include <windows.h>

#include "support/win32/win_text.h"

namespace orvo::fake {

inline void registerOfficeSubstitute() {
    HMODULE module = ::LoadLibraryW(gbkToWide(ORVO_FAKE_OFFICE_DLL).c_str());
    ASSERT_NE(module, nullptr) << ORVO_FAKE_OFFICE_DLL;
    auto registerServer = reinterpret_cast<HRESULT(__stdcall*)()>(::GetProcAddress(module, "DllRegisterServer"));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_EQ(registerServer(), S_OK);
}

}  // namespace orvo::fake
