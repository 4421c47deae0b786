#include "core/payload_decoder.h"

#include <gcrypt.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <memory>
#include <type_traits>

#include "support/portable/app_error.h"
#include "support/portable/gcrypt_init.h"

namespace orvo {
namespace {

// Key texts are build settings, never request data; the bound only keeps a
// mistaken setting from turning every decode into a very long computation.
constexpr size_t kMaxKeyTextDigits = 1024;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

struct MpiRelease {
    void operator()(gcry_mpi_t m) const noexcept { gcry_mpi_release(m); }
};
using Mpi = std::unique_ptr<std::remove_pointer_t<gcry_mpi_t>, MpiRelease>;

// Bytes with the first one least significant, as every number of the
// payload and the key is laid out.
Mpi mpiFromLittleEndian(std::string_view bytes) {
    std::string bigEndian(bytes.rbegin(), bytes.rend());
    gcry_mpi_t value = nullptr;
    if (bigEndian.empty()) return Mpi(gcry_mpi_new(0));
    if (gcry_mpi_scan(&value, GCRYMPI_FMT_USG, bigEndian.data(), bigEndian.size(), nullptr) != 0 || !value)
        throw AppError("RSA decoding error: Invalid key");
    return Mpi(value);
}

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

[[noreturn]] void invalidBase64() { throw AppError("Invalid Base64 Character"); }

// One RSA block: m = c^d mod n, checked and stripped of its padding.
// Returns the data bytes in output order.
std::string decodeBlock(std::string_view block, gcry_mpi_t n, gcry_mpi_t d) {
    Mpi c = mpiFromLittleEndian(block);
    Mpi m(gcry_mpi_new(0));
    gcry_mpi_powm(m.get(), c.get(), d, n);

    const size_t k = (gcry_mpi_get_nbits(m.get()) + 7) / 8;
    if (k <= 10) throw AppError("RSA decoding error: Block too small");
    if (k > 128) throw AppError("RSA decoding error: Block too large");

    std::string bytes(k, '\0');
    size_t written = 0;
    if (gcry_mpi_print(GCRYMPI_FMT_USG, reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), &written,
                       m.get()) != 0 ||
        written != k)
        throw AppError("RSA decoding error: Invalid block format");
    std::reverse(bytes.begin(), bytes.end());  // now least significant first

    const unsigned char blockType = static_cast<unsigned char>(bytes[k - 1]);
    if (blockType != 0x01 && blockType != 0x02) throw AppError("RSA decoding error: Invalid block type");

    size_t separator = k - 1;
    do {
        if (separator == 0) throw AppError("RSA decoding error: Invalid block format");
        --separator;
    } while (bytes[separator] != '\0');
    bytes.resize(separator);
    return bytes;
}

}  // namespace

int HexToInt(std::string_view text) {
    long long value = 0;
    for (char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0) throw AppError("Error: not a Hex String");
        value = value * 16 + digit;
        if (value > INT_MAX) throw AppError("Error: Hex String out of range");
    }
    return static_cast<int>(value);
}

RsaKeySize rsaKeySize(std::uint8_t selector) {
    static constexpr unsigned kKeyBytes[] = {16, 32, 64, 96, 128};
    if (selector >= std::size(kKeyBytes)) throw AppError("RSA decoding error: Invalid key size");
    return {kKeyBytes[selector], kKeyBytes[selector] - 11};
}

std::string keyTextToBytes(std::string_view keyText) {
    if (keyText.size() % 2 != 0 || keyText.size() > kMaxKeyTextDigits) throw AppError("RSA decoding error: Invalid key");
    return hexPairsToBytes(keyText);
}

std::string hexPairsToBytes(std::string_view payload) {
    std::string bytes;
    bytes.reserve(payload.size() / 2);
    for (size_t i = 0; i + 1 < payload.size(); i += 2)
        bytes += static_cast<char>(HexToInt(payload.substr(i, 2)));
    return bytes;
}

std::string base64Decode(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3 + 2);
    for (size_t g = 0; g < text.size(); g += 4) {
        const std::string_view group = text.substr(g, 4);
        // Every character must belong to the alphabet or be "=", even one that
        // a padded group does not decode: a payload is produced, never typed.
        for (char c : group)
            if (c != '=' && base64Value(c) < 0) invalidBase64();

        size_t used = group.size();
        for (size_t j = 0; j < group.size(); ++j) {
            if (group[j] == '=') {
                if (j < 2) invalidBase64();
                used = j;
                break;
            }
        }
        // used characters carry 6 bits each; whole bytes only.
        std::uint32_t bits = 0;
        for (size_t j = 0; j < used; ++j) bits = (bits << 6) | static_cast<std::uint32_t>(base64Value(group[j]));
        const size_t outBytes = used * 6 / 8;
        bits <<= 6 * (4 - used);
        for (size_t j = 0; j < outBytes; ++j) out += static_cast<char>((bits >> (16 - 8 * j)) & 0xFF);
    }
    return out;
}

std::string DecodeSysPayload(std::string_view payload, std::string_view modulusText, std::string_view exponentText,
                             std::uint8_t selector) {
    const std::string cipher = base64Decode(hexPairsToBytes(payload));

    const RsaKeySize size = rsaKeySize(selector);
    ensureGcryptInitialised();
    Mpi n = mpiFromLittleEndian(keyTextToBytes(modulusText));
    Mpi d = mpiFromLittleEndian(keyTextToBytes(exponentText));
    if (gcry_mpi_cmp_ui(n.get(), 0) == 0) throw AppError("RSA decoding error: Invalid key");

    // A cut-off payload would otherwise decode its last fragment as a block
    // of its own and, at worst, hand back a shortened request.
    if (cipher.size() % size.keyBytes != 0) throw AppError("RSA decoding error: Incomplete block");
    const size_t blocks = cipher.size() / size.keyBytes;

    std::string plain;
    plain.reserve(blocks * size.plainBytes);
    for (size_t b = 0; b < blocks; ++b) {
        std::string data = decodeBlock(std::string_view(cipher).substr(b * size.keyBytes, size.keyBytes), n.get(), d.get());
        // Every block but the last carries exactly one plain block; any other
        // length means the blocks were not made for this key size, and taking
        // a fixed count would cut data or pass on bytes of the padding.
        if (b + 1 < blocks && data.size() != size.plainBytes)
            throw AppError("RSA decoding error: Invalid block length");
        plain += data;
    }
    return plain;
}

}  // namespace orvo
