#pragma once
// A compiled help file (OLVO.chm) opened for reading: the files it holds, their bytes, and the
// names its header gives for the table of contents, the index, the default page and the title.
// Reading goes through chmlib; the file is outside data, so every size and offset it states is
// checked before use and no single file inside is read past kMaxHelpEntrySize.
//
// Paths inside the help file are absolute and case-insensitive: "/splitting.html". A path given
// without the leading "/" is taken from the root.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct chmFile;

namespace olvo {

// Larger entries are not read: no page or picture of ours comes near it.
inline constexpr std::size_t kMaxHelpEntrySize = 16u << 20;

// What the header (the internal file "/#SYSTEM") names; each text empty when it names nothing.
struct HelpFileHeader {
    std::string contentsFile;  // "OLVO.hhc", as the project named it
    std::string indexFile;
    std::string defaultTopic;
    std::string title;
};

// Reads the records of a "/#SYSTEM" file: a 32-bit version, then records of a 16-bit code, a
// 16-bit length and that many bytes (texts end at their first NUL). A record that runs past the
// end ends the reading; what was read before it stands.
HelpFileHeader ParseHelpFileHeader(std::string_view bytes);

class HelpFile {
  public:
    // The help file at path, or null when it is missing, unreadable or not a compiled help file.
    static std::unique_ptr<HelpFile> Open(const std::string& path);
    ~HelpFile();
    HelpFile(const HelpFile&) = delete;
    HelpFile& operator=(const HelpFile&) = delete;

    // The paths of the files it holds, in its own order, without folders and without the
    // compiler's internal files (names starting "/#" or "/$", and the "::" streams).
    std::vector<std::string> List();

    // The bytes of the file at path; nothing when it is not there, is larger than
    // kMaxHelpEntrySize or cannot be read whole.
    std::optional<std::string> Read(std::string_view path);

    const HelpFileHeader& Header() const { return m_header; }

    // The path of the table of contents: the header's, else the first ".hhc" file listed;
    // empty when there is none. ContentsPath and IndexPath start with "/".
    const std::string& ContentsPath() const { return m_contentsPath; }
    // The path of the index, found the same way (".hhk"); empty when there is none.
    const std::string& IndexPath() const { return m_indexPath; }

  private:
    explicit HelpFile(chmFile* file);

    chmFile* m_file;
    HelpFileHeader m_header;
    std::string m_contentsPath;
    std::string m_indexPath;
};

}  // namespace olvo
