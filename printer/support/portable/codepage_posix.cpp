// Code page 936 through iconv, for the Linux build of the portable core.
#include "support/portable/codepage.h"

#include <iconv.h>

#include "support/portable/app_error.h"

namespace orvo::detail {
namespace {

iconv_t handleOf(void* state) { return static_cast<iconv_t>(state); }

}  // namespace

Cp936Encoder::Cp936Encoder() {
    iconv_t cd = iconv_open("CP936", "UTF-32LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw AppError("Code page 936 is not available");
    state_ = cd;
}

Cp936Encoder::~Cp936Encoder() { iconv_close(handleOf(state_)); }

bool Cp936Encoder::append(char32_t c, std::string& out) {
    char in[4] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF),
                  static_cast<char>((c >> 16) & 0xFF), static_cast<char>((c >> 24) & 0xFF)};
    char buffer[8];
    char* inPtr = in;
    size_t inLeft = sizeof in;
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    iconv_t cd = handleOf(state_);
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state either way
    if (rc == static_cast<size_t>(-1) || inLeft != 0) return false;
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    return true;
}

}  // namespace orvo::detail
