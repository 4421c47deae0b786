#include "zip_package.h"

#include <zlib.h>
#include "document_format.h"

namespace orvo::fake {
namespace {

constexpr uint32_t kEndOfDirectory = 0x06054B50;
constexpr uint32_t kDirectoryEntry = 0x02014B50;
constexpr uint32_t kLocalHeader = 0x04034B50;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kMaxCommentSize = 0xFFFF;
constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;

uint16_t u16(std::string_view b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t u32(std::string_view b, size_t at) { return u16(b, at) | static_cast<uint32_t>(u16(b, at + 2)) << 16; }

size_t findEndRecord(std::string_view bytes) {
    if (bytes.size() < kEndRecordSize) throw FormatError("not a zip archive");
    size_t lowest = bytes.size() > kEndRecordSize + kMaxCommentSize ? bytes.size() - kEndRecordSize - kMaxCommentSize : 0;
    for (size_t at = bytes.size() - kEndRecordSize + 1; at-- > lowest;)
        if (u32(bytes, at) == kEndOfDirectory) return at;
    throw FormatError("zip archive without a central directory");
}

std::optional<std::string> inflateRaw(std::string_view packed, size_t size) {
    std::string out(size, '\0');
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return std::nullopt;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    int status = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    if (status != Z_STREAM_END || z.total_out != size) return std::nullopt;
    return out;
}

}  // namespace

bool looksLikeZip(std::string_view bytes) noexcept { return bytes.size() >= 4 && u32(bytes, 0) == kLocalHeader; }

ZipPackage::ZipPackage(std::string_view bytes) : bytes_(bytes) {
    const size_t end = findEndRecord(bytes);
    const uint16_t count = u16(bytes, end + 10);
    const uint32_t directorySize = u32(bytes, end + 12);
    const uint32_t directory = u32(bytes, end + 16);
    if (directory > end || directorySize > end - directory) throw FormatError("zip directory out of bounds");
    size_t at = directory;
    const size_t stop = directory + directorySize;
    for (uint16_t i = 0; i < count; ++i) {
        if (stop - at < 46 || u32(bytes, at) != kDirectoryEntry) throw FormatError("bad zip directory entry");
        Entry e;
        e.method = u16(bytes, at + 10);
        e.compressedSize = u32(bytes, at + 20);
        e.size = u32(bytes, at + 24);
        const size_t nameLength = u16(bytes, at + 28);
        const size_t variable = nameLength + u16(bytes, at + 30) + u16(bytes, at + 32);
        e.localHeader = u32(bytes, at + 42);
        if (stop - at - 46 < variable) throw FormatError("bad zip directory entry");
        e.name.assign(bytes.substr(at + 46, nameLength));
        entries_.push_back(std::move(e));
        at += 46 + variable;
    }
    if (entries_.empty()) throw FormatError("empty zip archive");
}

const ZipPackage::Entry* ZipPackage::find(std::string_view name) const noexcept {
    for (const auto& e : entries_)
        if (e.name == name) return &e;
    return nullptr;
}

std::optional<std::string> ZipPackage::read(std::string_view name, size_t maxSize) const {
    const Entry* e = find(name);
    if (!e || e->size > maxSize) return std::nullopt;
    const size_t header = e->localHeader;
    if (header > bytes_.size() || bytes_.size() - header < 30 || u32(bytes_, header) != kLocalHeader)
        return std::nullopt;
    const size_t data = header + 30 + u16(bytes_, header + 26) + u16(bytes_, header + 28);
    if (data > bytes_.size() || bytes_.size() - data < e->compressedSize) return std::nullopt;
    std::string_view packed = bytes_.substr(data, e->compressedSize);
    if (e->method == kStored) {
        if (e->compressedSize != e->size) return std::nullopt;
        return std::string(packed);
    }
    if (e->method == kDeflated) return inflateRaw(packed, e->size);
    return std::nullopt;
}

}  // namespace orvo::fake
