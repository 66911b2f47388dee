#include "engine/SplitSet.h"

#include <functional>
#include <limits>
#include <optional>

#include "engine/EngineError.h"

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
        bool negative = false;
        if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
            negative = text[0] == '-';
            text.remove_prefix(1);
        }
        unsigned base = 10;
        if (!text.empty() && text[0] == '$') {
            base = 16;
            text.remove_prefix(1);
        } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            base = 16;
            text.remove_prefix(2);
        }
        if (text.empty()) return std::nullopt;
        std::uint64_t value = 0;
        for (const char c : text) {
            unsigned digit;
            if (c >= '0' && c <= '9')
                digit = static_cast<unsigned>(c - '0');
            else if (base == 16 && c >= 'a' && c <= 'f')
                digit = static_cast<unsigned>(c - 'a' + 10);
            else if (base == 16 && c >= 'A' && c <= 'F')
                digit = static_cast<unsigned>(c - 'A' + 10);
            else
                return std::nullopt;
            if (base == 16) {
                if (value >> 60) return std::nullopt;  // more than 64 bits
                value = value * 16 + digit;
            } else {
                // The magnitude of a signed 64-bit value: 2^63 - 1, or 2^63 with a minus sign.
                const std::uint64_t limit =
                    static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) +
                    (negative ? 1 : 0);
                if (value > (limit - digit) / 10) return std::nullopt;
                value = value * 10 + digit;
            }
        }
        return negative ? ~value + 1 : value;
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
    d.pieceCount = static_cast<std::uint32_t>(reader.ReadNumber());
    reader.SkipRestOfLine();
    d.dateText = reader.ReadLine();
    d.fileSize = reader.ReadNumber();
    reader.SkipRestOfLine();
    d.checksum = static_cast<std::uint32_t>(reader.ReadNumber());
    return d;
}

bool IsBatchSafeName(const std::string& name) {
    for (const char c : name) {
        if (c == '"' || static_cast<unsigned char>(c) < 32) return false;
    }
    return true;
}

void WriteBatchFile(const std::string& fileName, const std::string& baseName,
                    std::uint32_t pieceCount, const std::function<void(std::string_view)>& write) {
    if (!IsBatchSafeName(fileName) || !IsBatchSafeName(baseName))
        throw EngineError("The file name cannot be used in a restore batch file");

    write(
        "@ECHO OFF\r\n"
        "ECHO Kestrava File Splitter\r\n"
        "ECHO Restore Batch File\r\n"
        "ECHO Splits large files into pieces and puts them back together.\r\n"
        "ECHO Made by the Kestrava team.\r\n"
        "ECHO Please ensure ALL split files are in this folder!\r\n");

    const std::string target = Quoted(fileName);
    // The single line of the usual case, abandoned as soon as it grows too long.
    std::string line = "COPY /B ";
    bool fits = true;
    for (std::uint32_t k = 1; k <= pieceCount && fits; ++k) {
        line += Quoted(PieceName(baseName, k));
        line += k < pieceCount ? std::string(" + ") : " " + target;
        fits = line.size() <= kBatchLineLimit;
    }
    if (fits) {
        write(line);
        return;
    }

    // Several lines: COPY /B "p1" + ... "pj" "F", then COPY /B "F" + "pj+1" + ... "F".
    std::uint64_t k = 1;
    bool first = true;
    while (k <= pieceCount) {
        line = first ? "COPY /B " : "COPY /B " + target + " + ";
        std::uint32_t onLine = 0;
        while (k <= pieceCount) {
            const std::string entry = Quoted(PieceName(baseName, k));
            const std::size_t joined = (onLine > 0 ? 3 : 0) + entry.size();
            if (onLine > 0 && line.size() + joined + 1 + target.size() > kBatchLineLimit) break;
            if (onLine > 0) line += " + ";
            line += entry;
            ++onLine;
            ++k;
        }
        line += " " + target;
        if (k <= pieceCount) line += "\r\n";
        write(line);
        first = false;
    }
}

std::string BatchFileText(const std::string& fileName, const std::string& baseName,
                          std::uint32_t pieceCount) {
    std::string text;
    WriteBatchFile(fileName, baseName, pieceCount, [&](std::string_view part) { text += part; });
    return text;
}

}  // namespace olvo
