#pragma once
// Key pairs made once per test run, and payloads built from hand-made RSA
// blocks, for the decoder tests.
#include <cstdint>
#include <string>
#include <vector>

#include "link_encoder.h"
#include "support/portable/app_error.h"

namespace orvo::test {

const link::KeyPair& testKey(std::uint8_t selector);

// Each block is given most significant byte first, key length long; the
// payload enciphers them with the public key exactly as the web side would.
std::string payloadOfBlocks(const link::KeyPair& key, const std::vector<std::string>& blocks);

// A well-formed block around data (0x00, type, padding 0xAB..., 0x00, data reversed).
std::string blockAround(const link::KeyPair& key, const std::string& data, char type = 0x02);

// The message of the AppError f raises, or "no error".
template <typename F>
std::string errorOf(F&& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace orvo::test
