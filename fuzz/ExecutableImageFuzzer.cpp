// Finding the version block in any file: the version strings are read from an executable the
// caller names, which need not be ours nor whole. The input is the file; the finder must stay
// inside it, hand back at most a block's worth of bytes, and the block reader must take them.

#include <cstdint>
#include <span>

#include "FuzzCheck.h"
#include "core/version/ByteSource.h"
#include "core/version/ExecutableImage.h"
#include "core/version/VersionBlock.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace olvo;
    const MemoryByteSource source(std::span<const std::uint8_t>(data, size));
    const std::vector<std::uint8_t> block = FindVersionBlock(source);
    FUZZ_CHECK(block.size() <= kMaxVersionBlockSize);
    FUZZ_CHECK(block.size() <= size);
    ParseVersionBlock(block);
    return 0;
}
