#include "support/FakeFileSystem.h"

#include <cerrno>

namespace olvo::test {
namespace {

class FakeInput final : public InputFile {
  public:
    FakeInput(FakeFileSystem& owner, std::unique_ptr<InputFile> real, bool failing,
              std::uint64_t failAfter)
        : m_owner(owner), m_real(std::move(real)), m_failing(failing), m_failAfter(failAfter) {
        ++m_owner.openFiles;
    }
    ~FakeInput() override { --m_owner.openFiles; }
    std::size_t Read(void* buffer, std::size_t size) override {
        m_owner.CountCall();
        // A read that reaches the bad spot fails whole, as a read of a bad sector does.
        if (m_failing && m_read + size > m_failAfter) ThrowSystemError(EIO);
        const std::size_t got = m_real->Read(buffer, size);
        m_read += got;
        return got;
    }
    FileStamp Stamp() override {
        m_owner.CountCall();
        return m_real->Stamp();
    }
    void Seek(std::uint64_t offset) override {
        m_owner.CountCall();
        m_real->Seek(offset);
        m_read = offset;
    }
    // A read fault counts the bytes: they must pass through Read.
    int Descriptor() const override { return m_failing ? -1 : m_real->Descriptor(); }

  private:
    FakeFileSystem& m_owner;
    std::unique_ptr<InputFile> m_real;
    bool m_failing;
    std::uint64_t m_failAfter;
    std::uint64_t m_read = 0;
};

class FakeOutput final : public OutputFile {
  public:
    FakeOutput(FakeFileSystem& owner, std::unique_ptr<OutputFile> real, std::string path)
        : m_owner(owner), m_real(std::move(real)), m_path(std::move(path)) {
        ++m_owner.openFiles;
    }
    ~FakeOutput() override { --m_owner.openFiles; }
    void Write(const void* data, std::size_t size) override {
        m_owner.CountCall();
        if (m_owner.failWritesAfter) {
            const std::uint64_t room = m_owner.written >= *m_owner.failWritesAfter
                                           ? 0
                                           : *m_owner.failWritesAfter - m_owner.written;
            if (room < size) {
                m_real->Write(data, static_cast<std::size_t>(room));
                m_owner.written += room;
                ThrowSystemError(m_owner.writeError);
            }
        }
        m_real->Write(data, size);
        m_owner.written += size;
    }
    void Flush() override {
        m_owner.CountCall();
        m_real->Flush();
        m_owner.Synced(m_path);
    }
    void Truncate(std::uint64_t size) override {
        m_owner.CountCall();
        m_real->Truncate(size);
    }
    bool SetLastWriteTime(FileTime time) override {
        m_owner.CountCall();
        return m_real->SetLastWriteTime(time);
    }
    bool SetExactTime(FileTime seconds, std::uint32_t nanoseconds) override {
        m_owner.CountCall();
        return m_real->SetExactTime(seconds, nanoseconds);
    }
    // A disk that fills up counts the bytes: they must pass through Write.
    int Descriptor() const override { return m_owner.failWritesAfter ? -1 : m_real->Descriptor(); }

  private:
    FakeFileSystem& m_owner;
    std::unique_ptr<OutputFile> m_real;
    std::string m_path;
};

// Everything in the file at path, read past the fake; nothing when it cannot be read.
std::optional<std::string> Contents(FileSystem& files, const std::string& path) {
    try {
        auto file = files.OpenRead(path);
        std::string bytes;
        char buffer[65536];
        while (const std::size_t got = file->Read(buffer, sizeof buffer)) bytes.append(buffer, got);
        return bytes;
    } catch (const FileError&) {
        return std::nullopt;
    }
}

}  // namespace

FakeFileSystem::FakeFileSystem(CopyMethod method)
    : OwnedFileSystem{MakeSystemFileSystem(method)}, FileSystemWrapper(*owned) {}

bool FakeFileSystem::Fails() {
    const int index = calls++;
    return (failCallFrom && index >= *failCallFrom) || (failCallAt && index == *failCallAt);
}

void FakeFileSystem::CountCall() {
    if (Fails()) ThrowSystemError(failCallError);
}

std::optional<FileInfo> FakeFileSystem::Lookup(const std::string& path) {
    if (Fails()) return std::nullopt;
    return Target().Lookup(path);
}

std::unique_ptr<InputFile> FakeFileSystem::OpenRead(const std::string& path) {
    CountCall();
    return std::make_unique<FakeInput>(*this, Target().OpenRead(path), path == failReadPath,
                                       failReadAfter);
}

std::unique_ptr<OutputFile> FakeFileSystem::Create(const std::string& path) {
    CountCall();
    if (refuseCreate.count(path)) ThrowSystemError(EACCES);
    created.push_back(path);
    auto file = std::make_unique<FakeOutput>(*this, Target().Create(path), path);
    if (trackUnsynced) {
        std::lock_guard lock(m_syncedLock);
        m_synced[path].clear();
    }
    return file;
}

bool FakeFileSystem::Delete(const std::string& path) {
    if (Fails() || refuseDelete.count(path)) return false;
    if (!Target().Delete(path)) return false;
    std::lock_guard lock(m_syncedLock);
    m_synced.erase(path);
    return true;
}

std::int64_t FakeFileSystem::FreeSpace(const std::string& folder) {
    if (Fails()) return -1;
    if (freeSpace) return folder.empty() ? -1 : freeSpace(folder);
    return Target().FreeSpace(folder);
}

std::unique_ptr<OutputFile> FakeFileSystem::CreateExclusive(const std::string& path) {
    CountCall();
    if (refuseCreate.count(path)) ThrowSystemError(EACCES);
    created.push_back(path);
    auto file = std::make_unique<FakeOutput>(*this, Target().CreateExclusive(path), path);
    if (trackUnsynced) {
        std::lock_guard lock(m_syncedLock);
        m_synced[path].clear();
    }
    return file;
}

bool FakeFileSystem::DeleteIfUnlocked(const std::string& path) {
    if (Fails() || refuseDelete.count(path)) return false;
    return Target().DeleteIfUnlocked(path);
}

void FakeFileSystem::Rename(const std::string& from, const std::string& to) {
    CountCall();
    Target().Rename(from, to);
    // The new name is kept (a journal keeps names); what the file holds is as synced as before.
    std::lock_guard lock(m_syncedLock);
    const auto tracked = m_synced.find(from);
    if (tracked != m_synced.end()) {
        m_synced[to] = std::move(tracked->second);
        m_synced.erase(from);
    } else {
        m_synced.erase(to);
    }
}

std::vector<std::string> FakeFileSystem::List(const std::string& folder) {
    if (Fails()) return {};
    return Target().List(folder);
}

std::size_t FakeFileSystem::MaxNameLength(const std::string& folder) {
    if (Fails()) return 255;
    return Target().MaxNameLength(folder);
}

bool FakeFileSystem::IsRemovable(const std::string&) {
    if (Fails()) return false;
    return removable;
}

std::optional<std::uint64_t> FakeFileSystem::LargestFile(const std::string& folder) {
    return largestFile ? largestFile(folder) : Target().LargestFile(folder);
}

std::unique_ptr<FileLock> FakeFileSystem::TryLock(const std::string& path) {
    CountCall();
    return Target().TryLock(path);
}

void FakeFileSystem::SyncVolume(const std::string& folder) {
    CountCall();
    ++syncCount;
    Target().SyncVolume(folder);
    const auto volume = Target().Identity(folder.empty() ? "." : folder);
    std::lock_guard lock(m_syncedLock);
    for (auto& [path, synced] : m_synced) {
        const auto identity = Target().Identity(path);
        if (!volume || !identity || identity->device != volume->device) continue;
        if (auto now = Contents(Target(), path)) synced = std::move(*now);
    }
}

void FakeFileSystem::Synced(const std::string& path) {
    std::lock_guard lock(m_syncedLock);
    const auto tracked = m_synced.find(path);
    if (tracked == m_synced.end()) return;
    if (auto now = Contents(Target(), path)) tracked->second = std::move(*now);
}

void FakeFileSystem::DropUnsynced() {
    std::lock_guard lock(m_syncedLock);
    for (const auto& [path, synced] : m_synced) {
        if (!Target().FileExists(path)) continue;
        auto file = Target().Create(path);
        file->Write(synced.data(), synced.size());
        file->Flush();
    }
}

std::uint64_t FakeFileSystem::Copy(InputFile& from, OutputFile& to, std::uint64_t limit,
                                   const std::function<void(std::uint64_t)>& progress) {
    const std::uint64_t before = written;
    // Write has counted what went through the buffer; the rest went through the kernel.
    auto count = [&](std::uint64_t done) {
        const std::uint64_t counted = written - before;
        if (done > counted) written += done - counted;
    };
    const std::uint64_t copied = Target().Copy(from, to, limit, [&](std::uint64_t done) {
        count(done);
        if (progress) progress(done);
    });
    count(copied);
    return copied;
}

}  // namespace olvo::test
