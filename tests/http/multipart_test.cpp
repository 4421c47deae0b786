#include "support/portable/multipart.h"

#include <gtest/gtest.h>

#include <set>

#include "support/portable/app_error.h"

namespace orvo {
namespace {

TEST(PercentEncode, KeepsOnlyUnreservedCharacters) {
    EXPECT_EQ(percentEncode("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(percentEncode("a b+c&d=e/f?g%h"), "a%20b%2Bc%26d%3De%2Ff%3Fg%25h");
    // UTF-8 bytes, upper-case hex digits.
    EXPECT_EQ(percentEncode("\xE6\x8A\xA5\xFF"), "%E6%8A%A5%FF");
    EXPECT_EQ(percentEncode(std::string("a\0b\r\n", 5)), "a%00b%0D%0A");
    EXPECT_EQ(percentEncode(""), "");
}

TEST(UrlEncodedForm, JoinsFieldsInOrder) {
    EXPECT_EQ(encodeUrlEncodedForm({{"Digest", "0123ABCD"}, {"Token", "a&b=c d"}}),
              "Digest=0123ABCD&Token=a%26b%3Dc%20d");
    EXPECT_EQ(encodeUrlEncodedForm({{"Token", ""}}), "Token=");
    EXPECT_EQ(encodeUrlEncodedForm({}), "");
}

TEST(MultipartBody, LaysOutFieldsAndFilePart) {
    MultipartBody body("XyZ-1");
    body.addField("fileguid", "g-1");
    body.setFile({"uploaded_file", "C:\\docs\\a.doc", "application/msword"});
    EXPECT_EQ(body.contentType(), "multipart/form-data; boundary=XyZ-1");
    EXPECT_EQ(body.head(),
              "--XyZ-1\r\n"
              "Content-Disposition: form-data; name=\"fileguid\"\r\n"
              "\r\n"
              "g-1\r\n"
              "--XyZ-1\r\n"
              "Content-Disposition: form-data; name=\"uploaded_file\"; filename=\"C:\\docs\\a.doc\"\r\n"
              "Content-Type: application/msword\r\n"
              "Content-Transfer-Encoding: binary\r\n"
              "\r\n");
    EXPECT_EQ(body.tail(), "\r\n--XyZ-1--\r\n");
    EXPECT_EQ(body.totalSize(1000), body.head().size() + 1000 + body.tail().size());
    EXPECT_EQ(body.totalSize(0), body.head().size() + body.tail().size());
}

TEST(MultipartBody, WithoutFileIsFieldsAndClosingDelimiter) {
    MultipartBody body("b");
    EXPECT_EQ(body.head() + body.tail(), "--b--\r\n");
    body.addField("a", "1");
    EXPECT_FALSE(body.hasFile());
    EXPECT_EQ(body.head() + body.tail(), "--b\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--b--\r\n");
    // The size of a body without a file ignores any file length.
    EXPECT_EQ(body.totalSize(12345), (body.head() + body.tail()).size());
}

TEST(MultipartBody, HostileNamesCannotBreakTheHeaders) {
    MultipartBody body("b");
    body.setFile({"f\"x", "evil\"\r\nContent-Type: text/html\r\n\r\n.doc", "application/octet-stream"});
    const std::string head = body.head();
    EXPECT_NE(head.find("name=\"f%22x\"; filename=\"evil%22%0D%0AContent-Type: text/html%0D%0A%0D%0A.doc\"\r\n"),
              std::string::npos);
    // Exactly the lines we wrote: delimiter, disposition, type, encoding, blank.
    std::size_t lines = 0;
    for (std::size_t at = head.find("\r\n"); at != std::string::npos; at = head.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(lines, 5u);
    EXPECT_EQ(quoteDispositionValue(std::string("a\0\x7F", 3)), "\"a%00%7F\"");
    // GBK/UTF-8 bytes and backslashes of a Windows path pass unchanged.
    EXPECT_EQ(quoteDispositionValue("C:\\\xE6\x8A\xA5.doc"), "\"C:\\\xE6\x8A\xA5.doc\"");
}

TEST(MultipartBody, RefusesWhatWouldCorruptTheBody) {
    EXPECT_THROW(MultipartBody(""), AppError);
    EXPECT_THROW(MultipartBody(std::string(71, 'a')), AppError);
    EXPECT_THROW(MultipartBody("a b"), AppError);
    EXPECT_THROW(MultipartBody("a\r\nb"), AppError);
    EXPECT_NO_THROW(MultipartBody(std::string(70, 'a')));

    MultipartBody body("B0undary");
    EXPECT_THROW(body.addField("x", "before\r\n--B0undary--\r\nafter"), AppError);
    EXPECT_NO_THROW(body.addField("x", "B0undary without dashes"));
    EXPECT_THROW(body.setFile({"f", "n", "text/html\r\nX-Evil: 1"}), AppError);
    EXPECT_THROW(body.setFile({"f", "n", "text"}), AppError);
    EXPECT_THROW(body.setFile({"f", "n", "text/html; charset=gbk"}), AppError);
    EXPECT_THROW(body.setFile({"f", "n", "image/jp eg"}), AppError);
    EXPECT_THROW(body.setFile({"f", "n", "image/\xD6\xD0"}), AppError);
    body.setFile({"f", "n", "text/plain"});
    EXPECT_THROW(body.setFile({"g", "m", "text/plain"}), AppError);
}

TEST(MultipartBody, RandomBoundariesAreValidAndDistinct) {
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        MultipartBody body;
        EXPECT_TRUE(MultipartBody::validBoundary(body.boundary())) << body.boundary();
        EXPECT_GE(body.boundary().size(), 40u);
        seen.insert(body.boundary());
    }
    EXPECT_EQ(seen.size(), 50u);
}

}  // namespace
}  // namespace orvo
