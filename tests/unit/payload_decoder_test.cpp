// The "sys" payload decoder: hex and Base64 layers, the RSA block rules, and
// round trips through the link encoder for every key size.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "core/payload_decoder.h"
#include "core_test_keys.h"
#include "support/portable/app_error.h"

using namespace orvo;
using orvo::test::blockAround;
using orvo::test::errorOf;
using orvo::test::payloadOfBlocks;
using orvo::test::testKey;

namespace {

std::string decode(const link::KeyPair& key, std::string_view payload) {
    return DecodeSysPayload(payload, key.modulusText, key.exponentText, key.selector);
}

std::string hexOfText(std::string_view text) {
    std::string hex;
    for (char c : text) {
        static const char digits[] = "0123456789ABCDEF";
        hex += digits[static_cast<unsigned char>(c) >> 4];
        hex += digits[c & 0x0F];
    }
    return hex;
}

}  // namespace

TEST(HexToInt, DigitsAndErrors) {
    EXPECT_EQ(HexToInt("0"), 0);
    EXPECT_EQ(HexToInt("ff"), 255);
    EXPECT_EQ(HexToInt("aB"), 171);
    EXPECT_EQ(HexToInt("7FFFFFFF"), 0x7FFFFFFF);
    EXPECT_EQ(errorOf([] { HexToInt("80000000"); }), "Error: Hex String out of range");
    for (const char* bad : {"g1", " 1", "0x1", "1-", "\xB1\xA8"})
        EXPECT_EQ(errorOf([&] { HexToInt(bad); }), "Error: not a Hex String") << bad;
}

TEST(Base64Layer, GroupsPaddingAndErrors) {
    EXPECT_EQ(base64Decode("TWFu"), "Man");
    EXPECT_EQ(base64Decode("TWE="), "Ma");
    EXPECT_EQ(base64Decode("TQ=="), "M");
    EXPECT_EQ(base64Decode("TQ=xTWFu"), "MMan");  // "=" ends only its own group
    EXPECT_EQ(base64Decode("TWFuTWE"), "ManMa");  // a short last group reads as padded
    EXPECT_EQ(base64Decode("TWFuT"), "Man");      // one character holds no whole byte
    EXPECT_EQ(base64Decode("+/+/"), "\xFB\xFF\xBF");
    // Outside "+".."z", inside that range but not in the alphabet, a line
    // break, and "=" where no byte has been completed yet.
    for (const char* bad : {"TW u", "TW{u", "TW,u", "TW:u", "TW^u", "TWFu\n", "=QQQ", "Q=QQ", "TWE=Q==Q"})
        EXPECT_EQ(errorOf([&] { base64Decode(bad); }), "Invalid Base64 Character") << bad;
}

TEST(DecodeSysPayload, RoundTripEveryKeySize) {
    for (std::uint8_t s = 0; s <= 4; ++s) {
        const link::KeyPair& key = testKey(s);
        const unsigned plain = rsaKeySize(s).plainBytes;
        ASSERT_EQ(key.modulusText.size(), 2u * rsaKeySize(s).keyBytes);
        std::string bytes;
        for (int i = 0; i < 600; ++i) bytes += static_cast<char>(i * 37 + 1);
        bytes[3] = '\0';  // zero bytes inside the data are data
        for (size_t length : {size_t{1}, size_t{plain - 1}, size_t{plain}, size_t{plain + 1}, size_t{3 * plain}, bytes.size()}) {
            const std::string text = bytes.substr(0, length);
            const std::string payload = link::encipherPayload(text, key);
            EXPECT_EQ(decode(key, payload), text) << "selector " << int(s) << ", " << length << " bytes";
        }
        EXPECT_EQ(decode(key, link::encipherPayload("", key)), "");
        // A trailing odd character is ignored.
        EXPECT_EQ(decode(key, link::encipherPayload("abc", key) + "Q"), "abc");
    }
}

TEST(DecodeSysPayload, BlockRules) {
    const link::KeyPair& key = testKey(0);
    EXPECT_EQ(decode(key, payloadOfBlocks(key, {blockAround(key, "abc")})), "abc");
    EXPECT_EQ(decode(key, payloadOfBlocks(key, {blockAround(key, "12345"), blockAround(key, "xy")})), "12345xy");
    EXPECT_EQ(decode(key, payloadOfBlocks(key, {blockAround(key, "ab", 0x01)})), "ab");
    // Without padding, and with more data than a plain block: both fine at the end.
    EXPECT_EQ(decode(key, payloadOfBlocks(key, {blockAround(key, "0123456789abc")})), "0123456789abc");
    // Eleven significant bytes are enough; ten are not.
    std::string eleven = blockAround(key, "ab");
    eleven.replace(0, 6, std::string("\0\0\0\0\0\x02", 6));
    EXPECT_EQ(decode(key, payloadOfBlocks(key, {eleven})), "ab");
    std::string ten = eleven;
    ten.replace(0, 7, std::string("\0\0\0\0\0\0\x02", 7));
    EXPECT_EQ(errorOf([&] { decode(key, payloadOfBlocks(key, {ten})); }), "RSA decoding error: Block too small");
    EXPECT_EQ(errorOf([&] { decode(key, payloadOfBlocks(key, {std::string(16, '\0')})); }),
              "RSA decoding error: Block too small");

    EXPECT_EQ(errorOf([&] { decode(key, payloadOfBlocks(key, {blockAround(key, "ab", 0x03)})); }),
              "RSA decoding error: Invalid block type");
    std::string noSeparator = blockAround(key, "ab");
    noSeparator.replace(13, 1, "\xAB");
    EXPECT_EQ(errorOf([&] { decode(key, payloadOfBlocks(key, {noSeparator})); }),
              "RSA decoding error: Invalid block format");
    // A block before the last must carry exactly one plain block.
    for (const char* data : {"1234", "123456"})
        EXPECT_EQ(errorOf([&] { decode(key, payloadOfBlocks(key, {blockAround(key, data), blockAround(key, "x")})); }),
                  "RSA decoding error: Invalid block length");
}

TEST(DecodeSysPayload, MalformedPayloadsAndKeys) {
    const link::KeyPair& key = testKey(0);
    const std::string good = link::encipherPayload("cmd=viewf", key);
    EXPECT_EQ(errorOf([&] { decode(key, good.substr(0, 10) + "4Z" + good.substr(12)); }), "Error: not a Hex String");
    EXPECT_EQ(errorOf([&] { decode(key, hexOfText("TW u")); }), "Invalid Base64 Character");
    EXPECT_EQ(errorOf([&] { decode(key, good.substr(0, good.size() - 8)); }), "RSA decoding error: Incomplete block");
    EXPECT_EQ(decode(key, ""), "");

    EXPECT_EQ(errorOf([&] { DecodeSysPayload(good, key.modulusText, key.exponentText, 5); }),
              "RSA decoding error: Invalid key size");
    // Three blocks made for the 128-bit key do not fit the 256-bit block size.
    const std::string threeBlocks = link::encipherPayload("cmd=viewf&x=1", key);
    EXPECT_EQ(errorOf([&] { DecodeSysPayload(threeBlocks, testKey(1).modulusText, testKey(1).exponentText, 1); }),
              "RSA decoding error: Incomplete block");
    for (const std::string& modulus : {std::string(32, '0'), std::string(), key.modulusText.substr(1)})
        EXPECT_EQ(errorOf([&] { DecodeSysPayload(good, modulus, key.exponentText, 0); }), "RSA decoding error: Invalid key");
    EXPECT_EQ(errorOf([&] { DecodeSysPayload(good, "XY" + key.modulusText.substr(2), key.exponentText, 0); }),
              "Error: not a Hex String");
    // The wrong exponent: seven blocks cannot all come out well formed.
    const std::string longer = link::encipherPayload("cmd=viewf&filename=http://h/r.docx", key);
    EXPECT_NE(errorOf([&] { DecodeSysPayload(longer, key.modulusText, testKey(0).publicExponentText, 0); }), "no error");

    // A modulus longer than 128 bytes can give results that no block may have.
    const std::string bigModulus(2 * 138, 'F');
    EXPECT_EQ(errorOf([&] { DecodeSysPayload(hexOfText(link::base64Encode(std::string(128, '\xFF'))), bigModulus, "02", 4); }),
              "RSA decoding error: Block too large");
}

TEST(DecodeSysPayload, HostileSizesFailFast) {
    const link::KeyPair& key = testKey(0);
    std::mt19937 random(7);
    const auto start = std::chrono::steady_clock::now();
    std::string garbage(1 << 20, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    EXPECT_NE(errorOf([&] { decode(key, garbage); }), "no error");
    // A megabyte of well-formed layers down to the blocks: all zero cipher blocks.
    std::string zeros;
    for (int i = 0; i < (1 << 19); ++i) zeros += "41";  // "AAAA..." in Base64
    EXPECT_EQ(errorOf([&] { decode(key, zeros); }), "RSA decoding error: Block too small");
    for (int i = 0; i < 300; ++i) {
        std::string payload(random() % 200, '\0');
        for (char& c : payload) c = "0123456789abcdefABCDEF4142"[random() % 26];
        try {
            decode(key, payload);
        } catch (const AppError&) {
        }
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}
