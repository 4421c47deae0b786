#pragma once
// The time-stamped name under which a downloaded report is kept in the
// temporary folder: local date and time as "YYYYMMDDHHMMSSZZZ" (17 digits)
// followed by the report's extension. Two downloads in the same millisecond
// get the same name, and the later write replaces the earlier file.
#include <string>
#include <string_view>

namespace orvo {

struct LocalTimestamp {
    int year = 0;         // 0 to 9999
    int month = 0;        // 1 to 12
    int day = 0;          // 1 to 31
    int hour = 0;         // 0 to 23
    int minute = 0;       // 0 to 59
    int second = 0;       // 0 to 59
    int millisecond = 0;  // 0 to 999
};

// The 17 digits. A field outside its range raises an AppError rather than
// producing a name of another length.
std::string timestampDigits(const LocalTimestamp& time);

// The 17 digits followed by the extension, dot included, as given.
std::string timestampedFileName(const LocalTimestamp& time, std::string_view extension);

}  // namespace orvo
