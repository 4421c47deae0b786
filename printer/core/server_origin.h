#pragma once
// Which servers a request makes us contact, and whether a list of trusted (or
// refused) servers names them. A server is its origin: scheme, host in lower
// case and port, the scheme's default port filled in.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvo {

struct ServerOrigin {
    std::string scheme;  // "http" or "https"
    std::string host;    // lower case; an IPv6 literal keeps its brackets
    std::uint16_t port = 0;

    // "https://report.example.com:443"
    std::string text() const;
    bool operator==(const ServerOrigin&) const = default;
};

// The origin of an absolute http or https address, or nothing when the
// address names none. Every address that our HTTP client would contact has
// one: an address without an origin is one the client refuses too (no such
// scheme, no host, a bad port, a user name, control characters).
std::optional<ServerOrigin> originOfAddress(std::string_view address);

// Whether one entry of a list covers the origin. An entry is an origin as
// text, its port optional ("https://a.example.com" means port 443) and its
// case free; "https://*.example.com:443" covers every host under
// example.com but not example.com itself, and never an IP address.
bool originEntryCovers(std::string_view entry, const ServerOrigin& origin);
// The entry as the lists are best written: "scheme://host:port" in lower
// case, the scheme's port filled in, a leading "*." kept; nothing for text
// that is no entry (a path, a user, a query, another scheme).
std::optional<std::string> listEntryText(std::string_view entry);
bool originListCovers(std::span<const std::string> entries, const ServerOrigin& origin);

enum class ServerPurpose { DownloadReport, UploadDocument, ReadSealList };

struct RequestedServer {
    ServerOrigin origin;
    std::vector<ServerPurpose> purposes;  // in the order the run needs them
};

// The servers a run of the mode contacts, one entry per origin: the print
// choice and view mode download the report; edit mode downloads it and
// uploads the edited copy; sign mode reads the seal list and uploads the
// sealed file; login asks its own question and is left out. Addresses that
// name no origin are left out: nothing can be sent to them.
std::vector<RequestedServer> serversOfRequest(std::string_view mode, std::string_view reportUrl,
                                              std::string_view uploadUrl, std::string_view sealListUrl);

}  // namespace orvo
