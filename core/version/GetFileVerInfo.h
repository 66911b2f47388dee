#pragma once
// The named text values ("version strings") of an executable file's version-information block.
// Every call reads the file afresh; nothing is kept between calls. Neither operation raises: a
// missing or unreadable file, a file without a version block, a damaged block and a missing key
// all come out as "no value".
//
// Values are looked up under the fixed sub-block kVersionQueryPrefix + key, keys matched without
// regard to letter case. The block's own translation table is not consulted: strings stored under
// any language and code page other than 0409/04E4 are not found. Values are returned as UTF-8
// (on Windows in the system code page, as every text there).

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace olvo {

// The keys callers address by index, in this order. "LegalTradeMarks" finds the usual
// "LegalTrademarks" because case does not matter.
inline constexpr std::array<std::string_view, 11> VersionKeys = {
    "CompanyName",    "FileDescription", "FileVersion",      "InternalName",
    "LegalCopyright", "LegalTradeMarks", "OriginalFilename", "ProductName",
    "ProductVersion", "Comments",        "Release",
};

// Indices into VersionKeys.
enum VersionKeyIndex : int {
    kVersionCompanyName = 0,
    kVersionFileDescription = 1,
    kVersionFileVersion = 2,
    kVersionInternalName = 3,
    kVersionLegalCopyright = 4,
    kVersionLegalTrademarks = 5,
    kVersionOriginalFilename = 6,
    kVersionProductName = 7,
    kVersionProductVersion = 8,
    kVersionComments = 9,
    kVersionRelease = 10,
};

// Language 0409 (English, United States), code page 04E4 (Windows-1252).
inline constexpr std::string_view kVersionQueryPrefix = "StringFileInfo\\040904E4\\";
// What a value that exists but is empty reads as.
inline constexpr std::string_view kUnknownVersionValue = "(unknown)";

// Appends to list, in VersionKeys order, one entry per key the file's block holds: its value, or
// "(unknown)" when the value is empty. A key the block does not hold adds no entry (so later
// entries move up a place); a file without a block leaves list as it was.
void GetVersionStrings(const std::string& fileName, std::vector<std::string>& list);

// The value of VersionKeys[index] in the file's block, "(unknown)" when it is empty, or empty
// text when the file has no block or the block does not hold the key. An index outside 0..10 is a
// caller's mistake and also gives empty text.
std::string GetVersionString(const std::string& fileName, int index);

}  // namespace olvo
