#include "core/version/VersionBlock.h"

#include <algorithm>

#include "core/engine/Utf8.h"

namespace olvo {
namespace {

constexpr std::size_t kHeaderSize = 6;
// The real tree is four levels deep; the limit keeps hostile nesting from exhausting the stack.
constexpr int kMaxDepth = 8;
constexpr std::uint16_t kTextValue = 1;
constexpr char32_t kReplacement = 0xFFFD;

std::uint16_t WordAt(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::size_t AlignUp(std::size_t offset) {
    return (offset + 3) & ~std::size_t{3};
}

bool SameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The node that starts at offset at and must end by limit; its end goes to end. Offsets count
// from the start of the block, which is where the 32-bit alignment is measured from.
std::optional<VersionNode> ParseNode(std::span<const std::uint8_t> bytes, std::size_t at,
                                     std::size_t limit, int depth, std::size_t& end) {
    if (at > limit || limit - at < kHeaderSize) return std::nullopt;
    const std::size_t length = WordAt(bytes, at);
    if (length < kHeaderSize || length > limit - at) return std::nullopt;
    end = at + length;

    VersionNode node;
    const std::size_t valueLength = WordAt(bytes, at + 2);
    node.type = WordAt(bytes, at + 4);

    const std::size_t keyStart = at + kHeaderSize;
    std::size_t cursor = keyStart;
    while (cursor + 2 <= end && WordAt(bytes, cursor) != 0) cursor += 2;
    if (cursor + 2 > end) return std::nullopt;  // no terminator inside the node
    node.key = Utf16ToUtf8(bytes.subspan(keyStart, cursor - keyStart));

    cursor = std::min(AlignUp(cursor + 2), end);
    const std::size_t valueBytes = node.type == kTextValue ? valueLength * 2 : valueLength;
    const std::size_t valueSize = std::min(valueBytes, end - cursor);
    node.value.assign(bytes.begin() + static_cast<std::ptrdiff_t>(cursor),
                      bytes.begin() + static_cast<std::ptrdiff_t>(cursor + valueSize));
    cursor = AlignUp(cursor + valueSize);

    if (depth < kMaxDepth) {
        // Every child is at least a header long, so the walk always moves forward.
        while (cursor < end && end - cursor >= kHeaderSize) {
            std::size_t childEnd = 0;
            auto child = ParseNode(bytes, cursor, end, depth + 1, childEnd);
            if (!child) break;
            node.children.push_back(std::move(*child));
            cursor = AlignUp(childEnd);
        }
    }
    return node;
}

}  // namespace

std::string Utf16ToUtf8(std::span<const std::uint8_t> bytes) {
    std::string out;
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t unit = WordAt(bytes, i * 2);
        if (unit == 0) break;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const char32_t low = WordAt(bytes, (i + 1) * 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
    }
    return out;
}

std::optional<VersionNode> ParseVersionBlock(std::span<const std::uint8_t> bytes) {
    std::size_t end = 0;
    auto root = ParseNode(bytes, 0, bytes.size(), 0, end);
    if (!root || root->key != "VS_VERSION_INFO") return std::nullopt;
    return root;
}

const VersionNode* FindVersionNode(const VersionNode& root, std::string_view path) {
    const VersionNode* node = &root;
    std::size_t at = 0;
    while (at <= path.size()) {
        std::size_t next = path.find('\\', at);
        if (next == std::string_view::npos) next = path.size();
        const std::string_view key = path.substr(at, next - at);
        if (!key.empty()) {
            const auto& children = node->children;
            const auto found =
                std::find_if(children.begin(), children.end(),
                             [&](const VersionNode& c) { return SameKey(c.key, key); });
            if (found == children.end()) return nullptr;
            node = &*found;
        }
        at = next + 1;
    }
    return node;
}

std::optional<std::string> QueryVersionText(const VersionNode& root, std::string_view path) {
    const VersionNode* node = FindVersionNode(root, path);
    if (node == nullptr) return std::nullopt;
    return Utf16ToUtf8(node->value);
}

}  // namespace olvo
