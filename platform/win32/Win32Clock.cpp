// Local time and the user's date, time and number conventions from the Windows locale.
//
// Local time follows the time-zone rules for the date in question (the daylight-saving bias of
// that day, not of today), so that a time written in winter and read back in summer names the
// same instant; FileTimeToLocalFileTime would apply today's bias to every date.

#include <windows.h>

#include "platform/Clock.h"
#include "platform/DateConventions.h"
#include "platform/win32/Win32FileTime.h"

namespace olvo {

std::optional<LocalDateTime> ToLocalTime(FileTime time) {
    FILETIME utcTime{};
    SYSTEMTIME utc{}, local{};
    if (!ToWin32FileTime(time, utcTime) || !::FileTimeToSystemTime(&utcTime, &utc) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return std::nullopt;
    return LocalDateTime{local.wYear, local.wMonth,  local.wDay,
                         local.wHour, local.wMinute, local.wSecond};
}

std::optional<FileTime> FromLocalTime(const LocalDateTime& local) {
    if (local.year < 1601 || local.year > 30827 || local.month < 1 || local.month > 12 ||
        local.day < 1 || local.day > 31 || local.hour < 0 || local.hour > 23 || local.minute < 0 ||
        local.minute > 59 || local.second < 0 || local.second > 59)
        return std::nullopt;
    SYSTEMTIME wanted{};
    wanted.wYear = static_cast<WORD>(local.year);
    wanted.wMonth = static_cast<WORD>(local.month);
    wanted.wDay = static_cast<WORD>(local.day);
    wanted.wHour = static_cast<WORD>(local.hour);
    wanted.wMinute = static_cast<WORD>(local.minute);
    wanted.wSecond = static_cast<WORD>(local.second);
    FILETIME check{}, utcTime{};
    SYSTEMTIME utc{};
    // SystemTimeToFileTime refuses days that the month does not have (30 February).
    if (!::SystemTimeToFileTime(&wanted, &check) ||
        !::TzSpecificLocalTimeToSystemTime(nullptr, &wanted, &utc) ||
        !::SystemTimeToFileTime(&utc, &utcTime))
        return std::nullopt;
    return FromWin32FileTime(utcTime);
}

namespace {

std::string LocaleText(LCTYPE type) {
    char buffer[128];
    const int n = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer) : std::string();
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A locale picture such as "M/d/yyyy", "dd.MM.yyyy" or "h:mm:ss tt" as a list of its pieces:
// each field letter run becomes that letter, quoted text and other characters stay as they are
// (quotes dropped). So "dd.MM.yyyy" gives "d.M.y" and "d 'de' MMMM" "d de M".
std::string Skeleton(const std::string& picture) {
    std::string out;
    for (std::size_t i = 0; i < picture.size();) {
        const char c = picture[i];
        if (c == '\'') {
            const std::size_t end = picture.find('\'', i + 1);
            out += picture.substr(i + 1, (end == std::string::npos ? picture.size() : end) - i - 1);
            i = end == std::string::npos ? picture.size() : end + 1;
        } else if (IsLetter(c)) {
            out += c;
            while (i < picture.size() && picture[i] == c) ++i;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

void ReadShortDate(const std::string& picture, DateTimeConventions& out) {
    const std::string skeleton = Skeleton(picture);
    std::string order;
    char separator = 0;
    for (const char c : skeleton) {
        if (c == 'd' || c == 'M' || c == 'y') {
            // The picture's month is 'M' ('m' would be minutes); the shared reader wants 'm'.
            const char field = c == 'M' ? 'm' : c;
            if (order.find(field) == std::string::npos) order += field;
        } else if (!separator && !order.empty() && c != ' ' && !IsLetter(c) &&
                   !(static_cast<unsigned char>(c) & 0x80)) {
            separator = c;
        }
    }
    SetDateOrder(out, order, separator);
}

void ReadLongTime(const std::string& picture, DateTimeConventions& out) {
    const std::string skeleton = Skeleton(picture);
    out.twelveHour = skeleton.find('h') != std::string::npos;
    const std::size_t hour = skeleton.find_first_of("hH");
    SetTimeSeparator(
        out, hour != std::string::npos && hour + 1 < skeleton.size() ? skeleton[hour + 1] : ':');
}

}  // namespace

DateTimeConventions CurrentDateTimeConventions() {
    DateTimeConventions conventions;
    ReadShortDate(LocaleText(LOCALE_SSHORTDATE), conventions);
    ReadLongTime(LocaleText(LOCALE_STIMEFORMAT), conventions);
    if (conventions.twelveHour)
        SetDesignators(conventions, LocaleText(LOCALE_S1159), LocaleText(LOCALE_S2359));
    return conventions;
}

std::string CurrentThousandsSeparator() {
    const std::string separator = LocaleText(LOCALE_STHOUSAND);
    return separator.empty() ? "," : separator;
}

}  // namespace olvo
