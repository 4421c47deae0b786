#pragma once
// Checking and splitting the addresses we are asked to fetch. They come from
// links that any web page can open, so anything unusual is refused rather than
// guessed at: only http and https, a host, no control characters, a sane length.
#include <cstdint>
#include <string>
#include <string_view>

#include "support/portable/app_error.h"

namespace orvo {

// Why an address was refused; the HTTP client turns this into its message.
enum class UrlProblem {
    Empty,
    TooLong,
    ControlCharacter,   // CR, LF, NUL or another control byte anywhere
    NotHttp,            // no scheme, or one we do not know
    MissingHost,
    BadHost,            // characters that cannot be in a host name
    UserInfo,           // "user@host": never sent, and a classic disguise
    BadPort,
};

class UrlError : public AppError {
public:
    UrlError(UrlProblem problem, const std::string& gbkMessage) : AppError(gbkMessage), problem_(problem) {}
    UrlProblem problem() const noexcept { return problem_; }

private:
    UrlProblem problem_;
};

struct HttpUrl {
    bool secure = false; // https: TLS with the certificate checked, never plain http instead
    std::string host;    // lower-case ASCII; an IPv6 literal without its brackets
    std::uint16_t port = 80;  // 443 when secure and not given
    std::string target;  // path and query, ASCII only, ready for the request line
};

inline constexpr std::size_t kMaxUrlBytes = 8192;

// Parses an absolute http or https URL given as UTF-8 bytes. Bytes outside printable
// ASCII in the path and query, blanks and the characters a request line must
// not carry raw are percent-encoded; a "%" not followed by two hex digits
// becomes "%25". The fragment is dropped. Throws UrlError.
HttpUrl parseHttpUrl(std::string_view utf8Url);

// The English name of a problem, for messages and test output.
const char* urlProblemName(UrlProblem problem) noexcept;

}  // namespace orvo
