#pragma once
// The part of reading a locale's date and time conventions that does not depend on the system
// the locale comes from. Each clock backend reads its own locale's formats and ends with these.

#include <string>

#include "platform/Clock.h"

namespace olvo {

// Only ASCII goes into a descriptor's date line, so that it reads the same in every locale and
// code page: a separator or designator the locale writes with other characters is replaced.

// Sets the date order and separator of out from a short date whose fields come in the order of
// fields ('d' day, 'm' month, 'y' year): day then month first gives DayMonthYear, year first
// YearMonthDay, anything else (no fields too) MonthDayYear. A separator that is not ASCII
// punctuation (0 when none was found, or the first byte of a multi-byte character) is '/'.
void SetDateOrder(DateTimeConventions& out, const std::string& fields, char separator);

// The time separator: separator when it is ASCII punctuation, ':' otherwise.
void SetTimeSeparator(DateTimeConventions& out, char separator);

// Takes a twelve-hour locale's designators of the hours before and after noon. One of them empty
// or not printable ASCII leaves both as they were ("AM" and "PM").
void SetDesignators(DateTimeConventions& out, const std::string& am, const std::string& pm);

}  // namespace olvo
