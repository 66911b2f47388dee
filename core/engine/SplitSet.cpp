#include "core/engine/SplitSet.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <optional>

#include "core/engine/EngineError.h"
#include "platform/Text.h"

namespace olvo {

std::string PieceNumber(std::uint64_t k) {
    std::string digits = std::to_string(k);
    return digits.size() < 2 ? "0" + digits : digits;
}

std::string PieceName(const std::string& baseName, std::uint64_t k) {
    return baseName + ".s" + PieceNumber(k);
}

std::string DescriptorHead(const SplitDescriptor& d) {
    return std::to_string(d.pieceCount) + "\r\n" + d.dateText + "\r\n" +
           std::to_string(d.fileSize) + "\r\n";
}

std::string DescriptorTail(const SplitDescriptor& d) {
    return std::to_string(d.checksum) + "\r\n";
}

namespace {

class DescriptorReader {
  public:
    explicit DescriptorReader(std::string_view content)
        : m_text(content.substr(0, content.find('\x1a'))) {}

    // The number's 64-bit pattern; 0 at the end of the text.
    std::uint64_t ReadNumber() {
        while (m_at < m_text.size() && static_cast<unsigned char>(m_text[m_at]) <= ' ') ++m_at;
        if (m_at == m_text.size()) return 0;
        const std::size_t start = m_at;
        while (m_at < m_text.size() && m_at - start < 32 &&
               static_cast<unsigned char>(m_text[m_at]) > ' ')
            ++m_at;
        const auto value = Convert(m_text.substr(start, m_at - start));
        if (!value) throw EngineError("Invalid numeric input");
        return *value;
    }

    std::string ReadLine() {
        const std::size_t start = m_at;
        while (m_at < m_text.size() && m_text[m_at] != '\r' && m_text[m_at] != '\n') ++m_at;
        std::string line(m_text.substr(start, m_at - start));
        SkipLineEnd();
        return line;
    }

    void SkipRestOfLine() {
        while (m_at < m_text.size() && m_text[m_at] != '\r' && m_text[m_at] != '\n') ++m_at;
        SkipLineEnd();
    }

  private:
    void SkipLineEnd() {
        if (m_at < m_text.size() && m_text[m_at] == '\r') ++m_at;
        if (m_at < m_text.size() && m_text[m_at] == '\n') ++m_at;
    }

    // A signed 64-bit number: [+|-] then decimal digits, or hexadecimal digits after "$" or "0x".
    static std::optional<std::uint64_t> Convert(std::string_view text) {
        return ParseSignedNumber(text, {.bits = 64, .hexFillsAllBits = true});
    }

    std::string_view m_text;
    std::size_t m_at = 0;
};

std::string BatchEscaped(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        out += c;
        if (c == '%') out += '%';
    }
    return out;
}

std::string Quoted(const std::string& name) {
    return '"' + BatchEscaped(name) + '"';
}

}  // namespace

SplitDescriptor ReadDescriptor(std::string_view content) {
    DescriptorReader reader(content);
    SplitDescriptor d;
    // Out of range is 0, never the low bits: -1 would claim four billion pieces, 2^32 + 1 one.
    const std::uint64_t count = reader.ReadNumber();
    d.pieceCount = count <= kMaxSplitCount ? static_cast<std::uint32_t>(count) : 0;
    reader.SkipRestOfLine();
    d.dateText = reader.ReadLine();
    const std::uint64_t size = reader.ReadNumber();
    d.fileSize =
        size <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) ? size : 0;
    reader.SkipRestOfLine();
    d.checksum = static_cast<std::uint32_t>(reader.ReadNumber());
    return d;
}

namespace {

// How a set's names reach the command interpreter.
enum class BatchNames {
    Literal,   // printable ASCII: written out in the copy command itself
    SelfName,  // other letters: taken at run time from the batch file's own name
    None,      // a name no Windows file can have: the batch file only says so
};

BatchNames NamesFor(const std::string& fileName, const std::string& baseName) {
    bool ascii = true;
    for (const std::string* name : {&fileName, &baseName}) {
        for (const char c : *name) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 32 || u == 127 ||
                std::string_view("\"<>:|?*/\\").find(c) != std::string_view::npos)
                return BatchNames::None;
            if (u >= 128) ascii = false;
        }
    }
    // Windows drops a trailing dot or blank from a file name, so such a file cannot be made there.
    if (fileName.empty() || fileName.back() == '.' || fileName.back() == ' ')
        return BatchNames::None;
    if (ascii) return BatchNames::Literal;
    // Names are Unicode on Windows; a name with no letters to stand for there cannot be made.
    if (!NameConvertsToUnicode(fileName)) return BatchNames::None;
    return BatchNames::SelfName;
}

constexpr std::string_view kBatchHead =
    "@ECHO OFF\r\n"
    "ECHO Kestrava File Splitter\r\n"
    "ECHO Restore Batch File\r\n"
    "ECHO Splits large files into pieces and puts them back together.\r\n"
    "ECHO Made by the Kestrava team.\r\n"
    "ECHO Please ensure ALL split files are in this folder!\r\n";

// What stands for B and F in the copy commands, and the most characters each can take once cmd
// has expanded it (a UTF-8 byte count is never below the UTF-16 count cmd works in).
struct BatchSpelling {
    std::string stem, target;
    std::size_t stemLength = 0, targetLength = 0;

    std::string Entry(std::uint64_t k) const { return '"' + stem + ".s" + PieceNumber(k) + '"'; }
    std::size_t EntryLength(std::uint64_t k) const {
        return stemLength + 4 + PieceNumber(k).size();
    }
};

// The spelling of a set's names; when they are taken from the batch file's own name, first
// writes the lines that take them.
BatchSpelling SpellNames(BatchNames names, const std::string& fileName, const std::string& baseName,
                         const std::function<void(std::string_view)>& write) {
    BatchSpelling spelling;
    if (names == BatchNames::Literal) {
        spelling.stem = BatchEscaped(baseName);
        spelling.target = Quoted(fileName);
        spelling.stemLength = spelling.stem.size();
        spelling.targetLength = spelling.target.size();
        return spelling;
    }
    // cmd reads a batch file in the console's code page, which need not hold the name's
    // letters; the file's own name reaches cmd in Unicode, so %~n0 is F and %%~nN of it B.
    write(
        "SETLOCAL\r\n"
        "FOR %%N IN (\"%~n0\") DO SET \"B=%%~nN\"\r\n"
        "IF NOT EXIST \"%B%.s01\" ECHO The pieces were not found. This batch file must keep "
        "the name the split gave it.\r\n"
        "IF NOT EXIST \"%B%.s01\" EXIT /B 1\r\n");
    spelling.stem = "%B%";
    spelling.target = "\"%~n0\"";
    spelling.stemLength = std::max(spelling.stem.size(), baseName.size());
    spelling.targetLength = std::max(spelling.target.size(), fileName.size() + 2);
    return spelling;
}

// The single line of the usual case; nothing as soon as it grows too long.
std::optional<std::string> SingleCopyLine(const BatchSpelling& spelling, std::uint32_t pieceCount) {
    std::string line = "COPY /B ";
    std::size_t length = line.size();
    for (std::uint32_t k = 1; k <= pieceCount; ++k) {
        line += spelling.Entry(k);
        length += spelling.EntryLength(k);
        if (k < pieceCount) {
            line += " + ";
            length += 3;
        } else {
            line += " " + spelling.target;
            length += 1 + spelling.targetLength;
        }
        if (length > kBatchLineLimit) return std::nullopt;
    }
    return line;
}

// Several lines: COPY /B "p1" + ... "pj" "F", then COPY /B "F" + "pj+1" + ... "F".
void WriteCopyLines(const BatchSpelling& spelling, std::uint32_t pieceCount,
                    const std::function<void(std::string_view)>& write) {
    std::uint64_t k = 1;
    bool first = true;
    while (k <= pieceCount) {
        std::string line = first ? "COPY /B " : "COPY /B " + spelling.target + " + ";
        std::size_t length = first ? line.size() : 11 + spelling.targetLength;
        std::uint32_t onLine = 0;
        while (k <= pieceCount) {
            const std::size_t joined = (onLine > 0 ? 3 : 0) + spelling.EntryLength(k);
            if (onLine > 0 && length + joined + 1 + spelling.targetLength > kBatchLineLimit) break;
            if (onLine > 0) line += " + ";
            line += spelling.Entry(k);
            length += joined;
            ++onLine;
            ++k;
        }
        line += " " + spelling.target;
        if (k <= pieceCount) line += "\r\n";
        write(line);
        first = false;
    }
}

}  // namespace

bool IsBatchSafeName(const std::string& name) {
    return NamesFor(name, name) != BatchNames::None;
}

void WriteBatchFile(const std::string& fileName, const std::string& baseName,
                    std::uint32_t pieceCount, const std::function<void(std::string_view)>& write) {
    write(kBatchHead);
    const BatchNames names = NamesFor(fileName, baseName);
    if (names == BatchNames::None) {
        write(
            "ECHO The name of the split file cannot be written in a batch file.\r\n"
            "ECHO Please restore it with Kestrava File Splitter.\r\n"
            "EXIT /B 1");
        return;
    }
    const BatchSpelling spelling = SpellNames(names, fileName, baseName, write);
    if (const auto line = SingleCopyLine(spelling, pieceCount)) {
        write(*line);
        return;
    }
    WriteCopyLines(spelling, pieceCount, write);
}

std::string BatchFileText(const std::string& fileName, const std::string& baseName,
                          std::uint32_t pieceCount) {
    std::string text;
    WriteBatchFile(fileName, baseName, pieceCount, [&](std::string_view part) { text += part; });
    return text;
}

bool IsValidDescriptor(const SplitDescriptor& d) {
    if (d.pieceCount == 0 || d.pieceCount > kMaxSplitCount || d.fileSize < d.pieceCount)
        return false;
    // The smallest common size that covers the file must leave the last piece at least a byte.
    const std::uint64_t piece = d.fileSize / d.pieceCount + (d.fileSize % d.pieceCount ? 1 : 0);
    return static_cast<unsigned __int128>(piece) * (d.pieceCount - 1) < d.fileSize;
}

namespace {

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

bool ReadDigits(std::string_view& text, std::size_t count, std::int64_t& value) {
    if (text.size() < count) return false;
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    text.remove_prefix(count);
    return true;
}

bool Expect(std::string_view& text, char c) {
    if (text.empty() || text[0] != c) return false;
    text.remove_prefix(1);
    return true;
}

constexpr std::string_view kModified = ", last modified ";
constexpr std::string_view kBytes = " bytes";

}  // namespace

std::optional<std::string> IsoUtcText(FileTime seconds, std::uint32_t nanoseconds) {
    const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const std::int64_t inDay = seconds - days * 86400;
    std::int64_t y;
    unsigned m, d;
    CivilFromDays(days, y, m, d);
    if (y < 0 || y > 9999 || nanoseconds > 999999999) return std::nullopt;
    char text[96];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld.%09uZ",
                  static_cast<long long>(y), m, d, static_cast<long long>(inDay / 3600),
                  static_cast<long long>(inDay / 60 % 60), static_cast<long long>(inDay % 60),
                  nanoseconds);
    return std::string(text);
}

std::optional<FileStamp> ReadIsoUtc(std::string_view text) {
    std::int64_t y, mo, d, h, mi, s;
    if (!ReadDigits(text, 4, y) || !Expect(text, '-') || !ReadDigits(text, 2, mo) ||
        !Expect(text, '-') || !ReadDigits(text, 2, d) || !Expect(text, 'T') ||
        !ReadDigits(text, 2, h) || !Expect(text, ':') || !ReadDigits(text, 2, mi) ||
        !Expect(text, ':') || !ReadDigits(text, 2, s))
        return std::nullopt;
    std::uint32_t nanoseconds = 0;
    if (Expect(text, '.')) {
        std::size_t digits = 0;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
        if (digits == 0 || digits > 9) return std::nullopt;
        std::int64_t fraction;
        ReadDigits(text, digits, fraction);
        for (std::size_t i = digits; i < 9; ++i) fraction *= 10;
        nanoseconds = static_cast<std::uint32_t>(fraction);
    }
    if (!Expect(text, 'Z') || !text.empty()) return std::nullopt;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return std::nullopt;
    std::int64_t yy;
    unsigned mm, dd;
    const std::int64_t days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    CivilFromDays(days, yy, mm, dd);
    if (dd != d) return std::nullopt;  // 31 April and the like
    FileStamp stamp;
    stamp.seconds = days * 86400 + h * 3600 + mi * 60 + s;
    stamp.nanoseconds = nanoseconds;
    return stamp;
}

namespace {

// sha256sum's escaping of a name that holds a backslash or a line feed.
bool NeedsEscape(std::string_view name) {
    return name.find_first_of("\\\n") != std::string_view::npos;
}

std::string Escaped(std::string_view name) {
    std::string shown;
    for (const char c : name) {
        if (c == '\\')
            shown += "\\\\";
        else if (c == '\n')
            shown += "\\n";
        else
            shown += c;
    }
    return shown;
}

// Nothing for an escape sha256sum does not write.
std::optional<std::string> Unescaped(std::string_view shown) {
    std::string name;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] != '\\') {
            name += shown[i];
            continue;
        }
        if (++i == shown.size()) return std::nullopt;
        const char c = shown[i];
        if (c != '\\' && c != 'n' && c != 'r') return std::nullopt;
        name += c == 'n' ? '\n' : c == 'r' ? '\r' : '\\';
    }
    return name;
}

std::optional<Sha256Digest> DigestOf(std::string_view hex) {
    if (hex.size() != 64) return std::nullopt;
    Sha256Digest digest{};
    for (std::size_t i = 0; i < 64; ++i) {
        const char c = hex[i];
        const int v = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
        if (v < 0) return std::nullopt;
        digest[i / 2] = static_cast<std::uint8_t>(digest[i / 2] << 4 | v);
    }
    return digest;
}

std::string_view WithoutLeadingBlanks(std::string_view line) {
    while (!line.empty() && (line[0] == ' ' || line[0] == '\t')) line.remove_prefix(1);
    return line;
}

struct HashLine {
    std::string name;
    Sha256Digest digest;
};

// One line in any form sha256sum or shasum reads; nothing for any other line.
std::optional<HashLine> ReadHashLine(std::string_view line) {
    line = WithoutLeadingBlanks(line);
    const bool escaped = !line.empty() && line[0] == '\\';
    if (escaped) line.remove_prefix(1);
    constexpr std::string_view kTag = "SHA256 (", kTagEnd = ") = ";
    std::string_view hex, shown;
    if (line.substr(0, kTag.size()) == kTag) {
        const std::size_t close = line.rfind(kTagEnd);
        if (close == std::string_view::npos || close < kTag.size()) return std::nullopt;
        shown = line.substr(kTag.size(), close - kTag.size());
        hex = line.substr(close + kTagEnd.size());
    } else {
        // "HASH NAME", or with a second blank (text) or a '*' (binary) before the name.
        if (line.size() < 66 || (line[64] != ' ' && line[64] != '\t')) return std::nullopt;
        hex = line.substr(0, 64);
        shown = line.substr(65);
        if (!shown.empty() && (shown[0] == ' ' || shown[0] == '*')) shown.remove_prefix(1);
    }
    const auto digest = DigestOf(hex);
    auto name = escaped ? Unescaped(shown) : std::optional<std::string>(shown);
    if (!digest || !name || name->empty()) return std::nullopt;
    // "./NAME" names the same file as NAME.
    while (name->size() > 2 && name->compare(0, 2, "./") == 0) name->erase(0, 2);
    return HashLine{std::move(*name), *digest};
}

// "# NAME: SIZE bytes[, last modified TIME]", read from the right: names may hold ": ".
void ReadComment(std::string_view line, HashList& list) {
    if (line.size() <= 2 || line.substr(0, 2) != "# ") return;
    std::string_view head = line.substr(2);
    std::optional<FileStamp> modified;
    const std::size_t at = head.rfind(kModified);
    if (at != std::string_view::npos) {
        modified = ReadIsoUtc(head.substr(at + kModified.size()));
        head = head.substr(0, at);
    }
    const std::size_t colon = head.rfind(": ");
    if (head.size() <= kBytes.size() || head.substr(head.size() - kBytes.size()) != kBytes ||
        colon == std::string_view::npos)
        return;
    const std::string_view number = head.substr(colon + 2, head.size() - kBytes.size() - colon - 2);
    std::uint64_t size = 0;
    bool digits = !number.empty() && number.size() <= 19;
    for (const char c : number) {
        digits = digits && c >= '0' && c <= '9';
        size = size * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (!digits) return;
    const std::string_view shown = head.substr(0, colon);
    // A leading backslash marks an escaped name; a list written before names were escaped has
    // none, or an escape that does not read, and keeps the name as it stands.
    std::optional<std::string> name;
    if (!shown.empty() && shown[0] == '\\') name = Unescaped(shown.substr(1));
    list.fileName = name ? *name : std::string(shown);
    list.fileSize = size;
    list.modified = modified;
}

}  // namespace

std::string HashListText(const HashList& list, const std::vector<std::string>& order) {
    std::string text;
    if (!list.fileName.empty()) {
        text += "# " +
                (NeedsEscape(list.fileName) ? "\\" + Escaped(list.fileName) : list.fileName) +
                ": " + std::to_string(list.fileSize) + std::string(kBytes);
        if (list.modified) {
            if (auto when = IsoUtcText(list.modified->seconds, list.modified->nanoseconds))
                text += std::string(kModified) + *when;
        }
        text += '\n';
    }
    for (const auto& name : order) {
        const auto found = list.pieces.find(name);
        if (found == list.pieces.end()) continue;
        // sha256sum marks a name with a backslash or a line end by a leading backslash.
        const bool escaped = NeedsEscape(name);
        text += (escaped ? "\\" : "") + HexDigest(found->second) + "  " +
                (escaped ? Escaped(name) : name) + "\n";
    }
    return text;
}

HashList ReadHashList(std::string_view content) {
    HashList list;
    for (std::size_t number = 1; !content.empty(); ++number) {
        const std::size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string_view text = WithoutLeadingBlanks(line);
        if (text.empty()) continue;
        if (text[0] == '#') {
            if (number == 1) ReadComment(line, list);
            continue;
        }
        auto read = ReadHashLine(line);
        if (!read) {
            if (list.firstBadLine == 0) list.firstBadLine = number;
            continue;
        }
        const auto [at, added] = list.pieces.emplace(read->name, read->digest);
        if (!added && at->second != read->digest) list.disagreeing.insert(read->name);
    }
    return list;
}

}  // namespace olvo
