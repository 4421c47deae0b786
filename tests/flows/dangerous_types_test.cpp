// File types that must never reach the shell from a link.
#include <gtest/gtest.h>

#include "core/dangerous_types.h"

using orvo::isDangerousExtension;

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
