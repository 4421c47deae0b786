#pragma once
// Percent-decoding of request values.
#include <string>
#include <string_view>

namespace orvo {

// "%" takes the next two characters (fewer at the end of the text) as a
// hexadecimal number: 1 to 255 appends that byte; 0 or non-hexadecimal
// characters append nothing. The escape is consumed either way. "+" stays "+".
std::string percentDecode(std::string_view text);

}  // namespace orvo
