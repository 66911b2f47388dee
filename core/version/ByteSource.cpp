#include "core/version/ByteSource.h"

#include <cstring>
#include <filesystem>
#include <limits>

namespace olvo {

bool MemoryByteSource::ReadAt(std::uint64_t offset, void* into, std::size_t size) const {
    if (offset > m_bytes.size() || size > m_bytes.size() - offset) return false;
    if (size > 0) std::memcpy(into, m_bytes.data() + offset, size);
    return true;
}

FileByteSource::FileByteSource(const std::string& path) {
    // Only regular files: opening a named pipe would wait for a writer that may never come.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return;
    m_stream.open(path, std::ios::binary);
    if (!m_stream.is_open()) return;
    m_stream.seekg(0, std::ios::end);
    const std::streamoff end = m_stream.tellg();
    if (!m_stream || end < 0) {
        m_stream.close();
        return;
    }
    m_size = static_cast<std::uint64_t>(end);
}

bool FileByteSource::ReadAt(std::uint64_t offset, void* into, std::size_t size) const {
    if (!m_stream.is_open() || offset > m_size || size > m_size - offset) return false;
    if (size > static_cast<std::size_t>(std::numeric_limits<std::streamsize>::max())) return false;
    m_stream.clear();
    if (!m_stream.seekg(static_cast<std::streamoff>(offset))) return false;
    m_stream.read(static_cast<char*>(into), static_cast<std::streamsize>(size));
    return m_stream.gcount() == static_cast<std::streamsize>(size);
}

}  // namespace olvo
