#include "core_test_keys.h"

#include <gcrypt.h>

#include <algorithm>
#include <array>
#include <mutex>

#include "core/payload_decoder.h"
#include "support/portable/gcrypt_init.h"

namespace orvo::test {
namespace {

gcry_mpi_t scanBigEndian(const std::string& bytes) {
    gcry_mpi_t v = nullptr;
    gcry_mpi_scan(&v, GCRYMPI_FMT_USG, bytes.data(), bytes.size(), nullptr);
    return v;
}

gcry_mpi_t scanKeyText(const std::string& text) {
    std::string bytes = keyTextToBytes(text);
    std::reverse(bytes.begin(), bytes.end());
    return scanBigEndian(bytes);
}

}  // namespace

const link::KeyPair& testKey(std::uint8_t selector) {
    static std::array<link::KeyPair, 5> keys;
    static std::once_flag once;
    std::call_once(once, [] {
        for (std::uint8_t s = 0; s < keys.size(); ++s) keys[s] = link::generateKeyPair(s);
    });
    return keys.at(selector);
}

std::string payloadOfBlocks(const link::KeyPair& key, const std::vector<std::string>& blocks) {
    ensureGcryptInitialised();
    const unsigned keyBytes = rsaKeySize(key.selector).keyBytes;
    gcry_mpi_t n = scanKeyText(key.modulusText), e = scanKeyText(key.publicExponentText);
    std::string cipher;
    for (const std::string& block : blocks) {
        gcry_mpi_t m = scanBigEndian(block), c = gcry_mpi_new(0);
        gcry_mpi_powm(c, m, e, n);
        std::string bytes(keyBytes, '\0');
        size_t written = 0, needed = (gcry_mpi_get_nbits(c) + 7) / 8;
        gcry_mpi_print(GCRYMPI_FMT_USG, reinterpret_cast<unsigned char*>(bytes.data()) + keyBytes - needed, needed,
                       &written, c);
        std::reverse(bytes.begin(), bytes.end());
        cipher += bytes;
        gcry_mpi_release(m);
        gcry_mpi_release(c);
    }
    gcry_mpi_release(n);
    gcry_mpi_release(e);
    std::string hex;
    for (char ch : link::base64Encode(cipher)) {
        static const char digits[] = "0123456789abcdef";  // the decoder takes either case
        hex += digits[static_cast<unsigned char>(ch) >> 4];
        hex += digits[ch & 0x0F];
    }
    return hex;
}

std::string blockAround(const link::KeyPair& key, const std::string& data, char type) {
    const unsigned keyBytes = rsaKeySize(key.selector).keyBytes;
    std::string block(keyBytes, '\xAB');
    block[0] = 0;
    block[1] = type;
    block[keyBytes - data.size() - 1] = 0;
    std::reverse_copy(data.begin(), data.end(), block.end() - static_cast<std::ptrdiff_t>(data.size()));
    return block;
}

}  // namespace orvo::test
