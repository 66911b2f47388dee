#include "core/engine/SplitPlan.h"

#include "core/engine/Format.h"
#include "platform/Text.h"

namespace olvo {
namespace {

std::uint64_t DivideRoundingUp(std::uint64_t total, std::uint64_t part) {
    return total / part + (total % part != 0 ? 1 : 0);
}

}  // namespace

bool IsSplitSizeKB(std::int64_t kb) {
    return kb >= 1 && kb <= kMaxSplitSizeKB;
}

bool IsSplitCount(std::int64_t count) {
    return count >= 1 && count <= kMaxSplitCount;
}

std::string SplitSizeRangeMessage(const std::string& separator) {
    return "Split size must be between 1 and " + GroupThousands(kMaxSplitSizeKB, separator) + "KB!";
}

std::string SplitCountRangeMessage(const std::string& separator) {
    return "No. of split files must be between 1 and " + GroupThousands(kMaxSplitCount, separator);
}

std::uint64_t SourceFileSize(FileSystem& files, const std::string& path) {
    const auto entry = files.Find(path);
    return entry && !entry->isFolder ? entry->size : 0;
}

std::optional<std::uint32_t> PieceSizeForCount(std::uint64_t fileSize, std::uint64_t count) {
    const std::uint64_t pieceSize = DivideRoundingUp(fileSize, count);
    if (pieceSize > kMaxPieceSize) return std::nullopt;
    return static_cast<std::uint32_t>(pieceSize);
}

std::uint64_t PieceCountFor(std::uint64_t fileSize, std::uint64_t pieceSize) {
    return DivideRoundingUp(fileSize, pieceSize);
}

std::string DescriptorName(const std::string& fileName) {
    return fileName + std::string(kDescriptorSuffix);
}

bool HasDescriptorSuffix(std::string_view name) {
    return name.size() > kDescriptorSuffix.size() &&
           EqualsNoCase(name.substr(name.size() - kDescriptorSuffix.size()), kDescriptorSuffix);
}

std::string WithoutDescriptorSuffix(const std::string& descriptorPath) {
    if (descriptorPath.size() < kDescriptorSuffix.size() ||
        !EqualsNoCase(std::string_view(descriptorPath)
                          .substr(descriptorPath.size() - kDescriptorSuffix.size()),
                      kDescriptorSuffix))
        return descriptorPath;
    return descriptorPath.substr(0, descriptorPath.size() - kDescriptorSuffix.size());
}

}  // namespace olvo
