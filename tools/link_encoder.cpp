#include "link_encoder.h"

#include <gcrypt.h>

#include <algorithm>
#include <memory>
#include <type_traits>
#include <vector>

#include "core/payload_decoder.h"
#include "support/portable/app_error.h"
#include "support/portable/gcrypt_init.h"

namespace orvo::link {
namespace {

constexpr unsigned long kPublicExponent = 65537;

struct MpiRelease {
    void operator()(gcry_mpi_t m) const noexcept { gcry_mpi_release(m); }
};
using Mpi = std::unique_ptr<std::remove_pointer_t<gcry_mpi_t>, MpiRelease>;

Mpi newMpi() { return Mpi(gcry_mpi_new(0)); }

Mpi mpiFromBigEndian(std::string_view bytes) {
    if (bytes.empty()) return newMpi();
    gcry_mpi_t value = nullptr;
    if (gcry_mpi_scan(&value, GCRYMPI_FMT_USG, bytes.data(), bytes.size(), nullptr) != 0 || !value)
        throw AppError("Cannot read a number");
    return Mpi(value);
}

Mpi mpiFromKeyText(std::string_view text) {
    std::string bytes = keyTextToBytes(text);
    std::reverse(bytes.begin(), bytes.end());
    return mpiFromBigEndian(bytes);
}

// width bytes, most significant first; 0 means as few as the value needs.
std::string bigEndianBytes(gcry_mpi_t value, size_t width) {
    const size_t needed = (gcry_mpi_get_nbits(value) + 7) / 8;
    if (width == 0) width = std::max<size_t>(needed, 1);
    if (needed > width) throw AppError("Number too large for its field");
    std::string bytes(width, '\0');
    size_t written = 0;
    if (needed > 0 &&
        gcry_mpi_print(GCRYMPI_FMT_USG, reinterpret_cast<unsigned char*>(bytes.data()) + (width - needed), needed,
                       &written, value) != 0)
        throw AppError("Cannot write a number");
    return bytes;
}

std::string hexOf(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

// The decoder's text form of a number.
std::string keyTextOf(gcry_mpi_t value, size_t width) {
    std::string bytes = bigEndianBytes(value, width);
    std::reverse(bytes.begin(), bytes.end());
    return hexOf(bytes);
}

Mpi generatePrime(unsigned bits) {
    gcry_mpi_t prime = nullptr;
    if (gcry_prime_generate(&prime, bits, 0, nullptr, nullptr, nullptr, GCRY_STRONG_RANDOM, 0) != 0 || !prime)
        throw AppError("Prime generation failed");
    return Mpi(prime);
}

std::string trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    return std::string(text);
}

}  // namespace

KeyPair generateKeyPair(std::uint8_t selector) {
    const unsigned keyBits = rsaKeySize(selector).keyBytes * 8;
    ensureGcryptInitialised();
    // libgcrypt's own key generation refuses keys this small, so the pair is
    // built from two primes of half the length each.
    Mpi e = newMpi();
    gcry_mpi_set_ui(e.get(), kPublicExponent);
    for (;;) {
        Mpi p = generatePrime(keyBits / 2);
        Mpi q = generatePrime(keyBits / 2);
        if (gcry_mpi_cmp(p.get(), q.get()) == 0) continue;
        Mpi n = newMpi();
        gcry_mpi_mul(n.get(), p.get(), q.get());
        if (gcry_mpi_get_nbits(n.get()) != keyBits) continue;

        Mpi phi = newMpi(), p1 = newMpi(), q1 = newMpi();
        gcry_mpi_sub_ui(p1.get(), p.get(), 1);
        gcry_mpi_sub_ui(q1.get(), q.get(), 1);
        gcry_mpi_mul(phi.get(), p1.get(), q1.get());
        Mpi d = newMpi();
        if (!gcry_mpi_invm(d.get(), e.get(), phi.get())) continue;  // e shares a factor with phi

        KeyPair key;
        key.selector = selector;
        key.modulusText = keyTextOf(n.get(), keyBits / 8);
        key.exponentText = keyTextOf(d.get(), keyBits / 8);
        key.publicExponentText = keyTextOf(e.get(), 0);
        return key;
    }
}

std::string formatKeyEnv(const KeyPair& key) {
    std::string out;
    out += "ORVO_RSA_MODULUS=" + key.modulusText + "\n";
    out += "ORVO_RSA_EXPONENT=" + key.exponentText + "\n";
    out += "ORVO_RSA_PUBLIC_EXPONENT=" + key.publicExponentText + "\n";
    out += "ORVO_RSA_SELECTOR=" + std::to_string(key.selector) + "\n";
    return out;
}

KeyPair parseKeyEnv(std::string_view text) {
    KeyPair key;
    std::string selectorText;
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        std::string line = trim(text.substr(0, eol));
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("export ", 0) == 0) line = trim(std::string_view(line).substr(7));
        const size_t equals = line.find('=');
        if (equals == std::string::npos) throw AppError("Key file: line without \"=\": " + line);
        const std::string name = trim(std::string_view(line).substr(0, equals));
        const std::string value = trim(std::string_view(line).substr(equals + 1));
        if (name == "ORVO_RSA_MODULUS") key.modulusText = value;
        else if (name == "ORVO_RSA_EXPONENT") key.exponentText = value;
        else if (name == "ORVO_RSA_PUBLIC_EXPONENT") key.publicExponentText = value;
        else if (name == "ORVO_RSA_SELECTOR") selectorText = value;
    }
    if (key.modulusText.empty()) throw AppError("Key file: no ORVO_RSA_MODULUS");
    if (key.publicExponentText.empty()) throw AppError("Key file: no ORVO_RSA_PUBLIC_EXPONENT");
    const size_t modulusBytes = keyTextToBytes(key.modulusText).size();
    if (selectorText.empty()) {
        for (std::uint8_t s = 0; s <= 4; ++s)
            if (rsaKeySize(s).keyBytes == modulusBytes) selectorText = std::to_string(s);
        if (selectorText.empty()) throw AppError("Key file: the modulus length fits no key size");
    }
    if (selectorText.size() != 1 || selectorText[0] < '0' || selectorText[0] > '4')
        throw AppError("Key file: ORVO_RSA_SELECTOR must be 0 to 4");
    key.selector = static_cast<std::uint8_t>(selectorText[0] - '0');
    if (modulusBytes != rsaKeySize(key.selector).keyBytes)
        throw AppError("Key file: the modulus length does not match ORVO_RSA_SELECTOR");
    (void)keyTextToBytes(key.publicExponentText);
    if (!key.exponentText.empty()) (void)keyTextToBytes(key.exponentText);
    return key;
}

std::string base64Encode(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        std::uint32_t bits = 0;
        for (size_t j = 0; j < 3; ++j)
            bits = (bits << 8) | (j < n ? static_cast<unsigned char>(bytes[i + j]) : 0u);
        for (size_t j = 0; j < 4; ++j) out += j <= n ? kAlphabet[(bits >> (18 - 6 * j)) & 0x3F] : '=';
    }
    return out;
}

std::string encipherPayload(std::string_view plain, const KeyPair& key) {
    const RsaKeySize size = rsaKeySize(key.selector);
    ensureGcryptInitialised();
    Mpi n = mpiFromKeyText(key.modulusText);
    Mpi e = mpiFromKeyText(key.publicExponentText);
    // Every block starts with a zero byte; a modulus with a non-zero top byte
    // is therefore larger than any block, which RSA needs.
    if (gcry_mpi_get_nbits(n.get()) <= (size.keyBytes - 1) * 8)
        throw AppError("The modulus is too small for its key size");

    std::string cipher;
    cipher.reserve((plain.size() / size.plainBytes + 1) * size.keyBytes);
    for (size_t at = 0; at < plain.size(); at += size.plainBytes) {
        const std::string_view piece = plain.substr(at, size.plainBytes);
        std::string block(size.keyBytes, '\0');  // most significant first
        block[1] = 0x02;
        const size_t padding = size.keyBytes - 3 - piece.size();
        auto* pad = reinterpret_cast<unsigned char*>(block.data() + 2);
        gcry_randomize(pad, padding, GCRY_STRONG_RANDOM);
        for (size_t i = 0; i < padding; ++i)
            while (pad[i] == 0) gcry_randomize(pad + i, 1, GCRY_STRONG_RANDOM);
        std::reverse_copy(piece.begin(), piece.end(), block.end() - static_cast<std::ptrdiff_t>(piece.size()));

        Mpi m = mpiFromBigEndian(block);
        Mpi c = newMpi();
        gcry_mpi_powm(c.get(), m.get(), e.get(), n.get());
        std::string bytes = bigEndianBytes(c.get(), size.keyBytes);
        std::reverse(bytes.begin(), bytes.end());
        cipher += bytes;
    }
    return hexOf(base64Encode(cipher));
}

std::string makeLink(std::string_view plain, const KeyPair& key) { return "orvo:sys=" + encipherPayload(plain, key); }

}  // namespace orvo::link
