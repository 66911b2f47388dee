#pragma once
// Real files in a temporary folder, removed with the folder at the end of the test.

#include <cstdint>
#include <string>

namespace olvo::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    // The full path of name inside the folder.
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

  private:
    std::string m_path;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// Bytes whose values depend on their offset and on seed, so that misplaced bytes show.
std::string PatternBytes(std::size_t size, std::uint32_t seed = 1);

}  // namespace olvo::test
