#pragma once
// Finding the version-information block inside an executable file:
//   - a Windows PE file (PE32 or PE32+): the first language of the version resource (type
//     RT_VERSION = 16, name 1 when there is one, else the first name) in the resource directory;
//   - an ELF file: the contents of the section named kVersionSectionName, where our build puts
//     the block it generates (see version/CMakeLists.txt).
// The file is read where the headers point, never whole. Any other file holds no block.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/version/ByteSource.h"

namespace olvo {

inline constexpr std::string_view kVersionSectionName = ".olvo_version";

// A block is at most 65535 bytes: its length field has 16 bits.
inline constexpr std::size_t kMaxVersionBlockSize = 0xFFFF;

// The bytes of the block (at most kMaxVersionBlockSize of them, possibly followed by padding), or
// nothing when the source is not a PE or ELF file or holds no version block. The bytes are not
// checked: ParseVersionBlock does that. Never raises.
std::vector<std::uint8_t> FindVersionBlock(const ByteSource& source);

// FindVersionBlock on the file at path; nothing for a missing or unreadable file. Never raises.
std::vector<std::uint8_t> ReadVersionBlock(const std::string& path);

}  // namespace olvo
