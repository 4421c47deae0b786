// Names of the local copies of reports: the time-stamped name and the name
// taken from a request, which must never leave the temporary folder.
#include <gtest/gtest.h>

#include "core/local_name.h"
#include "core/temp_name.h"
#include "support/portable/app_error.h"

using namespace orvo;

TEST(TimestampName, SeventeenZeroPaddedDigitsThenTheExtensionAsGiven) {
    EXPECT_EQ(timestampedFileName({2017, 3, 15, 14, 30, 5, 123}, ".doc"), "20170315143005123.doc");
    EXPECT_EQ(timestampedFileName({987, 1, 2, 3, 4, 5, 6}, ".DOCX"), "09870102030405006.DOCX");
    EXPECT_EQ(timestampedFileName({2023, 12, 31, 23, 59, 59, 999}, ""), "20231231235959999");
    // The same millisecond gives the same name: the later copy replaces the first.
    const LocalTimestamp t{2024, 2, 29, 0, 0, 0, 0};
    EXPECT_EQ(timestampedFileName(t, ".xls"), timestampedFileName(t, ".xls"));
    EXPECT_NE(timestampedFileName(t, ".xls"), timestampedFileName({2024, 2, 29, 0, 0, 0, 1}, ".xls"));
}

TEST(TimestampName, FieldsOutOfRangeAreRefusedRatherThanChangingTheLength) {
    for (const LocalTimestamp& bad : {LocalTimestamp{10000, 1, 1, 0, 0, 0, 0}, LocalTimestamp{2020, 0, 1, 0, 0, 0, 0},
                                      LocalTimestamp{2020, 1, 32, 0, 0, 0, 0}, LocalTimestamp{2020, 1, 1, 24, 0, 0, 0},
                                      LocalTimestamp{2020, 1, 1, 0, 60, 0, 0}, LocalTimestamp{2020, 1, 1, 0, 0, 0, 1000},
                                      LocalTimestamp{-1, 1, 1, 0, 0, 0, 0}})
        EXPECT_THROW(timestampDigits(bad), AppError);
}

TEST(ReportFileName, KeepsOnlyTheLastPathComponent) {
    EXPECT_EQ(safeReportFileName("r.docx", ".docx"), "r.docx");
    EXPECT_EQ(safeReportFileName("..\\..\\..\\evil.docx", ".docx"), "evil.docx");
    EXPECT_EQ(safeReportFileName("C:evil.xlsx", ".xlsx"), "evil.xlsx");
    EXPECT_EQ(safeReportFileName("C:\\Windows\\evil.xlsx", ".xlsx"), "evil.xlsx");
    EXPECT_EQ(safeReportFileName("\\\\server\\share\\evil.docx", ".docx"), "evil.docx");
    EXPECT_EQ(safeReportFileName("a/b/evil.docx", ".docx"), "evil.docx");
    // An alternate data stream names a stream of another file.
    EXPECT_EQ(safeReportFileName("good.docx:evil.docx", ".docx"), "evil.docx");
}

TEST(ReportFileName, RefusesWhatIsNoPlainFileNameWithTheExtension) {
    for (const char* bad : {"", ".", "..", "..\\", "C:", "dir\\", "r.doc", "r.DOCX", ".docx", "r.docx.",
                            "r.docx ", "a?.docx", "a*.docx", "a<b.docx", "a>b.docx", "a|b.docx", "a\"b.docx",
                            "a\tb.docx", "a\x01.docx"})
        EXPECT_EQ(safeReportFileName(bad, ".docx"), "") << bad;
    EXPECT_EQ(safeReportFileName(std::string(252, 'a') + ".docx", ".docx"), "");
    EXPECT_EQ(safeReportFileName(std::string(250, 'a') + ".docx", ".docx"), std::string(250, 'a') + ".docx");
}

TEST(ReportFileName, RefusesANameEndingInADotOrABlankEvenWithoutAnExtensionToCheck) {
    // Windows drops the trailing dots and blanks: "report." would be saved
    // as "report", and no extension is there to refuse it instead.
    for (const char* bad : {"report.", "report ", "report. ", "report..", "\xB1\xA8\xB1\xED."})
        EXPECT_EQ(safeReportFileName(bad, ""), "") << bad;
    EXPECT_EQ(safeReportFileName("report", ""), "report");
    EXPECT_EQ(safeReportFileName("report.x", ""), "report.x");
    EXPECT_EQ(proposedSaveName("orvo:cmd=viewf&filename=http://h/r/report."), "");
    EXPECT_EQ(localReportName("report.", "", "20170315143005123.doc"), "20170315143005123.doc");
}

TEST(ReportFileName, RefusesDeviceNamesInAnyCaseAndWithAnExtension) {
    for (const char* device : {"CON.docx", "con.docx", "Nul.docx", "PRN.docx", "aux.docx", "COM1.docx", "lpt9.docx",
                               "com0.docx", "NUL .docx", "CONIN$.docx", "conout$.docx", "nul.tar.docx", "x\\CON.docx"})
        EXPECT_EQ(safeReportFileName(device, ".docx"), "") << device;
    for (const char* fine : {"CONSOLE.docx", "COM10.docx", "LPT.docx", "NULL.docx", "xcon.docx"})
        EXPECT_EQ(safeReportFileName(fine, ".docx"), fine) << fine;
}

TEST(ReportFileName, StepsOverDoubleByteCharactersWhoseSecondByteIsASeparatorOrBar) {
    // 乗 is 81 5C and 亅 is 81 7C in GBK: neither ends a component nor is a bar.
    const std::string joined = "\x81\x5C" "x.docx";
    EXPECT_EQ(safeReportFileName("dir\\" + joined, ".docx"), joined);
    const std::string bar = "\x81\x7C.docx";
    EXPECT_EQ(safeReportFileName(bar, ".docx"), bar);
    // GBK of 报表.docx
    const std::string report = "\xB1\xA8\xB1\xED.docx";
    EXPECT_EQ(safeReportFileName("..\\" + report, ".docx"), report);
    // A lead byte without its trail, or a byte no GBK text has, is no name.
    EXPECT_EQ(safeReportFileName("a\x81", ".docx"), "");
    EXPECT_EQ(safeReportFileName("a\x80.docx", ".docx"), "");
    EXPECT_EQ(safeReportFileName("a\xFF.docx", ".docx"), "");
}

TEST(ReportFileName, FallsBackToTheGivenName) {
    EXPECT_EQ(localReportName("..\\..", ".docx", "20170315143005123.docx"), "20170315143005123.docx");
    EXPECT_EQ(localReportName("x/NUL.docx", ".docx", "20170315143005123.docx"), "20170315143005123.docx");
    EXPECT_EQ(localReportName("r.xlsx", ".xlsx", "20170315143005123.xlsx"), "r.xlsx");
}

TEST(ProposedSaveName, LastPathItemOfTheRequestWhenItIsAPlainName) {
    EXPECT_EQ(proposedSaveName("orvo:cmd=viewf&filename=http://h/r/20170315.doc"), "20170315.doc");
    EXPECT_EQ(proposedSaveName("no-slash-at-all"), "no-slash-at-all");
    EXPECT_EQ(proposedSaveName("http://h/r/"), "");
    // A blank ends the item: the text after it is the last item.
    EXPECT_EQ(proposedSaveName("http://h/r/first part.doc"), "part.doc");
    // Nothing that could aim the dialog at another folder or a device.
    EXPECT_EQ(proposedSaveName("http://h/r/..\\..\\Windows\\win.ini"), "win.ini");
    EXPECT_EQ(proposedSaveName("http://h/r/.."), "");
    EXPECT_EQ(proposedSaveName("http://h/r/nul.doc"), "");
    EXPECT_EQ(proposedSaveName("http://h/r/a?b.doc"), "");
}
