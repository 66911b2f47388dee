#pragma once
// Version blocks and executable files built byte by byte, following the Windows layouts, so the
// reader is checked against the format rather than against our own generator.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace olvo::test {

using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::pair<std::string, std::string>>;

// One node of a block. valueLength counts 16-bit units for text values and bytes otherwise; the
// builders below fill it in.
struct BlockNode {
    std::string key;
    std::uint16_t type = 0;
    Bytes value;
    std::uint16_t valueLength = 0;
    std::vector<BlockNode> children;
};

// UTF-16LE of UTF-8 text that uses at most U+FFFF, with a terminating zero unit.
Bytes Utf16(const std::string& text);
// A String node with a text value.
BlockNode TextNode(const std::string& key, const std::string& value);
// The bytes of a node and its children, aligned as in a resource.
Bytes Serialize(const BlockNode& node);
// A complete VS_VERSIONINFO block: fixed file information, one string table named table holding
// strings in order, and a translation entry.
Bytes VersionBlock(const std::string& table, const Strings& strings);

// The eleven strings of a complete table, in the order the program's own block holds them, for
// an imaginary "Maker Tool" 2.3.4 by "Maker".
Strings FullStringTable();

struct PeOptions {
    bool pe32Plus = false;
    // The version resource's data; nothing gives a resource directory with only an icon.
    std::optional<Bytes> block;
};
// A minimal PE file: headers, one .rsrc section with a resource directory.
Bytes PeFile(const PeOptions& options);

// A minimal ELF file (no program headers) whose only content is a section named sectionName
// holding contents, in either class and byte order.
Bytes ElfFile(bool is64, bool bigEndian, const std::string& sectionName, const Bytes& contents);

std::string AsString(const Bytes& bytes);

}  // namespace olvo::test
