// The date-time reading of the split descriptor's second line, under any conventions the locale
// may give. The first input byte picks the conventions: below 128 one of the real ones in the
// table, for which a read date must also survive being written and read again; otherwise the next
// bytes make up separators and AM/PM words of their own. The rest is the text.

#include <array>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "core/engine/DateText.h"
#include "core/engine/EngineError.h"

namespace {

using olvo::DateTimeConventions;
using Order = DateTimeConventions::Order;

const std::array<DateTimeConventions, 6> kRealConventions = {{
    {Order::MonthDayYear, '/', ':', true, "AM", "PM"},
    {Order::MonthDayYear, '/', ':', false, "", ""},
    {Order::DayMonthYear, '.', ':', false, "", ""},
    {Order::DayMonthYear, '/', ':', true, "am", "pm"},
    {Order::YearMonthDay, '-', ':', false, "", ""},
    {Order::YearMonthDay, '/', '.', true, "vorm.", "nachm."},
}};

// Takes a byte from the front of the input; 0 when it is used up.
char Take(std::string_view& input) {
    if (input.empty()) return 0;
    const char c = input.front();
    input.remove_prefix(1);
    return c;
}

// A word of up to 7 bytes: its length first.
std::string TakeWord(std::string_view& input) {
    std::string word;
    for (int n = static_cast<unsigned char>(Take(input)) % 8; n > 0 && !input.empty(); --n)
        word += Take(input);
    return word;
}

bool DaysFit(const olvo::LocalDateTime& when) {
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return when.month >= 1 && when.month <= 12 && when.day >= 1 &&
           when.day <= kDays[when.month - 1];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input = AsText(data, size);
    const auto selector = static_cast<unsigned char>(Take(input));
    const bool real = selector < 128;
    DateTimeConventions conventions;
    if (real) {
        conventions = kRealConventions[selector % kRealConventions.size()];
    } else {
        conventions.order = static_cast<Order>(selector % 3);
        conventions.twelveHour = (selector & 4) != 0;
        conventions.dateSeparator = Take(input);
        conventions.timeSeparator = Take(input);
        conventions.am = TakeWord(input);
        conventions.pm = TakeWord(input);
    }
    const olvo::DateTimeFormat format(conventions);
    const std::string text(input);

    const auto when = format.Parse(text);
    if (when) {
        FUZZ_CHECK(DaysFit(*when));
        FUZZ_CHECK(when->hour >= 0 && when->hour <= 23);
        FUZZ_CHECK(when->minute >= 0 && when->minute <= 59);
        FUZZ_CHECK(when->second >= 0 && when->second <= 59);
        // Years are written with four digits and no more.
        if (real && when->year >= 1000 && when->year <= 9999) {
            const auto again = format.Parse(format.Format(*when));
            FUZZ_CHECK(again && *again == *when);
        }
    }
    try {
        const auto time = olvo::FileTimeFromDateText(text, format);
        FUZZ_CHECK(when.has_value());
        if (time) FUZZ_CHECK(when->year >= 1980 && when->year <= 2099);
    } catch (const olvo::EngineError&) {
        FUZZ_CHECK(!when);
    }
    return 0;
}
