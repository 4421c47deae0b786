#pragma once
// The text steps of request intake: replacing a request that carries an
// enciphered "sys" payload by its plain text, and taking the mode after "cmd".
#include <string>
#include <string_view>

#include "build_config.h"

namespace orvo {

// The request key built into the program (a deployment setting): modulus and
// private exponent as digit pairs, first byte least significant.
inline constexpr std::string_view kRequestModulusText = ORVO_RSA_MODULUS_TEXT;
inline constexpr std::string_view kRequestExponentText = ORVO_RSA_EXPONENT_TEXT;

// The request itself when it holds no "sys" (case-sensitive); otherwise the
// decoded payload that starts one character after the first "sys" (that
// character is skipped unseen). Decoding errors propagate as AppError.
std::string decodeRequestString(const std::string& request, std::string_view modulusText,
                                std::string_view exponentText);

// The five characters (fewer at the end) that follow the first "cmd" and one
// separator character; without "cmd", the characters at positions 4 to 8.
std::string modeOfRequest(const std::string& request);

}  // namespace orvo
