#pragma once
// The HTTP client every flow uses, over WinHTTP. Each client object has its
// own WinHTTP session and so its own cookie store: cookies the server sets
// come back on later requests of the same client, never on another client's.
// Redirects are never followed (a 3xx reply is a failure), and calls block:
// the user-interface thread runs them through runPumped
// (support/net/pumped_wait.h) to stay responsive.
//
// https goes over TLS 1.2 or 1.3 with the server's certificate checked
// against what Windows trusts. Nothing can turn that check off, and an https
// address is never tried over plain http.
//
// Text arguments are GBK, as everywhere inside the program; what goes on the
// wire (path, query, form fields, file names) is UTF-8.
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/portable/app_error.h"
#include "support/portable/http_url.h"
#include "support/portable/multipart.h"
#include "support/net/pumped_wait.h"
#include "support/win32/unique.h"

namespace orvo {

using UniqueInternet = Unique<NullHandleTraits<HINTERNET, ::WinHttpCloseHandle>>;

inline constexpr char kDefaultAccept[] = "text/html, */*";
inline constexpr char kDefaultUserAgent[] = "Mozilla/3.0 (compatible; Indy Library)";
inline constexpr std::uint64_t kDefaultMaxBodyBytes = std::uint64_t{1} << 30;

struct HttpSettings {
    std::string accept = kDefaultAccept;
    std::string userAgent = kDefaultUserAgent;
    unsigned connectTimeoutMs = 0;  // 0: no time-out of our own
    unsigned readTimeoutMs = 0;     // 0: none
    bool http10 = false;            // "HTTP/1.0" in the request line
    // Reply bodies larger than this are refused before they are stored.
    std::uint64_t maxBodyBytes = kDefaultMaxBodyBytes;
};

class HttpError : public AppError {
public:
    enum class Kind {
        Refused,      // refused before any connection: a bad URL, a header with a line break
        Connect,      // no connection, or the request could not be sent
        Insecure,     // https: the certificate failed its check, or no secure channel came up
        Transfer,     // the connection broke or the reply was cut short
        Status,       // the server answered with a status other than 2xx
        TooLarge,     // the reply body is over the client's limit
        Cancelled,    // the waiting window was closed meanwhile
        LocalFile,    // the file to send could not be read
    };
    HttpError(Kind kind, const std::string& gbkMessage, unsigned long systemCode = 0)
        : AppError(gbkMessage), kind_(kind), systemCode_(systemCode) {}
    HttpError(int status, const std::string& gbkMessage, std::string body)
        : AppError(gbkMessage), kind_(Kind::Status), status_(status), body_(std::move(body)) {}

    Kind kind() const noexcept { return kind_; }
    // The reply status for Kind::Status, 0 otherwise.
    int status() const noexcept { return status_; }
    // The reply body that came with an error status (bytes as sent, possibly cut
    // at the client's limit for error bodies).
    const std::string& body() const noexcept { return body_; }
    // The WinHTTP or Win32 error code behind a Connect/Insecure/Transfer/LocalFile failure.
    unsigned long systemCode() const noexcept { return systemCode_; }

private:
    Kind kind_;
    int status_ = 0;
    std::string body_;
    unsigned long systemCode_ = 0;
};

// Progress of one transfer, called on the thread that runs the transfer:
// begin(expected) once the reply headers are in (Content-Length, or 0 when
// unknown) and work(transferred) as bytes arrive. A POST reports its request
// body the same way first.
struct TransferProgress {
    std::function<void(std::uint64_t expected)> begin;
    std::function<void(std::uint64_t transferred)> work;
};

// For a transfer run under runPumped: hands each notification to the waiting
// thread (where onUiThread's callbacks run, byte counts coalesced) and stops
// the transfer with HttpError(Kind::Cancelled) once the wait is cancelled.
TransferProgress forwardToUi(UiQueue& queue, TransferProgress onUiThread);

// The file part of a multipart POST. The handle is borrowed: open for
// reading, it is read from its start in chunks while the body is sent.
struct MultipartUpload {
    std::string fieldName;
    std::string fileName;      // GBK, sent in UTF-8
    std::string contentType;
    HANDLE file = INVALID_HANDLE_VALUE;
};

class HttpClient {
public:
    // Opens the client's own session. Throws HttpError for settings that
    // would put a line break into a header.
    explicit HttpClient(HttpSettings settings = {});
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    const HttpSettings& settings() const noexcept { return settings_; }

    // Each returns the reply body of a 2xx reply and throws HttpError otherwise;
    // a failed call never hands back a partial body.
    std::vector<std::uint8_t> get(const std::string& url, const TransferProgress& progress = {});
    std::vector<std::uint8_t> postForm(const std::string& url, const std::vector<FormField>& fields,
                                       const TransferProgress& progress = {});
    // Fields first, then the file part (when file is not null), streamed.
    std::vector<std::uint8_t> postMultipart(const std::string& url, const std::vector<FormField>& fields,
                                            const MultipartUpload* file, const TransferProgress& progress = {});

private:
    struct Body;
    // Opens the request, sends it with its body, reads the reply.
    std::vector<std::uint8_t> execute(const std::string& url, const wchar_t* verb, Body& body,
                                      const TransferProgress& progress);
    UniqueInternet openRequest(HINTERNET connection, const HttpUrl& target, const wchar_t* verb,
                               const std::string& contentType);
    // context: the request's context value for WinHTTP's notifications.
    void sendRequest(HINTERNET request, const wchar_t* verb, Body& body, const TransferProgress& progress,
                     DWORD_PTR context);
    std::vector<std::uint8_t> readReply(HINTERNET request, const TransferProgress& progress);

    HttpSettings settings_;
    UniqueInternet session_;
    bool tlsProtocolsSet_ = false;
};

// The media type Windows records for a file name's extension (the "Content
// Type" value of its class key), or "application/octet-stream" when there is
// none or it is not a plain type/subtype.
std::string contentTypeForFile(const std::string& gbkFileName);

}  // namespace orvo
