#pragma once
// A file's version-information block, as the platform's version service hands it out: on Windows
// the system's (GetFileVersionInfo, VerQueryValue), elsewhere our own reader of the block in PE
// and ELF executables (version/ExecutableImage.h, version/VersionBlock.h). GetFileVerInfo works
// through this and nothing else, so its rules are one code on every platform.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace olvo {

class VersionInfo {
  public:
    virtual ~VersionInfo() = default;
    // The text value at a sub-block path such as "StringFileInfo\040904E4\CompanyName" (names
    // matched without regard to letter case), up to its first zero character; nothing when the
    // block holds no such value. Never raises.
    virtual std::optional<std::string> QueryText(std::string_view subBlock) const = 0;
};

// The block of the file at fileName; null when the file is missing or unreadable or has no
// version block. Raises only when memory runs out.
std::unique_ptr<VersionInfo> ReadVersionInfo(const std::string& fileName);

}  // namespace olvo
