#include "platform/DateConventions.h"

namespace olvo {
namespace {

bool IsAsciiPunctuation(char c) {
    return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') ||
           (c >= '{' && c <= '~');
}

bool IsPrintableAscii(const std::string& text) {
    for (const char c : text)
        if (c < ' ' || c > '~') return false;
    return true;
}

}  // namespace

void SetDateOrder(DateTimeConventions& out, const std::string& fields, char separator) {
    if (fields.rfind("dm", 0) == 0)
        out.order = DateTimeConventions::Order::DayMonthYear;
    else if (fields.rfind("y", 0) == 0)
        out.order = DateTimeConventions::Order::YearMonthDay;
    else
        out.order = DateTimeConventions::Order::MonthDayYear;
    out.dateSeparator = IsAsciiPunctuation(separator) ? separator : '/';
}

void SetTimeSeparator(DateTimeConventions& out, char separator) {
    out.timeSeparator = IsAsciiPunctuation(separator) ? separator : ':';
}

void SetDesignators(DateTimeConventions& out, const std::string& am, const std::string& pm) {
    if (am.empty() || pm.empty() || !IsPrintableAscii(am) || !IsPrintableAscii(pm)) return;
    out.am = am;
    out.pm = pm;
}

}  // namespace olvo
