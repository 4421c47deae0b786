// The list split, percent and UTF-8 decoding, code page 936 and the container
// stream. GBK bytes are written as escapes so the file's own encoding does not
// matter: 报表 is B1 A8 B1 ED, 乗 is 81 5C.
#include <gtest/gtest.h>

#include "support/portable/app_error.h"
#include "support/portable/codepage.h"
#include "support/portable/container_stream.h"
#include "support/portable/delimited_list.h"
#include "support/portable/percent.h"
#ifdef _WIN32
#include "support/win32/win_text.h"
#endif

using namespace orvo;
using Items = std::vector<std::string>;

TEST(DelimitedList, ItemsBlanksAndEmptyItems) {
    EXPECT_EQ(splitDelimited("a&b&c", '&'), (Items{"a", "b", "c"}));
    EXPECT_EQ(splitDelimited("", '&'), Items{});
    EXPECT_EQ(splitDelimited(" \t\r\n ", '&'), Items{});
    EXPECT_EQ(splitDelimited("a&&b", '&'), (Items{"a", "", "b"}));
    EXPECT_EQ(splitDelimited("a&", '&'), (Items{"a", ""}));
    EXPECT_EQ(splitDelimited("a& ", '&'), Items{"a"});  // the delimiter is not the last character
    EXPECT_EQ(splitDelimited("&a", '&'), (Items{"", "a"}));
    // A blank ends an item as a delimiter does, and blanks around delimiters vanish.
    EXPECT_EQ(splitDelimited("  a b &  c\x01&d", '&'), (Items{"a", "b", "c", "d"}));
}

TEST(DelimitedList, QuotedItems) {
    EXPECT_EQ(splitDelimited("\"a b\"&\"say \"\"hi\"\"\"", '&'), (Items{"a b", "say \"hi\""}));
    EXPECT_EQ(splitDelimited("\"a&b\"&c", '&'), (Items{"a&b", "c"}));
    EXPECT_EQ(splitDelimited("\"abc", '&'), Items{"abc"});          // unterminated: to the end, nothing lost
    EXPECT_EQ(splitDelimited("\"ab\"cd&e", '&'), (Items{"ab", "cd", "e"}));  // text after the quote is the next item
    EXPECT_EQ(splitDelimited("\"\"&x", '&'), (Items{"", "x"}));
    EXPECT_EQ(splitDelimited("a\"b&c", '&'), (Items{"a\"b", "c"}));  // a quote inside an item is plain text
}

TEST(DelimitedList, GbkAndNul) {
    // No delimiter, quote or blank can be a GBK trail byte, so double-byte
    // characters survive whole, including 乗 whose trail byte is "\".
    EXPECT_EQ(splitDelimited("\xB1\xA8\xB1\xED&\x81\x5C&\x81\x7C", '&'),
              (Items{"\xB1\xA8\xB1\xED", "\x81\x5C", "\x81\x7C"}));
    EXPECT_EQ(splitDelimited(std::string_view("a&b\0&c", 6), '&'), (Items{"a", "b"}));
}

TEST(DelimitedList, LastPathItem) {
    EXPECT_EQ(LastPathItem("a/b/c"), "c");
    EXPECT_EQ(LastPathItem("a/b/"), "");
    EXPECT_EQ(LastPathItem(""), "");
    EXPECT_EQ(LastPathItem("http://h/dir/r.docx"), "r.docx");
    EXPECT_EQ(LastPathItem("http://h/my report.docx"), "report.docx");  // the blank splits
    EXPECT_EQ(LastPathItem("http://h/\xB1\xA8\x81\x5C.docx"), "\xB1\xA8\x81\x5C.docx");
}

TEST(Percent, Decoding) {
    EXPECT_EQ(percentDecode("%E6%8A%A5%e8%a1%a8"), "\xE6\x8A\xA5\xE8\xA1\xA8");
    EXPECT_EQ(percentDecode("a%00b%zzc%4zd"), "abcd");  // the escape is consumed either way
    EXPECT_EQ(percentDecode("a+b%2B"), "a+b+");
    EXPECT_EQ(percentDecode("%41%"), "A");
    EXPECT_EQ(percentDecode("x%4"), "x\x04");  // fewer digits at the end still count
    EXPECT_EQ(percentDecode("%%41"), "1");      // "%%4" is not hex; "1" follows
    EXPECT_EQ(percentDecode("%ff"), "\xFF");
}

TEST(Codepage, StrictUtf8) {
    EXPECT_EQ(decodeUtf8("a\xC3\xA9\xE6\x8A\xA5\xF0\x9F\x98\x80"), std::u32string(U"a\u00E9\u62A5\U0001F600"));
    EXPECT_EQ(decodeUtf8("\xF4\x8F\xBF\xBF"), std::u32string(U"\U0010FFFF"));
    for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF",  // overlong
                            "\xED\xA0\x80", "\xED\xBF\xBF",                  // surrogates
                            "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",          // above U+10FFFF
                            "\xE6\x8A", "\xE6", "\x80", "a\xE6\x8A" "b",     // truncated, stray
                            "\xB1\xA8\xB1\xED"})                            // GBK 报表
        EXPECT_FALSE(decodeUtf8(bad).has_value()) << ::testing::PrintToString(std::string(bad));
}

// Both platform tables must give these bytes: the Linux build checks iconv,
// the Windows build the system's own table.
TEST(Codepage, UnicodeToGbk) {
    EXPECT_EQ(unicodeToGbk(U"\u62A5\u8868 x"), "\xB1\xA8\xB1\xED x");
    EXPECT_EQ(unicodeToGbk(U"\u4E57"), "\x81\x5C");   // 乗
    EXPECT_EQ(unicodeToGbk(U"\u20AC"), "\x80");       // euro sign
    EXPECT_EQ(unicodeToGbk(U"\u00B7\u2014\uFF5E\u00E9\uFFE5\u2010\u2015"),
              "\xA1\xA4\xA1\xAA\xA1\xAB\xA8\xA6\xA3\xA4\xA9\x5C\xA8\x44");
    // Outside the code page, or private use: one "?" per character, never a look-alike.
    EXPECT_EQ(unicodeToGbk(U"\u00D7\u3000\uFF3C\u2215"), "\xA1\xC1\xA1\xA1\xA3\xDC\xA8\x4D");
    EXPECT_EQ(unicodeToGbk(U"a\U0001F600b\u00A5\u2022\uE000\U000F0000\u301C\u0080\u00A0\uFEFF\uFFFD"), "a?b?????????");
}

#ifdef _WIN32
TEST(Codepage, WindowsBoundaryConvertsLikeTheCore) {
    // Text from the command line or a dialog goes through wideToGbk: it must
    // give the core's bytes, "?" and never a look-alike (µ is not μ).
    const std::u32string samples[] = {U"\u62A5\u8868 x", U"5\u00B5m.doc", U"\u00C0\u00A6\u00AD", U"\u4E57\u20AC"};
    for (const std::u32string& text : samples) {
        const std::wstring wide(text.begin(), text.end());
        EXPECT_EQ(orvo::wideToGbk(wide), unicodeToGbk(text));
    }
    EXPECT_EQ(orvo::wideToGbk(L"5\u00B5m.doc"), "5?m.doc");
}
#endif

TEST(Codepage, Utf8Step) {
    EXPECT_EQ(utf8StepToGbk("\xE6\x8A\xA5\xE8\xA1\xA8"), "\xB1\xA8\xB1\xED");
    EXPECT_EQ(utf8StepToGbk("\xB1\xA8\xB1\xED"), "\xB1\xA8\xB1\xED");  // not UTF-8: kept
    EXPECT_EQ(utf8StepToGbk("\xE4\xB9\x97"), "\x81\x5C");
    EXPECT_EQ(utf8StepToGbk(""), "");
    EXPECT_EQ(utf8StepToGbk("\xF0\x9F\x98\x80!"), "?!");
}

TEST(ContainerStream, WriteAndReadBack) {
    const std::string data("\xD0\xCF\x11\xE0\0\x01payload", 13);
    const std::string stream = writeContainerStream(data);
    ASSERT_EQ(stream.size(), 25u);
    EXPECT_EQ(stream.substr(0, 12), std::string("BDOC\x01\0\0\0\x0D\0\0\0", 12));
    const std::string withTail = stream + "trailing";
    const ContainerStreamContents back = readContainerStream(withTail);
    EXPECT_EQ(back.drawAspect, 1u);
    EXPECT_EQ(back.data, data);
    const std::string empty = writeContainerStream("");
    EXPECT_EQ(readContainerStream(empty).data, "");
    const auto header = containerStreamHeader(0x12345678u);
    EXPECT_EQ(std::string(header.data() + 8, 4), "\x78\x56\x34\x12");
    EXPECT_THROW(containerStreamHeader(0x100000000ull), AppError);
}

TEST(ContainerStream, DamagedStreams) {
    auto messageOf = [](std::string_view stream) {
        try {
            readContainerStream(stream);
        } catch (const AppError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(messageOf("XDOC\x01\0\0\0\0\0\0\0"), "Invalid stream format");
    EXPECT_EQ(messageOf(std::string("BDOC\x01\0\0\0\x05\0\0\0abcd", 16)), unicodeToGbk(U"读取流出错"));  // one byte short
    EXPECT_EQ(messageOf(std::string("BDOC\x01\0\0\0\xFF\xFF\xFF\xFF", 12)), unicodeToGbk(U"读取流出错"));
    EXPECT_EQ(messageOf("BDOC\x01"), unicodeToGbk(U"读取流出错"));
    EXPECT_EQ(messageOf("BD"), unicodeToGbk(U"读取流出错"));
    EXPECT_EQ(messageOf(""), unicodeToGbk(U"读取流出错"));
}
