// Request intake: the "sys" replacement, the mode, and the parameters after
// "filename", including a whole enciphered link taken through all three.
#include <gtest/gtest.h>

#include "core/request_intake.h"
#include "core/request_params.h"
#include "core_test_keys.h"
#include "support/portable/app_error.h"

using namespace orvo;
using orvo::test::testKey;
using orvo::test::errorOf;

namespace {

// Fields already holding something, to see what parsing leaves alone.
RequestFields filledFields() { return {"url", "ext", "title", "server", "type", "guid"}; }

std::string decodeWithTestKey(const std::string& request) {
    return decodeRequestString(request, testKey(0).modulusText, testKey(0).exponentText);
}

}  // namespace

TEST(RequestIntake, SysMarker) {
    const std::string plain = "cmd=viewf&filename=http://h/r.docx";
    const std::string payload = link::encipherPayload(plain, testKey(0));
    EXPECT_EQ(decodeWithTestKey("orvo:sys=" + payload), plain);
    // The character after "sys" is skipped whatever it is, even a hex digit.
    EXPECT_EQ(decodeWithTestKey("orvo://sys4" + payload), plain);
    EXPECT_EQ(decodeWithTestKey("sys"), "");
    // Without "sys" (case matters) the request is plain text.
    EXPECT_EQ(decodeWithTestKey("orvo:SYS=" + payload), "orvo:SYS=" + payload);
    // "sys" anywhere triggers decoding, here inside a plain file address.
    EXPECT_EQ(errorOf([] { decodeWithTestKey("cmd=printf&filename=http://h/sys/r.doc"); }), "Error: not a Hex String");
}

TEST(RequestIntake, Mode) {
    EXPECT_EQ(modeOfRequest("cmd=viewf&filename=x"), "viewf");
    EXPECT_EQ(modeOfRequest("a&cmd:login&cmd=editf"), "login");
    EXPECT_EQ(modeOfRequest("x&cmd=vie"), "vie");
    EXPECT_EQ(modeOfRequest("x&cmd="), "");
    EXPECT_EQ(modeOfRequest("CMD=viewf"), "=view");  // no "cmd": positions 4 to 8
    EXPECT_EQ(modeOfRequest("abcdefghij"), "defgh");
    EXPECT_EQ(modeOfRequest("abcd"), "d");
    EXPECT_EQ(modeOfRequest("abc"), "");
}

TEST(RequestParams, NoFileNameOrOnlyTheAddress) {
    RequestFields fields = filledFields();
    EXPECT_FALSE(ParseRequestParameters("cmd=login&pid=1&FILENAME=x", fields));
    EXPECT_EQ(fields.FFileUrl, "url");

    EXPECT_TRUE(ParseRequestParameters("cmd=printf&filename=http://h/a/r.docx", fields));
    EXPECT_EQ(fields.FFileUrl, "http://h/a/r.docx");
    EXPECT_EQ(fields.FFileExt, ".docx");
    EXPECT_EQ(fields.FFileTitle, "title");  // untouched with a single item
    EXPECT_EQ(fields.FFileGuid, "guid");
}

TEST(RequestParams, AllItems) {
    RequestFields fields;
    ASSERT_TRUE(ParseRequestParameters(
        "cmd=editf&filename=http://h/r.doc&title=%E6%8A%A5%E8%A1%A8&server=http://s/up%20load&type=%00%zz+1"
        "&guid=%B1%A8%B1%ED&x=ignored&seventh=also",
        fields));
    EXPECT_EQ(fields.FFileUrl, "http://h/r.doc");
    EXPECT_EQ(fields.FFileExt, ".doc");
    EXPECT_EQ(fields.FFileTitle, "\xB1\xA8\xB1\xED");     // UTF-8 报表 became GBK
    EXPECT_EQ(fields.FServerUrl, "http://s/up%20load");  // taken as given
    EXPECT_EQ(fields.FFileType, "+1");
    EXPECT_EQ(fields.FFileGuid, "\xB1\xA8\xB1\xED");     // GBK bytes are not UTF-8 and stay

    // A blank shifts every later item; "&" in the address cuts it; an item
    // without "=" is taken whole; a quoted item keeps its blank.
    ASSERT_TRUE(ParseRequestParameters("filename=http://h/my file.doc&\"t=a b\"&s=1&y=2&g=3", fields));
    EXPECT_EQ(fields.FFileUrl, "http://h/my");
    EXPECT_EQ(fields.FFileExt, "");
    EXPECT_EQ(fields.FFileTitle, "file.doc");
    EXPECT_EQ(fields.FServerUrl, "a b");
    EXPECT_EQ(fields.FFileType, "1");
    EXPECT_EQ(fields.FFileGuid, "2");
}

TEST(RequestParams, MissingItems) {
    RequestFields fields = filledFields();
    EXPECT_EQ(errorOf([&] { ParseRequestParameters("filename=http://h/r.doc?a=1&b=%41", fields); }),
              "List index out of bounds (2)");
    EXPECT_EQ(fields.FFileUrl, "http://h/r.doc?a=1");
    EXPECT_EQ(fields.FFileTitle, "A");  // stored, decoded, before the failure
    EXPECT_EQ(fields.FServerUrl, "server");

    fields = filledFields();
    EXPECT_TRUE(ParseRequestParameters("filename=u&t=1&s=2&y=3&g=4&", fields));  // a trailing "&" is the sixth item
    EXPECT_EQ(errorOf([&] { ParseRequestParameters("filename=u&t=1&s=2&y=%E4%B9%97&g=%41", fields); }),
              "List index out of bounds (5)");
    EXPECT_EQ(fields.FFileType, "\x81\x5C");  // decoded even though the request stopped short
    EXPECT_EQ(fields.FFileGuid, "A");

    fields = filledFields();
    EXPECT_EQ(errorOf([&] { ParseRequestParameters("cmd=printf&filename=  ", fields); }), "List index out of bounds (0)");
    EXPECT_EQ(fields.FFileUrl, "url");
}

TEST(RequestParams, FileExtension) {
    EXPECT_EQ(fileExtension("http://h/dir/r.docx"), ".docx");
    EXPECT_EQ(fileExtension("http://host:8080/getfile"), "");
    EXPECT_EQ(fileExtension("http://www.a.com/get?id=5"), ".com/get?id=5");
    EXPECT_EQ(fileExtension("c:\\dir.x\\file"), "");
    EXPECT_EQ(fileExtension("c:\\dir\\file.tar.xls"), ".xls");
    EXPECT_EQ(fileExtension("noext"), "");
    // 乗 (81 5C) ends in a "\" byte that is no separator; a lone lead byte
    // before ":" does not swallow it.
    EXPECT_EQ(fileExtension("http://h/a.b\x81\x5C"), ".b\x81\x5C");
    EXPECT_EQ(fileExtension("http://h/\xB1\xA8.doc"), ".doc");
    EXPECT_EQ(fileExtension("a.b\x81:c"), "");
}

TEST(RequestIntake, EncipheredLinkEndToEnd) {
    const std::string plain = "cmd=printf&filename=http://127.0.0.1:18080/r/\xB1\xA8\xB1\xED.doc&t=%E6%8A%A5&s=x&y=1&g=2&z=3";
    const std::string request = decodeWithTestKey(link::makeLink(plain, testKey(0)));
    EXPECT_EQ(modeOfRequest(request), "print");
    RequestFields fields;
    ASSERT_TRUE(ParseRequestParameters(request, fields));
    EXPECT_EQ(fields.FFileUrl, "http://127.0.0.1:18080/r/\xB1\xA8\xB1\xED.doc");
    EXPECT_EQ(fields.FFileTitle, "\xB1\xA8");
}

// The key this build was configured with must pair with the public exponent
// that keygen writes; the placeholder default is no pair (its exponent is even).
TEST(RequestIntake, BuildKeyDecodesALink) {
    const std::string exponent(kRequestExponentText);
    const int lowDigit = exponent.size() >= 2 ? std::stoi(exponent.substr(0, 2), nullptr, 16) : 0;
    if (lowDigit % 2 == 0) GTEST_SKIP() << "built with the placeholder request key";
    ASSERT_EQ(kRequestModulusText.size(), 32u);
    link::KeyPair publicKey;
    publicKey.modulusText = std::string(kRequestModulusText);
    publicKey.publicExponentText = ORVO_TEST_RSA_PUBLIC_EXPONENT;
    const std::string plain = "cmd=viewf&filename=http://h/r.docx&t=%E6%8A%A5&s=x&y=1&g=2&z=3";
    EXPECT_EQ(decodeRequestString(link::makeLink(plain, publicKey), kRequestModulusText, kRequestExponentText), plain);
}
