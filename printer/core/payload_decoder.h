#pragma once
// The decoder of the enciphered "sys" payload of a request: hexadecimal text
// that carries Base64 text that carries RSA blocks.
#include <cstdint>
#include <string>
#include <string_view>

namespace orvo {

// Folds hexadecimal digits, most significant first. Anything other than
// 0-9, A-F, a-f raises "Error: not a Hex String"; a value beyond the range of
// int raises "Error: Hex String out of range".
int HexToInt(std::string_view text);

// Key length and plain block size picked by the key-size selector 0..4.
struct RsaKeySize {
    unsigned keyBytes;    // cipher block
    unsigned plainBytes;  // keyBytes - 11
};
// Raises "RSA decoding error: Invalid key size" for a selector above 4.
RsaKeySize rsaKeySize(std::uint8_t selector);

// A key text (digit pairs, text order) as bytes. The number it stands for has
// its first byte least significant. Raises "Error: not a Hex String" for a
// non-hexadecimal digit and "RSA decoding error: Invalid key" for an odd
// number of digits or an unreasonably long text.
std::string keyTextToBytes(std::string_view keyText);

// The hex layer: pairs of digits to bytes; a trailing odd digit is ignored.
std::string hexPairsToBytes(std::string_view payload);

// Standard Base64 in groups of four characters. A "=" in the third or fourth
// place ends its group early; a short last group decodes as if padded.
// A character that is neither in the alphabet nor "=", or a "=" in the first
// or second place of a group, raises "Invalid Base64 Character".
std::string base64Decode(std::string_view text);

// The whole decoder: hex, Base64, then RSA with the given modulus and private
// exponent texts and the key length of the selector. Raises an AppError on
// any malformed input; the result is the plain request text (GBK bytes).
std::string DecodeSysPayload(std::string_view payload, std::string_view modulusText, std::string_view exponentText,
                             std::uint8_t selector);

}  // namespace orvo
