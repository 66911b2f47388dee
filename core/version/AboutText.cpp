#include "core/version/AboutText.h"

#include <vector>

#include "core/version/GetFileVerInfo.h"

namespace olvo {

namespace {
constexpr char kLineBreak = '\r';
}  // namespace

AboutText ComposeAboutText(const std::string& productName, const std::string& fileVersion,
                           const std::string& copyright, const std::string& comments,
                           const std::string& trademarks) {
    AboutText text;
    text.caption = "About " + productName;
    text.info = productName + " v" + fileVersion + kLineBreak;
    text.info += copyright + kLineBreak;
    text.info += comments + kLineBreak + kLineBreak;
    text.info += trademarks;
    return text;
}

AboutText AboutTextOf(const std::string& fileName) {
    std::vector<std::string> list;
    GetVersionStrings(fileName, list);
    // With all eleven keys present the list stands in key order and one read of the file is
    // enough. A block that lacks a key shifts every later entry, so then each value is looked up
    // by its key instead of shown in another's place.
    const auto value = [&](int index) {
        if (list.size() == VersionKeys.size()) return list[static_cast<std::size_t>(index)];
        return GetVersionString(fileName, index);
    };
    return ComposeAboutText(value(kVersionProductName), value(kVersionFileVersion),
                            value(kVersionLegalCopyright), value(kVersionComments),
                            value(kVersionLegalTrademarks));
}

}  // namespace olvo
