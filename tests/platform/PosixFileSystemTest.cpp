// The file system of this machine, on real files in a temporary folder: what each kind of thing
// at a path gives, the free space of a folder not made yet, and the copy in the kernel and
// through the buffer, with the buffer taking over where the kernel cannot copy.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace olvo {
namespace {

using namespace test;

enum class Kind { Nothing, File, Folder, Pipe, LinkToFile, BrokenLink };

// Makes a thing of kind at path; "target" beside it is what a link leads to.
void Make(Kind kind, const std::string& path, const std::string& target) {
    switch (kind) {
        case Kind::Nothing:
            break;
        case Kind::File:
            WriteFile(path, "old");
            break;
        case Kind::Folder:
            MakeFolder(path);
            break;
        case Kind::Pipe:
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
            break;
        case Kind::LinkToFile:
            WriteFile(target, "old");
            ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
            break;
        case Kind::BrokenLink:
            ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
            break;
    }
}

// The error number a call raised, 0 when it did not raise.
template <typename Call>
int ErrorOf(Call call) {
    try {
        call();
        return 0;
    } catch (const FileError& error) {
        return error.Code();
    }
}

// Nothing here may wait: a pipe without a writer or reader is refused, not opened. A link is
// read through but never written through: the new file takes the link's place.
TEST(PosixFileSystem, WhatEachKindOfThingAtAPathGives) {
    struct Row {
        Kind kind;
        bool fileExists, occupied, found, isFolder;
        int openRead, createExclusive, create;
    };
    const Row rows[] = {
        {Kind::Nothing, false, false, false, false, ENOENT, 0, 0},
        {Kind::File, true, true, true, false, 0, EEXIST, 0},
        {Kind::Folder, false, true, true, true, EACCES, EEXIST, EISDIR},
        {Kind::Pipe, false, true, true, false, EACCES, EEXIST, EACCES},
        {Kind::LinkToFile, true, true, true, false, 0, EEXIST, 0},
        {Kind::BrokenLink, false, true, false, false, ENOENT, EEXIST, 0},
    };
    auto files = MakeSystemFileSystem();
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.kind));
        TempDir dir;
        const std::string path = dir / "thing", target = dir / "target";
        Make(row.kind, path, target);
        EXPECT_EQ(files->FileExists(path), row.fileExists);
        EXPECT_EQ(files->Occupied(path), row.occupied);
        EXPECT_EQ(files->Identity(path).has_value(), row.found);
        const auto entry = files->Find(path);
        ASSERT_EQ(entry.has_value(), row.found);
        if (entry) {
            EXPECT_EQ(entry->isFolder, row.isFolder);
            EXPECT_EQ(entry->storedName, "thing");
            EXPECT_EQ(entry->size, row.fileExists ? 3u : 0u);
        }
        EXPECT_EQ(ErrorOf([&] {
                      char buffer[8];
                      EXPECT_EQ(files->OpenRead(path)->Read(buffer, sizeof buffer), 3u);
                  }),
                  row.openRead);
        EXPECT_EQ(ErrorOf([&] { files->CreateExclusive(path); }), row.createExclusive);
        if (row.kind == Kind::Nothing) {
            ASSERT_TRUE(files->Delete(path));  // made just now
        }
        EXPECT_EQ(ErrorOf([&] { files->Create(path)->Write("new", 3); }), row.create);
        if (row.create == 0) {
            struct stat st {};
            ASSERT_EQ(::lstat(path.c_str(), &st), 0);
            EXPECT_TRUE(S_ISREG(st.st_mode));
            EXPECT_EQ(ReadFile(path), "new");
        }
        // What a link led to is as it was: kept, or still not there.
        if (row.kind == Kind::LinkToFile) {
            EXPECT_EQ(ReadFile(target), "old");
        }
        if (row.kind == Kind::BrokenLink) {
            EXPECT_FALSE(Exists(target));
        }
    }
}

// The free space of a folder that is not made yet (a split makes it) is that of the volume its
// nearest existing ancestor lies on.
TEST(PosixFileSystem, FreeSpaceOfAFolderNotMadeYetIsThatOfItsNearestAncestor) {
    auto files = MakeSystemFileSystem();
    TempDir dir;
    WriteFile(dir / "file", "x");
    const std::int64_t here = files->FreeSpace(dir.Path());
    ASSERT_GT(here, 0);
    for (const std::string& path : {dir / "not/made/yet", dir / "not/made/yet/", dir / "not//made",
                                    dir / "file", dir / "file/below"}) {
        // Other programs write meanwhile: the same volume within a margin.
        EXPECT_NEAR(static_cast<double>(files->FreeSpace(path)), static_cast<double>(here),
                    1024.0 * 1024 * 1024)
            << path;
        EXPECT_NO_THROW(files->SyncVolume(path)) << path;
    }
    // A volume of another kind, told apart by its answer: the process table has no room at all.
    EXPECT_EQ(files->FreeSpace("/proc/no/such/folder"), 0);
    EXPECT_EQ(files->FreeSpace(""), -1);
}

// A pipe: the kernel copy refuses it as a source.
class PipeInput final : public InputFile {
  public:
    explicit PipeInput(int fd) : m_fd(fd) {}
    ~PipeInput() override { ::close(m_fd); }
    std::size_t Read(void* buffer, std::size_t size) override {
        std::size_t total = 0;
        while (total < size) {
            const ssize_t n = ::read(m_fd, static_cast<char*>(buffer) + total, size - total);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) ThrowSystemError(errno);
            if (n == 0) break;
            total += static_cast<std::size_t>(n);
        }
        return total;
    }
    FileStamp Stamp() override { return {}; }
    void Seek(std::uint64_t) override { ThrowSystemError(ESPIPE); }
    int Descriptor() const override { return m_fd; }

  private:
    int m_fd;
};

// A file opened to append to: the kernel copy refuses it as a destination.
class AppendOutput final : public OutputFile {
  public:
    explicit AppendOutput(const std::string& path)
        : m_fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600)) {
        if (m_fd < 0) ThrowSystemError(errno);
    }
    ~AppendOutput() override { ::close(m_fd); }
    void Write(const void* data, std::size_t size) override {
        if (::write(m_fd, data, size) != static_cast<ssize_t>(size)) ThrowSystemError(EIO);
    }
    void Flush() override {}
    bool SetLastWriteTime(FileTime) override { return false; }
    int Descriptor() const override { return m_fd; }

  private:
    int m_fd;
};

// Whether this machine's kernel copies between two files of folder.
bool KernelCopies(const TempDir& dir) {
    WriteFile(dir / "probe.in", "probe");
    const int in = ::open((dir / "probe.in").c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open((dir / "probe.out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const bool copies =
        in >= 0 && out >= 0 && ::copy_file_range(in, nullptr, out, nullptr, 5, 0) == 5;
    ::close(in);
    ::close(out);
    return copies;
}

// A split copies a source piece by piece, each copy going on where the one before stopped; the
// last stops short at the end. Both methods give the same bytes, whether the kernel can copy
// between the two files or the buffer takes over.
TEST(PosixFileSystem, EitherCopyMethodGivesTheSameBytesPieceByPiece) {
    enum class Source { File, Pipe };
    enum class Destination { Created, Appended };
    struct Row {
        CopyMethod method;
        Source source;
        Destination destination;
    };
    const Row rows[] = {
        {CopyMethod::KernelWherePossible, Source::File, Destination::Created},
        {CopyMethod::KernelWherePossible, Source::Pipe, Destination::Created},
        {CopyMethod::KernelWherePossible, Source::File, Destination::Appended},
        {CopyMethod::Buffered, Source::File, Destination::Created},
        {CopyMethod::Buffered, Source::Pipe, Destination::Appended},
    };
    TempDir probe;
    const bool kernel = KernelCopies(probe);
    for (const Row& row : rows) {
        auto files = MakeSystemFileSystem(row.method);
        for (const std::size_t size : {std::size_t{0}, std::size_t{1}, kCopyBufferSize - 1,
                                       kCopyBufferSize + 1, std::size_t{(3u << 20) + 7}}) {
            SCOPED_TRACE(testing::Message()
                         << "method " << static_cast<int>(row.method) << ", source "
                         << static_cast<int>(row.source) << ", destination "
                         << static_cast<int>(row.destination) << ", " << size << " bytes");
            TempDir dir;
            const std::string bytes = PatternBytes(size, static_cast<std::uint32_t>(size));
            WriteFile(dir / "source", bytes);
            std::unique_ptr<InputFile> from;
            std::thread writer;
            if (row.source == Source::File) {
                from = files->OpenRead(dir / "source");
            } else {
                int ends[2];
                ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
                from = std::make_unique<PipeInput>(ends[0]);
                writer = std::thread([&bytes, fd = ends[1]] {
                    // A reader that stops early ends the writing, without a signal.
                    sigset_t pipeSignal;
                    sigemptyset(&pipeSignal);
                    sigaddset(&pipeSignal, SIGPIPE);
                    ::pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
                    for (std::size_t at = 0; at < bytes.size();) {
                        const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
                        if (n <= 0) break;
                        at += static_cast<std::size_t>(n);
                    }
                    ::close(fd);
                });
            }
            const std::uint64_t piece = size / 3 + 1;
            std::string joined;
            bool bigSteps = false;
            for (int k = 0;; ++k) {
                const std::string name = dir / ("piece" + std::to_string(k));
                std::uint64_t copied = 0;
                std::vector<std::uint64_t> steps;
                {
                    std::unique_ptr<OutputFile> to;
                    if (row.destination == Destination::Created)
                        to = files->Create(name);
                    else
                        to = std::make_unique<AppendOutput>(name);
                    copied = files->Copy(*from, *to, piece,
                                         [&](std::uint64_t done) { steps.push_back(done); });
                }
                const std::string got = ReadFile(name);
                EXPECT_EQ(got.size(), copied);
                EXPECT_LE(copied, piece);
                // The progress counts up to what was copied.
                for (std::size_t i = 0; i < steps.size(); ++i) {
                    EXPECT_GT(steps[i], i == 0 ? 0 : steps[i - 1]);
                    bigSteps |= steps[i] - (i == 0 ? 0 : steps[i - 1]) > kCopyBufferSize;
                }
                EXPECT_EQ(steps.empty() ? 0 : steps.back(), copied);
                joined += got;
                if (copied < piece) break;
            }
            from.reset();
            if (writer.joinable()) writer.join();
            EXPECT_EQ(joined, bytes);
            // Only the kernel moves more than a buffer at a step: it copied where both files
            // allow, and left the rest to the buffer.
            const bool kernelPair = row.method == CopyMethod::KernelWherePossible &&
                                    row.source == Source::File &&
                                    row.destination == Destination::Created;
            EXPECT_EQ(bigSteps, kernel && kernelPair && piece > kCopyBufferSize);
        }
    }
}

}  // namespace
}  // namespace olvo
