// The login values of a request, and the texts the login shows and sends.
#include <gtest/gtest.h>

#include "core/login_request.h"
#include "core_test_keys.h"

using namespace orvo;
using orvo::test::errorOf;

namespace {

std::vector<std::string> asList(const LoginValues& v) { return {v.productId, v.pin, v.token, v.address}; }

}  // namespace

TEST(LoginRequest, ValuesAfterTheFirstPid) {
    auto values = readLoginValues("orvo:cmd=login&pid=ET99&pin=1234&token=a=b&url=http://h/l?x=1&y=2&extra");
    ASSERT_TRUE(values);
    // Only the first "=" of an item separates; an "&" ends the address.
    EXPECT_EQ(asList(*values), (std::vector<std::string>{"ET99", "1234", "a=b", "http://h/l?x=1"}));

    // The item after "pid" is the product id whole, name and all, when the
    // separator is not "=" (only the one character after "pid" is skipped).
    values = readLoginValues("pid:=7&a&b&c");
    ASSERT_TRUE(values);
    EXPECT_EQ(values->productId, "=7");

    // A "pid" whose "p" is the second byte of a double-byte character is not the marker.
    values = readLoginValues("\x81pid=X&pid=K&1&2&3");
    ASSERT_TRUE(values);
    EXPECT_EQ(values->productId, "K");

    EXPECT_FALSE(readLoginValues("cmd=login&PID=1&2&3&4"));
    EXPECT_EQ(errorOf([] { readLoginValues("cmd=login&pid=K&pin=1&token=t"); }), "List index out of bounds (3)");
    EXPECT_EQ(errorOf([] { readLoginValues("pid"); }), "List index out of bounds (0)");
}

TEST(LoginRequest, StatusDigestAndServerTexts) {
    EXPECT_EQ(statusText(0x10), "10");
    EXPECT_EQ(statusText(0), "0");
    EXPECT_EQ(statusText(0xF0000005u), "F0000005");
    EXPECT_EQ(statusText(0x8000000Au), "8000000A");

    const std::uint8_t bytes[] = {0x00, 0x0f, 0xa5, 0xff};
    EXPECT_EQ(upperHex(bytes, 4), "000FA5FF");

    EXPECT_EQ(loginServerName("http://Login.Example.com/auth?x=1"), "login.example.com:80");
    EXPECT_EQ(loginServerName("http://127.0.0.1:8080/login"), "127.0.0.1:8080");
    EXPECT_EQ(loginServerName("http://[::1]:81/"), "[::1]:81");
    // Nothing the client would post to has a server name to show.
    EXPECT_EQ(loginServerName("https://Login.Example.com/auth"), "login.example.com:443");
    EXPECT_FALSE(loginServerName("http://user@evil/"));
    EXPECT_FALSE(loginServerName("login"));
}
