#include "platform/DateConventions.h"

namespace olvo {

void SetDateOrder(DateTimeConventions& out, const std::string& fields, char separator) {
    if (fields.rfind("dm", 0) == 0)
        out.order = DateTimeConventions::Order::DayMonthYear;
    else if (fields.rfind("y", 0) == 0)
        out.order = DateTimeConventions::Order::YearMonthDay;
    else
        out.order = DateTimeConventions::Order::MonthDayYear;
    out.dateSeparator = separator ? separator : '/';
}

void SetDesignators(DateTimeConventions& out, const std::string& am, const std::string& pm) {
    if (am.empty() || pm.empty()) return;
    out.am = am;
    out.pm = pm;
}

}  // namespace olvo
