#pragma once
// Request bodies for forms: application/x-www-form-urlencoded, and
// multipart/form-data with ordinary fields and at most one file part. The file
// part's bytes are not held here: the body is a head, the file's bytes
// streamed by the client, and a tail, so a large file is never read whole
// into memory.
//
// Everything here works on bytes; text sent to the server is UTF-8, so
// callers convert before they build a body.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvo {

struct FormField {
    std::string name;
    std::string value;
};

inline constexpr char kUrlEncodedContentType[] = "application/x-www-form-urlencoded";

// Percent-encodes every byte outside the unreserved characters
// (A-Z a-z 0-9 - . _ ~), with upper-case hex digits; a blank becomes %20.
std::string percentEncode(std::string_view bytes);

// name=value pairs, each side percent-encoded, joined with "&".
std::string encodeUrlEncodedForm(const std::vector<FormField>& fields);

struct MultipartFile {
    std::string fieldName;
    std::string fileName;     // sent as it is given (a full path, if that is what the caller passes)
    std::string contentType;  // e.g. "application/octet-stream"
};

class MultipartBody {
public:
    // A fresh random boundary.
    MultipartBody();
    // A given boundary (1 to 70 characters from the set a boundary may use);
    // throws AppError otherwise.
    explicit MultipartBody(std::string boundary);

    // Throws AppError when the value happens to contain the delimiter line.
    void addField(std::string name, std::string value);
    // The file part always goes after the fields. Throws AppError for a
    // content type that is not a plain media type, or for a second file.
    void setFile(MultipartFile file);
    bool hasFile() const noexcept { return hasFile_; }

    const std::string& boundary() const noexcept { return boundary_; }
    // The request's Content-Type header value.
    std::string contentType() const;
    // Everything before the file's bytes: the field parts and, when there is
    // a file, its part header. Without a file, head() + tail() is the body.
    std::string head() const;
    // Everything after the file's bytes: the line break that ends the file
    // part (when there is one) and the closing delimiter.
    std::string tail() const;
    // Size of the whole body for a file of fileBytes bytes.
    std::uint64_t totalSize(std::uint64_t fileBytes) const;

    static std::string randomBoundary();
    static bool validBoundary(std::string_view boundary) noexcept;

private:
    std::string boundary_;
    std::vector<FormField> fields_;
    MultipartFile file_;
    bool hasFile_ = false;
};

// A quoted parameter value of Content-Disposition: a double quote, CR, LF and
// other control bytes are percent-encoded, as browsers do, so a hostile name
// can neither end the quotes nor start a header line.
std::string quoteDispositionValue(std::string_view bytes);

// "type/subtype", both tokens, nothing else: safe to put into a header.
bool isPlainMediaType(std::string_view text) noexcept;

}  // namespace orvo
