#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "core/engine/DateText.h"
#include "core/engine/EngineError.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace olvo {
namespace {

DateTimeConventions DayMonthYear() {
    DateTimeConventions c;
    c.order = DateTimeConventions::Order::DayMonthYear;
    return c;
}

TEST(DateText, FollowsTheLocaleOrderAndSeparators) {
    const LocalDateTime when{2005, 3, 25, 14, 3, 52};
    EXPECT_EQ(DateTimeFormat(DayMonthYear()).Format(when), "25/03/2005 14:03:52");

    DateTimeConventions us;  // month first, 12-hour clock
    us.twelveHour = true;
    EXPECT_EQ(DateTimeFormat(us).Format(when), "03/25/2005 2:03:52 PM");
    EXPECT_EQ(DateTimeFormat(us).Format({2005, 3, 25, 0, 30, 0}), "03/25/2005 12:30:00 AM");

    DateTimeConventions iso;
    iso.order = DateTimeConventions::Order::YearMonthDay;
    iso.dateSeparator = '-';
    iso.timeSeparator = '.';
    EXPECT_EQ(DateTimeFormat(iso).Format(when), "2005-03-25 14.03.52");
}

TEST(DateText, MidnightWritesTheDateAlone) {
    EXPECT_EQ(DateTimeFormat(DayMonthYear()).Format({2010, 1, 2, 0, 0, 0}), "02/01/2010");
}

TEST(DateText, ReadsBackWhatItWritesUnderEachConvention) {
    DateTimeConventions twelve;
    twelve.twelveHour = true;
    DateTimeConventions dots = DayMonthYear();
    dots.dateSeparator = '.';
    for (const auto& conventions : {DayMonthYear(), twelve, dots}) {
        const DateTimeFormat format(conventions);
        for (const LocalDateTime when :
             {LocalDateTime{2005, 3, 25, 14, 3, 52}, LocalDateTime{1999, 12, 31, 0, 0, 0},
              LocalDateTime{2024, 2, 29, 12, 0, 2}, LocalDateTime{2001, 7, 4, 0, 59, 58}}) {
            const auto back = format.Parse(format.Format(when));
            ASSERT_TRUE(back) << format.Format(when);
            EXPECT_EQ(*back, when) << format.Format(when);
        }
    }
}

TEST(DateText, RejectsWhatIsNotADate) {
    const DateTimeFormat format(DayMonthYear());
    for (const char* text :
         {"", "yesterday", "32/01/2005", "29/02/2005", "01/13/2005", "25/03/2005 25:00:00",
          "25/03/2005 14:60", "25-03-2005", "25/03/2005 14:03:52 extra", "1/2/3/4"}) {
        EXPECT_FALSE(format.Parse(text)) << text;
    }
    EXPECT_TRUE(format.Parse("  5/3/05 9:07 "));
}

TEST(DateText, FileTimesRoundDownToEvenSecondsAndLeaveOddYearsAlone) {
    const DateTimeFormat format(DayMonthYear());                         // tests run with TZ=UTC
    EXPECT_EQ(FileDateText(1111759433, format), "25/03/2005 14:03:52");  // :53 written as :52
    EXPECT_EQ(FileTimeFromDateText("25/03/2005 14:03:53", format), 1111759432);
    EXPECT_FALSE(FileTimeFromDateText("01/01/1979 10:00:00", format));
    EXPECT_FALSE(FileTimeFromDateText("01/01/2100", format));
    EXPECT_EQ(FileDateText(0, format),
              "01/01/1970");  // outside the file-date years, written all the same
    try {
        FileTimeFromDateText("soon", format);
        ADD_FAILURE();
    } catch (const EngineError& e) {
        EXPECT_STREQ(e.what(), "'soon' is not a valid date and time");
    }
}

#ifndef _WIN32
// Real locales, made by localedef in the test's own folder: the line holds ASCII alone, reads
// back in its own locale, and (where the text tells) in C as well.
TEST(DateText, EachLocaleWritesAsciiThatReadsBack) {
    test::TempDir dir;
    const struct {
        const char* locale;
        const char* text;
        bool readsInC;
    } cases[] = {
        {"en_US.UTF-8", "03/07/2025 2:05:32 PM", true},
        {"en_GB.UTF-8", "07/03/2025 14:05:32", false},  // C takes it for the 3rd of July
        {"de_DE.UTF-8", "07.03.2025 14:05:32", false},
        {"ja_JP.UTF-8", "2025/03/07 14:05:32", true},  // 年月日 and 時分秒 are not ASCII
    };
    const char* oldPath = std::getenv("LOCPATH");
    ::setenv("LOCPATH", dir.Path().c_str(), 1);
    const LocalDateTime when{2025, 3, 7, 14, 5, 32};
    for (const auto& c : cases) {
        const std::string name(c.locale);
        const auto made =
            test::RunProgram("/usr/bin/localedef",
                             {"-i", name.substr(0, name.find('.')), "-f", "UTF-8", dir / name});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        ASSERT_NE(std::setlocale(LC_TIME, c.locale), nullptr) << c.locale;
        const DateTimeFormat format(CurrentDateTimeConventions());
        const std::string text = format.Format(when);
        EXPECT_EQ(text, c.text) << c.locale;
        EXPECT_EQ(format.Parse(text), when) << c.locale;
        std::setlocale(LC_TIME, "C");
        const auto inC = DateTimeFormat(CurrentDateTimeConventions()).Parse(text);
        EXPECT_EQ(inC == when, c.readsInC) << c.locale;
    }
    if (oldPath != nullptr)
        ::setenv("LOCPATH", oldPath, 1);
    else
        ::unsetenv("LOCPATH");
}
#endif

}  // namespace
}  // namespace olvo
