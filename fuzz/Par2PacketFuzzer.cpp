// PAR 2.0 files on any content: they travel with the pieces and may be damaged or made by anyone.
// Reading never fails nor reads outside the file; what it keeps lies inside the file; a set it
// assembles has the slice checksums its file sizes need; a sound packet reads back as it was built.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "core/recovery/Gf16.h"
#include "core/recovery/Par2Reader.h"

namespace {

class MemoryFile final : public olvo::InputFile {
  public:
    MemoryFile(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        FUZZ_CHECK(m_position <= m_size);
        const std::size_t part = std::min(size, m_size - m_position);
        std::memcpy(buffer, m_data + m_position, part);
        m_position += part;
        return part;
    }
    olvo::FileStamp Stamp() override { return olvo::FileStamp{m_size, 0, 0}; }
    void Seek(std::uint64_t offset) override {
        FUZZ_CHECK(offset <= m_size);
        m_position = static_cast<std::size_t>(offset);
    }

  private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace olvo;
    MemoryFile file(data, size);
    Par2Packets packets;
    ScanPar2File(file, size, "f.par2", packets);
    for (const RecoverySliceRef& slice : packets.recovery)
        FUZZ_CHECK(slice.dataOffset <= size && slice.dataSize <= size - slice.dataOffset);
    for (const auto& [key, info] : packets.files) {
        const auto again = ParseFileDescBody(FileDescBody(info));
        FUZZ_CHECK(again && again->name == info.name && again->size == info.size);
    }
    std::string why;
    if (const auto set = AssembleSet(packets, why)) {
        FUZZ_CHECK(set->sliceSize % 4 == 0 && set->SliceCount() <= kMaxInputSlices);
        for (const Par2FileInfo& info : set->files)
            FUZZ_CHECK(info.size / set->sliceSize + (info.size % set->sliceSize != 0) ==
                       info.slices.size());
    } else {
        FUZZ_CHECK(!why.empty());
    }
    return 0;
}
