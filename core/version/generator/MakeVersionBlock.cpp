// Build tool: writes the version-information block of our executables as a C++ source file.
//
//   MakeVersionBlock STRINGS VERSION OUTPUT
//
// STRINGS holds "Key=Value" lines (UTF-8; blank lines and lines starting with "#" are skipped);
// they become one string table under language 0409, code page 04E4, in the order given. VERSION is
// up to four dot-separated numbers, 0..65535, for the fixed file information. OUTPUT defines
// olvo_version_block in the ELF section the version reader looks in. Exit status 0 on success,
// 1 with a message on stderr otherwise.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/version/ExecutableImage.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Node {
    std::string key;
    std::uint16_t type = 0;  // 1 text
    Bytes value;
    std::uint16_t valueLength = 0;  // 16-bit units for text, bytes otherwise
    std::vector<Node> children;
};

void PutWord(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutDword(Bytes& out, std::uint32_t value) {
    PutWord(out, static_cast<std::uint16_t>(value & 0xFFFF));
    PutWord(out, static_cast<std::uint16_t>(value >> 16));
}

void Align(Bytes& out) {
    while (out.size() % 4 != 0) out.push_back(0);
}

// UTF-16LE of UTF-8 text, with a terminating zero unit.
Bytes Utf16(std::string_view text) {
    Bytes out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        const std::size_t extra = lead < 0x80         ? 0
                                  : (lead >> 5) == 6  ? 1
                                  : (lead >> 4) == 14 ? 2
                                  : (lead >> 3) == 30 ? 3
                                                      : 99;
        if (extra == 99 || i + extra >= text.size())
            throw std::runtime_error("the strings are not valid UTF-8");
        char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<std::uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) throw std::runtime_error("the strings are not valid UTF-8");
            code = (code << 6) | (next & 0x3F);
        }
        i += extra + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            PutWord(out, static_cast<std::uint16_t>(0xD800 + (code >> 10)));
            PutWord(out, static_cast<std::uint16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            PutWord(out, static_cast<std::uint16_t>(code));
        }
    }
    PutWord(out, 0);
    return out;
}

void Write(Bytes& out, const Node& node) {
    Align(out);
    const std::size_t start = out.size();
    PutWord(out, 0);  // wLength, filled in below
    PutWord(out, node.valueLength);
    PutWord(out, node.type);
    const Bytes key = Utf16(node.key);
    out.insert(out.end(), key.begin(), key.end());
    Align(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const Node& child : node.children) Write(out, child);
    const std::size_t length = out.size() - start;
    if (length > 0xFFFF) throw std::runtime_error("the version block is larger than 65535 bytes");
    out[start] = static_cast<std::uint8_t>(length & 0xFF);
    out[start + 1] = static_cast<std::uint8_t>(length >> 8);
}

Node TextNode(const std::string& key, const std::string& text) {
    Node node{key, 1, Utf16(text), 0, {}};
    node.valueLength = static_cast<std::uint16_t>(node.value.size() / 2);
    return node;
}

std::vector<std::uint16_t> ParseVersion(const std::string& text) {
    std::vector<std::uint16_t> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, '.')) {
        if (part.empty() || part.size() > 5 ||
            part.find_first_not_of("0123456789") != std::string::npos || std::stoul(part) > 0xFFFF)
            throw std::runtime_error("bad version number: " + text);
        parts.push_back(static_cast<std::uint16_t>(std::stoul(part)));
    }
    if (parts.empty() || parts.size() > 4) throw std::runtime_error("bad version number: " + text);
    parts.resize(4, 0);
    return parts;
}

Bytes FixedFileInfo(const std::vector<std::uint16_t>& v) {
    const std::uint32_t ms = (std::uint32_t{v[0]} << 16) | v[1];
    const std::uint32_t ls = (std::uint32_t{v[2]} << 16) | v[3];
    Bytes out;
    PutDword(out, 0xFEEF04BD);  // signature
    PutDword(out, 0x00010000);  // structure version 1.0
    PutDword(out, ms);          // file version
    PutDword(out, ls);
    PutDword(out, ms);  // product version
    PutDword(out, ls);
    PutDword(out, 0x3F);        // flags mask
    PutDword(out, 0);           // flags: a release build
    PutDword(out, 0x00040004);  // VOS_NT_WINDOWS32
    PutDword(out, 1);           // VFT_APP
    PutDword(out, 0);           // subtype
    PutDword(out, 0);           // date
    PutDword(out, 0);
    return out;
}

Node Block(const std::vector<std::pair<std::string, std::string>>& strings,
           const std::vector<std::uint16_t>& version) {
    Node table{"040904E4", 1, {}, 0, {}};
    for (const auto& [key, value] : strings) table.children.push_back(TextNode(key, value));
    Node stringInfo{"StringFileInfo", 1, {}, 0, {table}};

    Node translation{"Translation", 0, {}, 4, {}};
    PutWord(translation.value, 0x0409);
    PutWord(translation.value, 0x04E4);
    Node varInfo{"VarFileInfo", 1, {}, 0, {translation}};

    Node root{"VS_VERSION_INFO", 0, FixedFileInfo(version), 0, {stringInfo, varInfo}};
    root.valueLength = static_cast<std::uint16_t>(root.value.size());
    return root;
}

std::vector<std::pair<std::string, std::string>> ReadStrings(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::vector<std::pair<std::string, std::string>> strings;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos || equals == 0)
            throw std::runtime_error(path + ": not a Key=Value line: " + line);
        strings.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
    return strings;
}

std::string Source(const Bytes& block) {
    std::ostringstream out;
    out << "// Generated by MakeVersionBlock from the version strings in resources/ and the "
           "project\n"
           "// version; change those, not this file.\n\n"
           "extern \"C\" {\n"
           "extern const unsigned char olvo_version_block[];\n"
           "// A section of its own, where the version reader looks for it in the executable "
           "file.\n"
           "__attribute__((section(\""
        << olvo::kVersionSectionName << "\"), used, aligned(4)))\n"
        << "const unsigned char olvo_version_block[" << block.size() << "] = {";
    for (std::size_t i = 0; i < block.size(); ++i) {
        out << (i % 16 == 0 ? "\n    " : " ") << static_cast<unsigned>(block[i]) << ",";
    }
    out << "\n};\n}\n";
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: MakeVersionBlock STRINGS VERSION OUTPUT\n");
        return 1;
    }
    try {
        Bytes block;
        Write(block, Block(ReadStrings(argv[1]), ParseVersion(argv[2])));
        std::ofstream out(argv[3], std::ios::trunc);
        out << Source(block);
        out.close();
        if (!out) throw std::runtime_error(std::string("cannot write ") + argv[3]);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "MakeVersionBlock: %s\n", error.what());
        return 1;
    }
}
