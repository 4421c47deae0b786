// The upload's portable core: MD5 digests as the query carries them, and
// what the server's reply tells the user. GBK bytes are written as escapes:
// 文件上传保存成功！ and 已锁定 below.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/upload_reply.h"
#include "support/portable/md5.h"

namespace orvo {
namespace {

const std::string kSaved = "\xCE\xC4\xBC\xFE\xC9\xCF\xB4\xAB\xB1\xA3\xB4\xE6\xB3\xC9\xB9\xA6\xA3\xA1";

TEST(Md5, KnownDigestsInUpperCaseFedInAnyPieces) {
    // RFC 1321's test suite.
    EXPECT_EQ(md5Hex(""), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(md5Hex("abc"), "900150983CD24FB0D6963F7D28E17F72");
    const std::string digits = "12345678901234567890123456789012345678901234567890123456789012345678901234567890";
    EXPECT_EQ(md5Hex(digits), "57EDF4A22BE3C955AC49DA2E2107B67A");
    // A file is hashed chunk by chunk; chunk edges must not matter, also
    // across MD5's own 64-byte blocks.
    std::string big;
    for (int i = 0; i < 300000; ++i) big += static_cast<char>((i * 7 + i / 251) & 0xFF);
    for (std::size_t piece : {std::size_t{1}, std::size_t{63}, std::size_t{64}, std::size_t{65537}}) {
        Md5 md5;
        for (std::size_t at = 0; at < big.size(); at += piece) md5.update(big.data() + at, std::min(piece, big.size() - at));
        EXPECT_EQ(md5.hexDigest(), md5Hex(big)) << piece;
    }
}

TEST(UploadReply, ZeroAsNumberOrTextIsSuccessAnythingElseShowsMsg) {
    EXPECT_EQ(uploadReplyAlert(R"({"error":0,"msg":"ignored"})"), kSaved);
    EXPECT_EQ(uploadReplyAlert(R"({"error":"0"})"), kSaved);
    EXPECT_EQ(uploadReplyAlert("\xEF\xBB\xBF{\"error\": \"0\"}"), kSaved);  // with a byte-order mark
    // The message arrives in UTF-8 and is shown in GBK: 已锁定.
    EXPECT_EQ(uploadReplyAlert("{\"error\":\"1\",\"msg\":\"\xE5\xB7\xB2\xE9\x94\x81\xE5\xAE\x9A\"}"),
              "\xD2\xD1\xCB\xF8\xB6\xA8");
    EXPECT_EQ(uploadReplyAlert(R"({"error":1,"msg":"x"})"), "x");
    EXPECT_EQ(uploadReplyAlert(R"({"error":"00","msg":"x"})"), "x");
    EXPECT_EQ(uploadReplyAlert(R"({"error":0.0,"msg":"x"})"), "x");
    EXPECT_EQ(uploadReplyAlert(R"({"error":false,"msg":7})"), "7");
    EXPECT_EQ(uploadReplyAlert(R"({"error":"1","msg":""})"), "");
}

TEST(UploadReply, AnythingElseIsNotUnderstood) {
    for (const char* reply : {"", "<html>500</html>", "0", "[0]", R"({"error":"0")", R"({"msg":"x"})",
                              R"({"error":null,"msg":"x"})", R"({"error":"1"})", R"({"error":"1","msg":null})",
                              R"({"error":"1","msg":["x"]})", "{\"error\":\"1\",\"msg\":\"\xB1\xA8\"}"})
        EXPECT_FALSE(uploadReplyAlert(reply).has_value()) << reply;
    // A hostile server's deeply nested reply is refused without exhausting the stack.
    const std::string deep = std::string(50000, '[') + std::string(50000, ']');
    EXPECT_FALSE(uploadReplyAlert(deep).has_value());
    EXPECT_FALSE(uploadReplyAlert(R"({"error":"1","msg":)" + deep + "}").has_value());
}

}  // namespace
}  // namespace orvo
