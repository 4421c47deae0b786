#include "support/portable/http_url.h"

#include <string>

namespace orvo {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool isHexDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
bool isAlpha(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
char lower(unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); }

[[noreturn]] void refuse(UrlProblem problem, std::string_view detail) {
    std::string message = "Invalid URL (";
    message += urlProblemName(problem);
    message += ")";
    if (!detail.empty()) {
        message += ": ";
        message += detail;
    }
    throw UrlError(problem, message);
}

// Characters a request line may carry as they are; everything else in the
// path and query is percent-encoded.
bool sendsRaw(unsigned char c) {
    if (c <= 0x20 || c >= 0x7F) return false;
    switch (c) {
    case '"': case '<': case '>': case '\\': case '^': case '`': case '{': case '|': case '}':
        return false;
    default:
        return true;
    }
}

std::string encodeTarget(std::string_view raw) {
    std::string out;
    out.reserve(raw.size() + 8);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(raw[i]);
        if (c == '%') {
            if (i + 2 < raw.size() && isHexDigit(static_cast<unsigned char>(raw[i + 1])) &&
                isHexDigit(static_cast<unsigned char>(raw[i + 2]))) {
                out += '%';
                continue;
            }
            out += "%25";
            continue;
        }
        if (sendsRaw(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

bool isRegNameChar(unsigned char c) { return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_'; }

}  // namespace

const char* urlProblemName(UrlProblem problem) noexcept {
    switch (problem) {
    case UrlProblem::Empty: return "empty";
    case UrlProblem::TooLong: return "too long";
    case UrlProblem::ControlCharacter: return "control character";
    case UrlProblem::NotHttp: return "not an http or https address";
    case UrlProblem::MissingHost: return "no host";
    case UrlProblem::BadHost: return "bad host";
    case UrlProblem::UserInfo: return "user name in address";
    case UrlProblem::BadPort: return "bad port";
    }
    return "invalid";
}

HttpUrl parseHttpUrl(std::string_view url) {
    if (url.empty()) refuse(UrlProblem::Empty, {});
    if (url.size() > kMaxUrlBytes) refuse(UrlProblem::TooLong, {});
    for (unsigned char c : url)
        if (c < 0x20 || c == 0x7F) refuse(UrlProblem::ControlCharacter, {});

    // Scheme, compared without regard to case as browsers do.
    std::size_t colon = url.find(':');
    std::string scheme;
    if (colon != std::string_view::npos && colon > 0 && isAlpha(static_cast<unsigned char>(url[0]))) {
        for (std::size_t i = 0; i < colon; ++i) {
            unsigned char c = static_cast<unsigned char>(url[i]);
            if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') {
                scheme.clear();
                break;
            }
            scheme += lower(c);
        }
    }
    if ((scheme != "http" && scheme != "https") || url.substr(colon + 1, 2) != "//") refuse(UrlProblem::NotHttp, {});

    std::string_view rest = url.substr(colon + 3);
    std::size_t authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    std::string_view tail = authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);

    if (authority.find('@') != std::string_view::npos) refuse(UrlProblem::UserInfo, {});
    if (authority.empty()) refuse(UrlProblem::MissingHost, {});

    HttpUrl result;
    result.secure = scheme == "https";
    result.port = result.secure ? 443 : 80;
    std::string_view hostPart;
    std::string_view portPart;
    bool hasPort = false;
    if (authority.front() == '[') {
        std::size_t close = authority.find(']');
        if (close == std::string_view::npos) refuse(UrlProblem::BadHost, "unclosed IPv6 literal");
        hostPart = authority.substr(1, close - 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') refuse(UrlProblem::BadHost, {});
            portPart = after.substr(1);
            hasPort = true;
        }
        if (hostPart.empty()) refuse(UrlProblem::MissingHost, {});
        for (unsigned char c : hostPart)
            if (!isHexDigit(c) && c != ':' && c != '.') refuse(UrlProblem::BadHost, "IPv6 literal");
    } else {
        std::size_t portColon = authority.find(':');
        hostPart = authority.substr(0, portColon);
        if (portColon != std::string_view::npos) {
            portPart = authority.substr(portColon + 1);
            hasPort = true;
        }
        if (hostPart.empty()) refuse(UrlProblem::MissingHost, {});
        if (hostPart.size() > 253) refuse(UrlProblem::BadHost, "too long");
        // Host names must be given in their ASCII form; a name with other
        // bytes, blanks or escapes could be read differently by the resolver.
        for (unsigned char c : hostPart)
            if (!isRegNameChar(c)) refuse(UrlProblem::BadHost, {});
        if (hostPart.front() == '.' || hostPart.find("..") != std::string_view::npos)
            refuse(UrlProblem::BadHost, {});
    }
    for (unsigned char c : hostPart) result.host += lower(c);

    if (hasPort && !portPart.empty()) {
        if (portPart.size() > 5) refuse(UrlProblem::BadPort, {});
        unsigned value = 0;
        for (unsigned char c : portPart) {
            if (!isDigit(c)) refuse(UrlProblem::BadPort, {});
            value = value * 10 + (c - '0');
        }
        if (value == 0 || value > 65535) refuse(UrlProblem::BadPort, {});
        result.port = static_cast<std::uint16_t>(value);
    }

    // The fragment belongs to the page, not to the request.
    std::size_t hash = tail.find('#');
    if (hash != std::string_view::npos) tail = tail.substr(0, hash);
    if (tail.empty() || tail.front() == '?') result.target.push_back('/');
    result.target += encodeTarget(tail);
    return result;
}

}  // namespace orvo
