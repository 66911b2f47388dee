// The system's version service. The ANSI calls hand out the texts in the system code page, as
// every text of the Windows build is.

#include <windows.h>

#include <vector>

#include "core/version/VersionInfo.h"

namespace olvo {
namespace {

class SystemVersionInfo final : public VersionInfo {
  public:
    explicit SystemVersionInfo(std::vector<char> block) : m_block(std::move(block)) {}
    std::optional<std::string> QueryText(std::string_view subBlock) const override {
        void* value = nullptr;
        UINT length = 0;
        // VerQueryValueA converts the texts into a part of the block set aside for it.
        if (!::VerQueryValueA(m_block.data(), std::string(subBlock).c_str(), &value, &length) ||
            value == nullptr)
            return std::nullopt;
        const auto* text = static_cast<const char*>(value);
        std::size_t size = 0;
        while (size < length && text[size] != '\0') ++size;
        return std::string(text, size);
    }

  private:
    mutable std::vector<char> m_block;
};

}  // namespace

std::unique_ptr<VersionInfo> ReadVersionInfo(const std::string& fileName) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(fileName.c_str(), &ignored);
    if (size == 0) return nullptr;
    std::vector<char> block(size, '\0');
    // A failed read leaves the zero-filled buffer, in which no value is found.
    ::GetFileVersionInfoA(fileName.c_str(), 0, size, block.data());
    return std::make_unique<SystemVersionInfo>(std::move(block));
}

}  // namespace olvo
