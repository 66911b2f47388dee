#include "core/engine/DateText.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <stdexcept>
#include <vector>

#include "core/engine/EngineError.h"
#include "platform/Text.h"

namespace olvo {
namespace {

std::string TwoDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Splits text at separator into runs of 1 to 4 digits; false when anything else is found.
bool ReadNumbers(const std::string& text, char separator, std::vector<int>& numbers) {
    numbers.clear();
    std::size_t i = 0;
    while (true) {
        std::size_t digits = 0;
        int value = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            if (++digits > 4) return false;
            value = value * 10 + (text[i] - '0');
            ++i;
        }
        if (digits == 0) return false;
        numbers.push_back(value);
        if (i == text.size()) return true;
        if (text[i] != separator) return false;
        ++i;
    }
}

// The date's fields and the separator that parted them. Besides the locale's own separator, '/'
// is read, the one a locale whose own is not ASCII writes.
bool ReadDateFields(const std::string& datePart, const DateTimeConventions& conventions,
                    std::vector<int>& fields, char& separator) {
    separator = conventions.dateSeparator;
    if (ReadNumbers(datePart, separator, fields)) return true;
    separator = '/';
    return ReadNumbers(datePart, separator, fields);
}

// Day, month and (of three fields) year in the given order; two fields are a day and a month.
void AssignDateFields(DateTimeConventions::Order order, const std::vector<int>& fields,
                      LocalDateTime& result) {
    switch (order) {
        case DateTimeConventions::Order::DayMonthYear:
            result.day = fields[0];
            result.month = fields[1];
            if (fields.size() == 3) result.year = fields[2];
            break;
        case DateTimeConventions::Order::MonthDayYear:
            result.month = fields[0];
            result.day = fields[1];
            if (fields.size() == 3) result.year = fields[2];
            break;
        case DateTimeConventions::Order::YearMonthDay:
            if (fields.size() == 3) {
                result.year = fields[0];
                result.month = fields[1];
                result.day = fields[2];
            } else {
                result.month = fields[0];
                result.day = fields[1];
            }
            break;
    }
}

// How many digits the year field at yearIndex was written with (leading zeros count).
int YearDigits(const std::string& datePart, char separator, std::size_t yearIndex) {
    std::size_t start = 0;
    for (std::size_t n = 0; n < yearIndex; ++n) start = datePart.find(separator, start) + 1;
    const std::size_t end = datePart.find(separator, start);
    return static_cast<int>((end == std::string::npos ? datePart.size() : end) - start);
}

// The calendar date of a date text; a date without a year falls in the current one. A first
// field of four digits is a year whatever the locale's order, so such a line also reads in a
// locale that puts the year last (C among them).
std::optional<LocalDateTime> ReadDate(const std::string& datePart,
                                      const DateTimeConventions& conventions) {
    std::vector<int> fields;
    char separator = 0;
    if (!ReadDateFields(datePart, conventions, fields, separator)) return std::nullopt;
    if (fields.size() != 2 && fields.size() != 3) return std::nullopt;
    DateTimeConventions::Order order = conventions.order;
    if (fields.size() == 3 && datePart.find(separator) == 4)
        order = DateTimeConventions::Order::YearMonthDay;
    LocalDateTime result;
    if (fields.size() == 2) {
        const auto today = ToLocalTime(static_cast<FileTime>(std::time(nullptr)));
        result.year = today ? today->year : 0;
    }
    AssignDateFields(order, fields, result);
    if (fields.size() == 3) {
        const std::size_t yearIndex = order == DateTimeConventions::Order::YearMonthDay ? 0 : 2;
        if (YearDigits(datePart, separator, yearIndex) <= 2)
            result.year += result.year < 50 ? 2000 : 1900;
    }
    if (result.year < 1 || result.month < 1 || result.month > 12 || result.day < 1 ||
        result.day > DaysInMonth(result.year, result.month))
        return std::nullopt;
    return result;
}

enum class Meridiem { None, Morning, Afternoon };

// Removes an AM/PM designator (the locale's or the English one) that ends the time, with or
// without a blank before it, and says which it was.
Meridiem TakeMeridiem(std::string& timePart, const DateTimeConventions& conventions) {
    for (int pass = 0; pass < 2; ++pass) {
        const std::string& word = pass == 0 ? conventions.am : conventions.pm;
        const std::string& fallback = pass == 0 ? std::string("AM") : std::string("PM");
        for (const std::string* candidate : {&word, &fallback}) {
            if (candidate->empty() || timePart.size() < candidate->size()) continue;
            const std::size_t at = timePart.size() - candidate->size();
            if (StartsWithNoCase(std::string_view(timePart).substr(at), *candidate)) {
                timePart = std::string(Trim(std::string_view(timePart).substr(0, at)));
                return pass == 0 ? Meridiem::Morning : Meridiem::Afternoon;
            }
        }
    }
    return Meridiem::None;
}

// Hours, minutes and optional seconds, by the locale's separator or ':'; false when they do not
// make a time of day.
bool ReadTime(const std::string& timePart, Meridiem meridiem,
              const DateTimeConventions& conventions, LocalDateTime& result) {
    std::vector<int> fields;
    if (!ReadNumbers(timePart, conventions.timeSeparator, fields) &&
        !ReadNumbers(timePart, ':', fields))
        return false;
    if (fields.size() < 2 || fields.size() > 3) return false;
    result.hour = fields[0];
    result.minute = fields[1];
    result.second = fields.size() == 3 ? fields[2] : 0;
    if (meridiem != Meridiem::None) {
        if (result.hour < 1 || result.hour > 12) return false;
        result.hour %= 12;
        if (meridiem == Meridiem::Afternoon) result.hour += 12;
    }
    return result.hour <= 23 && result.minute <= 59 && result.second <= 59;
}

}  // namespace

std::string DateTimeFormat::Format(const LocalDateTime& when) const {
    const std::string sep(1, m_conventions.dateSeparator);
    const std::string day = TwoDigits(when.day), month = TwoDigits(when.month);
    const std::string year = std::to_string(when.year);
    std::string text;
    switch (m_conventions.order) {
        case DateTimeConventions::Order::DayMonthYear:
            text = day + sep + month + sep + year;
            break;
        case DateTimeConventions::Order::MonthDayYear:
            text = month + sep + day + sep + year;
            break;
        case DateTimeConventions::Order::YearMonthDay:
            text = year + sep + month + sep + day;
            break;
    }
    if (when.hour == 0 && when.minute == 0 && when.second == 0) return text;
    const std::string tsep(1, m_conventions.timeSeparator);
    if (m_conventions.twelveHour) {
        const int hour12 = when.hour % 12 == 0 ? 12 : when.hour % 12;
        text += ' ' + std::to_string(hour12) + tsep + TwoDigits(when.minute) + tsep +
                TwoDigits(when.second) + ' ' +
                (when.hour < 12 ? m_conventions.am : m_conventions.pm);
    } else {
        text += ' ' + TwoDigits(when.hour) + tsep + TwoDigits(when.minute) + tsep +
                TwoDigits(when.second);
    }
    return text;
}

std::optional<LocalDateTime> DateTimeFormat::Parse(const std::string& input) const {
    const std::string text = std::string(Trim(input));
    const auto space = text.find(' ');
    const std::string datePart = text.substr(0, space);
    std::string timePart = space == std::string::npos
                               ? std::string()
                               : std::string(Trim(std::string_view(text).substr(space)));
    auto result = ReadDate(datePart, m_conventions);
    if (!result || timePart.empty()) return result;
    const Meridiem meridiem = TakeMeridiem(timePart, m_conventions);
    if (!ReadTime(timePart, meridiem, m_conventions, *result)) return std::nullopt;
    return result;
}

std::string FileDateText(FileTime time, const DateTimeFormat& format) {
    auto local = ToLocalTime(time);
    if (!local) throw EngineError("Invalid argument to date encode");
    local->second -= local->second % 2;
    return format.Format(*local);
}

std::optional<FileTime> FileTimeFromDateText(const std::string& text,
                                             const DateTimeFormat& format) {
    const auto local = format.Parse(text);
    if (!local) throw EngineError("'" + text + "' is not a valid date and time");
    if (local->year < 1980 || local->year > 2099) return std::nullopt;
    LocalDateTime even = *local;
    even.second -= even.second % 2;
    return FromLocalTime(even);
}

}  // namespace olvo
