#include "platform/RegistryHive.h"

#include <algorithm>

#include "platform/Text.h"

namespace olvo {
namespace {

constexpr std::string_view kFirstLine = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldFirstLine = "REGEDIT4";
constexpr std::string_view kRootName = "HKEY_CURRENT_USER";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

char FoldChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsFolded(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return FoldChar(x) == FoldChar(y);
           });
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads 1 to maxDigits hex digits at the front of text into value; false when there are none or
// more follow.
bool TakeHexNumber(std::string_view& text, std::size_t maxDigits, std::uint32_t& value) {
    std::size_t count = 0;
    value = 0;
    while (count < text.size() && HexDigit(text[count]) >= 0) {
        if (count == maxDigits) return false;
        value = value << 4 | static_cast<std::uint32_t>(HexDigit(text[count]));
        ++count;
    }
    if (count == 0) return false;
    text.remove_prefix(count);
    return true;
}

bool TakePrefixFolded(std::string_view& text, std::string_view prefix) {
    if (text.size() < prefix.size() || !EqualsFolded(text.substr(0, prefix.size()), prefix)) {
        return false;
    }
    text.remove_prefix(prefix.size());
    return true;
}

// Reads a quoted text at the front of text (which starts with the opening quote). \\ and \" are
// escapes; any other backslash stands for itself, as people typing paths by hand expect.
bool TakeQuoted(std::string_view& text, std::string& result) {
    result.clear();
    std::size_t i = 1;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            text.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
            result += text[i + 1];
            i += 2;
            continue;
        }
        result += c;
        ++i;
    }
    return false;
}

bool IsStringType(std::uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == 7;  // 7: REG_MULTI_SZ
}

void AppendUnit(std::string& out, std::uint32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8 & 0xFF);
}

// UTF-16LE of UTF-8 bytes. A byte that does not begin a well-formed sequence becomes the lone
// surrogate U+DC80 + (byte - 0x80) (or U+DC00 + byte for bytes below 0x80, which never occurs),
// so that any bytes come back unchanged from Utf16ToUtf8.
std::string Utf8ToUtf16(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80             ? 1
                             : (c & 0xE0) == 0xC0 ? 2
                             : (c & 0xF0) == 0xE0 ? 3
                             : (c & 0xF8) == 0xF0 ? 4
                                                  : 0;
        std::uint32_t point = length == 1   ? c
                              : length == 2 ? c & 0x1F
                              : length == 3 ? c & 0x0F
                                            : c & 0x07;
        bool ok = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; ok && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            ok = (next & 0xC0) == 0x80;
            point = point << 6 | (next & 0x3F);
        }
        static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        ok = ok && point >= kSmallest[length] && point <= 0x10FFFF &&
             !(point >= 0xD800 && point <= 0xDFFF);
        if (!ok) {
            AppendUnit(out, 0xDC00 + c);
            ++i;
            continue;
        }
        if (point >= 0x10000) {
            AppendUnit(out, 0xD800 + ((point - 0x10000) >> 10));
            AppendUnit(out, 0xDC00 + ((point - 0x10000) & 0x3FF));
        } else {
            AppendUnit(out, point);
        }
        i += length;
    }
    return out;
}

void AppendUtf8(std::string& out, std::uint32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | point >> 6);
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | point >> 12);
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | point >> 18);
        out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

// UTF-8 of UTF-16LE bytes, the inverse of Utf8ToUtf16. Nothing when the bytes are not such a text
// (an odd count, a lone surrogate other than those Utf8ToUtf16 makes); with lenient, an odd last
// byte is dropped and other lone surrogates become U+FFFD.
std::optional<std::string> Utf16ToUtf8(std::string_view bytes, bool lenient) {
    if (bytes.size() % 2 != 0 && !lenient) return std::nullopt;
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    const auto unitAt = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                          static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    };
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units && unitAt(i + 1) >= 0xDC00 &&
            unitAt(i + 1) <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00));
            ++i;
        } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
            out += static_cast<char>(unit - 0xDC00);
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            if (!lenient) return std::nullopt;
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

// The text of a hive file as UTF-8 (or the bytes as they are, for files in another single-byte
// code page), and whether it was UTF-16: a byte order mark FF FE, or a first character whose
// second byte is zero, as a file that lost its mark has.
std::string DecodeHiveFile(std::string_view bytes, bool& utf16) {
    utf16 = false;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        utf16 = true;
        bytes.remove_prefix(2);
    } else if (bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0) {
        utf16 = true;
    }
    if (utf16) return *Utf16ToUtf8(bytes, true);
    if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark) bytes.remove_prefix(kUtf8Mark.size());
    return std::string(bytes);
}

class HiveParser {
  public:
    explicit HiveParser(std::string_view bytes) : m_decoded(DecodeHiveFile(bytes, m_utf16)) {
        m_text = m_decoded;
    }

    std::optional<Hive> Parse() {
        // Every line a hive's writer makes ends with a line feed, so a last line without one was
        // cut off, possibly inside a value that would still look well-formed: it is not read.
        const std::size_t lastFeed = m_text.rfind('\n');
        if (lastFeed == std::string_view::npos) return std::nullopt;
        m_text = m_text.substr(0, lastFeed + 1);
        const std::string_view first = Trim(NextLine(), kSpaceAndTab);
        if (first == kOldFirstLine) {
            m_utf16 = false;  // the old form keeps its texts in the system's code page
        } else if (first != kFirstLine) {
            return std::nullopt;
        }
        // As the registry editor does, a line that is not understood is passed over, and so are
        // the values of a key that is not understood (or that lies outside HKEY_CURRENT_USER).
        while (!AtEnd()) {
            const std::string_view line = Trim(NextLine(), kSpaceAndTab);
            if (line.empty() || line.front() == ';') continue;
            if (line.front() == '[') {
                if (!ParseKeyLine(line)) m_key = nullptr;
            } else {
                ParseValueLine(line);
            }
        }
        return std::move(m_hive);
    }

  private:
    bool AtEnd() const { return m_pos >= m_text.size(); }

    // The next line without its line feed and without a carriage return before it.
    std::string_view NextLine() {
        const std::size_t end = m_text.find('\n', m_pos);
        std::string_view line = m_text.substr(m_pos, end - m_pos);
        m_pos = end == std::string_view::npos ? m_text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return line;
    }

    bool ParseKeyLine(std::string_view line) {
        if (line.size() < 2 || line.back() != ']') return false;
        std::string_view inner = line.substr(1, line.size() - 2);
        if (!TakePrefixFolded(inner, kRootName)) return false;
        if (!inner.empty()) {
            if (inner.front() != '\\') return false;
            inner.remove_prefix(1);
            if (inner.empty()) return false;
        }
        m_key = m_hive.Create(inner);
        return m_key != nullptr;
    }

    bool ParseValueLine(std::string_view line) {
        if (m_key == nullptr) return false;
        std::string name;
        if (line.front() == '@') {
            line.remove_prefix(1);
        } else if (line.front() != '"' || !TakeQuoted(line, name)) {
            return false;
        }
        line = Trim(line, kSpaceAndTab);
        if (line.empty() || line.front() != '=') return false;
        line = Trim(line.substr(1), kSpaceAndTab);

        RegistryValue value;
        if (!line.empty() && line.front() == '"') {
            if (!TakeQuoted(line, value.data) || !Trim(line, kSpaceAndTab).empty()) return false;
            value.type = kRegSz;
            value.data += '\0';
        } else if (TakePrefixFolded(line, "dword:")) {
            std::uint32_t number = 0;
            if (!TakeHexNumber(line, 8, number) || !Trim(line, kSpaceAndTab).empty()) return false;
            value.type = kRegDword;
            for (int i = 0; i < 4; ++i) value.data += static_cast<char>(number >> (8 * i) & 0xFF);
        } else if (TakePrefixFolded(line, "hex")) {
            value.type = kRegBinary;
            if (TakePrefixFolded(line, "(")) {
                if (!TakeHexNumber(line, 8, value.type) || !TakePrefixFolded(line, ")")) {
                    return false;
                }
            }
            if (!TakePrefixFolded(line, ":") || !ParseBytes(line, value.data)) return false;
            // The texts of string types are UTF-16 in a Unicode file; kept as bytes when they
            // are not such a text.
            if (m_utf16 && IsStringType(value.type)) {
                if (auto text = Utf16ToUtf8(value.data, false)) value.data = std::move(*text);
            }
        } else {
            return false;
        }
        m_key->Set(name, std::move(value));
        return true;
    }

    // A comma-separated list of bytes of one or two hex digits. After "hex:" or after a comma, a
    // backslash that ends the line continues the list on the next line.
    bool ParseBytes(std::string_view line, std::string& data) {
        bool expectByte = true;  // at the start, or after a comma
        bool first = true;
        for (;;) {
            line = Trim(line, kSpaceAndTab);
            if (line.empty()) return first || !expectByte;
            if (expectByte && line == "\\") {
                if (AtEnd()) return false;
                line = NextLine();
                continue;
            }
            if (!expectByte) {
                if (line.front() != ',') return false;
                line.remove_prefix(1);
                expectByte = true;
                continue;
            }
            std::uint32_t byte = 0;
            if (!TakeHexNumber(line, 2, byte)) return false;
            data += static_cast<char>(byte);
            expectByte = false;
            first = false;
        }
    }

    bool m_utf16 = false;
    std::string m_decoded;
    std::string_view m_text;
    std::size_t m_pos = 0;
    Hive m_hive;
    HiveKey* m_key = nullptr;
};

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

void AppendHexBytes(std::string& out, std::string_view data) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i > 0) out += ',';
        const auto byte = static_cast<unsigned char>(data[i]);
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xF];
    }
}

void AppendHexNumber(std::string& out, std::uint32_t number, int minDigits) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string digits;
    do {
        digits.insert(digits.begin(), kDigits[number & 0xF]);
        number >>= 4;
    } while (number != 0);
    if (static_cast<int>(digits.size()) < minDigits) {
        digits.insert(0, static_cast<std::size_t>(minDigits) - digits.size(), '0');
    }
    out += digits;
}

// A REG_SZ can be written as a quoted text when its data is one line and one closing zero byte.
bool IsPlainText(const RegistryValue& value) {
    const std::string& data = value.data;
    return !data.empty() && data.back() == '\0' && data.find('\0') == data.size() - 1 &&
           data.find('\n') == std::string::npos;
}

void AppendValue(std::string& out, const HiveValue& entry) {
    if (entry.name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, entry.name);
    }
    out += '=';
    const RegistryValue& value = entry.value;
    if (value.type == kRegSz && IsPlainText(value)) {
        AppendQuoted(out, std::string_view(value.data).substr(0, value.data.size() - 1));
    } else if (value.type == kRegDword && value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i) {
            number = number << 8 | static_cast<unsigned char>(value.data[i]);
        }
        out += "dword:";
        AppendHexNumber(out, number, 8);
    } else {
        if (value.type == kRegBinary) {
            out += "hex:";
        } else {
            out += "hex(";
            AppendHexNumber(out, value.type, 1);
            out += "):";
        }
        AppendHexBytes(out, IsStringType(value.type) ? Utf8ToUtf16(value.data) : value.data);
    }
    out += '\n';
}

}  // namespace

std::string FoldRegistryName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) c = FoldChar(c);
    return folded;
}

const RegistryValue* HiveKey::Find(std::string_view name) const {
    const auto it = m_index.find(FoldRegistryName(name));
    return it == m_index.end() ? nullptr : &m_values[it->second].value;
}

void HiveKey::Set(std::string_view name, RegistryValue value) {
    const auto [it, added] = m_index.emplace(FoldRegistryName(name), m_values.size());
    if (added) {
        m_values.push_back({std::string(name), std::move(value)});
    } else {
        m_values[it->second].value = std::move(value);
    }
}

Hive::Hive() {
    m_keys.try_emplace(std::string());
}

const HiveKey* Hive::Find(std::string_view path) const {
    const auto it = m_keys.find(FoldRegistryName(path));
    return it == m_keys.end() ? nullptr : &it->second;
}

HiveKey* Hive::Find(std::string_view path) {
    const auto it = m_keys.find(FoldRegistryName(path));
    return it == m_keys.end() ? nullptr : &it->second;
}

HiveKey* Hive::Create(std::string_view path) {
    if (!IsValidKeyPath(path)) return nullptr;
    HiveKey* key = &m_keys.at(std::string());
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        const std::string folded = FoldRegistryName(path.substr(0, end));
        auto it = m_keys.find(folded);
        if (it == m_keys.end()) {
            std::string stored = key->Path();
            if (!stored.empty()) stored += '\\';
            stored += path.substr(start, end - start);
            it = m_keys.emplace(folded, HiveKey(std::move(stored))).first;
        }
        key = &it->second;
        start = end + 1;
    }
    return key;
}

bool Hive::HasSubkeys(const HiveKey& key) const {
    const std::string folded = FoldRegistryName(key.Path());
    if (folded.empty()) return m_keys.size() > 1;
    const std::string prefix = folded + '\\';
    const auto it = m_keys.lower_bound(prefix);
    return it != m_keys.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

bool IsValidValueName(std::string_view name) {
    return name.find('\n') == std::string_view::npos;
}

bool IsValidKeyPath(std::string_view path) {
    if (path.size() > kMaxKeyPathLength || path.find('\n') != std::string_view::npos) return false;
    std::size_t parts = 0;
    std::size_t start = 0;
    while (start <= path.size() && !path.empty()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end == start || end - start > kMaxKeyNameLength || ++parts > kMaxKeyDepth) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

std::optional<Hive> ParseHive(std::string_view text) {
    return HiveParser(text).Parse();
}

std::string WriteHive(const Hive& hive) {
    std::string text = HiveText(hive);
    std::string withReturns;
    withReturns.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') withReturns += '\r';
        withReturns += c;
    }
    return "\xFF\xFE" + Utf8ToUtf16(withReturns);
}

std::string HiveText(const Hive& hive) {
    std::string out(kFirstLine);
    out += "\n\n";
    for (const auto& [folded, key] : hive.Keys()) {
        const bool implied = key.Values().empty() && (folded.empty() || hive.HasSubkeys(key));
        if (implied) continue;
        out += '[';
        out += kRootName;
        if (!key.Path().empty()) {
            out += '\\';
            out += key.Path();
        }
        out += "]\n";
        for (const HiveValue& value : key.Values()) AppendValue(out, value);
        out += '\n';
    }
    return out;
}

}  // namespace olvo
