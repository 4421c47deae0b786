#pragma once
// Text conversions of the portable core: strict UTF-8 decoding and the
// conversion of Unicode text to GBK (code page 936), the code page of all
// text inside the system.
#include <optional>
#include <string>
#include <string_view>

namespace orvo {

// Decodes UTF-8 strictly: overlong forms, surrogates, code points above
// U+10FFFF, stray continuation bytes and truncated sequences all fail.
std::optional<std::u32string> decodeUtf8(std::string_view bytes);

// Converts to code page 936. Every character without a form there becomes
// one "?", as do private-use characters: they carry no meaning in a request
// and the platforms' tables disagree about them.
std::string unicodeToGbk(std::u32string_view text);

// The last step of decoding a request value: bytes that are valid UTF-8 and
// not empty become that text in GBK; anything else is returned unchanged
// (such bytes are taken to be GBK already).
std::string utf8StepToGbk(std::string_view bytes);

namespace detail {

// The platform's code page 936 table, one character at a time so that each
// unmappable character turns into exactly one "?". Implemented once with
// iconv and once with WideCharToMultiByte.
class Cp936Encoder {
public:
    Cp936Encoder();
    ~Cp936Encoder();
    Cp936Encoder(const Cp936Encoder&) = delete;
    Cp936Encoder& operator=(const Cp936Encoder&) = delete;

    // Appends the character's bytes and returns true, or returns false and
    // appends nothing when code page 936 has no form for it. c is never ASCII.
    bool append(char32_t c, std::string& out);

private:
    void* state_ = nullptr;
};

}  // namespace detail
}  // namespace orvo
