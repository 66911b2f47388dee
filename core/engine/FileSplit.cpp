#include "core/engine/FileSplit.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "core/engine/EngineError.h"
#include "core/engine/FileFunctions.h"
#include "core/engine/Format.h"
#include "core/engine/PieceHasher.h"
#include "core/engine/SplitSet.h"
#include "platform/Clock.h"
#include "platform/Text.h"

namespace olvo {
namespace {

constexpr char kNoDriveText[] =
    "Please ensure media is correctly inserted and drive is not read only.";
constexpr char kNotASplitFile[] = "Not a valid .split file";
constexpr char kChecksumError[] =
    "Checksum error! The restored file may be corrupt. \r\r"
    "Ensure that you have all split pieces in the same folder and try again. You may need to "
    "resplit the original file.";
constexpr char kUnfinished[] = ".unfinished-";
constexpr std::size_t kRandomLength = 6;
// What a small file takes on a medium at least: one allocation block.
constexpr std::uint64_t kBlock = 4096;

std::unique_ptr<InputFile> OpenShared(FileSystem& files, const std::string& path) {
    try {
        return files.OpenRead(path);
    } catch (const FileError& error) {
        throw EngineError(WithReason("Cannot open file " + path, error.Reason()));
    }
}

std::unique_ptr<OutputFile> CreateNew(FileSystem& files, const std::string& path) {
    try {
        return files.Create(path);
    } catch (const FileError& error) {
        throw EngineError(WithReason("Cannot create file " + path, error.Reason()));
    }
}

// Raised when the user asks to stop in the middle of a copy; caught as "Operation aborted!".
class Aborted final : public EngineError {
  public:
    Aborted() : EngineError("Operation aborted") {}
};

void ThrowIfCancelled(Progress& progress) {
    if (progress.CancelRequested()) throw Aborted();
}

// Shows piece k as the one being read, lets the windows repaint, and stops when asked to.
void StartPiece(Progress& progress, std::uint64_t k) {
    progress.SetPosition(static_cast<std::uint32_t>(k));
    progress.ProcessMessages();
    ThrowIfCancelled(progress);
}

bool SameFile(FileSystem& files, const std::optional<FileIdentity>& identity,
              const std::string& path) {
    if (!identity) return false;
    const auto other = files.Identity(path);
    return other && *other == *identity;
}

std::string Grouped(std::uint64_t value) {
    return GroupThousands(value, CurrentThousandsSeparator());
}

// A file being written under a name that says it is unfinished, in the folder of its final
// name; removed unless it was given its final name.
class UnfinishedFile {
  public:
    UnfinishedFile(FileSystem& files, const std::string& folder, const std::string& name)
        : m_files(files) {
        // The name must fit where the final one fits: a long name gives up its end.
        const std::size_t limit = files.MaxNameLength(folder.empty() ? "." : folder);
        const std::size_t room = limit > sizeof kUnfinished - 1 + kRandomLength
                                     ? limit - (sizeof kUnfinished - 1) - kRandomLength
                                     : 1;
        const std::string stem = name.substr(0, std::min(name.size(), room));
        static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        std::random_device seed;
        std::mt19937 random(seed());
        for (int attempt = 0;; ++attempt) {
            std::string suffix;
            for (std::size_t i = 0; i < kRandomLength; ++i)
                suffix += kLetters[random() % (sizeof kLetters - 1)];
            const std::string path = folder + stem + kUnfinished + suffix;
            try {
                m_file = files.CreateExclusive(path);
                m_path = path;
                return;
            } catch (const FileError& error) {
                if (error.Code() != EEXIST || attempt == 20)
                    throw EngineError(
                        WithReason("Cannot create file " + folder + name, error.Reason()));
            }
        }
    }
    UnfinishedFile(const UnfinishedFile&) = delete;
    UnfinishedFile& operator=(const UnfinishedFile&) = delete;
    ~UnfinishedFile() {
        m_file.reset();
        if (!m_done) m_files.Delete(m_path);
    }

    OutputFile& File() { return *m_file; }
    const std::string& Path() const { return m_path; }

    // Flushed, closed and renamed to finalPath, replacing what is there.
    void Finish(const std::string& finalPath) {
        m_file->Flush();
        m_file.reset();
        m_files.Rename(m_path, finalPath);
        m_done = true;
    }

  private:
    FileSystem& m_files;
    std::unique_ptr<OutputFile> m_file;
    std::string m_path;
    bool m_done = false;
};

// Writes text to path by way of a temporary file: path holds the old content or the new, whole.
void WriteSmallFile(FileSystem& files, const std::string& folder, const std::string& name,
                    const std::string& text) {
    UnfinishedFile file(files, folder, name);
    file.File().Write(text.data(), text.size());
    file.Finish(folder + name);
}

// The sizes the pieces of a set must have: all but the last of one common size, the last 1 to
// that size, adding up to the file's size. The common size is learnt from the first piece seen.
class PieceSizes {
  public:
    PieceSizes(std::uint32_t count, std::uint64_t total) : m_count(count), m_total(total) {}

    // Empty when size is right for piece k, else the text that names the piece.
    std::string Check(const std::string& name, std::uint64_t k, std::uint64_t size) {
        const std::uint64_t expected = Expected(k, size);
        if (size == expected) return {};
        return "Piece " + name + " has " + Grouped(size) + " bytes, " + Grouped(expected) +
               " expected";
    }

    std::optional<std::uint64_t> Common() const { return m_piece; }

  private:
    bool Fits(unsigned __int128 piece) const {
        return piece >= 1 && piece * (m_count - 1) < m_total && piece * m_count >= m_total;
    }
    std::uint64_t Expected(std::uint64_t k, std::uint64_t size) {
        const std::uint64_t natural = m_total / m_count + (m_total % m_count ? 1 : 0);
        if (m_count == 1) return m_total;
        if (k < m_count) {
            if (!m_piece && Fits(size)) m_piece = size;
            return m_piece ? *m_piece : natural;
        }
        if (!m_piece && size >= 1 && size <= m_total && (m_total - size) % (m_count - 1) == 0 &&
            Fits((m_total - size) / (m_count - 1)))
            m_piece = (m_total - size) / (m_count - 1);
        return m_total - (m_count - 1) * (m_piece ? *m_piece : natural);
    }

    std::uint32_t m_count;
    std::uint64_t m_total;
    std::optional<std::uint64_t> m_piece;
};

// The descriptor, the names of its set and the files beside it.
struct SetFiles {
    SplitDescriptor descriptor;
    std::string base;  // the descriptor's path without ".split"
    std::string fileName, baseName, pieceFolder, batchPath, hashPath, hashName;
    std::optional<HashList> hashes;

    std::string PieceName(std::uint64_t k) const { return olvo::PieceName(baseName, k); }
    std::string PiecePath(std::uint64_t k) const { return pieceFolder + PieceName(k); }
    const Sha256Digest* HashOf(std::uint64_t k) const {
        if (!hashes) return nullptr;
        const auto found = hashes->pieces.find(PieceName(k));
        return found == hashes->pieces.end() ? nullptr : &found->second;
    }
};

// At most limit bytes of one of the set's small files.
std::string ReadSmallFile(FileSystem& files, const std::string& path, std::size_t limit) {
    auto in = files.OpenRead(path);
    std::string content(static_cast<std::size_t>(std::min<std::uint64_t>(limit, in->Stamp().size)),
                        '\0');
    content.resize(in->Read(content.data(), content.size()));
    return content;
}

SetFiles ReadSet(FileSystem& files, const std::string& descriptorPath) {
    SetFiles set;
    set.descriptor = ReadDescriptor(ReadSmallFile(files, descriptorPath, 1 << 16));
    if (!IsValidDescriptor(set.descriptor)) throw EngineError(kNotASplitFile);
    set.base = WithoutDescriptorSuffix(descriptorPath);
    set.fileName = FileNamePart(set.base, Extension::Keep);
    set.baseName = FileNamePart(set.base, Extension::Drop);
    set.pieceFolder = FolderPart(descriptorPath) + kPathDelimiter;
    set.batchPath = set.base + ".bat";
    set.hashPath = set.base + ".sha256";
    set.hashName = set.fileName + ".sha256";
    if (files.FileExists(set.hashPath)) {
        // A line per piece: a set of many pieces makes a long list.
        const std::uint64_t limit = 4096 + static_cast<std::uint64_t>(set.descriptor.pieceCount) *
                                               (80 + set.baseName.size());
        set.hashes = ReadHashList(
            ReadSmallFile(files, set.hashPath,
                          static_cast<std::size_t>(std::min<std::uint64_t>(limit, 1u << 30))));
    }
    return set;
}

bool IsDescriptorName(const std::string& path) {
    return ToLowerAscii(ExtensionPart(path)) == kDescriptorSuffix;
}

// The start of an operation on the set of descriptorPath: the message and the warnings emptied.
// False, with the message, when descriptorPath is not a descriptor that is there.
bool BeginOnSet(EngineContext& context, const std::string& descriptorPath, std::string& message) {
    message.clear();
    context.warnings.clear();
    if (!IsDescriptorName(descriptorPath) || !context.files.FileExists(descriptorPath)) {
        message = std::string(kNotASplitFile) + "!";
        return false;
    }
    return true;
}

// The text for a piece that failed its hash.
std::string DamagedText(const SetFiles& set, std::uint64_t k) {
    return "Piece " + set.PieceName(k) + " is damaged: its SHA-256 does not match " + set.hashName;
}

// The checksum window of a file of size bytes: the byte offset and length it sums.
struct ChecksumWindow {
    std::uint64_t offset = 0, length = 0;
};

ChecksumWindow WindowOf(std::uint64_t size) {
    const std::uint64_t words = size / 4;
    const std::uint64_t start = words / 2;
    if (words < start + 2) return {};  // no word between the middle and the last whole word
    return {start * 4, std::min<std::uint64_t>(words - 1 - start, 500) * 4};
}

std::uint32_t SumWords(const unsigned char* bytes, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 4 <= size; i += 4) {
        sum += static_cast<std::uint32_t>(bytes[i]) |
               static_cast<std::uint32_t>(bytes[i + 1]) << 8 |
               static_cast<std::uint32_t>(bytes[i + 2]) << 16 |
               static_cast<std::uint32_t>(bytes[i + 3]) << 24;
    }
    return sum;
}

// The checksum of the first size bytes of an open file; leaves it at its start.
std::uint32_t ChecksumOf(InputFile& file, std::uint64_t size) {
    const ChecksumWindow window = WindowOf(size);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(window.length));
    file.Seek(window.offset);
    const std::size_t got = file.Read(buffer.data(), buffer.size());
    file.Seek(0);
    return SumWords(buffer.data(), got);
}

}  // namespace

std::uint32_t FileChecksum(FileSystem& files, const std::string& path) {
    auto file = files.OpenRead(path);
    const auto entry = files.Find(path);
    return ChecksumOf(*file, entry ? entry->size : 0);
}

bool CheckPieceSpace(EngineContext& context, const std::string& destinationFolder,
                     std::uint64_t bytesNeeded, std::string& message, bool* mediaChanged) {
    message.clear();
    std::int64_t free = context.files.FreeSpace(destinationFolder);
    if (free < 0) {
        message = std::string("Cannot write to the destination drive.\r\r") + kNoDriveText;
        return false;
    }
    while (free < 0 || bytesNeeded > static_cast<std::uint64_t>(free)) {
        // The user is about to take the medium out: what is written must be on it.
        context.files.SyncVolume(destinationFolder);
        const auto answer = context.prompt.AskRetryCancel(
            "Split",
            "The split file being copied is too large for the destination drive.\r\r"
            "Insert new media to continue.");
        if (answer != PromptAnswer::Retry) {
            message = "Operation aborted!";
            return false;
        }
        if (mediaChanged) *mediaChanged = true;
        free = context.files.FreeSpace(destinationFolder);
    }
    return true;
}

namespace {

// A failure whose text is whole as it stands, closing punctuation and all.
class WholeMessage final : public std::runtime_error {
  public:
    explicit WholeMessage(const std::string& text) : std::runtime_error(text) {}
};

// One split, as its phases share it.
struct SplitJob {
    SplitJob(EngineContext& context, const SplitOptions& options)
        : context(context), files(context.files), options(options) {}
    EngineContext& context;
    FileSystem& files;
    const SplitOptions& options;
    std::string sourcePath, folder, fileName, baseName, descriptorName, batchName, hashName;
    std::uint64_t fileSize = 0;
    std::uint32_t pieceSize = 0, pieceCount = 0;
    std::unique_ptr<InputFile> input;
    std::optional<FileStamp> before;  // the source as the split found it
    std::string dateText;             // its time as the descriptor gives it
    std::unique_ptr<FileLock> lock;
    // Of the medium at hand: pieces 1 to ownCount, and the small files when ownSmallFiles, are
    // of an earlier split of this same file and make way without a question.
    std::uint64_t ownCount = 0;
    bool ownSmallFiles = false;
    bool claimed = false;             // from here on a failure cleans up
    std::uint64_t replacing = 0;      // pieces of the earlier set that a failure takes away
    std::uint64_t firstOnMedium = 1;  // the first piece written to the medium at hand
    std::uint64_t piecesMade = 0;
    std::vector<std::string> smallWritten;

    std::string PiecePath(std::uint64_t k) const { return folder + PieceName(baseName, k); }
    std::string Where() const {
        return fileName + " into " +
               (folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder);
    }
};

// "NAME (SIZE bytes, DATE)" for the set of descriptor NAME.split in folder; NAME alone when the
// descriptor cannot be read.
std::string SetDescription(FileSystem& files, const std::string& folder, const std::string& name) {
    try {
        const auto descriptor =
            ReadDescriptor(ReadSmallFile(files, folder + DescriptorName(name), 1 << 16));
        if (IsValidDescriptor(descriptor))
            return name + " (" + Grouped(descriptor.fileSize) + " bytes, " + descriptor.dateText +
                   ")";
    } catch (const std::exception&) {
    }
    return name;
}

// The set that owns the pieces in the way: the description of a descriptor NAME.EXT.split in
// folder whose pieces have the base name baseName, other than skipDescriptor.
std::optional<std::string> OtherSetName(FileSystem& files, const std::string& folder,
                                        const std::string& baseName,
                                        const std::string& skipDescriptor) {
    std::vector<std::string> names = files.List(folder.empty() ? "." : folder);
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        if (name == skipDescriptor || !HasDescriptorSuffix(name)) continue;
        const std::string set = WithoutDescriptorSuffix(name);
        if (FileNamePart(std::string(1, kPathDelimiter) + set, Extension::Drop) == baseName)
            return SetDescription(files, folder, set);
    }
    return std::nullopt;
}

// Waits for the lock of one set name in a folder, so that two splits never mix their pieces: says
// so at once, and gives up after options.lockWait. Nothing when no lock can be made there:
// writing the pieces will then fail on its own.
void LockSetName(SplitJob& job) {
    const std::string path = job.folder + "." + job.baseName + ".olvo-lock";
    const auto start = std::chrono::steady_clock::now();
    for (bool told = false;; told = true) {
        try {
            if ((job.lock = job.files.TryLock(path))) return;
        } catch (const FileError&) {
            return;
        }
        if (!told)
            job.context.progress.Notice("waiting for another split of " + job.Where() + "...");
        ThrowIfCancelled(job.context.progress);
        if (job.options.lockWait &&
            std::chrono::steady_clock::now() - start >= *job.options.lockWait)
            throw EngineError("Another split of " + job.Where() + " is running");
        job.context.progress.ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// The note a split keeps in its lock file while it writes: the source's size, time and name and
// how many pieces of it the folder may hold, so that a run after a kill knows its own leftovers.
std::string MarkerText(const SplitJob& job, std::uint64_t count) {
    return std::to_string(job.fileSize) + ' ' + std::to_string(job.before->seconds) + ' ' +
           std::to_string(job.before->nanoseconds) + ' ' + std::to_string(count) + ' ' +
           job.fileName + '\n';
}

// The piece count of a note left by a split of this same file, or 0.
std::uint64_t MarkerCount(const SplitJob& job, const std::string& note) {
    // Only the count may differ from this split's own note: "SIZE SECONDS NANOSECONDS " before
    // it, " NAME\n" after it.
    const std::string own = MarkerText(job, 0);
    const std::string head = own.substr(0, own.size() - job.fileName.size() - 3);
    const std::string tail = ' ' + job.fileName + '\n';
    if (note.size() <= head.size() + tail.size() || note.compare(0, head.size(), head) != 0 ||
        note.compare(note.size() - tail.size(), tail.size(), tail) != 0)
        return 0;
    const std::string count = note.substr(head.size(), note.size() - head.size() - tail.size());
    if (count.size() > 10 || count.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::stoull(count);
}

// How many pieces an earlier set of this same file has in the folder, when there is one: its
// descriptor, or its .sha256 file's comment line, gives the source's size and time.
std::optional<std::uint64_t> OwnEarlierSet(const SplitJob& job) {
    try {
        const auto descriptor =
            ReadDescriptor(ReadSmallFile(job.files, job.folder + job.descriptorName, 1 << 16));
        if (IsValidDescriptor(descriptor))
            return descriptor.fileSize == job.fileSize && descriptor.dateText == job.dateText
                       ? std::optional<std::uint64_t>(descriptor.pieceCount)
                       : std::nullopt;
    } catch (const std::exception&) {
    }
    try {
        const HashList list =
            ReadHashList(ReadSmallFile(job.files, job.folder + job.hashName, 16 << 20));
        if (list.fileName == job.fileName && list.fileSize == job.fileSize && list.modified &&
            list.modified->seconds == job.before->seconds &&
            list.modified->nanoseconds == job.before->nanoseconds)
            return list.pieces.size();
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

// The piece count of the descriptor under the split's descriptor name, whoever's it is; 0 for
// none.
std::uint64_t DescriptorCount(const SplitJob& job) {
    try {
        const auto descriptor =
            ReadDescriptor(ReadSmallFile(job.files, job.folder + job.descriptorName, 1 << 16));
        return IsValidDescriptor(descriptor) ? descriptor.pieceCount : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

// The text for the first file in the split's way that is not its own, or nothing.
std::optional<std::string> FirstInTheWay(SplitJob& job, std::uint64_t from) {
    FileSystem& files = job.files;
    for (std::uint64_t k = std::max(from, job.ownCount + 1); k <= job.pieceCount; ++k) {
        if (!files.Occupied(job.PiecePath(k))) continue;
        const auto owner = OtherSetName(files, job.folder, job.baseName,
                                        job.ownSmallFiles ? job.descriptorName : std::string());
        return owner ? "The pieces of " + *owner : "The file " + PieceName(job.baseName, k);
    }
    if (job.ownSmallFiles) return std::nullopt;
    for (const auto* name : {&job.descriptorName, &job.batchName, &job.hashName}) {
        if (!files.Occupied(job.folder + *name)) continue;
        const std::string owner = SetDescription(files, job.folder, job.fileName);
        return owner != job.fileName ? "The pieces of " + owner : "The file " + *name;
    }
    return std::nullopt;
}

// Claims every name the split writes on the medium at hand, from piece from on: files of an
// earlier split of this same file make way; any other file is asked about (Yes/No) unless
// options.overwrite. Then the earlier set goes: its descriptor must not outlive it, nor its
// pieces past the new count stay beside the new set.
void ClaimMedium(SplitJob& job, std::uint64_t from) {
    const auto earlier = OwnEarlierSet(job);
    job.ownCount = earlier.value_or(0);
    job.ownSmallFiles = earlier.has_value();
    if (from == 1 && job.lock) {
        if (const std::uint64_t left = MarkerCount(job, job.lock->Note())) {
            job.ownCount = std::max(job.ownCount, left);
            job.ownSmallFiles = true;
        }
    }
    if (const auto text = job.options.overwrite ? std::nullopt : FirstInTheWay(job, from)) {
        const bool pieces = text->rfind("The pieces of ", 0) == 0;
        if (!job.context.prompt.AskYesNo(
                "Split", *text + " would be overwritten!\r\rDo you want to overwrite " +
                             (pieces ? "them?" : "it?")))
            throw EngineError(*text + " would be overwritten");
    }
    // The set whose descriptor is replaced goes whole, another file's too once that was allowed.
    const std::uint64_t replaced = std::max(job.ownCount, DescriptorCount(job));
    if (from == 1 && job.lock)
        job.lock->SetNote(MarkerText(job, std::max<std::uint64_t>(replaced, job.pieceCount)));
    job.claimed = true;
    job.replacing = 0;
    for (const std::string& name : {job.descriptorName, job.hashName}) {
        if (job.files.Occupied(job.folder + name) && !job.files.Delete(job.folder + name))
            throw EngineError("Cannot delete file " + job.folder + name);
    }
    job.replacing = replaced;
    for (std::uint64_t k = std::max<std::uint64_t>(from, job.pieceCount + 1); k <= replaced; ++k) {
        if (job.files.Occupied(job.PiecePath(k)) && !job.files.Delete(job.PiecePath(k)))
            throw EngineError("Cannot delete file " + job.PiecePath(k));
    }
}

std::uint64_t OnMedium(std::uint64_t bytes) {
    return (bytes + kBlock - 1) / kBlock * kBlock;
}

// Refuses a split that cannot be made before anything is opened: false with the message.
bool PlanSplit(SplitJob& job, const std::string& destinationFolder, std::string& message) {
    FileSystem& files = job.files;
    job.fileSize = SourceFileSize(files, job.sourcePath);
    if (job.fileSize <= job.pieceSize) {
        message = "File does not need splitting!";
        return false;
    }
    if (job.pieceSize == 0 || job.pieceSize > kMaxPieceSize) {
        message = "Invalid split size!";
        return false;
    }
    const std::uint64_t count = PieceCountFor(job.fileSize, job.pieceSize);
    if (count > std::numeric_limits<std::uint32_t>::max()) {
        message = "Too many split files!";
        return false;
    }
    job.pieceCount = static_cast<std::uint32_t>(count);
    job.fileName = FileNamePart(job.sourcePath, Extension::Keep);
    job.baseName = FileNamePart(job.sourcePath, Extension::Drop);
    // An empty folder names no volume; the space check then refuses before anything is made.
    job.folder =
        destinationFolder.empty() ? std::string() : WithTrailingDelimiter(destinationFolder);
    job.descriptorName = DescriptorName(job.fileName);
    job.batchName = job.fileName + ".bat";
    job.hashName = job.fileName + ".sha256";

    // Every name must fit before the first byte is written.
    if (!job.folder.empty()) {
        std::string longest = PieceName(job.baseName, job.pieceCount);
        for (const std::string* name : {&job.batchName, &job.descriptorName, &job.hashName}) {
            if (name == &job.hashName && !job.options.writeHashes) continue;
            if (name->size() > longest.size()) longest = *name;
        }
        const std::size_t limit = files.MaxNameLength(job.folder);
        if (longest.size() > limit) {
            message = "The file name is too long for the destination folder: " + longest + " has " +
                      std::to_string(longest.size()) + " bytes, at most " + std::to_string(limit) +
                      " fit!";
            return false;
        }
    }

    // Writing a piece over the source would destroy it before it is read.
    const auto source = files.Identity(job.sourcePath);
    bool overwrites = false;
    for (const std::string* name : {&job.descriptorName, &job.batchName, &job.hashName})
        overwrites = overwrites || SameFile(files, source, job.folder + *name);
    for (std::uint64_t k = 1; k <= job.pieceCount && !overwrites; ++k)
        overwrites = SameFile(files, source, job.PiecePath(k));
    if (overwrites) {
        message = "A split file would overwrite the source file!";
        return false;
    }
    return true;
}

void OpenSource(SplitJob& job, SplitDescriptor& descriptor) {
    job.input = OpenShared(job.files, job.sourcePath);
    job.before = job.input->Stamp();
    if (job.before->size != job.fileSize)
        throw EngineError("The file changed while it was being split");
    job.dateText = FileDateText(job.before->seconds, job.context.dateFormat);
    descriptor.pieceCount = job.pieceCount;
    descriptor.fileSize = job.fileSize;
    descriptor.dateText = job.dateText;
    // Taken before the copy, from the size the descriptor records; a change afterwards is
    // caught by the stamp.
    try {
        descriptor.checksum = ChecksumOf(*job.input, job.fileSize);
    } catch (const FileError&) {
        throw EngineError("Stream read error");
    }
}

// What the small files take on the medium of the last piece.
std::uint64_t SmallFilesSize(const SplitJob& job, const SplitDescriptor& descriptor) {
    std::uint64_t size = OnMedium(DescriptorHead(descriptor).size() + 12);
    std::uint64_t batchSize = 0;
    WriteBatchFile(job.fileName, job.baseName, job.pieceCount,
                   [&](std::string_view part) { batchSize += part.size(); });
    size += OnMedium(batchSize);
    if (job.options.writeHashes)
        size += OnMedium(job.fileName.size() + 100 +
                         static_cast<std::uint64_t>(job.pieceCount) *
                             (70 + PieceName(job.baseName, job.pieceCount).size()));
    return size;
}

// Writes the pieces, each after the space it needs is there (on a new medium, whose names are
// claimed in turn), hashing them on the way when asked.
void CopyPieces(SplitJob& job, const SplitDescriptor& descriptor, HashList& hashes,
                std::vector<std::string>& order) {
    EngineContext& context = job.context;
    const std::uint64_t smallFiles = SmallFilesSize(job, descriptor);
    std::shared_ptr<InputFile> hashInput;
    PieceHasher hasher;
    if (job.options.writeHashes) hashInput = OpenShared(job.files, job.sourcePath);

    std::uint64_t bytesWritten = 0;
    for (std::uint64_t k = 1; k <= job.pieceCount; ++k) {
        const bool last = k == job.pieceCount;
        const std::uint64_t bytes = last ? job.fileSize - bytesWritten : job.pieceSize;
        // The small files go where the last piece goes.
        std::string message;
        bool newMedium = false;
        if (!CheckPieceSpace(context, job.folder, bytes + (last ? smallFiles : 0), message,
                             &newMedium))
            throw WholeMessage(message);
        if (newMedium) {
            job.firstOnMedium = k;
            ClaimMedium(job, k);
        }
        ThrowIfCancelled(context.progress);
        context.progress.SetPosition(static_cast<std::uint32_t>(k));
        if (!last) context.progress.ProcessMessages();

        auto piece = CreateNew(job.files, job.PiecePath(k));
        job.piecesMade = k;
        if (hashInput) hasher.Start(hashInput, bytes);
        const std::uint64_t copied =
            job.files.Copy(*job.input, *piece, bytes, [&](std::uint64_t done) {
                context.progress.Bytes(bytesWritten + done, job.fileSize);
                ThrowIfCancelled(context.progress);
            });
        if (hashInput) {
            const auto hashed = hasher.Wait();
            if (hashed.bytes < bytes) throw EngineError("Stream read error");
            hashes.pieces[PieceName(job.baseName, k)] = hashed.digest;
            order.push_back(PieceName(job.baseName, k));
        }
        if (copied < bytes) throw EngineError("Stream read error");
        bytesWritten += bytes;
    }
}

// The .sha256 file, the batch file and, last, the descriptor: its presence says the set is whole.
void WriteSmallFiles(SplitJob& job, const SplitDescriptor& descriptor, HashList& hashes,
                     const std::vector<std::string>& order) {
    if (job.options.writeHashes) {
        hashes.fileName = job.fileName;
        hashes.fileSize = job.fileSize;
        hashes.modified = *job.before;
        job.smallWritten.push_back(job.hashName);
        WriteSmallFile(job.files, job.folder, job.hashName, HashListText(hashes, order));
    }
    job.smallWritten.push_back(job.batchName);
    WriteSmallFile(job.files, job.folder, job.batchName,
                   BatchFileText(job.fileName, job.baseName, job.pieceCount));
    job.smallWritten.push_back(job.descriptorName);
    WriteSmallFile(job.files, job.folder, job.descriptorName,
                   DescriptorHead(descriptor) + DescriptorTail(descriptor));
}

// Nothing of the split is left to recognise: the lock file goes with the lock. The medium that
// holds it may be gone.
void ClearNote(SplitJob& job) {
    if (!job.lock) return;
    try {
        job.lock->SetNote({});
    } catch (const std::exception&) {
    }
}

// After a failure: what this split wrote on the medium at hand goes, with the earlier set of this
// same file that it was replacing there. Returns what stays on earlier media, for the message.
std::string CleanUp(SplitJob& job) {
    if (!job.claimed) return {};
    bool all = true;
    const std::uint64_t last = std::max(job.piecesMade, job.replacing);
    for (std::uint64_t k = job.firstOnMedium; k <= last; ++k) {
        if (job.files.Occupied(job.PiecePath(k)) && !job.files.Delete(job.PiecePath(k)))
            all = false;
    }
    for (const std::string& name : job.smallWritten) {
        if (job.files.Occupied(job.folder + name) && !job.files.Delete(job.folder + name))
            all = false;
    }
    // What stays is named in the note, for the next run to recognise.
    if (all) ClearNote(job);
    const std::uint64_t before = job.firstOnMedium - 1;
    if (before == 0) return {};
    if (before == 1) return " Piece 1 stays on an earlier medium.";
    return " Pieces 1 to " + std::to_string(before) + " stay on earlier media.";
}

// The split's text for a failure: a source that shrank ends the copy early, one that grew or
// was written to ends it late; either way the pieces hold no one state of the file.
std::string FailureText(SplitJob& job, const std::exception& error) {
    if (dynamic_cast<const WholeMessage*>(&error) != nullptr) return error.what();
    try {
        if (job.input && job.before && !(job.input->Stamp() == *job.before))
            return "The file changed while it was being split!";
    } catch (const std::exception&) {
    }
    return std::string(Trim(error.what())) + "!";
}

}  // namespace

bool SplitFile(EngineContext& context, const std::string& sourcePath,
               const std::string& destinationFolder, std::string& message, std::uint32_t pieceSize,
               const SplitOptions& options) {
    message.clear();
    context.warnings.clear();
    SplitJob job(context, options);
    job.sourcePath = sourcePath;
    job.pieceSize = pieceSize;
    if (!PlanSplit(job, destinationFolder, message)) return false;

    ProgressWindow window(context.progress, "Splitting File...", job.pieceCount);
    try {
        SplitDescriptor descriptor;
        OpenSource(job, descriptor);
        LockSetName(job);
        ClaimMedium(job, 1);

        HashList hashes;
        std::vector<std::string> order;
        CopyPieces(job, descriptor, hashes, order);
        // The set must describe one state of the file: a file written to meanwhile gives pieces
        // that match neither its old nor its new content.
        if (!(job.input->Stamp() == *job.before))
            throw EngineError("The file changed while it was being split");
        job.input.reset();
        WriteSmallFiles(job, descriptor, hashes, order);
        // Success means the set is on the medium, ready to be carried away.
        context.files.SyncVolume(job.folder);
        ClearNote(job);
        return true;
    } catch (const std::exception& error) {
        message = FailureText(job, error);
        message += CleanUp(job);
        return false;
    }
}

bool CheckRestoreSpace(EngineContext& context, const std::string& destinationFolder,
                       std::uint64_t bytesNeeded, std::string& message) {
    message.clear();
    const std::int64_t free = context.files.FreeSpace(destinationFolder);
    if (free < 0) {
        const char drive = destinationFolder.empty() ? kPathDelimiter : destinationFolder[0];
        message = std::string("Cannot write to drive ") + drive + ":!\r\r" + kNoDriveText;
        return false;
    }
    if (bytesNeeded > static_cast<std::uint64_t>(free)) {
        message =
            "The restored file will be too large for the destination drive.\r\r"
            "Please select a new drive or insert higher capacity media.";
        return false;
    }
    return true;
}

namespace {

// The time to give the restored file, found before anything is written: the UTC time of the
// .sha256 file, else the descriptor's local date text. Nothing, with a warning, when the date
// text cannot be read here.
std::optional<FileStamp> OriginalTime(EngineContext& context, const SetFiles& set) {
    if (set.hashes && set.hashes->modified) return set.hashes->modified;
    try {
        if (const auto time = FileTimeFromDateText(set.descriptor.dateText, context.dateFormat))
            return FileStamp{0, *time, 0};
    } catch (const std::exception& error) {
        context.warnings.push_back(std::string(error.what()) +
                                   "! The file keeps the time of the restore.");
    }
    return std::nullopt;
}

void GiveTime(EngineContext& context, OutputFile& out, const FileStamp& time) {
    if (out.SetExactTime(time.seconds, time.nanoseconds)) return;
    // A coarser step (two seconds on FAT) is what the medium can do; a year it cannot hold is
    // worth telling.
    if (time.seconds >= 0 && time.seconds <= 0xFFFFFFFFll) {
        out.SetLastWriteTime(time.seconds);
        return;
    }
    const auto text = IsoUtcText(time.seconds, time.nanoseconds);
    context.warnings.push_back("The file system cannot hold the file's original time" +
                               (text ? " (" + *text + ")" : std::string()) +
                               "! The file keeps the time of the restore.");
}

}  // namespace

bool RestoreFile(EngineContext& context, const std::string& descriptorPath,
                 const std::string& destinationFolder, std::string& message,
                 const RestoreOptions& options) {
    if (!BeginOnSet(context, descriptorPath, message)) return false;
    FileSystem& files = context.files;
    ProgressWindow window(context.progress, "Restoring File...", 0);
    try {
        const std::string folder =
            destinationFolder.empty() ? std::string() : WithTrailingDelimiter(destinationFolder);
        const SetFiles set = ReadSet(files, descriptorPath);
        const SplitDescriptor& descriptor = set.descriptor;
        const std::string outputFolder = folder.empty() ? std::string(1, kPathDelimiter) : folder;
        const std::string outputPath = outputFolder + set.fileName;
        context.progress.SetMaximum(descriptor.pieceCount);

        if (!CheckRestoreSpace(context, folder, descriptor.fileSize, message)) return false;

        // The output must not be a file of the set: renaming over it would destroy it. Pieces not
        // here yet come on other media and cannot be this file.
        const auto output = files.Identity(outputPath);
        bool overwrites = SameFile(files, output, descriptorPath) ||
                          SameFile(files, output, set.batchPath) ||
                          SameFile(files, output, set.hashPath);
        for (std::uint64_t k = 1; k <= descriptor.pieceCount && output && !overwrites; ++k) {
            const auto piece = files.Identity(set.PiecePath(k));
            if (!piece) break;
            overwrites = *piece == *output;
        }
        if (overwrites) {
            message = "The restored file would overwrite one of its split files!";
            return false;
        }
        // Only a file (or a link, which is replaced) makes way for the restored one: a folder,
        // a pipe or a device under its name stays.
        const auto there = files.Find(outputPath);
        if (there && !files.FileExists(outputPath))
            throw EngineError("Cannot create file " + outputPath);

        // The pieces at hand are checked before a byte is written; the others when they come.
        PieceSizes sizes(descriptor.pieceCount, descriptor.fileSize);
        for (std::uint64_t k = 1; k <= descriptor.pieceCount; ++k) {
            // What is not a regular file (a pipe, a folder) is asked for like a missing piece.
            const auto piece =
                files.FileExists(set.PiecePath(k)) ? files.Find(set.PiecePath(k)) : std::nullopt;
            if (!piece) break;
            const std::string wrong = sizes.Check(set.PieceName(k), k, piece->size);
            if (!wrong.empty()) throw EngineError(wrong);
        }
        const std::optional<FileStamp> time =
            options.restoreTime ? OriginalTime(context, set) : std::nullopt;
        const bool removable = files.IsRemovable(set.pieceFolder);

        UnfinishedFile out(files, outputFolder, set.fileName);
        PieceHasher hasher;
        std::uint64_t restored = 0;
        std::uint64_t source = 1;
        for (std::uint64_t k = 1; k <= descriptor.pieceCount; ++k) {
            StartPiece(context.progress, k);
            const std::string path = set.PiecePath(k);
            const std::string where =
                "The piece " + set.PieceName(k) + " is looked for in " + FolderPart(path) + ".";
            if (!files.FileExists(path)) {
                if (k > 1) ++source;
                out.File().Flush();
                while (!files.FileExists(path)) {
                    const auto answer = context.prompt.AskRetryCancel(
                        "Restore",
                        "Please insert source #" + std::to_string(source) + "\r\r" + where);
                    if (answer != PromptAnswer::Retry) throw EngineError("Operation aborted");
                }
            }

            auto piece = OpenShared(files, path);
            const std::uint64_t size = piece->Stamp().size;
            std::string wrong = sizes.Check(set.PieceName(k), k, size);
            const Sha256Digest* expected = wrong.empty() ? set.HashOf(k) : nullptr;
            std::uint64_t copied = 0;
            if (wrong.empty()) {
                if (expected) hasher.Start(OpenShared(files, path), size);
                copied = files.Copy(*piece, out.File(), size, [&](std::uint64_t done) {
                    context.progress.Bytes(restored + done, descriptor.fileSize);
                    ThrowIfCancelled(context.progress);
                });
                if (expected && hasher.Wait().digest != *expected) wrong = DamagedText(set, k);
                if (wrong.empty() && copied < size) throw EngineError("Stream read error");
            }
            if (!wrong.empty()) {
                // From removable media a good copy may be at hand: the piece is tried again.
                if (!removable) throw EngineError(wrong);
                piece.reset();
                out.File().Truncate(restored);
                const auto answer = context.prompt.AskRetryCancel(
                    "Restore",
                    wrong + "!\r\rPlease insert a source with a good copy of it. " + where);
                if (answer != PromptAnswer::Retry) throw EngineError("Operation aborted");
                --k;
                continue;
            }
            restored += size;
        }

        // The checksum, and the deletion it allows, must see what is on the medium.
        out.File().Flush();
        if (FileChecksum(files, out.Path()) != descriptor.checksum) {
            message = kChecksumError;
            return false;
        }
        if (time) GiveTime(context, out.File(), *time);
        out.Finish(outputPath);

        if (options.deletePieces) {
            std::vector<std::string> setFiles = {descriptorPath, set.batchPath, set.hashPath};
            for (std::uint64_t k = 1; k <= descriptor.pieceCount; ++k)
                setFiles.push_back(set.PiecePath(k));
            // Pieces on media no longer in the drive are not here to delete; one that is here
            // and stays (a read-only medium) is named.
            for (const auto& path : setFiles) {
                if (!files.Delete(path) && files.Occupied(path))
                    context.warnings.push_back("Cannot delete file " + path + "!");
            }
        }
        return true;
    } catch (const std::exception& error) {
        message = std::string(error.what()) + "!";
        return false;
    }
}

bool VerifySet(EngineContext& context, const std::string& descriptorPath,
               std::vector<std::string>& problems, std::string& message,
               std::vector<PieceState>* states) {
    problems.clear();
    if (states) states->clear();
    if (!BeginOnSet(context, descriptorPath, message)) return false;
    FileSystem& files = context.files;
    ProgressWindow window(context.progress, "Verifying Split Set...", 0);
    try {
        const SetFiles set = ReadSet(files, descriptorPath);
        const SplitDescriptor& descriptor = set.descriptor;
        context.progress.SetMaximum(descriptor.pieceCount);
        if (states) states->assign(descriptor.pieceCount, PieceState::Whole);
        auto mark = [&](std::uint64_t k, PieceState state) {
            if (states) (*states)[k - 1] = state;
        };
        PieceSizes sizes(descriptor.pieceCount, descriptor.fileSize);
        // For a set without hashes, the bytes of the checksum window as the pieces hold them.
        const ChecksumWindow sumWindow = WindowOf(descriptor.fileSize);
        std::vector<unsigned char> windowBytes;
        std::uint64_t offset = 0;
        for (std::uint64_t k = 1; k <= descriptor.pieceCount; ++k) {
            StartPiece(context.progress, k);
            const std::string path = set.PiecePath(k);
            if (!files.FileExists(path)) {
                problems.push_back("Piece " + set.PieceName(k) + " is missing!");
                mark(k, PieceState::Missing);
                continue;
            }
            try {
                auto piece = files.OpenRead(path);
                const std::uint64_t size = piece->Stamp().size;
                const std::string wrong = sizes.Check(set.PieceName(k), k, size);
                if (!wrong.empty()) {
                    problems.push_back(wrong + "!");
                    mark(k, PieceState::Damaged);
                    continue;
                }
                if (const Sha256Digest* expected = set.HashOf(k)) {
                    const auto hashed = HashFile(*piece, size);
                    if (hashed.bytes < size) throw FileError("Stream read error", 0);
                    if (hashed.digest != *expected) {
                        problems.push_back(DamagedText(set, k) + "!");
                        mark(k, PieceState::Damaged);
                    }
                } else if (!set.hashes && sizes.Common()) {
                    offset = (k - 1) * *sizes.Common();
                    const std::uint64_t from = std::max(offset, sumWindow.offset);
                    const std::uint64_t to =
                        std::min(offset + size, sumWindow.offset + sumWindow.length);
                    if (from < to) {
                        std::vector<unsigned char> part(static_cast<std::size_t>(to - from));
                        piece->Seek(from - offset);
                        part.resize(piece->Read(part.data(), part.size()));
                        windowBytes.insert(windowBytes.end(), part.begin(), part.end());
                    }
                }
            } catch (const Aborted&) {
                throw;
            } catch (const std::exception& error) {
                problems.push_back("Piece " + set.PieceName(k) +
                                   " cannot be read: " + error.what() + "!");
                mark(k, PieceState::Damaged);
            }
        }
        if (problems.empty() && !set.hashes && windowBytes.size() == sumWindow.length &&
            SumWords(windowBytes.data(), windowBytes.size()) != descriptor.checksum)
            problems.push_back("Checksum error! The pieces do not make the file that was split.");
        return problems.empty();
    } catch (const std::exception& error) {
        message = std::string(error.what()) + "!";
        return false;
    }
}

}  // namespace olvo
