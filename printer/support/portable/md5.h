#pragma once
// MD5 (RFC 1321) through libgcrypt, fed in pieces so a large file never has
// to be in memory at once. The digest is written as the system writes all
// hexadecimal output: upper case, digest byte 0 first.
#include <cstddef>
#include <string>
#include <string_view>

namespace orvo {

class Md5 {
public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    void update(const void* data, std::size_t size);
    // The 32 upper-case hex digits of everything fed; nothing more can be fed after.
    std::string hexDigest();

private:
    void* handle_ = nullptr;  // gcry_md_hd_t
};

std::string md5Hex(std::string_view bytes);

}  // namespace orvo
