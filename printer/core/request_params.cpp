#include "core/request_params.h"

#include <vector>

#include "support/portable/app_error.h"
#include "support/portable/codepage.h"
#include "support/portable/delimited_list.h"
#include "support/portable/gbk.h"
#include "support/portable/percent.h"

namespace orvo {
namespace {

constexpr std::string_view kFileNameMarker = "filename";
constexpr size_t kItemsAfterUrl = 5;

std::string decodedValue(const std::string& item) { return utf8StepToGbk(percentDecode(valueAfterEquals(item))); }

}  // namespace

std::string fileExtension(std::string_view url) {
    size_t lastDot = std::string_view::npos;
    size_t pos = 0;
    while (pos < url.size()) {
        const size_t length = gbkCharLength(url, pos);
        if (length == 1) {
            const char c = url[pos];
            if (c == '.')
                lastDot = pos;
            else if (c == '\\' || c == ':')
                lastDot = std::string_view::npos;
        }
        pos += length;
    }
    return lastDot == std::string_view::npos ? std::string() : std::string(url.substr(lastDot));
}

bool ParseRequestParameters(std::string_view request, RequestFields& fields) {
    const size_t marker = request.find(kFileNameMarker);
    if (marker == std::string_view::npos) return false;
    // The eight letters and one separator, normally "=".
    const size_t start = marker + kFileNameMarker.size() + 1;
    const std::vector<std::string> items =
        splitDelimited(start < request.size() ? request.substr(start) : std::string_view(), '&');

    fields.FFileUrl = listItemAt(items, 0);
    fields.FFileExt = fileExtension(fields.FFileUrl);
    if (items.size() == 1) return true;

    // Each field is stored in its final, decoded form as soon as it is cut, so
    // a request that stops early leaves no half-decoded value behind.
    fields.FFileTitle = decodedValue(listItemAt(items, 1));
    fields.FServerUrl = valueAfterEquals(listItemAt(items, 2));
    fields.FFileType = decodedValue(listItemAt(items, 3));
    fields.FFileGuid = decodedValue(listItemAt(items, 4));
    (void)listItemAt(items, kItemsAfterUrl);  // present but unused; still required
    return true;
}

}  // namespace orvo
