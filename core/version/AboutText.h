#pragma once
// The caption and the text of the About window, composed from the version strings of the
// program's own executable. Plain text functions: no window is needed to compose them.

#include <string>

namespace olvo {

struct AboutText {
    // "About " + product name.
    std::string caption;
    // Product name, " v", file version, CR, copyright line, CR, comments line, CR, CR, trademarks
    // line; the line breaks are single carriage returns (character 13), nothing follows the last
    // line.
    std::string info;
};

AboutText ComposeAboutText(const std::string& productName, const std::string& fileVersion,
                           const std::string& copyright, const std::string& comments,
                           const std::string& trademarks);

// The text for the version strings of fileName (GetFileVerInfo.h): an empty value shows as
// "(unknown)". Each value is taken by its own key, so a block that lacks some keys still puts
// every value it has in its place, with empty text for the missing ones (a file without a block
// gives "About " and " v" and four line breaks). Never raises.
AboutText AboutTextOf(const std::string& fileName);

}  // namespace olvo
