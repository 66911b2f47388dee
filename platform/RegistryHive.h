#pragma once
// A registry tree in memory and its text form, the form of a registry export:
//
//   Windows Registry Editor Version 5.00
//   <blank line>
//   [HKEY_CURRENT_USER\software\Kestrava\File Splitter]
//   "Split To Folder"="1"
//   "Count"=dword:0000000a
//   "Path"=hex(2):25,00,00,00
//   "Blob"=hex:01,ff
//   "Other"=hex(b):00,00
//   @="the key's default value"
//
// Names and texts are quoted with \\ and \" escapes; dword: holds eight hex digits of a REG_DWORD;
// hex: is REG_BINARY and hex(N): any type N (hexadecimal), as comma-separated byte pairs, which may
// continue on the next line after a trailing backslash. A quoted text is a REG_SZ whose data is
// the text and one zero byte. Lines starting with ';' are comments; CR LF line ends are accepted.
// Both functions are pure, so they can be tested and fuzzed on their own.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace olvo {

// A name as it is compared: ASCII letters folded to lower case.
std::string FoldRegistryName(std::string_view name);

struct HiveValue {
    std::string name;
    RegistryValue value;
    bool operator==(const HiveValue&) const = default;
};

// One key: its path below HKEY_CURRENT_USER as first given, and its values in the order in which
// they were first set.
class HiveKey {
  public:
    HiveKey() = default;
    explicit HiveKey(std::string path) : m_path(std::move(path)) {}

    const std::string& Path() const { return m_path; }
    const std::vector<HiveValue>& Values() const { return m_values; }
    const RegistryValue* Find(std::string_view name) const;
    // Replaces the value of that name (keeping the stored case of its name) or adds it. A name
    // must pass IsValidValueName for the tree to be written.
    void Set(std::string_view name, RegistryValue value);

    bool operator==(const HiveKey& other) const {
        return m_path == other.m_path && m_values == other.m_values;
    }

  private:
    std::string m_path;
    std::vector<HiveValue> m_values;
    std::map<std::string, std::size_t> m_index;  // folded name -> position in m_values
};

// The whole tree. Every ancestor of a key is a key too; the root (empty path) always exists.
class Hive {
  public:
    Hive();
    // The key at path, compared without regard to case; nothing when there is none.
    const HiveKey* Find(std::string_view path) const;
    HiveKey* Find(std::string_view path);
    // The key at path, created with its missing ancestors when needed. A new part takes the case
    // given here; the parts that exist keep theirs. Nothing when the path is not a valid key
    // path (an empty part, a line break).
    HiveKey* Create(std::string_view path);
    bool HasSubkeys(const HiveKey& key) const;
    // The keys ordered by their folded paths, so a parent comes before its children.
    const std::map<std::string, HiveKey>& Keys() const { return m_keys; }

    bool operator==(const Hive& other) const { return m_keys == other.m_keys; }

  private:
    std::map<std::string, HiveKey> m_keys;  // folded path -> key
};

// Whether name can be a value name in the text form (it holds no line feed).
bool IsValidValueName(std::string_view name);
// Limits of a key path. The registry itself allows more, but nothing of ours comes near them, and
// they keep a damaged or hostile hive from costing time that grows with the square of its size.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxKeyDepth = 64;
inline constexpr std::size_t kMaxKeyPathLength = 2048;

// Whether path can be a key path: parts separated by single backslashes, none empty, no line
// feed, within the limits above; the empty path is the root.
bool IsValidKeyPath(std::string_view path);

// The tree a hive file describes, or nothing when the file is not a hive at all: its first line
// is neither "Windows Registry Editor Version 5.00" nor "REGEDIT4", or it holds no line feed.
// The file may be UTF-16LE (with its byte order mark, as the registry editor exports, or
// without), or UTF-8 with or without a mark; texts come out as UTF-8. In a UTF-16 file the data
// of hex(1), hex(2) and hex(7) values is UTF-16 as well and comes out as UTF-8 (bytes that do not
// form such a text are kept as they are). Like the registry editor, the reader passes over a line
// it does not understand, and over the values of a key it does not understand or that lies
// outside HKEY_CURRENT_USER. A last line without its line feed is not read: the file was cut off
// there, possibly inside a value that would still look well-formed. A key named twice gathers
// the values of both; a value named twice keeps the later data. Linear in the size of the text
// apart from lookups.
std::optional<Hive> ParseHive(std::string_view file);

// The hive file of hive, as the registry editor exports one: UTF-16LE with its byte order mark,
// CR LF line ends, the data of hex(1), hex(2) and hex(7) values in UTF-16LE. ParseHive turns it
// back into an equal tree. Bytes that are not UTF-8 travel as the lone surrogates U+DC80 to
// U+DCFF, so that any data comes back unchanged.
std::string WriteHive(const Hive& hive);

// The text that WriteHive encodes, in UTF-8 with LF line ends: the form compared in tests. A key
// is written when it has values or no subkeys (the others follow from their descendants). A
// REG_SZ whose data is not one line of text and a single closing zero byte is written as hex(1):.
std::string HiveText(const Hive& hive);

}  // namespace olvo
