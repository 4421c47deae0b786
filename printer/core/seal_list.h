#pragma once
// The seal list the server sends: a JSON object whose "data" array holds one
// object per seal, with "fname" the absolute URL of its JPEG picture.
#include <string>
#include <string_view>
#include <vector>

namespace orvo {

// The picture URLs in list order, as UTF-8. Throws AppError when the reply
// is not such an object, or an element has no "fname" string.
std::vector<std::string> sealPictureUrls(std::string_view utf8Reply);

}  // namespace orvo
