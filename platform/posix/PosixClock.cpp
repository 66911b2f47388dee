#include <langinfo.h>
#include <locale.h>

#include <cstring>
#include <ctime>

#include "platform/Clock.h"
#include "platform/DateConventions.h"

namespace olvo {

std::optional<LocalDateTime> ToLocalTime(FileTime time) {
    const auto t = static_cast<time_t>(time);
    struct tm tm {};
    if (::localtime_r(&t, &tm) == nullptr) return std::nullopt;
    return LocalDateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                         tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

std::optional<FileTime> FromLocalTime(const LocalDateTime& local) {
    struct tm tm {};
    tm.tm_year = local.year - 1900;
    tm.tm_mon = local.month - 1;
    tm.tm_mday = local.day;
    tm.tm_hour = local.hour;
    tm.tm_min = local.minute;
    tm.tm_sec = local.second;
    tm.tm_isdst = -1;
    const time_t t = ::mktime(&tm);
    if (t == static_cast<time_t>(-1) && !(tm.tm_year == 69 && tm.tm_mon == 11 && tm.tm_mday == 31))
        return std::nullopt;
    return static_cast<FileTime>(t);
}

namespace {

// Reads the order of the date fields and their separator from a strftime format such as
// "%d/%m/%Y", "%m/%d/%y", "%F" or "%Y.%m.%d.".
void ReadDateFormat(const std::string& format, DateTimeConventions& out) {
    std::string order;
    char separator = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            char f = format[++i];
            if (f == 'E' || f == 'O' || f == '-' || f == '_' || f == '0') {
                if (i + 1 >= format.size()) break;
                f = format[++i];
            }
            switch (f) {
                case 'd':
                case 'e':
                    order += 'd';
                    break;
                case 'm':
                case 'b':
                case 'B':
                case 'h':
                    order += 'm';
                    break;
                case 'y':
                case 'Y':
                case 'C':
                    order += 'y';
                    break;
                case 'D':
                    order += "mdy";
                    if (!separator) separator = '/';
                    break;
                case 'F':
                    order += "ymd";
                    if (!separator) separator = '-';
                    break;
                default:
                    break;
            }
        } else if (!separator && !order.empty() && c != ' ' &&
                   !(static_cast<unsigned char>(c) & 0x80)) {
            separator = c;
        }
    }
    SetDateOrder(out, order, separator);
}

void ReadTimeFormat(const std::string& format, DateTimeConventions& out) {
    out.twelveHour =
        format.find("%I") != std::string::npos || format.find("%l") != std::string::npos ||
        format.find("%r") != std::string::npos || format.find("%p") != std::string::npos;
    char separator = 0;
    for (std::size_t i = 0; i + 2 < format.size(); ++i) {
        if (format[i] == '%' &&
            (format[i + 1] == 'H' || format[i + 1] == 'I' || format[i + 1] == 'M') &&
            format[i + 2] != '%' && format[i + 2] != ' ') {
            separator = format[i + 2];
            break;
        }
    }
    // "%r" and "%T" stand for times with ':'; ja_JP's "%H時%M分%S秒" has no ASCII separator.
    SetTimeSeparator(out, separator);
}

}  // namespace

DateTimeConventions CurrentDateTimeConventions() {
    DateTimeConventions conventions;
    ReadDateFormat(::nl_langinfo(D_FMT), conventions);
    ReadTimeFormat(::nl_langinfo(T_FMT), conventions);
    if (conventions.twelveHour)
        SetDesignators(conventions, ::nl_langinfo(AM_STR), ::nl_langinfo(PM_STR));
    return conventions;
}

std::string CurrentThousandsSeparator() {
    const char* separator = ::nl_langinfo(THOUSEP);
    if (separator == nullptr || *separator == 0) return ",";
    return separator;
}

}  // namespace olvo
