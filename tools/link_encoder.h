#pragma once
// The encoder of "sys" payloads, for the web side and for tests: key pair
// generation and the enciphering that the request decoder undoes.
#include <cstdint>
#include <string>
#include <string_view>

namespace orvo::link {

// All numbers as the decoder's key texts: digit pairs (upper case), first
// byte least significant. Modulus and private exponent take exactly the key
// length of the selector; the public exponent takes as many bytes as it needs.
struct KeyPair {
    std::uint8_t selector = 0;
    std::string modulusText;
    std::string exponentText;  // private; empty when a key file holds only the public half
    std::string publicExponentText;
};

// A fresh pair whose modulus has exactly the selector's number of bits, with
// public exponent 65537.
KeyPair generateKeyPair(std::uint8_t selector);

// ORVO_RSA_MODULUS=..., ORVO_RSA_EXPONENT=..., ORVO_RSA_PUBLIC_EXPONENT=...,
// ORVO_RSA_SELECTOR=n, one a line.
std::string formatKeyEnv(const KeyPair& key);

// Reads what formatKeyEnv writes (blank lines, "#" comments, an "export "
// prefix and quotes around values are tolerated). The modulus and public
// exponent are required; a missing selector is taken from the modulus length.
// Raises AppError on anything it cannot use.
KeyPair parseKeyEnv(std::string_view text);

std::string base64Encode(std::string_view bytes);

// Enciphers GBK bytes: pieces of the plain block size, each in a block that
// reads (most significant first) 0x00, 0x02, non-zero random padding, 0x00,
// the piece's bytes reversed; c = m^e mod n as key-length bytes, first byte
// least significant; Base64; two upper-case hex digits per Base64 character.
std::string encipherPayload(std::string_view plain, const KeyPair& key);

// "orvo:sys=" followed by the payload: the decoder skips "sys" and exactly
// one character.
std::string makeLink(std::string_view plain, const KeyPair& key);

}  // namespace orvo::link
