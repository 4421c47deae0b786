#pragma once
// The one rule by which the system cuts a text into items at a delimiter:
// the request items at "&", the login values at "&", path items at "/".
#include <string>
#include <string_view>
#include <vector>

namespace orvo {

// Blanks and control characters (codes 1 to 32) around items are skipped, and
// one inside an unquoted item ends it as the delimiter does. An item that
// starts with a double quote runs to the matching quote (or the end), a
// doubled quote standing for one. A delimiter that ends the text adds a final
// empty item. The text ends at its first NUL, as the request string would at
// any C boundary.
std::vector<std::string> splitDelimited(std::string_view text, char delimiter);

// The last item of the text split at "/", or empty text when there is none.
std::string LastPathItem(std::string_view text);

// items[index]; a missing item raises "List index out of bounds (index)".
const std::string& listItemAt(const std::vector<std::string>& items, size_t index);

// The text after the item's first "="; the whole item when it has none. "="
// (0x3D) is never a GBK trail byte, so a plain search is exact.
std::string valueAfterEquals(const std::string& item);

}  // namespace orvo
