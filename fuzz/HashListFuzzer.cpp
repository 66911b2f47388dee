// The .sha256 file of a set on any content: it comes with the pieces, from whoever made them, and
// may have been edited by hand. Reading never fails; what the split writes reads back the same.

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "core/engine/SplitSet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace olvo;
    const HashList list = ReadHashList(AsText(data, size));

    // Names with a carriage return lose it to the line end, as in sha256sum; a comment name
    // that holds the comment's own separators is not read back whole.
    std::vector<std::string> order;
    bool plain = list.fileName.find('\r') == std::string::npos &&
                 list.fileName.find(", last modified ") == std::string::npos;
    for (const auto& [name, digest] : list.pieces) {
        order.push_back(name);
        plain = plain && name.find('\r') == std::string::npos && !name.empty();
    }
    if (!plain) return 0;
    const HashList again = ReadHashList(HashListText(list, order));
    FUZZ_CHECK(again.pieces == list.pieces);
    // What the split writes vouches for its pieces: every line read, none twice.
    FUZZ_CHECK(again.firstBadLine == 0 && again.disagreeing.empty());
    FUZZ_CHECK(again.fileName == list.fileName);
    if (!list.fileName.empty()) {
        FUZZ_CHECK(again.fileSize == list.fileSize);
        FUZZ_CHECK(again.modified == list.modified);
    }
    if (list.modified) {
        const auto text = IsoUtcText(list.modified->seconds, list.modified->nanoseconds);
        FUZZ_CHECK(text && ReadIsoUtc(*text) == list.modified);
    }
    return 0;
}
