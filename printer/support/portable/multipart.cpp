#include "support/portable/multipart.h"

#include <random>
#include <utility>

#include "support/portable/app_error.h"
#include "support/portable/codepage.h"

namespace orvo {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr char kCrlf[] = "\r\n";

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

void appendEscaped(std::string& out, unsigned char c) {
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
}

bool isBoundaryChar(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
    case '\'': case '(': case ')': case '+': case '_': case ',': case '-': case '.': case '/': case ':': case '=':
    case '?':
        return true;
    default:
        return false;
    }
}

bool isTokenChar(unsigned char c) {
    if (c <= 0x20 || c >= 0x7F) return false;
    switch (c) {
    case '(': case ')': case '<': case '>': case '@': case ',': case ';': case ':': case '\\': case '"': case '/':
    case '[': case ']': case '?': case '=': case '{': case '}':
        return false;
    default:
        return true;
    }
}

}  // namespace

bool isPlainMediaType(std::string_view text) noexcept {
    std::size_t slash = text.find('/');
    if (slash == std::string_view::npos || slash == 0 || slash + 1 == text.size() || text.size() > 255) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (i != slash && !isTokenChar(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

std::string percentEncode(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    for (unsigned char c : bytes) {
        if (isUnreserved(c))
            out += static_cast<char>(c);
        else
            appendEscaped(out, c);
    }
    return out;
}

std::string encodeUrlEncodedForm(const std::vector<FormField>& fields) {
    std::string out;
    for (const FormField& field : fields) {
        if (!out.empty()) out += '&';
        out += percentEncode(field.name);
        out += '=';
        out += percentEncode(field.value);
    }
    return out;
}

std::string quoteDispositionValue(std::string_view bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c < 0x20 || c == 0x7F || c == '"')
            appendEscaped(out, c);
        else
            out += static_cast<char>(c);
    }
    out += '"';
    return out;
}

std::string MultipartBody::randomBoundary() {
    std::random_device device;
    std::string boundary = "----------orvo";
    for (int i = 0; i < 6; ++i) {
        std::uint32_t word = device();
        for (int j = 0; j < 8; ++j) boundary += kHex[(word >> (4 * j)) & 0x0F];
    }
    return boundary;
}

bool MultipartBody::validBoundary(std::string_view boundary) noexcept {
    if (boundary.empty() || boundary.size() > 70) return false;
    for (unsigned char c : boundary)
        if (!isBoundaryChar(c)) return false;
    return true;
}

MultipartBody::MultipartBody() : boundary_(randomBoundary()) {}

MultipartBody::MultipartBody(std::string boundary) : boundary_(std::move(boundary)) {
    if (!validBoundary(boundary_)) throw AppError(unicodeToGbk(U"表单分隔符无效"));
}

void MultipartBody::addField(std::string name, std::string value) {
    // A value that contains the delimiter line would end its part early; with
    // a random boundary this only happens on purpose.
    const std::string delimiter = "--" + boundary_;
    if (value.find(delimiter) != std::string::npos || name.find(delimiter) != std::string::npos)
        throw AppError(unicodeToGbk(U"表单字段含有分隔符"));
    fields_.push_back({std::move(name), std::move(value)});
}

void MultipartBody::setFile(MultipartFile file) {
    if (hasFile_) throw AppError(unicodeToGbk(U"表单已有文件部分"));
    if (!isPlainMediaType(file.contentType)) throw AppError(unicodeToGbk(U"文件部分的类型无效"));
    file_ = std::move(file);
    hasFile_ = true;
}

std::string MultipartBody::contentType() const { return "multipart/form-data; boundary=" + boundary_; }

std::string MultipartBody::head() const {
    std::string out;
    for (const FormField& field : fields_) {
        out += "--" + boundary_ + kCrlf;
        out += "Content-Disposition: form-data; name=" + quoteDispositionValue(field.name) + kCrlf;
        out += kCrlf;
        out += field.value;
        out += kCrlf;
    }
    if (hasFile_) {
        out += "--" + boundary_ + kCrlf;
        out += "Content-Disposition: form-data; name=" + quoteDispositionValue(file_.fieldName) +
               "; filename=" + quoteDispositionValue(file_.fileName) + kCrlf;
        out += "Content-Type: " + file_.contentType + kCrlf;
        out += "Content-Transfer-Encoding: binary";
        out += kCrlf;
        out += kCrlf;
    }
    return out;
}

std::string MultipartBody::tail() const {
    std::string out;
    if (hasFile_) out += kCrlf;
    out += "--" + boundary_ + "--" + kCrlf;
    return out;
}

std::uint64_t MultipartBody::totalSize(std::uint64_t fileBytes) const {
    return head().size() + (hasFile_ ? fileBytes : 0) + tail().size();
}

}  // namespace orvo
