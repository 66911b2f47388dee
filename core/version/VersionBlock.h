#pragma once
// The version-information block (VS_VERSIONINFO) as Windows stores it in a version resource, and as
// our build embeds it in our own executables. The block is a tree of nodes, each laid out as
//
//   WORD  wLength       bytes of the node, its key, value and children (not the padding after it)
//   WORD  wValueLength  size of the value: bytes for binary values, 16-bit units for text values
//   WORD  wType         1 text value, 0 binary value
//   WCHAR szKey[]       UTF-16LE, zero-terminated
//   padding to a 32-bit boundary (counted from the start of the block)
//   value               e.g. VS_FIXEDFILEINFO at the root, the text of a String node
//   padding to a 32-bit boundary
//   children            nodes, each starting on a 32-bit boundary
//
// with the root "VS_VERSION_INFO" holding "StringFileInfo" (string tables named by language and
// code page, e.g. "040904E4", each holding String nodes) and "VarFileInfo" ("Translation").
//
// The parser reads outside data: any sequence of bytes yields either a tree or nothing, without
// reading outside the buffer, and in time and memory linear in its size.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace olvo {

struct VersionNode {
    std::string key;                  // UTF-8
    std::uint16_t type = 0;           // 1 text, 0 binary
    std::vector<std::uint8_t> value;  // raw bytes, clipped to the node
    std::vector<VersionNode> children;
};

// The tree of the block at the start of bytes. Nothing when the bytes do not start with a node
// keyed "VS_VERSION_INFO" that fits in them. A damaged child ends its parent's list of children:
// what came before it is kept.
std::optional<VersionNode> ParseVersionBlock(std::span<const std::uint8_t> bytes);

// The node reached by a sub-block path such as "StringFileInfo\040904E4\CompanyName": keys are
// separated by backslashes and matched without regard to ASCII letter case, the first matching
// child wins; an empty path (or "\") names the root. Null when the path leads nowhere.
const VersionNode* FindVersionNode(const VersionNode& root, std::string_view path);

// The text value of the node at path, converted from UTF-16 to UTF-8 and taken up to its first
// zero character; empty text when the node's value is empty. Nothing when there is no such node.
std::optional<std::string> QueryVersionText(const VersionNode& root, std::string_view path);

// UTF-16LE bytes as UTF-8, up to the first zero unit; an odd last byte is dropped and unpaired
// surrogates become U+FFFD.
std::string Utf16ToUtf8(std::span<const std::uint8_t> bytes);

}  // namespace olvo
