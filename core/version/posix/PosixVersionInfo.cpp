#include "core/version/ExecutableImage.h"
#include "core/version/VersionBlock.h"
#include "core/version/VersionInfo.h"

namespace olvo {
namespace {

class ParsedVersionInfo final : public VersionInfo {
  public:
    explicit ParsedVersionInfo(VersionNode root) : m_root(std::move(root)) {}
    std::optional<std::string> QueryText(std::string_view subBlock) const override {
        return QueryVersionText(m_root, subBlock);
    }

  private:
    VersionNode m_root;
};

}  // namespace

std::unique_ptr<VersionInfo> ReadVersionInfo(const std::string& fileName) {
    const auto bytes = ReadVersionBlock(fileName);
    if (bytes.empty()) return nullptr;
    auto root = ParseVersionBlock(bytes);
    if (!root) return nullptr;
    return std::make_unique<ParsedVersionInfo>(std::move(*root));
}

}  // namespace olvo
