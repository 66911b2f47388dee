#include "gui/help/HelpSitemap.h"

#include <cstdint>
#include <optional>
#include <utility>

#include "core/engine/Utf8.h"
#include "platform/Text.h"

namespace olvo {
namespace {

// White space as HTML knows it.
constexpr std::string_view kHtmlBlanks = " \t\r\n\f\v";

bool IsBlank(char c) {
    return kHtmlBlanks.find(c) != std::string_view::npos;
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// No NUL in a name, and no surrogate or out-of-range value: those become the replacement
// character, so that the result is always valid UTF-8.
void AppendCharacter(std::string& out, std::uint32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    AppendUtf8(out, static_cast<char32_t>(code));
}

// The character a reference stands for ("amp", "#233", "#x41"), or nothing.
std::optional<std::uint32_t> Reference(std::string_view name) {
    if (name.size() >= 2 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 8) return std::nullopt;
        std::uint32_t value = 0;
        for (const char c : digits) {
            unsigned digit;
            if (c >= '0' && c <= '9')
                digit = static_cast<unsigned>(c - '0');
            else if (hex && ToLowerAscii(c) >= 'a' && ToLowerAscii(c) <= 'f')
                digit = static_cast<unsigned>(ToLowerAscii(c) - 'a' + 10);
            else
                return std::nullopt;
            value = value * (hex ? 16 : 10) + digit;
        }
        return value;
    }
    static constexpr std::pair<std::string_view, std::uint32_t> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}};
    for (const auto& [known, code] : kNamed)
        if (EqualsNoCase(name, known)) return code;
    return std::nullopt;
}

std::string Decoded(std::string_view text) {
    text = Trim(text, kHtmlBlanks);
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == '&') {
            // The longest reference we know is "&#x0010FFFF;".
            const std::size_t end = text.find(';', at + 1);
            if (end != std::string_view::npos && end - at <= 11) {
                if (const auto code = Reference(text.substr(at + 1, end - at - 1))) {
                    AppendCharacter(out, *code);
                    at = end + 1;
                    continue;
                }
            }
        }
        out += text[at++];
    }
    return out;
}

struct Tag {
    std::string name;  // lower case
    bool closing = false;
    std::vector<std::pair<std::string, std::string>> attributes;  // names in lower case

    std::string_view Attribute(std::string_view wanted) const {
        for (const auto& [name, value] : attributes)
            if (name == wanted) return value;
        return {};
    }
};

// Reads markup from text: the next tag at or after at, leaving at just past it. Comments and
// declarations are skipped. Nothing when no tag is left.
class TagReader {
  public:
    explicit TagReader(std::string_view text) : m_text(text) {}

    std::optional<Tag> Next() {
        while (true) {
            m_at = m_text.find('<', m_at);
            if (m_at == std::string_view::npos) {
                m_at = m_text.size();
                return std::nullopt;
            }
            ++m_at;
            if (m_text.substr(m_at, 3) == "!--") {
                const std::size_t end = m_text.find("-->", m_at + 3);
                m_at = end == std::string_view::npos ? m_text.size() : end + 3;
                continue;
            }
            Tag tag;
            if (m_at < m_text.size() && m_text[m_at] == '/') {
                tag.closing = true;
                ++m_at;
            }
            tag.name = LowerWord();
            if (tag.name.empty()) {
                SkipPast('>');
                continue;
            }
            ReadAttributes(tag);
            return tag;
        }
    }

  private:
    bool AtEnd() const { return m_at >= m_text.size(); }

    std::string LowerWord() {
        std::string word;
        while (!AtEnd() && IsNameChar(m_text[m_at])) word += ToLowerAscii(m_text[m_at++]);
        return word;
    }

    void SkipPast(char c) {
        const std::size_t end = m_text.find(c, m_at);
        m_at = end == std::string_view::npos ? m_text.size() : end + 1;
    }

    void SkipBlanks() {
        while (!AtEnd() && IsBlank(m_text[m_at])) ++m_at;
    }

    void ReadAttributes(Tag& tag) {
        while (true) {
            SkipBlanks();
            if (AtEnd()) return;
            const char c = m_text[m_at];
            if (c == '>') {
                ++m_at;
                return;
            }
            std::string name;
            while (!AtEnd() && !IsBlank(m_text[m_at]) && m_text[m_at] != '=' && m_text[m_at] != '>')
                name += ToLowerAscii(m_text[m_at++]);
            if (name.empty()) {
                ++m_at;  // a stray "=": step over it
                continue;
            }
            SkipBlanks();
            std::string value;
            if (!AtEnd() && m_text[m_at] == '=') {
                ++m_at;
                SkipBlanks();
                if (!AtEnd() && (m_text[m_at] == '"' || m_text[m_at] == '\'')) {
                    const char quote = m_text[m_at++];
                    const std::size_t end = m_text.find(quote, m_at);
                    const std::size_t stop = end == std::string_view::npos ? m_text.size() : end;
                    value = Decoded(m_text.substr(m_at, stop - m_at));
                    m_at = end == std::string_view::npos ? m_text.size() : end + 1;
                } else {
                    const std::size_t start = m_at;
                    while (!AtEnd() && !IsBlank(m_text[m_at]) && m_text[m_at] != '>') ++m_at;
                    value = Decoded(m_text.substr(start, m_at - start));
                }
            }
            if (name != "/") tag.attributes.emplace_back(std::move(name), std::move(value));
        }
    }

    std::string_view m_text;
    std::size_t m_at = 0;
};

void Flatten(const std::vector<SitemapEntry>& entries, std::vector<const SitemapEntry*>& out) {
    for (const SitemapEntry& entry : entries) {
        out.push_back(&entry);
        Flatten(entry.children, out);  // at most kMaxSitemapDepth deep
    }
}

}  // namespace

std::vector<SitemapEntry> ParseSitemap(std::string_view text) {
    std::vector<SitemapEntry> root;
    // The open lists, innermost last, with their depth. A <UL> that does not nest pushes the
    // list it continues again, so that every </UL> pops exactly one. A list grows only while it
    // is innermost, so the pointers into its entries above it are never left dangling.
    struct OpenList {
        std::vector<SitemapEntry>* entries;
        std::size_t depth;
    };
    std::vector<OpenList> open{{&root, 0}};
    std::optional<SitemapEntry> pending;

    const auto finish = [&] {
        if (!pending) return;
        if (pending->name.empty()) pending->name = pending->local;
        if (!pending->name.empty()) open.back().entries->push_back(std::move(*pending));
        pending.reset();
    };

    TagReader reader(text);
    while (const std::optional<Tag> tag = reader.Next()) {
        if (tag->name == "object") {
            finish();
            if (!tag->closing && EqualsNoCase(tag->Attribute("type"), "text/sitemap"))
                pending.emplace();
        } else if (tag->name == "param" && !tag->closing && pending) {
            const std::string_view name = tag->Attribute("name");
            const std::string_view value = tag->Attribute("value");
            // An index entry may name several pages; the first one is the entry's.
            if (EqualsNoCase(name, "Name") && pending->name.empty()) pending->name = value;
            if (EqualsNoCase(name, "Local") && pending->local.empty()) pending->local = value;
        } else if (tag->name == "ul") {
            finish();
            if (!tag->closing) {
                OpenList next = open.back();
                if (!next.entries->empty() && next.depth + 1 < kMaxSitemapDepth)
                    next = {&next.entries->back().children, next.depth + 1};
                open.push_back(next);
            } else if (open.size() > 1) {
                open.pop_back();
            }
        }
    }
    finish();
    return root;
}

std::vector<const SitemapEntry*> FlattenSitemap(const std::vector<SitemapEntry>& entries) {
    std::vector<const SitemapEntry*> out;
    Flatten(entries, out);
    return out;
}

}  // namespace olvo
