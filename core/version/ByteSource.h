#pragma once
// Random access to the bytes of a file or of a buffer, so that the same code finds a version
// block in a file on disk and in a fuzzer's input without reading whole executables into memory.

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <span>
#include <string>

namespace olvo {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // The number of bytes there are; 0 for a file that cannot be opened.
    virtual std::uint64_t Size() const = 0;
    // Reads exactly size bytes from offset into into; false (into undefined) when they are not
    // all there or cannot be read. Never raises.
    virtual bool ReadAt(std::uint64_t offset, void* into, std::size_t size) const = 0;
};

// A view of a buffer the caller keeps alive.
class MemoryByteSource : public ByteSource {
  public:
    explicit MemoryByteSource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    std::uint64_t Size() const override { return m_bytes.size(); }
    bool ReadAt(std::uint64_t offset, void* into, std::size_t size) const override;

  private:
    std::span<const std::uint8_t> m_bytes;
};

// A regular file opened for reading; anything else (missing, unreadable, a folder, a device, a
// pipe) reads as having no bytes.
class FileByteSource : public ByteSource {
  public:
    explicit FileByteSource(const std::string& path);
    std::uint64_t Size() const override { return m_size; }
    bool ReadAt(std::uint64_t offset, void* into, std::size_t size) const override;

  private:
    mutable std::ifstream m_stream;
    std::uint64_t m_size = 0;
};

}  // namespace olvo
