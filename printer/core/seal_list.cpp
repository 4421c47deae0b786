#include "core/seal_list.h"

#include <nlohmann/json.hpp>

#include "support/portable/app_error.h"

namespace orvo {

std::vector<std::string> sealPictureUrls(std::string_view utf8Reply) {
    const nlohmann::json reply = nlohmann::json::parse(utf8Reply.begin(), utf8Reply.end(), nullptr, false);
    if (!reply.is_object()) throw AppError("The seal list is not a JSON object");
    const auto data = reply.find("data");
    if (data == reply.end() || !data->is_array()) throw AppError("The seal list has no \"data\" array");
    std::vector<std::string> urls;
    for (const auto& seal : *data) {
        const auto name = seal.is_object() ? seal.find("fname") : seal.end();
        if (!seal.is_object() || name == seal.end() || !name->is_string())
            throw AppError("A seal of the list has no \"fname\" text");
        urls.push_back(name->get<std::string>());
    }
    return urls;
}

}  // namespace orvo
