#include "support/portable/http_url.h"

#include <gtest/gtest.h>

namespace orvo {
namespace {

UrlProblem problemOf(std::string_view url) {
    try {
        parseHttpUrl(url);
    } catch (const UrlError& e) {
        return e.problem();
    }
    ADD_FAILURE() << "accepted: " << url;
    return UrlProblem::Empty;
}

TEST(HttpUrl, SplitsHostPortAndTarget) {
    HttpUrl u = parseHttpUrl("http://Reports.Example.CN:8080/a/b.doc?x=1&y=%E6%8A%A5#frag");
    EXPECT_EQ(u.host, "reports.example.cn");
    EXPECT_EQ(u.port, 8080);
    EXPECT_EQ(u.target, "/a/b.doc?x=1&y=%E6%8A%A5");

    u = parseHttpUrl("HTTP://10.0.0.1");
    EXPECT_EQ(u.host, "10.0.0.1");
    EXPECT_EQ(u.port, 80);
    EXPECT_EQ(u.target, "/");

    EXPECT_EQ(parseHttpUrl("http://h:/x").port, 80);
    EXPECT_EQ(parseHttpUrl("http://h?q=1").target, "/?q=1");
    EXPECT_EQ(parseHttpUrl("http://h#f").target, "/");
    u = parseHttpUrl("http://[::1]:18080/p");
    EXPECT_EQ(u.host, "::1");
    EXPECT_EQ(u.port, 18080);
    EXPECT_FALSE(u.secure);
}

TEST(HttpUrl, HttpsIsSecureWithItsOwnDefaultPort) {
    HttpUrl u = parseHttpUrl("HtTpS://Report.Example.CN/r.doc?x=%E6%8A%A5");
    EXPECT_TRUE(u.secure);
    EXPECT_EQ(u.host, "report.example.cn");
    EXPECT_EQ(u.port, 443);
    EXPECT_EQ(u.target, "/r.doc?x=%E6%8A%A5");
    u = parseHttpUrl("https://localhost:18443");
    EXPECT_TRUE(u.secure);
    EXPECT_EQ(u.port, 18443);
    EXPECT_EQ(u.target, "/");
    // The same checks as plain http: nothing is waved through for being secure.
    EXPECT_EQ(problemOf("https://u@h/"), UrlProblem::UserInfo);
    EXPECT_EQ(problemOf("https:/h/"), UrlProblem::NotHttp);
    EXPECT_EQ(problemOf("https://h:0/"), UrlProblem::BadPort);
    EXPECT_EQ(problemOf("httpss://h/"), UrlProblem::NotHttp);
}

TEST(HttpUrl, EscapesWhatARequestLineMustNotCarry) {
    // UTF-8 of a Chinese file name, a blank, characters unsafe in a request line.
    EXPECT_EQ(parseHttpUrl("http://h/\xE6\x8A\xA5 \xE8\xA1\xA8.doc").target, "/%E6%8A%A5%20%E8%A1%A8.doc");
    EXPECT_EQ(parseHttpUrl("http://h/a\"<>\\^`{|}").target, "/a%22%3C%3E%5C%5E%60%7B%7C%7D");
    // Existing escapes stay; a lone or broken "%" is escaped itself.
    EXPECT_EQ(parseHttpUrl("http://h/%41%zz%4").target, "/%41%25zz%254");
    EXPECT_EQ(parseHttpUrl("http://h/a%").target, "/a%25");
    // Query characters the server splits on are left for it to split.
    EXPECT_EQ(parseHttpUrl("http://h/u?fileguid=a&b?c&filemd5=0F").target, "/u?fileguid=a&b?c&filemd5=0F");
}

TEST(HttpUrl, RefusesOtherSchemes) {
    EXPECT_EQ(problemOf("ftp://h/x"), UrlProblem::NotHttp);
    EXPECT_EQ(problemOf("file:///C:/x"), UrlProblem::NotHttp);
    EXPECT_EQ(problemOf("h/x"), UrlProblem::NotHttp);
    EXPECT_EQ(problemOf("http:/h/x"), UrlProblem::NotHttp);
    EXPECT_EQ(problemOf("http:h"), UrlProblem::NotHttp);
    EXPECT_EQ(problemOf(" http://h/"), UrlProblem::NotHttp);
    EXPECT_EQ(problemOf("//h/x"), UrlProblem::NotHttp);
    EXPECT_EQ(problemOf(""), UrlProblem::Empty);
}

TEST(HttpUrl, RefusesHostileAddresses) {
    EXPECT_EQ(problemOf("http://h/a\r\nHost: evil"), UrlProblem::ControlCharacter);
    EXPECT_EQ(problemOf("http://h/a\nb"), UrlProblem::ControlCharacter);
    EXPECT_EQ(problemOf(std::string_view("http://h/a\0b", 12)), UrlProblem::ControlCharacter);
    EXPECT_EQ(problemOf("http://h\t/"), UrlProblem::ControlCharacter);
    EXPECT_EQ(problemOf("http://h/\x7F"), UrlProblem::ControlCharacter);
    EXPECT_EQ(problemOf("http://good.cn@evil.cn/"), UrlProblem::UserInfo);
    EXPECT_EQ(problemOf("http://u:p@h/"), UrlProblem::UserInfo);
    EXPECT_EQ(problemOf("http:///x"), UrlProblem::MissingHost);
    EXPECT_EQ(problemOf("http://:80/x"), UrlProblem::MissingHost);
    EXPECT_EQ(problemOf("http://[]/x"), UrlProblem::MissingHost);
    EXPECT_EQ(problemOf("http://a b/"), UrlProblem::BadHost);
    EXPECT_EQ(problemOf("http://a%2eb/"), UrlProblem::BadHost);
    EXPECT_EQ(problemOf("http://\xE4\xBE\x8B.cn/"), UrlProblem::BadHost);
    EXPECT_EQ(problemOf("http://a..b/"), UrlProblem::BadHost);
    EXPECT_EQ(problemOf("http://.a/"), UrlProblem::BadHost);
    EXPECT_EQ(problemOf("http://[::1/"), UrlProblem::BadHost);
    EXPECT_EQ(problemOf("http://[::1]x/"), UrlProblem::BadHost);
    EXPECT_EQ(problemOf("http://" + std::string(254, 'a') + "/"), UrlProblem::BadHost);
    EXPECT_EQ(problemOf("http://h:0/"), UrlProblem::BadPort);
    EXPECT_EQ(problemOf("http://h:65536/"), UrlProblem::BadPort);
    EXPECT_EQ(problemOf("http://h:8o/"), UrlProblem::BadPort);
    EXPECT_EQ(problemOf("http://h:000080/"), UrlProblem::BadPort);
    EXPECT_EQ(problemOf("http://h:-1/"), UrlProblem::BadPort);
    EXPECT_EQ(parseHttpUrl("http://h:65535/").port, 65535);
}

TEST(HttpUrl, RefusesOverlongAddresses) {
    std::string url = "http://h/";
    url.append(kMaxUrlBytes - url.size(), 'a');
    EXPECT_EQ(parseHttpUrl(url).target.size(), kMaxUrlBytes - 8);
    url += 'a';
    EXPECT_EQ(problemOf(url), UrlProblem::TooLong);
}

}  // namespace
}  // namespace orvo
