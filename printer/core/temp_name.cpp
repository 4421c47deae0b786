#include "core/temp_name.h"

#include <cstdio>

#include "support/portable/app_error.h"
#include "support/portable/codepage.h"

namespace orvo {
namespace {

void requireRange(int value, int low, int high, const char* field) {
    if (value < low || value > high)
        throw AppError(unicodeToGbk(U"时间戳无效：") + field + " " + std::to_string(value));
}

}  // namespace

std::string timestampDigits(const LocalTimestamp& t) {
    requireRange(t.year, 0, 9999, "year");
    requireRange(t.month, 1, 12, "month");
    requireRange(t.day, 1, 31, "day");
    requireRange(t.hour, 0, 23, "hour");
    requireRange(t.minute, 0, 59, "minute");
    requireRange(t.second, 0, 59, "second");
    requireRange(t.millisecond, 0, 999, "millisecond");
    char digits[18];
    std::snprintf(digits, sizeof digits, "%04d%02d%02d%02d%02d%02d%03d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.millisecond);
    return std::string(digits, 17);
}

std::string timestampedFileName(const LocalTimestamp& time, std::string_view extension) {
    std::string name = timestampDigits(time);
    name.append(extension);
    return name;
}

}  // namespace orvo
