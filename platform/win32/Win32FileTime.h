#pragma once
// FILETIME (100-nanosecond intervals since 1601-01-01 UTC) and our FileTime (seconds since
// 1970-01-01 UTC). Whole seconds only: the fraction of a FILETIME is dropped, rounding towards the
// earlier second, so that a time and its file time name the same second.

#include <windows.h>

#include "platform/FileSystem.h"

namespace olvo {

inline constexpr std::int64_t kTicksPerSecond = 10000000;
// Seconds from 1601-01-01 to 1970-01-01.
inline constexpr std::int64_t kEpochDifference = 11644473600;

inline FileTime FromWin32FileTime(const FILETIME& time) {
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    // FILETIME values above 2^63 are not valid times; the division keeps them in range anyway.
    return static_cast<FileTime>(ticks / kTicksPerSecond) - kEpochDifference;
}

// False when time lies before 1601 or beyond what a FILETIME holds.
inline bool ToWin32FileTime(FileTime time, FILETIME& out) {
    if (time < -kEpochDifference ||
        time > static_cast<FileTime>(INT64_MAX / kTicksPerSecond) - kEpochDifference)
        return false;
    const auto ticks = static_cast<std::uint64_t>(time + kEpochDifference) * kTicksPerSecond;
    out.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    out.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return true;
}

}  // namespace olvo
