#include "support/portable/container_stream.h"

#include "support/portable/app_error.h"
#include "support/portable/codepage.h"

namespace orvo {
namespace {

constexpr char32_t kStreamReadError[] = U"读取流出错";

}  // namespace

namespace {

void putLe32(char* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t getLe32(std::string_view in, size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(in[offset + static_cast<size_t>(i)]);
    return value;
}

}  // namespace

std::array<char, kContainerStreamHeaderSize> containerStreamHeader(std::uint64_t dataSize) {
    if (dataSize > 0xFFFFFFFFu) throw AppError(unicodeToGbk(U"报表过大，无法放入容器流"));
    std::array<char, kContainerStreamHeaderSize> header{};
    putLe32(header.data(), kContainerStreamSignature);
    putLe32(header.data() + 4, kDrawAspectContent);
    putLe32(header.data() + 8, static_cast<std::uint32_t>(dataSize));
    return header;
}

std::string writeContainerStream(std::string_view data) {
    const auto header = containerStreamHeader(data.size());
    std::string stream;
    stream.reserve(header.size() + data.size());
    stream.append(header.data(), header.size());
    stream.append(data);
    return stream;
}

ContainerStreamContents readContainerStream(std::string_view stream) {
    if (stream.size() < 4) throw AppError(unicodeToGbk(kStreamReadError));
    if (getLe32(stream, 0) != kContainerStreamSignature) throw AppError("Invalid stream format");
    if (stream.size() < kContainerStreamHeaderSize) throw AppError(unicodeToGbk(kStreamReadError));
    ContainerStreamContents contents;
    contents.drawAspect = getLe32(stream, 4);
    const std::uint32_t dataSize = getLe32(stream, 8);
    if (dataSize > stream.size() - kContainerStreamHeaderSize) throw AppError(unicodeToGbk(kStreamReadError));
    contents.data = stream.substr(kContainerStreamHeaderSize, dataSize);
    return contents;
}

}  // namespace orvo
