#pragma once
// Reading values from INI-style text ("profile" text) by the rules of the Windows profile
// functions, so that a file written for the Windows program reads the same here:
//
// - lines end at LF, CR or CR LF; a UTF-8 byte order mark at the start is skipped;
// - a line whose first non-blank character is "[" and which holds a "]" opens a section, named by
//   the text between the "[" and the last "]", without surrounding blanks;
// - any other line is "key=value", split at the first "=", both sides without surrounding blanks
//   (a line without "=" is a key with an empty value); lines before the first section belong to
//   no section, so ";" comments need no rule of their own: they just never match a key;
// - section and key names match without regard to ASCII letter case; only the first section of a
//   name is searched, and within it the first key of a name counts;
// - a value enclosed in a matching pair of double or single quotes loses them; a value ends at
//   its first zero byte and is cut to kProfileValueLimit bytes (short of a broken UTF-8 sequence).
//
// Nothing here raises, whatever bytes the text holds; the text is outside data.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace olvo {

// The longest value returned, in bytes: what a 2048-character buffer holds.
inline constexpr std::size_t kProfileValueLimit = 2047;

// The value of key in section, or nothing when the section or the key is not there.
std::optional<std::string> ReadProfileString(std::string_view text, std::string_view section,
                                             std::string_view key);

// A signed 32-bit integer written in decimal, or in hexadecimal after "0x", "0X" or "$", with an
// optional sign before it and blanks around it; nothing for any other text, and for a number
// outside the signed 32-bit range.
std::optional<std::int32_t> ParseProfileInteger(std::string_view text);

// The value of key read as an integer (ParseProfileInteger); fallback when the key is missing or
// its value does not read as one.
std::int32_t ReadProfileInteger(std::string_view text, std::string_view section,
                                std::string_view key, std::int32_t fallback);

}  // namespace olvo
