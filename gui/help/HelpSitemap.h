#pragma once
// The sitemap of a compiled help file: the table of contents (.hhc) and the index (.hhk) are both
// HTML lists of <OBJECT type="text/sitemap"> entries whose <param> elements carry a "Name" and a
// "Local" (the page inside the help file), nested by <UL> elements.
//
// The parser reads outside data: it accepts any bytes, never reads past the text, and returns
// what it could make of it. Tags it does not know are skipped. An entry without a name takes
// its page as its name; one with neither is dropped. A <UL> that follows an entry holds that
// entry's children; one that follows no entry continues the list around it, and so does one
// that would nest deeper than kMaxSitemapDepth. Names and pages are returned with character
// references (&amp;, &#233;, &#x41;) decoded to UTF-8 and surrounding blanks trimmed; the bytes
// are otherwise left as they are.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace olvo {

inline constexpr std::size_t kMaxSitemapDepth = 32;

struct SitemapEntry {
    std::string name;
    // The page as written, relative to the root of the help file, perhaps with a "#fragment";
    // empty for a heading that opens no page.
    std::string local;
    std::vector<SitemapEntry> children;
};

// The entries of a .hhc or .hhk text, in document order.
std::vector<SitemapEntry> ParseSitemap(std::string_view text);

// Every entry of the tree, parents before their children, in document order.
std::vector<const SitemapEntry*> FlattenSitemap(const std::vector<SitemapEntry>& entries);
// The pointers point into entries, which must outlive them.
std::vector<const SitemapEntry*> FlattenSitemap(std::vector<SitemapEntry>&&) = delete;

}  // namespace olvo
