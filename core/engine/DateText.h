#pragma once
// The date-time text of the split descriptor's second line: the source's last-write time in the
// two-second local file-date form, written and read back by the locale's conventions. The text
// is not self-describing; the writer and the reader share one DateTimeFormat.

#include <optional>
#include <string>

#include "platform/Clock.h"

namespace olvo {

class DateTimeFormat {
  public:
    explicit DateTimeFormat(DateTimeConventions conventions)
        : m_conventions(std::move(conventions)) {}

    // Short date (two-digit day and month, four-digit year, in the locale's order and with its
    // separator), one space, long time; the date alone when the time is exactly 00:00:00.
    std::string Format(const LocalDateTime& when) const;

    // Reads a text of the form Format writes, and the looser forms a person types (one-digit
    // fields, two-digit years, no seconds, a date alone). Nothing when it does not convert.
    std::optional<LocalDateTime> Parse(const std::string& text) const;

    const DateTimeConventions& Conventions() const { return m_conventions; }

  private:
    DateTimeConventions m_conventions;
};

// The text for a file time: local time with the seconds rounded down to an even number.
// Raises when the system cannot convert the time at all.
std::string FileDateText(FileTime time, const DateTimeFormat& format);

// The file time of a date-time text. Raises "'%s' is not a valid date and time" when the text does
// not convert; nothing (and no error) when its year lies outside 1980 to 2099.
std::optional<FileTime> FileTimeFromDateText(const std::string& text, const DateTimeFormat& format);

}  // namespace olvo
