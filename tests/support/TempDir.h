#pragma once
// Real files in a temporary folder, removed with the folder at the end of the test.

#include <cstdint>
#include <string>

#include "platform/FileSystem.h"

namespace olvo::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    // The full path of name inside the folder; a "/" in name (between folders) becomes the
    // platform's delimiter.
    std::string operator/(const std::string& name) const;

  private:
    std::string m_path;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// Makes a folder (its parent must exist); an existing one is fine.
void MakeFolder(const std::string& path);
// The last-write time of a file, and setting it; both raise when the system refuses.
FileTime ModifiedTime(const std::string& path);
void SetModifiedTime(const std::string& path, FileTime time);
// Bytes whose values depend on their offset and on seed, so that misplaced bytes show.
std::string PatternBytes(std::size_t size, std::uint32_t seed = 1);

// How the system words the reason for a file that is not there, a file made in a folder that is
// not there, and a path that leads through a file (wine's words on Windows).
#ifdef _WIN32
inline constexpr char kNoFileReason[] = "File not found";
inline constexpr char kNoFolderReason[] = "Path not found";
inline constexpr char kThroughAFileReason[] = "Path not found";
#else
inline constexpr char kNoFileReason[] = "No such file or directory";
inline constexpr char kNoFolderReason[] = "No such file or directory";
inline constexpr char kThroughAFileReason[] = "Not a directory";
#endif

}  // namespace olvo::test
