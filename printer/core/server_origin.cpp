#include "core/server_origin.h"

#include <algorithm>

namespace orvo {
namespace {

bool isAlpha(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(unsigned char c) { return isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
char lower(unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); }
bool isHostChar(unsigned char c) { return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_'; }

std::string lowered(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) out += lower(c);
    return out;
}

std::uint16_t defaultPort(std::string_view scheme) { return scheme == "https" ? 443 : 80; }

// What the text holds: an origin, and whether its host is a "*." pattern.
struct ParsedOrigin {
    ServerOrigin origin;
    bool wildcard = false;
};

enum class Shape { Address, ListEntry };

// The same reading of scheme, host and port as the HTTP client's, so that an
// address it would contact always has an origin here. A list entry may end
// in "/" but carry no path, and may start its host with "*.".
std::optional<ParsedOrigin> parseOrigin(std::string_view text, Shape shape) {
    if (text.empty()) return std::nullopt;
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F) return std::nullopt;

    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || text.substr(colon + 1, 2) != "//") return std::nullopt;
    ParsedOrigin parsed;
    parsed.origin.scheme = lowered(text.substr(0, colon));
    if (parsed.origin.scheme != "http" && parsed.origin.scheme != "https") return std::nullopt;

    const std::string_view rest = text.substr(colon + 3);
    const std::size_t authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    if (shape == Shape::ListEntry && authorityEnd != std::string_view::npos && rest.substr(authorityEnd) != "/")
        return std::nullopt;
    if (authority.empty() || authority.find('@') != std::string_view::npos) return std::nullopt;

    std::string_view host;
    std::string_view port;
    if (authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos || close == 1) return std::nullopt;
        for (unsigned char c : authority.substr(1, close - 1))
            if (!isHexDigit(c) && c != ':' && c != '.') return std::nullopt;
        host = authority.substr(0, close + 1);
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return std::nullopt;
            port = after.substr(1);
        }
    } else {
        const std::size_t portColon = authority.find(':');
        host = authority.substr(0, portColon);
        if (portColon != std::string_view::npos) port = authority.substr(portColon + 1);
        if (shape == Shape::ListEntry && host.size() > 2 && host.substr(0, 2) == "*.") {
            parsed.wildcard = true;
            host.remove_prefix(2);
        }
        if (host.empty() || host.size() > 253 || host.front() == '.' || host.find("..") != std::string_view::npos)
            return std::nullopt;
        if (!std::all_of(host.begin(), host.end(), [](char c) { return isHostChar(static_cast<unsigned char>(c)); }))
            return std::nullopt;
    }
    parsed.origin.host = lowered(host);

    // An empty port, as in "http://h:/", is the default one.
    parsed.origin.port = defaultPort(parsed.origin.scheme);
    if (!port.empty()) {
        if (port.size() > 5) return std::nullopt;
        unsigned value = 0;
        for (unsigned char c : port) {
            if (!isDigit(c)) return std::nullopt;
            value = value * 10 + (c - '0');
        }
        if (value == 0 || value > 65535) return std::nullopt;
        parsed.origin.port = static_cast<std::uint16_t>(value);
    }
    return parsed;
}

bool isIpAddress(std::string_view host) {
    if (!host.empty() && host.front() == '[') return true;
    return std::all_of(host.begin(), host.end(), [](char c) { return isDigit(static_cast<unsigned char>(c)) || c == '.'; });
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

void addServer(std::vector<RequestedServer>& servers, std::string_view address, ServerPurpose purpose) {
    const std::optional<ServerOrigin> origin = originOfAddress(address);
    if (!origin) return;
    auto known = std::find_if(servers.begin(), servers.end(),
                              [&](const RequestedServer& server) { return server.origin == *origin; });
    if (known == servers.end()) {
        servers.push_back({*origin, {purpose}});
    } else if (std::find(known->purposes.begin(), known->purposes.end(), purpose) == known->purposes.end()) {
        known->purposes.push_back(purpose);
    }
}

}  // namespace

std::string ServerOrigin::text() const { return scheme + "://" + host + ":" + std::to_string(port); }

std::optional<ServerOrigin> originOfAddress(std::string_view address) {
    std::optional<ParsedOrigin> parsed = parseOrigin(address, Shape::Address);
    if (!parsed) return std::nullopt;
    return parsed->origin;
}

bool originEntryCovers(std::string_view entry, const ServerOrigin& origin) {
    const std::optional<ParsedOrigin> parsed = parseOrigin(trimmed(entry), Shape::ListEntry);
    if (!parsed || parsed->origin.scheme != origin.scheme || parsed->origin.port != origin.port) return false;
    if (!parsed->wildcard) return parsed->origin.host == origin.host;
    // "*.example.com": a host that ends in ".example.com" and has a name of
    // its own before it.
    const std::string suffix = "." + parsed->origin.host;
    return !isIpAddress(origin.host) && origin.host.size() > suffix.size() &&
           origin.host.compare(origin.host.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::optional<std::string> listEntryText(std::string_view entry) {
    const std::optional<ParsedOrigin> parsed = parseOrigin(trimmed(entry), Shape::ListEntry);
    if (!parsed) return std::nullopt;
    const ServerOrigin& origin = parsed->origin;
    return origin.scheme + "://" + (parsed->wildcard ? "*." : "") + origin.host + ":" + std::to_string(origin.port);
}

bool originListCovers(std::span<const std::string> entries, const ServerOrigin& origin) {
    return std::any_of(entries.begin(), entries.end(),
                       [&](const std::string& entry) { return originEntryCovers(entry, origin); });
}

std::vector<RequestedServer> serversOfRequest(std::string_view mode, std::string_view reportUrl,
                                              std::string_view uploadUrl, std::string_view sealListUrl) {
    std::vector<RequestedServer> servers;
    if (mode == "login") return servers;
    if (mode == "signf") {
        addServer(servers, sealListUrl, ServerPurpose::ReadSealList);
        addServer(servers, uploadUrl, ServerPurpose::UploadDocument);
        return servers;
    }
    addServer(servers, reportUrl, ServerPurpose::DownloadReport);
    if (mode == "editf") addServer(servers, uploadUrl, ServerPurpose::UploadDocument);
    return servers;
}

}  // namespace orvo
