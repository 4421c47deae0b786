#include "core/upload_reply.h"

#include <nlohmann/json.hpp>

#include "support/portable/codepage.h"

namespace orvo {
namespace {

// A member as text, the way a scalar reads as text; objects, arrays and
// null have no text form the reply could mean.
std::optional<std::string> memberText(const nlohmann::json& reply, const char* name) {
    auto it = reply.find(name);
    if (it == reply.end()) return std::nullopt;
    if (it->is_string()) return it->get<std::string>();
    if (it->is_number() || it->is_boolean()) return it->dump();
    return std::nullopt;
}

}  // namespace

std::optional<std::string> uploadReplyAlert(std::string_view utf8Reply) {
    const nlohmann::json reply = nlohmann::json::parse(utf8Reply, nullptr, /*allow_exceptions=*/false);
    if (!reply.is_object()) return std::nullopt;
    const std::optional<std::string> error = memberText(reply, "error");
    if (!error) return std::nullopt;
    if (*error == "0") return unicodeToGbk(U"文件上传保存成功！");
    const std::optional<std::string> message = memberText(reply, "msg");
    if (!message) return std::nullopt;
    // The parser accepted only valid UTF-8.
    return unicodeToGbk(decodeUtf8(*message).value_or(std::u32string()));
}

}  // namespace orvo
