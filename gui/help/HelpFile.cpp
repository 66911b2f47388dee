#include "gui/help/HelpFile.h"

#include <chm_lib.h>

#include <cstdint>
#include <cstring>

namespace olvo {
namespace {

std::string AbsoluteHelpPath(std::string_view path) {
    if (!path.empty() && path.front() == '/') return std::string(path);
    return "/" + std::string(path);
}

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size()) return false;
    text.remove_prefix(text.size() - tail.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        const char c = text[i];
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != tail[i]) return false;
    }
    return true;
}

std::uint16_t Word(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

int AddPath(chmFile* /*file*/, chmUnitInfo* unit, void* context) {
    auto& paths = *static_cast<std::vector<std::string>*>(context);
    // The path is a fixed buffer; a name that fills it without an end is not trusted.
    const std::string_view path(unit->path, ::strnlen(unit->path, sizeof unit->path));
    if (path.size() < 2 || path.size() == sizeof unit->path || path.back() == '/' ||
        path.front() != '/' || path[1] == '#' || path[1] == '$')
        return CHM_ENUMERATOR_CONTINUE;
    paths.emplace_back(path);
    return CHM_ENUMERATOR_CONTINUE;
}

}  // namespace

HelpFileHeader ParseHelpFileHeader(std::string_view bytes) {
    HelpFileHeader header;
    std::size_t at = 4;  // past the version
    while (at + 4 <= bytes.size()) {
        const std::uint16_t code = Word(bytes, at);
        const std::size_t length = Word(bytes, at + 2);
        at += 4;
        if (length > bytes.size() - at) break;
        std::string_view data = bytes.substr(at, length);
        data = data.substr(0, data.find('\0'));
        at += length;
        switch (code) {
            case 0:
                header.contentsFile = data;
                break;
            case 1:
                header.indexFile = data;
                break;
            case 2:
                header.defaultTopic = data;
                break;
            case 3:
                header.title = data;
                break;
            default:
                break;
        }
    }
    return header;
}

std::unique_ptr<HelpFile> HelpFile::Open(const std::string& path) {
    if (path.empty()) return nullptr;
    chmFile* file = chm_open(path.c_str());
    if (!file) return nullptr;
    std::unique_ptr<HelpFile> help(new HelpFile(file));
    if (const auto system = help->Read("/#SYSTEM")) help->m_header = ParseHelpFileHeader(*system);

    // A header that names a file the help does not hold is no better than none.
    const auto find = [&](const std::string& named, std::string_view extension) -> std::string {
        if (!named.empty()) {
            chmUnitInfo unit;
            const std::string absolute = AbsoluteHelpPath(named);
            if (absolute.size() < CHM_MAX_PATHLEN &&
                chm_resolve_object(file, absolute.c_str(), &unit) == CHM_RESOLVE_SUCCESS)
                return absolute;
        }
        for (const std::string& listed : help->List())
            if (EndsWithNoCase(listed, extension)) return listed;
        return {};
    };
    help->m_contentsPath = find(help->m_header.contentsFile, ".hhc");
    help->m_indexPath = find(help->m_header.indexFile, ".hhk");
    return help;
}

HelpFile::HelpFile(chmFile* file) : m_file(file) {}

HelpFile::~HelpFile() {
    chm_close(m_file);
}

std::vector<std::string> HelpFile::List() {
    std::vector<std::string> paths;
    chm_enumerate(m_file, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, AddPath, &paths);
    return paths;
}

std::optional<std::string> HelpFile::Read(std::string_view path) {
    const std::string absolute = AbsoluteHelpPath(path);
    if (absolute.size() >= CHM_MAX_PATHLEN || absolute.find('\0') != std::string::npos)
        return std::nullopt;
    chmUnitInfo unit;
    if (chm_resolve_object(m_file, absolute.c_str(), &unit) != CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    if (unit.length > kMaxHelpEntrySize) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(unit.length), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const LONGINT64 got = chm_retrieve_object(
            m_file, &unit, reinterpret_cast<unsigned char*>(bytes.data() + done), done,
            static_cast<LONGINT64>(bytes.size() - done));
        if (got <= 0 || static_cast<std::uint64_t>(got) > bytes.size() - done) return std::nullopt;
        done += static_cast<std::size_t>(got);
    }
    return bytes;
}

}  // namespace olvo
