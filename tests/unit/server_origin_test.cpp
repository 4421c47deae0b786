// Origins of the addresses a link names, the entries of the trusted and
// refused lists, and which servers each mode contacts.
#include <gtest/gtest.h>

#include "core/server_origin.h"
#include "support/portable/http_url.h"

using namespace orvo;

namespace {

std::string originText(std::string_view address) {
    auto origin = originOfAddress(address);
    return origin ? origin->text() : "none";
}

ServerOrigin origin(std::string_view address) { return *originOfAddress(address); }

}  // namespace

TEST(ServerOrigin, SchemeHostAndPortAsTheServerIsReached) {
    EXPECT_EQ(originText("http://Report.Example.COM/r.doc?a=1#x"), "http://report.example.com:80");
    EXPECT_EQ(originText("HTTPS://report.example.com/r.doc"), "https://report.example.com:443");
    EXPECT_EQ(originText("https://report.example.com:8443"), "https://report.example.com:8443");
    EXPECT_EQ(originText("http://127.0.0.1:080/x"), "http://127.0.0.1:80");
    EXPECT_EQ(originText("http://h:/x"), "http://h:80");
    EXPECT_EQ(originText("http://[::1]:8080/x"), "http://[::1]:8080");
    EXPECT_EQ(originText("http://h?q"), "http://h:80");
    for (const char* none : {"", "s", "/r.doc", "ftp://h/r.doc", "file://c/x", "http:/h/r.doc", "http://",
                             "http:///r.doc", "http://user@h/x", "http://good.com\\@evil.com/", "http://h:0/",
                             "http://h:65536/", "http://h:8a/", "http://h:80:90/", "http://h\r\n/x", "http://a..b/",
                             "http://.h/", "http://h%41/", "http://[::1/", "http://[]/", "http://[::1]x/",
                             "http://*.h.com/"})
        EXPECT_EQ(originText(none), "none") << none;
}

// The HTTP client must never reach a server whose origin was not checked:
// every address it accepts has an origin with the same host and port.
TEST(ServerOrigin, EveryAddressTheClientTakesHasTheSameOrigin) {
    for (const char* address :
         {"http://h/r", "http://H.example.com:8080/a?b", "http://h:/x", "http://[::1]:81/", "http://h?x", "http://h#f",
          "http://a_b-c.d/", "HTTP://h/", "http://h./x", "http://good.com\\@evil.com/", "http://h:99999/",
          "http://user@h/", "http:h/x", "http://h:80:90/", "http://[::1/", "http://h%2e/", " http://h/", "http://h /x",
          "http://\xE6\x8A\xA5.com/"}) {
        std::optional<ServerOrigin> ours = originOfAddress(address);
        try {
            HttpUrl theirs = parseHttpUrl(address);
            ASSERT_TRUE(ours) << address;
            EXPECT_EQ(ours->port, theirs.port) << address;
            EXPECT_TRUE(ours->host == theirs.host || ours->host == "[" + theirs.host + "]") << address;
        } catch (const UrlError&) {
        }
    }
}

TEST(ServerOrigin, ListEntries) {
    const ServerOrigin report = origin("https://report.example.com/r.doc");
    // Case, a missing default port and a final "/" do not matter.
    for (const char* entry : {"https://report.example.com:443", "HTTPS://Report.Example.com", " https://report.example.com/ ",
                              "https://*.example.com:443", "https://*.com"})
        EXPECT_TRUE(originEntryCovers(entry, report)) << entry;
    // Another scheme or port is another server; a pattern covers hosts under
    // the name, not the name itself; paths and other text are no entries.
    for (const char* entry : {"http://report.example.com:443", "https://report.example.com:8443", "report.example.com",
                              "https://*.report.example.com", "https://*.ample.com", "https://report.example.com/r",
                              "https://*example.com", "*", "", "https://*.example.com:80", "https://report.example.co"})
        EXPECT_FALSE(originEntryCovers(entry, report)) << entry;
    EXPECT_FALSE(originEntryCovers("https://*.example.com", origin("https://example.com/")));
    // Addresses never match a pattern, even where the digits would fit.
    EXPECT_FALSE(originEntryCovers("http://*.0.0.1", origin("http://127.0.0.1/")));
    EXPECT_TRUE(originEntryCovers("http://127.0.0.1", origin("http://127.0.0.1:80/")));

    const std::vector<std::string> list = {"junk", "http://localhost:18080", "https://*.corp.example"};
    EXPECT_TRUE(originListCovers(list, origin("http://LOCALHOST:18080/r.doc")));
    EXPECT_TRUE(originListCovers(list, origin("https://seals.corp.example/list")));
    EXPECT_FALSE(originListCovers(list, origin("http://localhost:18081/r.doc")));
    EXPECT_FALSE(originListCovers({}, report));
}

// The form an installer writes into the machine list: it covers what the
// entry as given covers, and text that is no entry is refused.
TEST(ServerOrigin, ListEntryWrittenAsTheProgramComparesIt) {
    EXPECT_EQ(listEntryText(" HTTPS://Report.Example.com/ "), "https://report.example.com:443");
    EXPECT_EQ(listEntryText("https://*.Example.org:8443"), "https://*.example.org:8443");
    EXPECT_EQ(listEntryText("http://[::1]"), "http://[::1]:80");
    const ServerOrigin report = origin("https://report.example.com/r.doc");
    for (const char* entry : {"HTTPS://Report.Example.com", "https://*.example.com:443", "http://report.example.com"}) {
        ASSERT_TRUE(listEntryText(entry)) << entry;
        EXPECT_EQ(originEntryCovers(*listEntryText(entry), report), originEntryCovers(entry, report)) << entry;
    }
    for (const char* none : {"report.example.com", "https://h/r.doc", "https://u@h", "ftp://h", "", "https://h?x",
                             "https://h:0", "*"})
        EXPECT_EQ(listEntryText(none), std::nullopt) << none;
}

TEST(ServerOrigin, ServersEachModeContacts) {
    auto describe = [](const std::vector<RequestedServer>& servers) {
        std::string out;
        for (const auto& s : servers) {
            out += s.origin.text() + "=";
            for (ServerPurpose p : s.purposes)
                out += p == ServerPurpose::DownloadReport ? "D" : p == ServerPurpose::UploadDocument ? "U" : "S";
            out += " ";
        }
        return out;
    };
    const char* report = "http://a/r.doc";
    const char* upload = "https://b/up";
    const char* seals = "http://a/seals";
    EXPECT_EQ(describe(serversOfRequest("print", report, upload, seals)), "http://a:80=D ");
    EXPECT_EQ(describe(serversOfRequest("", report, "s", "t")), "http://a:80=D ");
    EXPECT_EQ(describe(serversOfRequest("viewf", report, upload, seals)), "http://a:80=D ");
    EXPECT_EQ(describe(serversOfRequest("editf", report, upload, seals)), "http://a:80=D https://b:443=U ");
    EXPECT_EQ(describe(serversOfRequest("editf", report, "http://A:80/up", seals)), "http://a:80=DU ");
    EXPECT_EQ(describe(serversOfRequest("signf", report, upload, seals)), "http://a:80=S https://b:443=U ");
    EXPECT_EQ(describe(serversOfRequest("login", report, upload, seals)), "");
    // A short report name or a local file names no server.
    EXPECT_EQ(describe(serversOfRequest("print", "r.doc", "", "")), "");
    EXPECT_EQ(describe(serversOfRequest("signf", "", "", "")), "");
}
