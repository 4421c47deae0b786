#pragma once
// The document parameters of a request: the file address after "filename"
// and the five items that follow it, found by position.
#include <string>
#include <string_view>

namespace orvo {

// All GBK text, empty until the request is parsed. The main window derives
// from this, so the fields are its members.
struct RequestFields {
    std::string FFileUrl;    // the report to download, as given
    std::string FFileExt;    // extension of FFileUrl, dot included
    std::string FFileTitle;  // decoded
    std::string FServerUrl;  // as given
    std::string FFileType;   // decoded
    std::string FFileGuid;   // decoded
};

// Cuts the parameters out of the plain request. Returns false, changing
// nothing, when there is no "filename". With only the file address, the other
// fields are left as they are. Once a second item exists the items up to the
// sixth are required: a missing one raises "List index out of bounds (n)"
// after the fields cut before it have been stored (fully decoded).
bool ParseRequestParameters(std::string_view request, RequestFields& fields);

// The text from the last "." that follows the last "\" or ":", or empty text.
// "/" does not count as a separator. GBK-aware: a "\" that is the second
// byte of a double-byte character is part of that character.
std::string fileExtension(std::string_view url);

}  // namespace orvo
