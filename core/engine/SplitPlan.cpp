#include "core/engine/SplitPlan.h"

#include "core/engine/Format.h"
#include "platform/Text.h"

namespace olvo {
namespace {

std::uint64_t DivideRoundingUp(std::uint64_t total, std::uint64_t part) {
    return total / part + (total % part != 0 ? 1 : 0);
}

}  // namespace

bool IsSplitSize(std::uint64_t bytes) {
    return bytes >= kMinSplitSize && bytes <= kMaxPieceSize;
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

std::string TooLargeForFileSystemText(const std::string& what, std::uint64_t size,
                                      const std::string& folder, std::uint64_t largest,
                                      const std::string& separator) {
    constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
    const std::string limit =
        (largest + 1) % kGiB == 0
            ? GroupThousands((largest + 1) / kGiB, separator) + " GiB \u2212 1 byte"
            : ExactSizeText(largest, separator);
    return what + " of " + ExactSizeText(size, separator) + " do not fit on " + folder +
           ": its file system takes files of at most " + limit;
}

std::uint64_t SourceFileSize(FileSystem& files, const std::string& path) {
    const auto entry = files.Find(path);
    return entry && !entry->isFolder ? entry->size : 0;
}

std::optional<std::uint64_t> PieceSizeForCount(std::uint64_t fileSize, std::uint64_t count) {
    const std::uint64_t pieceSize = DivideRoundingUp(fileSize, count);
    if (pieceSize > kMaxPieceSize) return std::nullopt;
    return pieceSize;
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
