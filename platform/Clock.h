#pragma once
// Local time and the date and time conventions of the user's locale.

#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace olvo {

struct LocalDateTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
    bool operator==(const LocalDateTime&) const = default;
};

// The local calendar time of a file time, or nothing when the system cannot convert it.
std::optional<LocalDateTime> ToLocalTime(FileTime time);
// The file time of a local calendar time, or nothing when it does not exist.
std::optional<FileTime> FromLocalTime(const LocalDateTime& local);

// How the user's locale writes a date and a time.
struct DateTimeConventions {
    enum class Order { DayMonthYear, MonthDayYear, YearMonthDay };
    Order order = Order::MonthDayYear;
    char dateSeparator = '/';
    char timeSeparator = ':';
    bool twelveHour = false;
    std::string am = "AM";
    std::string pm = "PM";
};

// The conventions of LC_TIME as the process has set it.
DateTimeConventions CurrentDateTimeConventions();

// The thousands separator of LC_NUMERIC; a comma where the locale defines none.
std::string CurrentThousandsSeparator();

}  // namespace olvo
