#pragma once
// Failures travel as exceptions up to the handler of the user event or timer
// tick that started the work. Messages are GBK text, as everything inside.
#include <stdexcept>
#include <string>

namespace orvo {

class AppError : public std::runtime_error {
public:
    explicit AppError(const std::string& gbkMessage) : std::runtime_error(gbkMessage) {}
};

// The text of the standard error box: a full stop is appended when the last
// character's code is greater than that of ".".
std::string errorBoxText(const std::string& message);

}  // namespace orvo
