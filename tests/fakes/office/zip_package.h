#pragma once
// Reading the parts of a zip package (".docx", ".xlsx"): the central
// directory and the stored or deflated entries it lists. Enough for the
// substitute to tell a Word package from an Excel one and to read a few
// small parts; not a general zip library (no zip64, no encryption).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvo::fake {

class ZipPackage {
public:
    // Throws FormatError when bytes are not a zip archive it can read.
    // The bytes must outlive the package.
    explicit ZipPackage(std::string_view bytes);

    bool has(std::string_view name) const noexcept { return find(name) != nullptr; }
    // The part's uncompressed bytes; nothing when it is missing, larger
    // than maxSize, or cannot be inflated.
    std::optional<std::string> read(std::string_view name, size_t maxSize = 8u << 20) const;

private:
    struct Entry {
        std::string name;
        uint16_t method = 0;
        uint32_t compressedSize = 0;
        uint32_t size = 0;
        uint32_t localHeader = 0;
    };
    const Entry* find(std::string_view name) const noexcept;

    std::string_view bytes_;
    std::vector<Entry> entries_;
};

bool looksLikeZip(std::string_view bytes) noexcept;

}  // namespace orvo::fake
