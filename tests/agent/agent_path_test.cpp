#include <gtest/gtest.h>

#include "agent_path.h"

using agent::mainProgramPath;

TEST(AgentPath, QuotedIconPathGivesProgramInSameFolder) {
    EXPECT_EQ(mainProgramPath(L"\"C:\\Program Files\\orvo\\orvo.ico\""), L"C:\\Program Files\\orvo\\orvo_Printer.exe");
}

TEST(AgentPath, IconIndexAfterClosingQuoteIsIgnored) {
    EXPECT_EQ(mainProgramPath(L"\"C:\\Program Files\\orvo\\Agent.exe\",0"), L"C:\\Program Files\\orvo\\orvo_Printer.exe");
    EXPECT_EQ(mainProgramPath(L"\"D:\\orvo\\app.ico\",-101"), L"D:\\orvo\\orvo_Printer.exe");
}

TEST(AgentPath, UnquotedValueKeepsItsFirstCharacter) {
    EXPECT_EQ(mainProgramPath(L"C:\\orvo\\orvo.ico"), L"C:\\orvo\\orvo_Printer.exe");
}

TEST(AgentPath, DriveOnlyValueUsesTheColonAsSeparator) {
    EXPECT_EQ(mainProgramPath(L"\"D:orvo.ico\""), L"D:orvo_Printer.exe");
}

TEST(AgentPath, ValueWithoutFolderGivesNothingToStart) {
    EXPECT_EQ(mainProgramPath(L""), L"");
    EXPECT_EQ(mainProgramPath(L"\""), L"");
    EXPECT_EQ(mainProgramPath(L"orvo.ico,0"), L"");
}
