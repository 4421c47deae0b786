// File types that must never reach the shell from a link.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

#include "core/dangerous_types.h"

using orvo::isDangerousExtension;

// Every type on the list, in any case and with what Windows drops from a
// name; and the list holds what browsers and Windows treat as dangerous,
// with the Office types that carry macros.
TEST(DangerousTypes, EveryListedTypeInAnyCase) {
    std::set<std::string> listed;
    for (std::string_view ext : orvo::dangerousExtensions()) {
        std::string text(ext), upper;
        for (char c : text) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_TRUE(listed.insert(text).second) << "twice: " << text;
        EXPECT_EQ(text.front(), '.') << text;
        EXPECT_NE(text, upper) << text;
        EXPECT_TRUE(isDangerousExtension(text)) << text;
        EXPECT_TRUE(isDangerousExtension(upper)) << upper;
        EXPECT_TRUE(isDangerousExtension(text + ". ")) << text;
        EXPECT_FALSE(isDangerousExtension(text + "q")) << text;
        EXPECT_FALSE(isDangerousExtension(text.substr(1))) << text;
    }
    for (const char* ext : {".py", ".pyw", ".xll", ".rdp", ".diagcab", ".appinstaller", ".msix", ".msixbundle",
                            ".appx", ".appxbundle", ".library-ms", ".search-ms", ".searchconnector-ms", ".iso", ".img",
                            ".vhd", ".vhdx", ".sct", ".ins", ".isp", ".psc2", ".mht", ".mhtml", ".docm", ".dotm",
                            ".xlsm", ".xltm", ".xlam", ".pptm", ".potm", ".ppam", ".ppsm", ".sldm"})
        EXPECT_TRUE(listed.count(ext)) << ext;
}

TEST(DangerousTypes, ProgramsScriptsAndShortcutsInAnyCase) {
    for (const char* ext : {".exe", ".bat", ".cmd", ".hta", ".js", ".vbs", ".lnk", ".scr", ".msi", ".ps1", ".com",
                            ".pif", ".jse", ".vbe", ".wsf", ".wsh", ".msp", ".url", ".reg", ".cpl", ".jar", ".chm"})
        EXPECT_TRUE(isDangerousExtension(ext)) << ext;
    EXPECT_TRUE(isDangerousExtension(".EXE"));
    EXPECT_TRUE(isDangerousExtension(".Bat"));
    // Windows drops trailing dots and blanks from the name it creates.
    EXPECT_TRUE(isDangerousExtension(".bat."));
    EXPECT_TRUE(isDangerousExtension(".cmd . "));
}

TEST(DangerousTypes, DocumentsAndLookAlikesAreNot) {
    for (const char* ext : {".doc", ".docx", ".xls", ".xlsx", ".txt", ".pdf", "", ".", ".exe1", ".bats", "exe",
                            ".ex", ".htm"})
        EXPECT_FALSE(isDangerousExtension(ext)) << ext;
}
