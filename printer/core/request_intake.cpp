#include "core/request_intake.h"

#include "core/payload_decoder.h"

namespace orvo {

std::string decodeRequestString(const std::string& request, std::string_view modulusText,
                                std::string_view exponentText) {
    const size_t marker = request.find("sys");
    if (marker == std::string::npos) return request;
    const size_t start = marker + 4;
    const std::string_view payload =
        start < request.size() ? std::string_view(request).substr(start) : std::string_view();
    // The web side enciphers with the 128-bit key.
    return DecodeSysPayload(payload, modulusText, exponentText, 0);
}

std::string modeOfRequest(const std::string& request) {
    const size_t marker = request.find("cmd");
    // Without "cmd" the marker counts as sitting before the text, so the mode
    // is read from where it would follow "cmd=" at the very start.
    const size_t start = marker == std::string::npos ? 3 : marker + 4;
    if (start >= request.size()) return {};
    return request.substr(start, 5);
}

}  // namespace orvo
