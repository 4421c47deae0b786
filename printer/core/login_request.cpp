#include "core/login_request.h"

#include <cstdio>
#include <vector>

#include "support/portable/delimited_list.h"
#include "support/portable/gbk.h"
#include "support/portable/http_url.h"

namespace orvo {
namespace {

constexpr std::string_view kValuesMarker = "pid";
// "pid" and one separator, normally "=".
constexpr std::size_t kValuesOffset = 4;

// The first "pid" that starts a character: "p" can also be the second byte
// of a double-byte character, and such a "pid" is not the marker.
std::size_t findMarker(std::string_view request) {
    for (std::size_t pos = 0; pos < request.size(); pos += gbkCharLength(request, pos))
        if (request.substr(pos, kValuesMarker.size()) == kValuesMarker) return pos;
    return std::string_view::npos;
}

}  // namespace

std::optional<LoginValues> readLoginValues(std::string_view request) {
    const std::size_t marker = findMarker(request);
    if (marker == std::string_view::npos) return std::nullopt;
    const std::size_t start = marker + kValuesOffset;
    const std::vector<std::string> items =
        splitDelimited(start < request.size() ? request.substr(start) : std::string_view(), '&');
    LoginValues values;
    values.productId = listItemAt(items, 0);
    values.pin = valueAfterEquals(listItemAt(items, 1));
    values.token = valueAfterEquals(listItemAt(items, 2));
    values.address = valueAfterEquals(listItemAt(items, 3));
    return values;
}

std::string statusText(std::uint32_t status) {
    char text[16];
    std::snprintf(text, sizeof text, "%lX", static_cast<unsigned long>(status));
    return text;
}

std::string upperHex(const std::uint8_t* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::optional<std::string> loginServerName(std::string_view address) {
    // A host is plain ASCII or refused, so GBK text parses as UTF-8 would.
    try {
        const HttpUrl url = parseHttpUrl(address);
        const bool ipv6 = url.host.find(':') != std::string::npos;
        return (ipv6 ? "[" + url.host + "]" : url.host) + ":" + std::to_string(url.port);
    } catch (const UrlError&) {
        return std::nullopt;
    }
}

}  // namespace orvo
