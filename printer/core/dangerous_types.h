#pragma once
// File types that run as programs when the shell opens them. A report of
// such a type, named by a link any web page can open, must never reach the
// shell.
#include <span>
#include <string_view>

namespace orvo {

// True for an extension (dot included, GBK) of a type on our list, in any
// case. Trailing dots and blanks do not count, as Windows drops them from
// file names (".bat." names a ".bat" file).
bool isDangerousExtension(std::string_view extension);

// The whole list, lower case, dot included.
std::span<const std::string_view> dangerousExtensions() noexcept;

}  // namespace orvo
