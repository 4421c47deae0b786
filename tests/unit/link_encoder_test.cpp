// The link builder's key pairs, key files, Base64 and the command-line tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "core/payload_decoder.h"
#include "core_test_keys.h"
#include "link_encoder.h"
#include "support/portable/app_error.h"

using namespace orvo;
using orvo::test::testKey;

TEST(LinkEncoder, GeneratedPairs) {
    for (std::uint8_t s = 0; s <= 4; ++s) {
        const link::KeyPair& key = testKey(s);
        const std::string modulus = keyTextToBytes(key.modulusText);
        ASSERT_EQ(modulus.size(), rsaKeySize(s).keyBytes);
        EXPECT_GE(static_cast<unsigned char>(modulus.back()), 0x80) << "modulus must use every bit";
        EXPECT_EQ(keyTextToBytes(key.exponentText).size(), modulus.size());
        EXPECT_EQ(static_cast<unsigned char>(modulus.front()) % 2, 1);
        EXPECT_EQ(key.publicExponentText, "010001");
    }
    EXPECT_NE(link::generateKeyPair(0).modulusText, link::generateKeyPair(0).modulusText);
    // Random padding: the same text never enciphers the same way twice.
    EXPECT_NE(link::encipherPayload("cmd=viewf", testKey(0)), link::encipherPayload("cmd=viewf", testKey(0)));
}

TEST(LinkEncoder, KeyFiles) {
    const link::KeyPair& key = testKey(2);
    const link::KeyPair back = link::parseKeyEnv(link::formatKeyEnv(key));
    EXPECT_EQ(back.selector, 2);
    EXPECT_EQ(back.modulusText, key.modulusText);
    EXPECT_EQ(back.exponentText, key.exponentText);
    EXPECT_EQ(back.publicExponentText, key.publicExponentText);

    // Shell-style files, public half only, selector from the modulus length.
    const link::KeyPair shell = link::parseKeyEnv("# web side\r\nexport ORVO_RSA_MODULUS=\"" + testKey(0).modulusText +
                                                  "\"\r\n\r\nORVO_RSA_PUBLIC_EXPONENT='010001'\r\n");
    EXPECT_EQ(shell.selector, 0);
    EXPECT_EQ(shell.modulusText, testKey(0).modulusText);
    EXPECT_TRUE(shell.exponentText.empty());

    for (const std::string& bad :
         {std::string("ORVO_RSA_PUBLIC_EXPONENT=010001\n"), "ORVO_RSA_MODULUS=" + key.modulusText + "\n",
          "ORVO_RSA_MODULUS=" + key.modulusText + "\nORVO_RSA_PUBLIC_EXPONENT=010001\nORVO_RSA_SELECTOR=1\n",
          std::string("ORVO_RSA_MODULUS=0A0B\nORVO_RSA_PUBLIC_EXPONENT=010001\n"), std::string("garbage\n")})
        EXPECT_THROW(link::parseKeyEnv(bad), AppError) << bad;
}

TEST(LinkEncoder, Base64AgainstTheDecoder) {
    EXPECT_EQ(link::base64Encode("Man"), "TWFu");
    EXPECT_EQ(link::base64Encode("Ma"), "TWE=");
    EXPECT_EQ(link::base64Encode("M"), "TQ==");
    std::mt19937 random(3);
    for (int length = 0; length < 64; ++length) {
        std::string bytes(length, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        EXPECT_EQ(base64Decode(link::base64Encode(bytes)), bytes);
    }
}

#ifdef ORVO_LINK_TOOL
namespace {

#ifdef _WIN32
// The Windows tool reads a Unicode command line and converts it to GBK; the
// narrow command line here is in the ANSI code page, 936 under the tests.
constexpr const char* kTitleArgument = "\xB1\xA8";
#define popen _popen
#define pclose _pclose
#else
constexpr const char* kTitleArgument = "\xE6\x8A\xA5";
#endif

std::string runTool(const std::string& arguments, int* status) {
    std::string output;
    std::string command = "\"" ORVO_LINK_TOOL "\" " + arguments;
#ifdef _WIN32
    command = "\"" + command + "\"";  // cmd /c strips the outermost pair of quotes
#endif
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    *status = pclose(pipe);
    output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
    return output;
}

}  // namespace

// The commands the build scripts and the web side rely on.
TEST(LinkTool, KeygenLinkDecipher) {
    int status = -1;
    const std::string env = runTool("keygen --selector 0 --format env", &status);
    ASSERT_EQ(status, 0);
    const link::KeyPair key = link::parseKeyEnv(env);
    EXPECT_EQ(key.modulusText.size(), 32u);
    EXPECT_EQ(env.find("ORVO_RSA_MODULUS="), 0u);

    const std::string keyFile = testing::TempDir() + "orvo-link-test.env";
    FILE* file = std::fopen(keyFile.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(env.data(), 1, env.size(), file);
    std::fclose(file);

    const std::string link =
        runTool("link --key \"" + keyFile + "\" --from-utf8 \"cmd=viewf&t=" + kTitleArgument + "\"", &status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(link.rfind("orvo:sys=", 0), 0u);
    EXPECT_EQ(DecodeSysPayload(link.substr(9, link.size() - 10), key.modulusText, key.exponentText, 0),
              "cmd=viewf&t=\xB1\xA8");
    EXPECT_EQ(runTool("decipher --key \"" + keyFile + "\" " + link, &status), "cmd=viewf&t=\xB1\xA8\n");
    runTool("keygen --selector 9 2>&1", &status);
    EXPECT_NE(status, 0);
    std::remove(keyFile.c_str());
}
#endif
