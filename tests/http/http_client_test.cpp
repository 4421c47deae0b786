// The WinHTTP client against the test web server, under Wine.
#include "http/test_server.h"

#include <gcrypt.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <psapi.h>

#include "support/net/http_client.h"
#include "support/net/secure_failure.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

using testing::generatedBody;
using testing::headerOf;
using testing::journal;
using testing::resetJournal;
using testing::secureBase;
using testing::serveCertificate;
using testing::webBase;
using Clock = std::chrono::steady_clock;

std::string gbk(const wchar_t* text) { return wideToGbk(text); }

std::string md5Hex(const void* data, size_t size) {
    static const bool ready = gcry_check_version(nullptr) != nullptr;
    (void)ready;
    unsigned char out[16];
    gcry_md_hash_buffer(GCRY_MD_MD5, out, data, size);
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", out[i]);
    return hex;
}

template <typename F>
HttpError expectHttpError(F&& call) {
    try {
        call();
    } catch (const HttpError& e) {
        return e;
    }
    ADD_FAILURE() << "no HttpError";
    return HttpError(HttpError::Kind::Refused, "");
}

struct Recorded {
    std::vector<std::uint64_t> begins;
    std::vector<std::uint64_t> works;
    TransferProgress progress() {
        return {[this](std::uint64_t n) { begins.push_back(n); }, [this](std::uint64_t n) { works.push_back(n); }};
    }
};

class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override { resetJournal(); }
};

TEST_F(HttpClientTest, GetsSmallAndLargeBodiesByteForByteWithProgress) {
    HttpClient client;
    for (std::uint64_t size : {std::uint64_t{1}, std::uint64_t{1000}, std::uint64_t{6 * 1024 * 1024 + 123}}) {
        Recorded rec;
        auto body = client.get(webBase() + "/gen/" + std::to_string(size) + "/r.doc", rec.progress());
        ASSERT_EQ(body.size(), size);
        EXPECT_TRUE(body == generatedBody(size)) << size;
        ASSERT_EQ(rec.begins.size(), 1u);
        EXPECT_EQ(rec.begins[0], size);
        ASSERT_FALSE(rec.works.empty());
        EXPECT_EQ(rec.works.back(), size);
        for (size_t i = 1; i < rec.works.size(); ++i) EXPECT_GT(rec.works[i], rec.works[i - 1]);
    }
    // Without a length the expected count is 0, and the body still arrives whole.
    for (const char* mode : {"chunked=1", "nolength=1"}) {
        Recorded rec;
        auto body = client.get(webBase() + "/gen/300000/r.doc?" + mode, rec.progress());
        EXPECT_TRUE(body == generatedBody(300000)) << mode;
        ASSERT_EQ(rec.begins.size(), 1u);
        EXPECT_EQ(rec.begins[0], 0u);
        EXPECT_EQ(rec.works.back(), 300000u);
    }
    EXPECT_TRUE(client.get(webBase() + "/gen/0/empty.doc").empty());
}

TEST_F(HttpClientTest, SendsFixedHeadersAndTheRequestLineAsked) {
    HttpClient plain;
    plain.get(webBase() + "/gen/10/a.doc");
    HttpSettings old;
    old.http10 = true;
    HttpClient http10(old);
    http10.get(webBase() + "/gen/10/b.doc");

    auto entries = journal();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0]["version"], "HTTP/1.1");
    EXPECT_EQ(entries[1]["version"], "HTTP/1.0");
    EXPECT_EQ(entries[1]["requestline"], "GET /gen/10/b.doc HTTP/1.0");
    for (const auto& e : entries) {
        EXPECT_EQ(headerOf(e, "Accept"), "text/html, */*");
        EXPECT_EQ(headerOf(e, "User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
    }
}

TEST_F(HttpClientTest, PathsGoOutAsUtf8Escapes) {
    HttpClient client;
    auto body = client.get(webBase() + "/gen/10/" + gbk(L"报表 一.doc") + "?t=" + gbk(L"中"));
    EXPECT_EQ(body.size(), 10u);
    auto entries = journal();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0]["raw_path"], "/gen/10/%E6%8A%A5%E8%A1%A8%20%E4%B8%80.doc");
    EXPECT_EQ(entries[0]["query"], "t=%E4%B8%AD");
}

TEST_F(HttpClientTest, CookiesStayWithTheirClient) {
    auto cookieSeen = [](HttpClient& client) {
        auto body = client.get(webBase() + "/cookie/show");
        return nlohmann::json::parse(std::string(body.begin(), body.end()))["cookie"];
    };
    HttpClient first;
    HttpClient second;
    first.get(webBase() + "/cookie/set?sid=abc123");
    EXPECT_EQ(cookieSeen(first), "sid=abc123");
    EXPECT_TRUE(cookieSeen(second).is_null());
    // A client made later starts empty too.
    HttpClient third;
    EXPECT_TRUE(cookieSeen(third).is_null());
}

TEST_F(HttpClientTest, RedirectIsAFailureAndIsNotFollowed) {
    HttpClient client;
    HttpError e = expectHttpError([&] { client.get(webBase() + "/redirect?to=/gen/16/target.txt"); });
    EXPECT_EQ(e.kind(), HttpError::Kind::Status);
    EXPECT_EQ(e.status(), 302);
    EXPECT_NE(std::string(e.what()).find("302"), std::string::npos);
    auto entries = journal();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0]["path"], "/redirect");
}

TEST_F(HttpClientTest, HttpsWorksWithATrustedCertificateAndNeverStepsDown) {
    HttpClient client;
    Recorded rec;
    auto body = client.get(secureBase() + "/gen/1000000/r.doc", rec.progress());
    EXPECT_TRUE(body == generatedBody(1000000));
    ASSERT_EQ(rec.begins.size(), 1u);
    EXPECT_EQ(rec.begins[0], 1000000u);
    auto reply = client.postForm(secureBase() + "/echo", {{"Digest", "AB"}, {"Token", gbk(L"中")}});
    auto echoed = nlohmann::json::parse(std::string(reply.begin(), reply.end()));
    EXPECT_EQ(echoed["form"], nlohmann::json::parse(R"([["Digest","AB"],["Token","\u4e2d"]])"));
    // A redirect from https to plain http is a failure like any other.
    const std::string plainTarget = webBase() + "/gen/16/target.txt";
    HttpError redirect = expectHttpError([&] { client.get(secureBase() + "/redirect?to=" + plainTarget); });
    EXPECT_EQ(redirect.status(), 302);

    auto entries = journal();
    ASSERT_EQ(entries.size(), 3u);
    for (const auto& e : entries) EXPECT_EQ(e["scheme"], "https");
}

TEST_F(HttpClientTest, CertificatesThatFailTheCheckEndTheExchange) {
    const std::string server = "localhost:" + std::to_string(testing::webTlsPort());
    for (const char* certificate : {"selfsigned", "otherhost"}) {
        serveCertificate(certificate);
        HttpClient client;
        HttpError e = expectHttpError([&] { client.get(secureBase() + "/gen/100/r.doc"); });
        EXPECT_EQ(e.kind(), HttpError::Kind::Insecure) << certificate;
        EXPECT_TRUE(isSecureFailure(e.systemCode())) << e.systemCode();
        EXPECT_NE(std::string(e.what()).find(gbk(L"服务器 ") + server + " "), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(gbk(L"连接已取消")), std::string::npos) << e.what();
        EXPECT_THROW(client.postForm(secureBase() + "/echo", {{"Digest", "AB"}}), HttpError) << certificate;
    }
    // Nothing got through to the server, over https or otherwise.
    EXPECT_TRUE(journal().empty());
    // And the good certificate works again on a fresh connection.
    serveCertificate("localhost");
    HttpClient client;
    EXPECT_EQ(client.get(secureBase() + "/gen/100/r.doc").size(), 100u);
}

TEST(SecureFailureText, NamesTheCaseWinHttpReportsAndTheServer) {
    struct Case {
        DWORD code;
        DWORD flags;
        const wchar_t* says;
    } cases[] = {
        {ERROR_WINHTTP_SECURE_FAILURE, WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA, L"的安全证书不受信任"},
        {ERROR_WINHTTP_SECURE_INVALID_CA, 0, L"的安全证书不受信任"},
        {ERROR_WINHTTP_SECURE_FAILURE, WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID, L"已过期"},
        {ERROR_WINHTTP_SECURE_CERT_DATE_INVALID, 0, L"已过期"},
        {ERROR_WINHTTP_SECURE_FAILURE, WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID, L"颁发给其他网站"},
        {ERROR_WINHTTP_SECURE_CERT_CN_INVALID, 0, L"颁发给其他网站"},
        // Revoked outweighs whatever else is wrong.
        {ERROR_WINHTTP_SECURE_FAILURE,
         WINHTTP_CALLBACK_STATUS_FLAG_CERT_REVOKED | WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID, L"已被吊销"},
        {ERROR_WINHTTP_SECURE_CERT_REVOKED, 0, L"已被吊销"},
        {ERROR_WINHTTP_SECURE_CERT_REV_FAILED, 0, L"是否已被吊销"},
        {ERROR_WINHTTP_SECURE_CHANNEL_ERROR, 0, L"的安全证书或加密连接未通过检查"},
        {ERROR_WINHTTP_SECURE_FAILURE, WINHTTP_CALLBACK_STATUS_FLAG_SECURITY_CHANNEL_ERROR,
         L"的安全证书或加密连接未通过检查"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(isSecureFailure(c.code)) << c.code;
        const std::string text = secureFailureText("report.example.com", c.code, c.flags);
        EXPECT_NE(text.find("report.example.com"), std::string::npos) << text;
        EXPECT_NE(text.find(gbk(c.says)), std::string::npos) << c.code << " " << c.flags << ": " << text;
        EXPECT_EQ(text.substr(text.size() - gbk(L"，连接已取消。").size()), gbk(L"，连接已取消。"));
    }
    EXPECT_EQ(secureFailureText("report.example.com", ERROR_WINHTTP_SECURE_INVALID_CA, 0),
              gbk(L"服务器 report.example.com 的安全证书不受信任，连接已取消。"));
    EXPECT_FALSE(isSecureFailure(ERROR_WINHTTP_CANNOT_CONNECT));
    EXPECT_FALSE(isSecureFailure(ERROR_WINHTTP_TIMEOUT));
}

TEST_F(HttpClientTest, ErrorStatusCarriesCodeAndBody) {
    HttpClient client;
    for (int status : {404, 500}) {
        Recorded rec;
        HttpError e = expectHttpError([&] { client.get(webBase() + "/status/" + std::to_string(status), rec.progress()); });
        EXPECT_EQ(e.kind(), HttpError::Kind::Status);
        EXPECT_EQ(e.status(), status);
        auto body = nlohmann::json::parse(e.body());
        EXPECT_EQ(body["error"], std::to_string(status));
        EXPECT_NE(std::string(e.what()).find(std::to_string(status)), std::string::npos);
        // An error reply is not a download: the progress bar is left alone.
        EXPECT_TRUE(rec.begins.empty());
    }
    // A large error body is cut, not refused.
    HttpError big = expectHttpError([&] { client.get(webBase() + "/gen/3000000/x.html?status=500"); });
    EXPECT_EQ(big.status(), 500);
    EXPECT_EQ(big.body().size(), 1u << 20);
}

TEST_F(HttpClientTest, BrokenTransfersFailWithoutAPartialBody) {
    HttpClient client;
    HttpError reset = expectHttpError([&] { client.get(webBase() + "/gen/2000000/x.doc?reset_after=300000"); });
    EXPECT_EQ(reset.kind(), HttpError::Kind::Transfer);
    HttpError shortBody = expectHttpError([&] { client.get(webBase() + "/gen/200000/x.doc?short_by=1000"); });
    EXPECT_EQ(shortBody.kind(), HttpError::Kind::Transfer);
    // The client is still usable afterwards.
    EXPECT_EQ(client.get(webBase() + "/gen/5000/ok.doc").size(), 5000u);
}

TEST_F(HttpClientTest, BodyLimitIsEnforcedWithAndWithoutLength) {
    HttpSettings settings;
    settings.maxBodyBytes = 100000;
    HttpClient client(settings);
    EXPECT_EQ(client.get(webBase() + "/gen/100000/x.doc").size(), 100000u);
    Recorded rec;
    HttpError announced = expectHttpError([&] { client.get(webBase() + "/gen/100001/x.doc", rec.progress()); });
    EXPECT_EQ(announced.kind(), HttpError::Kind::TooLarge);
    EXPECT_TRUE(rec.works.empty());  // refused before reading any of it
    HttpError streamed = expectHttpError([&] { client.get(webBase() + "/gen/500000/x.doc?chunked=1"); });
    EXPECT_EQ(streamed.kind(), HttpError::Kind::TooLarge);
}

TEST_F(HttpClientTest, ReadTimeOutEndsASilentServer) {
    HttpSettings settings;
    settings.readTimeoutMs = 500;
    HttpClient client(settings);
    auto start = Clock::now();
    HttpError e = expectHttpError([&] { client.get(webBase() + "/gen/10/x.json?delay_ms=4000"); });
    auto took = Clock::now() - start;
    EXPECT_EQ(e.kind(), HttpError::Kind::Transfer);
    EXPECT_LT(took, std::chrono::milliseconds(3000));
    EXPECT_GE(took, std::chrono::milliseconds(400));
}

// A loopback listener. With fill set its accept queue is filled, so further
// connection attempts get no answer at all, as with a host that drops packets.
class Listener {
public:
    explicit Listener(bool fill) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(listener_, fill ? 0 : 16);
        int len = sizeof addr;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        for (int i = 0; fill && i < 4; ++i) {
            SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            u_long nonBlocking = 1;
            ::ioctlsocket(s, FIONBIO, &nonBlocking);
            ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
            fillers_.push_back(s);
        }
        ::Sleep(100);
    }
    ~Listener() {
        for (SOCKET s : fillers_) ::closesocket(s);
        ::closesocket(listener_);
    }
    int port() const { return port_; }
    // Connections waiting to be accepted.
    int pendingAccepts() {
        int n = 0;
        u_long nonBlocking = 1;
        ::ioctlsocket(listener_, FIONBIO, &nonBlocking);
        for (SOCKET s; (s = ::accept(listener_, nullptr, nullptr)) != INVALID_SOCKET; ++n) ::closesocket(s);
        return n;
    }

private:
    testing::WinsockScope ws_;
    SOCKET listener_ = INVALID_SOCKET;
    std::vector<SOCKET> fillers_;
    int port_ = 0;
};

TEST_F(HttpClientTest, ConnectTimeOutIsBounded) {
    Listener hole(true);
    HttpSettings settings;
    settings.connectTimeoutMs = 700;
    HttpClient client(settings);
    auto start = Clock::now();
    HttpError e = expectHttpError([&] { client.get("http://127.0.0.1:" + std::to_string(hole.port()) + "/r.doc"); });
    auto took = Clock::now() - start;
    EXPECT_EQ(e.kind(), HttpError::Kind::Connect);
    EXPECT_GE(took, std::chrono::milliseconds(500));
    EXPECT_LT(took, std::chrono::milliseconds(4000));
}

TEST_F(HttpClientTest, RefusedAddressesNeverConnect) {
    Listener listener(false);  // counts any connection made to it
    const std::string port = std::to_string(listener.port());
    HttpClient client;
    // The parsing itself is covered by the host tests; here: nothing leaves.
    const std::string hostile[] = {
        "ftp://127.0.0.1:" + port + "/r.doc",
        "https://u@127.0.0.1:" + port + "/r.doc",
        "http://127.0.0.1:" + port + "/a\r\nX-Injected: 1",
        "http://127.0.0.1:" + port + "/a" + std::string(1, '\0') + "b",
        "http://user:pw@127.0.0.1:" + port + "/",
    };
    for (const std::string& url : hostile) {
        HttpError e = expectHttpError([&] { client.get(url); });
        EXPECT_EQ(e.kind(), HttpError::Kind::Refused) << url;
        EXPECT_THROW(client.postForm(url, {{"a", "b"}}), HttpError) << url;
    }
    EXPECT_EQ(listener.pendingAccepts(), 0);
    // The count does see a connection when one is made.
    {
        testing::WinsockScope ws;
        SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<u_short>(listener.port()));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::Sleep(50);
        EXPECT_EQ(listener.pendingAccepts(), 1);
        ::closesocket(s);
    }
    EXPECT_TRUE(journal().empty());

    HttpSettings badAgent;
    badAgent.userAgent = "x\r\nX-Injected: 1";
    EXPECT_THROW(HttpClient{badAgent}, HttpError);
    HttpSettings badAccept;
    badAccept.accept = "*/*\nX: 1";
    EXPECT_THROW(HttpClient{badAccept}, HttpError);
}

TEST_F(HttpClientTest, PostsUrlEncodedFormAsUtf8) {
    HttpSettings settings;
    settings.http10 = true;
    HttpClient client(settings);
    const std::string token = gbk(L"a&b=c d+中");
    auto reply = client.postForm(webBase() + "/echo/login", {{"Digest", "0123456789ABCDEF0123456789ABCDEF"}, {"Token", token}});
    auto echo = nlohmann::json::parse(std::string(reply.begin(), reply.end()));
    EXPECT_EQ(echo["path"], "/echo/login");

    auto entries = journal();
    ASSERT_EQ(entries.size(), 1u);
    const auto& e = entries[0];
    EXPECT_EQ(e["method"], "POST");
    EXPECT_EQ(e["version"], "HTTP/1.0");
    EXPECT_EQ(headerOf(e, "Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(e["body"], "Digest=0123456789ABCDEF0123456789ABCDEF&Token=a%26b%3Dc%20d%2B%E4%B8%AD");
    ASSERT_EQ(e["form"].size(), 2u);
    EXPECT_EQ(e["form"][1][1], "a&b=c d+\xE4\xB8\xAD");
}

std::wstring tempPath(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}

std::vector<std::uint8_t> awkwardBytes(size_t size) {
    // Line breaks, dashes and NULs of every kind, to catch any text handling.
    std::vector<std::uint8_t> data(size);
    std::uint32_t x = 12345;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        data[i] = static_cast<std::uint8_t>(x >> 24);
        if (i % 997 == 0) data[i] = '\r';
        if (i % 997 == 1) data[i] = '\n';
        if (i % 997 == 2 || i % 997 == 3) data[i] = '-';
    }
    return data;
}

UniqueFile writeAndOpen(const std::wstring& path, const std::vector<std::uint8_t>& data) {
    {
        UniqueFile out(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(out);
        for (size_t at = 0; at < data.size();) {
            DWORD n = 0;
            DWORD want = static_cast<DWORD>(std::min<size_t>(data.size() - at, 1 << 20));
            ::WriteFile(out.get(), data.data() + at, want, &n, nullptr);
            at += n;
        }
    }
    // As the upload opens it: others may read but not write.
    return UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST_F(HttpClientTest, MultipartFilePartArrivesByteForByte) {
    const auto data = awkwardBytes(3 * 1024 * 1024 + 17);
    const std::wstring path = tempPath(L"orvo-http-上传.doc");
    UniqueFile file = writeAndOpen(path, data);
    ASSERT_TRUE(file);
    // Start the read elsewhere: the client must send from the beginning.
    LARGE_INTEGER middle{};
    middle.QuadPart = 1000;
    ::SetFilePointerEx(file.get(), middle, nullptr, FILE_BEGIN);

    HttpSettings settings;
    settings.http10 = true;
    HttpClient client(settings);
    const std::string localName = wideToGbk(path);
    MultipartUpload upload{"uploaded_file", localName, "application/msword", file.get()};
    Recorded rec;
    // The query is sent as given: "&" and "?" in a value are not escaped.
    client.postMultipart(webBase() + "/echo/upload?fileguid=g&1?x&filemd5=AB", {{"fileguid", gbk(L"标识")}}, &upload,
                         rec.progress());

    auto entries = journal();
    ASSERT_EQ(entries.size(), 1u);
    const auto& e = entries[0];
    EXPECT_EQ(e["query"], "fileguid=g&1?x&filemd5=AB");
    EXPECT_EQ(e["version"], "HTTP/1.0");
    EXPECT_EQ(headerOf(e, "Content-Type").rfind("multipart/form-data; boundary=", 0), 0u);
    const auto& mp = e["multipart"];
    ASSERT_TRUE(mp["ok"].get<bool>()) << mp.dump();
    ASSERT_EQ(mp["parts"].size(), 2u);
    EXPECT_EQ(mp["parts"][0]["name"], "fileguid");
    EXPECT_EQ(mp["parts"][0]["value"], "\xE6\xA0\x87\xE8\xAF\x86");
    const auto& part = mp["parts"][1];
    EXPECT_EQ(part["name"], "uploaded_file");
    EXPECT_EQ(part["filename"], wideToUtf8(path));
    EXPECT_EQ(part["content_type"], "application/msword");
    EXPECT_EQ(part["transfer_encoding"], "binary");
    EXPECT_EQ(part["size"], data.size());
    EXPECT_EQ(part["md5"], md5Hex(data.data(), data.size()));
    // Sending is reported too: the whole body, then the (small) reply.
    ASSERT_EQ(rec.begins.size(), 2u);
    EXPECT_EQ(rec.begins[0], e["body_size"].get<std::uint64_t>());

    file.reset();
    ::DeleteFileW(path.c_str());
}

TEST_F(HttpClientTest, MultipartWithoutFileAndLargeFileWithoutBuffering) {
    HttpClient client;
    client.postMultipart(webBase() + "/echo/nofile", {{"a", "1"}}, nullptr);
    auto entries = journal();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0]["multipart"]["ok"].get<bool>());
    EXPECT_EQ(entries[0]["multipart"]["parts"].size(), 1u);

    // A 48 MB file must not be read into memory to be sent.
    resetJournal();
    const size_t size = 48u << 20;
    const std::wstring path = tempPath(L"orvo-http-big.bin");
    std::string expectedMd5;
    {
        auto data = awkwardBytes(size);
        expectedMd5 = md5Hex(data.data(), data.size());
        UniqueFile written = writeAndOpen(path, data);
    }
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    PROCESS_MEMORY_COUNTERS before{};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &before, sizeof before);
    ::EmptyWorkingSet(::GetCurrentProcess());
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &before, sizeof before);
    MultipartUpload upload{"uploaded_file", "big.bin", "application/octet-stream", file.get()};
    client.postMultipart(webBase() + "/echo/big", {}, &upload);
    PROCESS_MEMORY_COUNTERS after{};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &after, sizeof after);
    entries = journal();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0]["multipart"]["parts"][0]["md5"], expectedMd5);
    EXPECT_GT(before.WorkingSetSize, 0u);
    EXPECT_LT(after.WorkingSetSize, before.WorkingSetSize + size / 2)
        << "before " << before.WorkingSetSize << ", after " << after.WorkingSetSize;
    file.reset();
    ::DeleteFileW(path.c_str());
}

TEST_F(HttpClientTest, MultipartRefusesABadFilePart) {
    HttpClient client;
    MultipartUpload noFile{"uploaded_file", "x.doc", "application/msword", INVALID_HANDLE_VALUE};
    EXPECT_EQ(expectHttpError([&] { client.postMultipart(webBase() + "/echo", {}, &noFile); }).kind(),
              HttpError::Kind::LocalFile);
    MultipartUpload badType{"uploaded_file", "x.doc", "text/html\r\nX-Evil: 1", INVALID_HANDLE_VALUE};
    EXPECT_EQ(expectHttpError([&] { client.postMultipart(webBase() + "/echo", {}, &badType); }).kind(),
              HttpError::Kind::Refused);
    EXPECT_TRUE(journal().empty());
}

TEST(ContentTypeForFile, ReadsTheRegistryAndFallsBack) {
    EXPECT_EQ(contentTypeForFile("C:\\a\\b.orvo-unknown-ext"), "application/octet-stream");
    EXPECT_EQ(contentTypeForFile("C:\\a.dir\\noext"), "application/octet-stream");
    EXPECT_EQ(contentTypeForFile("trailingdot."), "application/octet-stream");

    const wchar_t* good = L".orvohttptest1";
    const wchar_t* bad = L".orvohttptest2";
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, good, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    const wchar_t goodType[] = L"application/x-orvo-test";
    ::RegSetValueExW(key, L"Content Type", 0, REG_SZ, reinterpret_cast<const BYTE*>(goodType), sizeof goodType);
    ::RegCloseKey(key);
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, bad, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    const wchar_t badType[] = L"text/html\r\nX-Evil: 1";
    ::RegSetValueExW(key, L"Content Type", 0, REG_SZ, reinterpret_cast<const BYTE*>(badType), sizeof badType);
    ::RegCloseKey(key);

    EXPECT_EQ(contentTypeForFile(gbk(L"C:\\报表\\文件.orvohttptest1")), "application/x-orvo-test");
    EXPECT_EQ(contentTypeForFile("C:\\x.orvohttptest2"), "application/octet-stream");
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, good);
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, bad);
}

}  // namespace
}  // namespace orvo
