// The version block reader on any bytes: a version block is read from whatever file the caller
// names. Any bytes give a tree or nothing, every query on the tree answers, and the tree holds no
// more than the bytes did.

#include <cstdint>
#include <span>
#include <string>

#include "FuzzCheck.h"
#include "core/version/GetFileVerInfo.h"
#include "core/version/VersionBlock.h"

namespace {

// The bytes of the node's values and keys; each comes from its own part of the block.
std::size_t ContentSize(const olvo::VersionNode& node, int depth) {
    FUZZ_CHECK(depth <= 16);
    std::size_t total = node.value.size();
    for (const olvo::VersionNode& child : node.children) total += ContentSize(child, depth + 1);
    return total;
}

bool IsUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t extra = lead < 0x80         ? 0
                                  : (lead >> 5) == 6  ? 1
                                  : (lead >> 4) == 14 ? 2
                                  : (lead >> 3) == 30 ? 3
                                                      : 9;
        if (extra == 9 || extra >= text.size() - i) return false;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return false;
        i += extra + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace olvo;
    const std::span<const std::uint8_t> bytes(data, size);
    FUZZ_CHECK(IsUtf8(Utf16ToUtf8(bytes)));

    const auto root = ParseVersionBlock(bytes);
    if (!root) return 0;
    FUZZ_CHECK(root->key == "VS_VERSION_INFO");
    FUZZ_CHECK(ContentSize(*root, 0) <= size);

    // What GetVersionStrings asks, and a few paths that lead nowhere or back to the root.
    for (const std::string_view key : VersionKeys) {
        const auto text =
            QueryVersionText(*root, std::string(kVersionQueryPrefix) + std::string(key));
        if (text) FUZZ_CHECK(IsUtf8(*text));
    }
    FUZZ_CHECK(FindVersionNode(*root, "") == &*root);
    FUZZ_CHECK(FindVersionNode(*root, "\\") == &*root);
    QueryVersionText(*root, "\\VarFileInfo\\Translation");
    QueryVersionText(*root, "StringFileInfo\\\\040904e4\\");
    return 0;
}
