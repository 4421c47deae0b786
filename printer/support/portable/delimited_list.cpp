#include "support/portable/delimited_list.h"

#include "support/portable/app_error.h"

namespace orvo {
namespace {

// Codes 1 to 32. NUL never reaches the scanners: the text is cut at it first.
bool isBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

constexpr char kQuote = '"';

}  // namespace

// The delimiters, the quote and every byte up to 32 lie below 0x40, so none
// of them can be the trail byte of a GBK pair and a byte-wise scan finds them
// exactly where a character-wise one would.
std::vector<std::string> splitDelimited(std::string_view text, char delimiter) {
    if (size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);

    std::vector<std::string> items;
    const size_t n = text.size();
    size_t p = 0;
    auto skipBlanks = [&] {
        while (p < n && isBlank(text[p])) ++p;
    };

    skipBlanks();
    while (p < n) {
        std::string item;
        if (text[p] == kQuote) {
            ++p;
            while (p < n) {
                if (text[p] == kQuote) {
                    if (p + 1 < n && text[p + 1] == kQuote) {
                        item += kQuote;
                        p += 2;
                        continue;
                    }
                    ++p;  // the closing quote
                    break;
                }
                item += text[p++];
            }
        } else {
            const size_t start = p;
            while (p < n && !isBlank(text[p]) && text[p] != delimiter) ++p;
            item.assign(text.substr(start, p - start));
        }
        items.push_back(std::move(item));

        skipBlanks();
        if (p < n && text[p] == delimiter) {
            if (p + 1 == n) items.emplace_back();
            ++p;
            skipBlanks();
        }
    }
    return items;
}

std::string LastPathItem(std::string_view text) {
    std::vector<std::string> items = splitDelimited(text, '/');
    if (items.empty()) return {};
    return std::move(items.back());
}

const std::string& listItemAt(const std::vector<std::string>& items, size_t index) {
    if (index >= items.size()) throw AppError("List index out of bounds (" + std::to_string(index) + ")");
    return items[index];
}

std::string valueAfterEquals(const std::string& item) {
    const size_t equals = item.find('=');
    return equals == std::string::npos ? item : item.substr(equals + 1);
}

}  // namespace orvo
