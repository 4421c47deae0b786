#pragma once
// The container stream: the in-memory form in which a downloaded compound
// document is handed to an OLE container. Little-endian 32-bit signature
// "BDOC", draw aspect, data size, then the data bytes unchanged.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvo {

constexpr std::uint32_t kContainerStreamSignature = 0x434F4442;  // the bytes "BDOC"
constexpr std::uint32_t kDrawAspectContent = 1;
constexpr size_t kContainerStreamHeaderSize = 12;

// The 12-byte header for a report of dataSize bytes, draw aspect "content".
// The size field holds 32 bits; a larger report raises an error rather than
// announcing a wrapped size that would cut the document short.
std::array<char, kContainerStreamHeaderSize> containerStreamHeader(std::uint64_t dataSize);

// Header followed by the data.
std::string writeContainerStream(std::string_view data);

struct ContainerStreamContents {
    std::uint32_t drawAspect = 0;
    std::string_view data;  // points into the stream that was read
};

// Reads a stream from its start. A wrong signature raises "Invalid stream
// format"; a stream that ends inside the header or before the announced data
// raises "读取流出错" (GBK). Bytes after the data are not looked at.
ContainerStreamContents readContainerStream(std::string_view stream);

}  // namespace orvo
