#pragma once
// The text side of the USB-key login: the values a login request carries,
// the status and digest texts the login shows and sends, and the name of the
// server a login goes to. Portable: no <windows.h>.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvo {

// GBK text, as cut from the request.
struct LoginValues {
    std::string productId;
    std::string pin;
    std::string token;
    std::string address;  // where the login is posted
};

// The values after the first "pid" of the request, which begin 4 characters
// after its "p" and are split at "&" by the delimited-list rule. Items 1 to 3
// are taken after their first "=" (whole when they have none); items after
// the fourth are ignored. nullopt when the request holds no "pid"; fewer than
// four items raise the list's index error.
std::optional<LoginValues> readLoginValues(std::string_view request);

// A key status as the messages show it: upper-case hex digits without leading
// zeros, so a status with the top bit set shows all 8.
std::string statusText(std::uint32_t status);

// Bytes as upper-case hex digits, two per byte, in order.
std::string upperHex(const std::uint8_t* bytes, std::size_t count);

// "host:port" of a login address (an IPv6 host in brackets), or nullopt when
// the address is not one the HTTP client would post to.
std::optional<std::string> loginServerName(std::string_view address);

}  // namespace orvo
