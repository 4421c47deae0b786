#include "support/portable/md5.h"

#include <gcrypt.h>

#include "support/portable/app_error.h"
#include "support/portable/gcrypt_init.h"

namespace orvo {

Md5::Md5() {
    ensureGcryptInitialised();
    gcry_md_hd_t handle = nullptr;
    if (gcry_md_open(&handle, GCRY_MD_MD5, 0) != 0) throw AppError("MD5 is not available");
    handle_ = handle;
}

Md5::~Md5() { gcry_md_close(static_cast<gcry_md_hd_t>(handle_)); }

void Md5::update(const void* data, std::size_t size) { gcry_md_write(static_cast<gcry_md_hd_t>(handle_), data, size); }

std::string Md5::hexDigest() {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const unsigned char* digest = gcry_md_read(static_cast<gcry_md_hd_t>(handle_), GCRY_MD_MD5);
    std::string hex;
    hex.reserve(32);
    for (int i = 0; i < 16; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 0x0F];
    }
    return hex;
}

std::string md5Hex(std::string_view bytes) {
    Md5 md5;
    md5.update(bytes.data(), bytes.size());
    return md5.hexDigest();
}

}  // namespace orvo
