#include "core/version/GetFileVerInfo.h"

#include <new>
#include <optional>

#include "core/version/VersionInfo.h"

namespace olvo {
namespace {

std::optional<std::string> Lookup(const VersionInfo& block, std::string_view key) {
    std::string path(kVersionQueryPrefix);
    path += key;
    auto value = block.QueryText(path);
    if (value && value->empty()) value = std::string(kUnknownVersionValue);
    return value;
}

}  // namespace

void GetVersionStrings(const std::string& fileName, std::vector<std::string>& list) {
    try {
        const auto block = ReadVersionInfo(fileName);
        if (!block) return;
        // Collected first so that a failure half-way leaves the caller's list as it was.
        std::vector<std::string> found;
        for (const std::string_view key : VersionKeys) {
            if (auto value = Lookup(*block, key)) found.push_back(std::move(*value));
        }
        list.insert(list.end(), std::make_move_iterator(found.begin()),
                    std::make_move_iterator(found.end()));
    } catch (const std::bad_alloc&) {
        // Out of memory is the only failure left; the caller gets no strings, as for no block.
    }
}

std::string GetVersionString(const std::string& fileName, int index) {
    if (index < 0 || index >= static_cast<int>(VersionKeys.size())) return {};
    try {
        const auto block = ReadVersionInfo(fileName);
        if (!block) return {};
        return Lookup(*block, VersionKeys[static_cast<std::size_t>(index)]).value_or(std::string());
    } catch (const std::bad_alloc&) {  // as for no block
        return {};
    }
}

}  // namespace olvo
