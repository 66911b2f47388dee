#include "core/engine/FileSplit.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <deque>
#include <functional>
#include <limits>
#include <set>
#include <thread>
#include <vector>

#include "core/engine/EngineError.h"
#include "core/engine/FileFunctions.h"
#include "core/engine/Format.h"
#include "core/engine/PieceHasher.h"
#include "core/engine/SplitSet.h"
#include "core/engine/Unfinished.h"
#include "core/recovery/Par2Create.h"
#include "core/recovery/Par2Repair.h"
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
// What a small file takes on a medium at least: one allocation block.
constexpr std::uint64_t kBlock = 4096;

std::unique_ptr<InputFile> OpenShared(FileSystem& files, const std::string& path) {
    try {
        return files.OpenRead(path);
    } catch (const FileError& error) {
        throw EngineError(WithReason("Cannot open file " + path, error.Reason()), error.Code());
    }
}

std::unique_ptr<OutputFile> CreateNew(FileSystem& files, const std::string& path) {
    try {
        return files.Create(path);
    } catch (const FileError& error) {
        throw EngineError(WithReason("Cannot create file " + path, error.Reason()), error.Code());
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
// name; removed unless it was given its final name. It is locked while open (CreateExclusive),
// so that a leftover of a killed program can be told from one being written.
class UnfinishedFile {
  public:
    UnfinishedFile(FileSystem& files, const std::string& folder, const std::string& name)
        : m_files(files) {
        try {
            m_file = CreateUnfinished(files, folder, name, m_path);
        } catch (const FileError& error) {
            throw EngineError(WithReason("Cannot create file " + folder + name, error.Reason()),
                              error.Code());
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

// A list of pieces is a line a piece; one this large is no set's list.
constexpr std::uint64_t kHashListLimit = 64u << 20;

// The whole of the set's .sha256 file: a list read in part would leave pieces unchecked.
std::string ReadHashFile(FileSystem& files, const std::string& path, const std::string& name) {
    std::string content;
    try {
        auto in = files.OpenRead(path);
        constexpr std::size_t kStep = 1 << 20;
        for (std::size_t got = kStep; got == kStep && content.size() <= kHashListLimit;) {
            const std::size_t before = content.size();
            content.resize(before + kStep);
            got = in->Read(content.data() + before, kStep);
            content.resize(before + got);
        }
    } catch (const FileError& error) {
        throw EngineError(name + " cannot be read whole: " + error.what(), error.Code());
    }
    if (content.size() > kHashListLimit)
        throw EngineError(name + " is larger than 64 MiB, too large for a list of pieces");
    return content;
}

// A list vouches for the set only when it reads whole and names each piece once: else the
// operation stops, naming what is wrong, rather than check less than it says.
void CheckHashList(const SetFiles& set) {
    const HashList& list = *set.hashes;
    if (list.firstBadLine != 0)
        throw EngineError("Line " + std::to_string(list.firstBadLine) + " of " + set.hashName +
                          " is not understood");
    for (std::uint64_t k = 1; k <= set.descriptor.pieceCount; ++k) {
        if (list.disagreeing.count(set.PieceName(k)))
            throw EngineError(set.hashName + " has two lines for " + set.PieceName(k) +
                              " that disagree");
        if (!list.pieces.count(set.PieceName(k)))
            throw EngineError(set.hashName + " has no line for " + set.PieceName(k));
    }
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
    // Anything under the list's name is the list: a folder or a pipe there cannot be read and
    // fails, rather than pass for a set without one.
    if (files.Occupied(set.hashPath)) {
        set.hashes = ReadHashList(ReadHashFile(files, set.hashPath, set.hashName));
        CheckHashList(set);
    }
    return set;
}

// What a set without its list was checked by, said every time it is checked.
std::string WeakCheckWarning(const SetFiles& set) {
    return "no " + set.hashName + ": only the piece sizes and a " + Grouped(2000) +
           "-byte checksum were checked";
}

// Whether descriptorPath names a descriptor that is there: nothing else is read as a set.
bool IsDescriptorAt(FileSystem& files, const std::string& descriptorPath) {
    return HasDescriptorSuffix(descriptorPath) && files.FileExists(descriptorPath);
}

// Runs the steps of an operation. The failure that ends it, as the engine's one error: the
// platform's errors of reading, writing and copying become one at this edge, with their text
// and number. Anything else is no failure of the operation and passes.
template <typename Steps>
std::optional<EngineError> Attempt(Steps steps) {
    try {
        steps();
        return std::nullopt;
    } catch (const EngineError& error) {
        return error;
    } catch (const FileError& error) {
        return EngineError(error.what(), error.Code());
    } catch (const CopyError& error) {
        return EngineError(error.what(), error.Code());
    }
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
            message = Aborted().Message();
            return false;
        }
        if (mediaChanged) *mediaChanged = true;
        free = context.files.FreeSpace(destinationFolder);
    }
    return true;
}

namespace {

// The descriptor at path, or nothing when it cannot be read or is not one: a file that is no
// descriptor owns no set.
std::optional<SplitDescriptor> TryReadDescriptor(FileSystem& files, const std::string& path) {
    try {
        const auto descriptor = ReadDescriptor(ReadSmallFile(files, path, 1 << 16));
        if (IsValidDescriptor(descriptor)) return descriptor;
    } catch (const FileError&) {
    } catch (const EngineError&) {  // a number in it that does not convert
    }
    return std::nullopt;
}

// One split, as its phases share it.
struct SplitJob {
    SplitJob(EngineContext& context, const SplitOptions& options)
        : context(context), files(context.files), options(options) {}
    EngineContext& context;
    FileSystem& files;
    const SplitOptions& options;
    std::string sourcePath, folder, fileName, baseName, descriptorName, batchName, hashName;
    std::vector<std::string> recoveryNames;  // the index first, then the vol files; or none
    std::uint64_t fileSize = 0;
    std::uint64_t pieceSize = 0;
    std::uint32_t pieceCount = 0;
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
    const auto descriptor = TryReadDescriptor(files, folder + DescriptorName(name));
    if (!descriptor) return name;
    return name + " (" + Grouped(descriptor->fileSize) + " bytes, " + descriptor->dateText + ")";
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
    if (const auto descriptor = TryReadDescriptor(job.files, job.folder + job.descriptorName))
        return descriptor->fileSize == job.fileSize && descriptor->dateText == job.dateText
                   ? std::optional<std::uint64_t>(descriptor->pieceCount)
                   : std::nullopt;
    try {
        const HashList list =
            ReadHashList(ReadHashFile(job.files, job.folder + job.hashName, job.hashName));
        if (list.fileName == job.fileName && list.fileSize == job.fileSize && list.modified &&
            list.modified->seconds == job.before->seconds &&
            list.modified->nanoseconds == job.before->nanoseconds)
            return list.pieces.size();
    } catch (const EngineError&) {  // no list, or one that cannot be read whole: nothing of ours
    }
    return std::nullopt;
}

// The piece count of the descriptor under the split's descriptor name, whoever's it is; 0 for
// none.
std::uint64_t DescriptorCount(const SplitJob& job) {
    const auto descriptor = TryReadDescriptor(job.files, job.folder + job.descriptorName);
    return descriptor ? descriptor->pieceCount : 0;
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
    std::vector<const std::string*> small = {&job.descriptorName, &job.batchName, &job.hashName};
    for (const auto& name : job.recoveryNames) small.push_back(&name);
    for (const auto* name : small) {
        if (!files.Occupied(job.folder + *name)) continue;
        const std::string owner = SetDescription(files, job.folder, job.fileName);
        return owner != job.fileName ? "The pieces of " + owner : "The file " + *name;
    }
    return std::nullopt;
}

// The recovery files of the set being replaced that the split does not write again
// (vol files past the new count, the index when it writes none): they protect pieces that are
// about to change, and a repair would take them for damaged files of the new set.
void AddEarlierRecoveryFiles(const SplitJob& job, std::vector<std::string>& stale) {
    for (const std::string& name : job.files.List(job.folder.empty() ? "." : job.folder)) {
        if (IsRecoveryFileOf(name, job.fileName) && job.files.FileExists(job.folder + name) &&
            std::find(stale.begin(), stale.end(), name) == stale.end())
            stale.push_back(name);
    }
}

// Claims every name the split writes on the medium at hand, from piece from on: files of an
// earlier split of this same file make way; any other file is asked about (Yes/No) unless
// options.overwrite. Then the earlier set goes: its descriptor must not outlive it, nor its
// pieces past the new count or its recovery files that are not written again stay beside the
// new set.
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
    std::vector<std::string> stale = {job.descriptorName, job.hashName};
    stale.insert(stale.end(), job.recoveryNames.begin(), job.recoveryNames.end());
    // Whoever's set it was, this one's descriptor replaces it now.
    if (replaced > 0) AddEarlierRecoveryFiles(job, stale);
    for (const std::string& name : stale) {
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

// Refuses files (what: "Pieces", "Recovery files") of bytes that the file system of the folder
// cannot hold (FAT's 4 GiB - 1), before the first byte of one is written there.
void CheckLargestFile(const SplitJob& job, const std::string& what, std::uint64_t bytes) {
    const std::optional<std::uint64_t> largest = job.files.LargestFile(job.folder);
    if (largest && bytes > *largest)
        throw EngineError(TooLargeForFileSystemText(what, bytes,
                                                    WithoutTrailingDelimiter(job.folder), *largest,
                                                    CurrentThousandsSeparator()));
}

// What the index of the recovery files takes on the medium: its packets take about 140 bytes a
// piece beside the names.
std::uint64_t RecoveryIndexSize(const SplitJob& job, std::uint64_t pieceCount) {
    return OnMedium(4096 + pieceCount * (160 + PieceName(job.baseName, pieceCount).size()));
}

// What one recovery file takes: one slice, the size of a piece, and the index it repeats.
std::uint64_t RecoveryFileSize(const SplitJob& job, std::uint64_t pieceCount) {
    return RecoveryIndexSize(job, pieceCount) + OnMedium(SliceSizeForPieces(job.pieceSize) + 128);
}

void NameSet(SplitJob& job, const std::string& destinationFolder);

// Refuses a split that cannot be made before anything is opened.
void PlanSplit(SplitJob& job, const std::string& destinationFolder) {
    FileSystem& files = job.files;
    job.fileSize = SourceFileSize(files, job.sourcePath);
    if (job.fileSize <= job.pieceSize) throw EngineError("File does not need splitting");
    if (job.pieceSize == 0 || job.pieceSize > kMaxPieceSize)
        throw EngineError("Invalid split size");
    const std::uint64_t count = PieceCountFor(job.fileSize, job.pieceSize);
    if (count > kMaxSplitCount) throw EngineError("Too many split files");
    job.pieceCount = static_cast<std::uint32_t>(count);
    if (job.options.recoveryCount > job.pieceCount)
        throw EngineError("Recovery pieces: at most " + std::to_string(job.pieceCount) +
                          ", one per piece");
    job.fileName = FileNamePart(job.sourcePath, Extension::Keep);
    job.baseName = FileNamePart(job.sourcePath, Extension::Drop);
    NameSet(job, destinationFolder);

    // Writing a piece over the source would destroy it before it is read.
    const auto source = files.Identity(job.sourcePath);
    bool overwrites = false;
    for (const std::string* name : {&job.descriptorName, &job.batchName, &job.hashName})
        overwrites = overwrites || SameFile(files, source, job.folder + *name);
    for (const auto& name : job.recoveryNames)
        overwrites = overwrites || SameFile(files, source, job.folder + name);
    for (std::uint64_t k = 1; k <= job.pieceCount && !overwrites; ++k)
        overwrites = SameFile(files, source, job.PiecePath(k));
    if (overwrites) throw EngineError("A split file would overwrite the source file");
}

// The names of the set in its folder, from the file's name and the piece count; every one must
// fit the folder before the first byte is written.
void NameSet(SplitJob& job, const std::string& destinationFolder) {
    FileSystem& files = job.files;
    // An empty folder names no volume; the space check then refuses before anything is made.
    job.folder =
        destinationFolder.empty() ? std::string() : WithTrailingDelimiter(destinationFolder);
    job.descriptorName = DescriptorName(job.fileName);
    job.batchName = job.fileName + ".bat";
    job.hashName = job.fileName + ".sha256";
    if (job.options.recoveryCount > 0) {
        job.recoveryNames = RecoveryFileNames(job.fileName, job.options.recoveryCount);
        job.recoveryNames.insert(job.recoveryNames.begin(), IndexFileName(job.fileName));
    }

    // Every name must fit before the first byte is written.
    if (!job.folder.empty()) {
        std::string longest = PieceName(job.baseName, job.pieceCount);
        for (const auto& name : job.recoveryNames)
            if (name.size() > longest.size()) longest = name;
        for (const std::string* name : {&job.batchName, &job.descriptorName, &job.hashName}) {
            if (name == &job.hashName && !job.options.writeHashes) continue;
            if (name->size() > longest.size()) longest = *name;
        }
        const std::size_t limit = files.MaxNameLength(job.folder);
        if (longest.size() > limit)
            throw EngineError("The file name is too long for the destination folder: " + longest +
                              " has " + std::to_string(longest.size()) + " bytes, at most " +
                              std::to_string(limit) + " fit");
        CheckLargestFile(job, "Pieces", job.pieceSize);
        // Recovery files need every piece in this folder, so only its file system counts.
        if (!job.recoveryNames.empty())
            CheckLargestFile(job, "Recovery files", RecoveryFileSize(job, job.pieceCount));
    }
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
    } catch (const FileError& error) {
        throw EngineError("Stream read error", error.Code());
    }
}

// What the small files take on the medium of the last piece, for a set of pieceCount pieces.
std::uint64_t SmallFilesSize(const SplitJob& job, const SplitDescriptor& descriptor,
                             std::uint64_t pieceCount) {
    std::uint64_t size = OnMedium(DescriptorHead(descriptor).size() + 12);
    std::uint64_t batchSize = 0;
    WriteBatchFile(job.fileName, job.baseName, static_cast<std::uint32_t>(pieceCount),
                   [&](std::string_view part) { batchSize += part.size(); });
    size += OnMedium(batchSize);
    if (job.options.writeHashes)
        size += OnMedium(job.fileName.size() + 100 +
                         static_cast<std::uint64_t>(pieceCount) *
                             (70 + PieceName(job.baseName, pieceCount).size()));
    // The index file, then the recovery files, each a slice and the index again.
    if (!job.recoveryNames.empty())
        size += RecoveryIndexSize(job, pieceCount) +
                (job.recoveryNames.size() - 1) * RecoveryFileSize(job, pieceCount);
    return size;
}

// Writes the pieces, each after the space it needs is there (on a new medium, whose names are
// claimed in turn), hashing them on the way when asked.
void CopyPieces(SplitJob& job, const SplitDescriptor& descriptor, HashList& hashes,
                std::vector<std::string>& order) {
    EngineContext& context = job.context;
    const std::uint64_t smallFiles = SmallFilesSize(job, descriptor, job.pieceCount);
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
            throw EngineError::Whole(message);
        if (newMedium) {
            job.firstOnMedium = k;
            // Another medium may hold another file system: a FAT stick after an NTFS disk.
            CheckLargestFile(job, "Pieces", bytes);
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

// The recovery files over the pieces just written, all of which must be in the folder at hand.
void WriteRecovery(SplitJob& job) {
    if (job.recoveryNames.empty()) return;
    if (job.firstOnMedium != 1) throw EngineError("Recovery pieces need every piece in one folder");
    RecoveryRequest request;
    std::uint64_t left = job.fileSize;
    for (std::uint64_t k = 1; k <= job.pieceCount; ++k) {
        const std::uint64_t size = std::min<std::uint64_t>(left, job.pieceSize);
        left -= size;
        request.inputs.push_back({job.PiecePath(k), PieceName(job.baseName, k), size});
    }
    request.sliceSize = SliceSizeForPieces(job.pieceSize);
    request.folder = job.folder;
    request.base = job.fileName;
    request.recoveryCount = job.options.recoveryCount;
    job.smallWritten.insert(job.smallWritten.end(), job.recoveryNames.begin(),
                            job.recoveryNames.end());
    Progress& progress = job.context.progress;
    CreateRecoveryFiles(job.files, request, [&](std::uint64_t done, std::uint64_t total) {
        progress.Bytes(done, total);
        return !progress.CancelRequested();
    });
}

// Nothing of the split is left to recognise: the lock file goes with the lock. The medium that
// holds it may be gone.
void ClearNote(SplitJob& job) {
    if (!job.lock) return;
    try {
        job.lock->SetNote({});
    } catch (const FileError&) {  // a medium taken out: the note stays there, harmless
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

// Whether the source is not as the split found it (or cannot be asked any more).
bool SourceChanged(const SplitJob& job) {
    try {
        return job.input && job.before && !(job.input->Stamp() == *job.before);
    } catch (const FileError&) {  // a source gone with its medium: the failure at hand says why
        return false;
    }
}

// The split's text for a failure: a source that shrank ends the copy early, one that grew or
// was written to ends it late; either way the pieces hold no one state of the file.
std::string FailureText(const SplitJob& job, const EngineError& error) {
    if (error.IsWhole()) return error.Message();
    if (SourceChanged(job))
        return EngineError("The file changed while it was being split").Message();
    return EngineError(std::string(Trim(error.what())), error.Code()).Message();
}

// Writes the set: the source opened, the set name locked and the medium's names claimed, the
// pieces copied and hashed, the small files written, the set flushed to the medium.
void RunSplit(SplitJob& job) {
    SplitDescriptor descriptor;
    OpenSource(job, descriptor);
    LockSetName(job);
    ClaimMedium(job, 1);

    HashList hashes;
    std::vector<std::string> order;
    CopyPieces(job, descriptor, hashes, order);
    // The set must describe one state of the file: a file written to meanwhile gives pieces that
    // match neither its old nor its new content.
    if (!(job.input->Stamp() == *job.before))
        throw EngineError("The file changed while it was being split");
    job.input.reset();
    WriteRecovery(job);
    WriteSmallFiles(job, descriptor, hashes, order);
    // Success means the set is on the medium, ready to be carried away.
    job.files.SyncVolume(job.folder);
    ClearNote(job);
}

// A stream, read ahead by one step, so that its end is known before another piece is begun.
class StreamReader {
  public:
    StreamReader(InputFile& source, Progress& progress)
        : m_source(source), m_progress(progress), m_buffer(kCopyBufferSize) {}

    bool AtEnd() {
        Fill();
        return m_at == m_size;
    }
    // The next at most limit bytes; empty only at the end.
    std::string_view Next(std::uint64_t limit) {
        Fill();
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(limit, m_size - m_at));
        const std::string_view part(m_buffer.data() + m_at, size);
        m_at += size;
        return part;
    }

  private:
    void Fill() {
        if (m_at < m_size) return;
        m_at = 0;
        try {
            m_size = m_source.Read(m_buffer.data(), m_buffer.size());
        } catch (const FileError& error) {
            // A wait cut short by a request to stop is that request.
            ThrowIfCancelled(m_progress);
            throw EngineError(WithReason("Stream read error", error.Reason()), error.Code());
        }
    }

    InputFile& m_source;
    Progress& m_progress;
    std::vector<char> m_buffer;
    std::size_t m_at = 0, m_size = 0;
};

// Refuses a split of a stream that cannot be made before anything is read. The count is not
// known until the stream ends: every piece name it may come to is claimed, and must fit.
void PlanStream(SplitJob& job, const std::string& name, const std::string& destinationFolder,
                std::uint64_t pieceSize) {
    if (name.empty() || name == "." || name == ".." ||
        name.find(kPathDelimiter) != std::string::npos)
        throw EngineError("'" + name + "' is no file name for the stream");
    if (pieceSize == 0 || pieceSize > kMaxPieceSize) throw EngineError("Invalid split size");
    job.pieceSize = pieceSize;
    job.pieceCount = kMaxSplitCount;
    job.fileName = name;
    const std::string asPath = std::string(1, kPathDelimiter) + name;
    job.baseName = FileNamePart(asPath, Extension::Drop);
    job.sourcePath = asPath;
    // No source time until the stream ends: the lock file's note names the stream by its name.
    job.before = FileStamp{};
    NameSet(job, destinationFolder);
}

// Up to limit bytes of the stream into piece, hashed on the way; the bytes copied. done is what
// earlier pieces took, for the progress.
std::uint64_t CopyStreamPiece(SplitJob& job, StreamReader& stream, OutputFile& piece, Sha256& hash,
                              std::uint64_t done) {
    std::uint64_t copied = 0;
    while (copied < job.pieceSize) {
        const std::string_view part = stream.Next(job.pieceSize - copied);
        if (part.empty()) break;
        hash.Update(part.data(), part.size());
        try {
            piece.Write(part.data(), part.size());
        } catch (const FileError& error) {
            throw CopyError(CopyError::Side::Write, error.Code());
        }
        copied += part.size();
        job.context.progress.Bytes(done + copied, 0);
        ThrowIfCancelled(job.context.progress);
    }
    return copied;
}

// Writes the pieces as the stream brings them. Any piece may be the last, so each needs room for
// the small files too; their size is reckoned for the next power of two of the count, so that a
// long stream does not reckon it again for every piece.
void CopyStream(SplitJob& job, StreamReader& stream, const SplitDescriptor& descriptor,
                HashList& hashes, std::vector<std::string>& order) {
    EngineContext& context = job.context;
    if (stream.AtEnd()) throw EngineError("The stream is empty: there is nothing to split");
    std::uint64_t done = 0, reckonedFor = 0, smallFiles = 0;
    for (std::uint64_t k = 1; !stream.AtEnd(); ++k) {
        if (k > kMaxSplitCount) throw EngineError("Too many split files");
        if (k > reckonedFor) {
            reckonedFor = std::min<std::uint64_t>(std::bit_ceil(k), kMaxSplitCount);
            smallFiles = SmallFilesSize(job, descriptor, reckonedFor);
        }
        std::string message;
        bool newMedium = false;
        if (!CheckPieceSpace(context, job.folder, job.pieceSize + smallFiles, message, &newMedium))
            throw EngineError::Whole(message);
        if (newMedium) {
            if (!job.recoveryNames.empty())
                throw EngineError("Recovery pieces need every piece in one folder");
            job.firstOnMedium = k;
            ClaimMedium(job, k);
        }
        StartPiece(context.progress, k);
        Sha256 hash;
        auto piece = CreateNew(job.files, job.PiecePath(k));
        job.piecesMade = k;
        done += CopyStreamPiece(job, stream, *piece, hash, done);
        hashes.pieces[PieceName(job.baseName, k)] = hash.Finish();
        order.push_back(PieceName(job.baseName, k));
    }
    job.pieceCount = static_cast<std::uint32_t>(job.piecesMade);
    job.fileSize = done;
}

// Whether the piece at path is the one the stream wrote: its size and its SHA-256.
bool IsPieceAt(FileSystem& files, const std::string& path, std::uint64_t size,
               const Sha256Digest& digest) {
    try {
        if (!files.FileExists(path)) return false;
        auto piece = files.OpenRead(path);
        if (piece->Stamp().size != size) return false;
        const auto hashed = HashFile(*piece, size);
        return hashed.bytes == size && hashed.digest == digest;
    } catch (const FileError&) {
        return false;
    } catch (const CopyError&) {
        return false;
    }
}

// Piece k of the stream, asked for until its medium is in the drive.
void AwaitPiece(SplitJob& job, const HashList& hashes, std::uint64_t k, const std::string& why) {
    const std::string name = PieceName(job.baseName, k);
    const std::uint64_t size =
        k < job.pieceCount ? job.pieceSize : job.fileSize - (k - 1) * job.pieceSize;
    bool synced = false;
    while (!IsPieceAt(job.files, job.PiecePath(k), size, hashes.pieces.at(name))) {
        // The medium at hand is about to be taken out: what is written must be on it.
        if (!synced) job.files.SyncVolume(job.folder);
        synced = true;
        const auto answer = job.context.prompt.AskRetryCancel(
            "Split", "Please insert the medium that holds piece " + name + ".\r\r" + why);
        if (answer != PromptAnswer::Retry) throw Aborted();
    }
}

// The descriptor's checksum of a stream, read back from the pieces that hold the middle of it,
// which is known only now: a piece on an earlier medium is asked for, and then the medium of the
// last piece again, where the set's other files go.
std::uint32_t StreamChecksum(SplitJob& job, const HashList& hashes) {
    const ChecksumWindow window = WindowOf(job.fileSize);
    std::vector<unsigned char> bytes;
    bool away = false;  // the medium in the drive is not the last piece's
    for (std::uint64_t k = 1; k <= job.pieceCount && bytes.size() < window.length; ++k) {
        const std::uint64_t start = (k - 1) * job.pieceSize;
        const std::uint64_t from = std::max(start, window.offset);
        const std::uint64_t to =
            std::min<std::uint64_t>(start + job.pieceSize, window.offset + window.length);
        if (from >= to) continue;
        if (k < job.firstOnMedium || away) {
            AwaitPiece(job, hashes, k,
                       "The descriptor's checksum is taken from the middle of the stream, "
                       "which that piece holds.");
            away = k < job.firstOnMedium;
        }
        auto piece = OpenShared(job.files, job.PiecePath(k));
        std::vector<unsigned char> part(static_cast<std::size_t>(to - from));
        piece->Seek(from - start);
        if (piece->Read(part.data(), part.size()) < part.size())
            throw EngineError("Stream read error");
        bytes.insert(bytes.end(), part.begin(), part.end());
    }
    if (away)
        AwaitPiece(job, hashes, job.pieceCount,
                   "The set's descriptor, batch file and .sha256 go beside its last piece.");
    return SumWords(bytes.data(), bytes.size());
}

// The stream has ended: the pieces of a set it replaces past its count go, and the descriptor
// takes the time it ended (the last piece's own time) and its checksum.
void EndStream(SplitJob& job, SplitDescriptor& descriptor, const HashList& hashes) {
    // An interrupt ends the program at the other end of the pipe too: its end is not the data's.
    ThrowIfCancelled(job.context.progress);
    if (job.options.recoveryCount > job.pieceCount)
        throw EngineError("Recovery pieces: at most " + std::to_string(job.pieceCount) +
                          ", one per piece");
    for (std::uint64_t k = job.pieceCount + 1; k <= job.replacing; ++k) {
        if (job.files.Occupied(job.PiecePath(k)) && !job.files.Delete(job.PiecePath(k)))
            throw EngineError("Cannot delete file " + job.PiecePath(k));
    }
    const FileStamp ended = OpenShared(job.files, job.PiecePath(job.pieceCount))->Stamp();
    job.before = FileStamp{job.fileSize, ended.seconds, ended.nanoseconds};
    job.dateText = FileDateText(ended.seconds, job.context.dateFormat);
    descriptor.pieceCount = job.pieceCount;
    descriptor.fileSize = job.fileSize;
    descriptor.dateText = job.dateText;
    descriptor.checksum = StreamChecksum(job, hashes);
}

// Writes the set of a stream: the set name locked and every name it may take claimed, the pieces
// written as the stream comes, then the recovery files and the small files.
void RunStreamSplit(SplitJob& job, InputFile& source) {
    LockSetName(job);
    ClaimMedium(job, 1);
    SplitDescriptor descriptor;
    HashList hashes;
    std::vector<std::string> order;
    StreamReader stream(source, job.context.progress);
    CopyStream(job, stream, descriptor, hashes, order);
    EndStream(job, descriptor, hashes);
    WriteRecovery(job);
    WriteSmallFiles(job, descriptor, hashes, order);
    job.files.SyncVolume(job.folder);
    ClearNote(job);
}

}  // namespace

namespace {

// Plans a split, then runs it in its progress window (steps: the pieces, when known). A refused
// plan has written nothing; a failed run is cleaned up.
OperationResult RunPlanned(SplitJob& job, const std::function<void()>& plan, const char* caption,
                           bool countKnown, const std::function<void()>& run) {
    OperationResult result;
    if (const auto refused = Attempt(plan)) {
        result.message = refused->Message();
        return result;
    }
    ProgressWindow window(job.context.progress, caption, countKnown ? job.pieceCount : 0);
    if (const auto error = Attempt(run)) {
        result.message = FailureText(job, *error) + CleanUp(job);
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace

OperationResult SplitFile(EngineContext& context, const std::string& sourcePath,
                          const std::string& destinationFolder, std::uint64_t pieceSize,
                          const SplitOptions& options) {
    SplitJob job(context, options);
    job.sourcePath = sourcePath;
    job.pieceSize = pieceSize;
    return RunPlanned(
        job, [&] { PlanSplit(job, destinationFolder); }, "Splitting File...", true,
        [&] { RunSplit(job); });
}

OperationResult SplitStream(EngineContext& context, InputFile& source, const std::string& name,
                            const std::string& destinationFolder, std::uint64_t pieceSize,
                            const SplitOptions& options) {
    SplitJob job(context, options);
    return RunPlanned(
        job, [&] { PlanStream(job, name, destinationFolder, pieceSize); }, "Splitting Stream...",
        false, [&] { RunStreamSplit(job, source); });
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
std::optional<FileStamp> OriginalTime(const EngineContext& context, const SetFiles& set,
                                      std::vector<std::string>& warnings) {
    if (set.hashes && set.hashes->modified) return set.hashes->modified;
    try {
        if (const auto time = FileTimeFromDateText(set.descriptor.dateText, context.dateFormat))
            return FileStamp{0, *time, 0};
    } catch (const EngineError& error) {  // a date text this system's conventions cannot read
        warnings.push_back(error.Message() + " The file keeps the time of the restore.");
    }
    return std::nullopt;
}

void GiveTime(OutputFile& out, const FileStamp& time, std::vector<std::string>& warnings) {
    if (out.SetExactTime(time.seconds, time.nanoseconds)) return;
    // A coarser step (two seconds on FAT) is what the medium can do; a year it cannot hold is
    // worth telling.
    if (time.seconds >= 0 && time.seconds <= 0xFFFFFFFFll) {
        out.SetLastWriteTime(time.seconds);
        return;
    }
    const auto text = IsoUtcText(time.seconds, time.nanoseconds);
    warnings.push_back(EngineError("The file system cannot hold the file's original time" +
                                   (text ? " (" + *text + ")" : std::string()))
                           .Message() +
                       " The file keeps the time of the restore.");
}

// The output's name, before anything is written: no file of the set (renaming over it would
// destroy it; pieces not here yet come on other media and cannot be it), and nothing that is not
// a file (a folder, a pipe or a device under that name stays; a link is replaced).
void CheckOutputName(FileSystem& files, const SetFiles& set, const std::string& descriptorPath,
                     const std::string& outputPath) {
    const auto output = files.Identity(outputPath);
    bool overwrites = SameFile(files, output, descriptorPath) ||
                      SameFile(files, output, set.batchPath) ||
                      SameFile(files, output, set.hashPath);
    for (std::uint64_t k = 1; k <= set.descriptor.pieceCount && output && !overwrites; ++k) {
        const auto piece = files.Identity(set.PiecePath(k));
        if (!piece) break;
        overwrites = *piece == *output;
    }
    if (overwrites) throw EngineError("The restored file would overwrite one of its split files");
    if (files.Find(outputPath) && !files.FileExists(outputPath))
        throw EngineError("Cannot create file " + outputPath);
}

// The pieces at hand are checked before a byte is written; the others when they come.
void CheckPiecesAtHand(FileSystem& files, const SetFiles& set) {
    PieceSizes sizes(set.descriptor.pieceCount, set.descriptor.fileSize);
    for (std::uint64_t k = 1; k <= set.descriptor.pieceCount; ++k) {
        // What is not a regular file (a pipe, a folder) is asked for like a missing piece.
        const auto piece =
            files.FileExists(set.PiecePath(k)) ? files.Find(set.PiecePath(k)) : std::nullopt;
        if (!piece) break;
        const std::string wrong = sizes.Check(set.PieceName(k), k, piece->size);
        if (!wrong.empty()) throw EngineError(wrong);
    }
}

// A file under the output's name is the user's: replaced only when the user says so.
void ConfirmReplace(EngineContext& context, const std::string& outputPath, bool overwrite) {
    if (overwrite || !context.files.Occupied(outputPath)) return;
    if (!context.prompt.AskYesNo("Restore",
                                 outputPath + " already exists.\r\rDo you want to replace it?"))
        throw EngineError(outputPath + " already exists");
}

// What killed restores of name into folder left: an unfinished file whose lock nobody holds is
// no one's. One being written is locked and stays.
void RemoveStaleUnfinished(FileSystem& files, const std::string& folder, const std::string& name) {
    const std::string prefix = UnfinishedPrefix(files, folder, name);
    for (const auto& entry : files.List(folder.empty() ? "." : folder)) {
        if (entry.size() == prefix.size() + kUnfinishedRandomLength && entry.rfind(prefix, 0) == 0)
            files.DeleteIfUnlocked(folder + entry);
    }
}

// The copy of a restore: the pieces in order into the unfinished file, each checked against the
// set's list as the file holds it (read back on a second thread beside the copy), so that a
// piece that changes meanwhile fails rather than slip through.
class PieceCopy {
  public:
    // rebuild, when given, is called when a piece is missing or bad, before the user is asked:
    // true once the set's pieces were rebuilt and the piece may be read again.
    PieceCopy(EngineContext& context, const SetFiles& set, UnfinishedFile& out,
              std::function<bool()> rebuild = {})
        : m_context(context),
          m_set(set),
          m_out(out),
          m_sizes(set.descriptor.pieceCount, set.descriptor.fileSize),
          m_removable(context.files.IsRemovable(set.pieceFolder)),
          m_rebuild(std::move(rebuild)) {
        if (set.hashes)
            m_hasher = std::make_unique<WrittenHasher>(OpenShared(context.files, out.Path()));
    }

    void Run() {
        const std::uint64_t count = m_set.descriptor.pieceCount;
        for (std::uint64_t k = 1; k <= count;) {
            StartPiece(m_context.progress, k);
            WaitForPiece(k);
            Pending bad{k, m_restored};
            std::string wrong = Copy(k);
            if (wrong.empty()) {
                if (const auto damaged = Damaged(k == count)) {
                    bad = *damaged;
                    wrong = DamagedText(m_set, bad.k);
                }
            }
            if (wrong.empty()) {
                ++k;
                continue;
            }
            if (m_rebuild && m_rebuild()) {
                CutBack(bad.start);
                k = bad.k;
                continue;
            }
            // From removable media a good copy may be at hand: the piece is tried again.
            if (!m_removable) throw EngineError(wrong);
            CutBack(bad.start);
            const auto answer = m_context.prompt.AskRetryCancel(
                "Restore", EngineError(wrong).Message() +
                               "\r\rPlease insert a source with a good copy of it. " +
                               Where(bad.k));
            if (answer != PromptAnswer::Retry) throw EngineError("Operation aborted");
            k = bad.k;
        }
    }

  private:
    struct Pending {
        std::uint64_t k, start;
    };

    std::string Where(std::uint64_t k) const {
        return "The piece " + m_set.PieceName(k) + " is looked for in " +
               FolderPart(m_set.PiecePath(k)) + ".";
    }

    void WaitForPiece(std::uint64_t k) {
        const std::string path = m_set.PiecePath(k);
        if (m_context.files.FileExists(path)) return;
        if (m_rebuild && m_rebuild() && m_context.files.FileExists(path)) return;
        if (k > 1) ++m_source;
        m_out.File().Flush();
        while (!m_context.files.FileExists(path)) {
            const auto answer = m_context.prompt.AskRetryCancel(
                "Restore", "Please insert source #" + std::to_string(m_source) + "\r\r" + Where(k));
            if (answer != PromptAnswer::Retry) throw EngineError("Operation aborted");
        }
    }

    // Empty once piece k is in the file (its hash may still be under way), else what is wrong.
    std::string Copy(std::uint64_t k) {
        auto piece = OpenShared(m_context.files, m_set.PiecePath(k));
        const std::uint64_t size = piece->Stamp().size;
        const std::string wrong = m_sizes.Check(m_set.PieceName(k), k, size);
        if (!wrong.empty()) return wrong;
        const std::uint64_t start = m_restored;
        if (m_hasher) {
            m_hasher->PieceEnds(start + size);
            m_pending.push_back({k, start});
        }
        const std::uint64_t copied =
            m_context.files.Copy(*piece, m_out.File(), size, [&](std::uint64_t done) {
                m_context.progress.Bytes(start + done, m_set.descriptor.fileSize);
                if (m_hasher) m_hasher->Written(start + done);
                ThrowIfCancelled(m_context.progress);
            });
        if (copied < size) throw EngineError("Stream read error");
        if (m_hasher) m_hasher->Written(start + size);
        m_restored = start + size;
        return {};
    }

    // The first copied piece whose bytes in the file do not match the list; every piece's
    // hash is waited for when wait is set.
    std::optional<Pending> Damaged(bool wait) {
        while (!m_pending.empty()) {
            const auto hashed = m_hasher->Next(wait);
            if (!hashed) return std::nullopt;
            const Pending piece = m_pending.front();
            m_pending.pop_front();
            if (hashed->digest != *m_set.HashOf(piece.k)) return piece;
        }
        return std::nullopt;
    }

    // The file cut back to the start of a piece, to copy it again.
    void CutBack(std::uint64_t start) {
        if (m_hasher) m_hasher->Rewind(start);
        m_pending.clear();
        m_out.File().Truncate(start);
        m_restored = start;
    }

    EngineContext& m_context;
    const SetFiles& m_set;
    UnfinishedFile& m_out;
    PieceSizes m_sizes;
    bool m_removable;
    std::function<bool()> m_rebuild;
    std::unique_ptr<WrittenHasher> m_hasher;
    std::deque<Pending> m_pending;
    std::uint64_t m_restored = 0;  // bytes in the file, whole pieces
    std::uint64_t m_source = 1;
};

// The names of the set's recovery files beside the descriptor: the index NAME.EXT.par2 and every
// NAME.EXT.vol*.par2, whatever their count.
std::vector<std::string> RecoveryFilesOf(FileSystem& files, const SetFiles& set) {
    std::vector<std::string> names;
    for (const auto& name : files.List(set.pieceFolder))
        if (IsRecoveryFileOf(name, set.fileName)) names.push_back(name);
    return names;
}

// Deletes the set once the file is in place. Pieces on media no longer in the drive are not here
// to delete; one that is here and stays (a read-only medium) is named.
void DeleteSet(FileSystem& files, const SetFiles& set, const std::string& descriptorPath,
               std::vector<std::string>& warnings) {
    std::vector<std::string> setFiles = {descriptorPath, set.batchPath, set.hashPath};
    for (std::uint64_t k = 1; k <= set.descriptor.pieceCount; ++k)
        setFiles.push_back(set.PiecePath(k));
    for (const auto& name : RecoveryFilesOf(files, set)) setFiles.push_back(set.pieceFolder + name);
    for (const auto& path : setFiles) {
        if (!files.Delete(path) && files.Occupied(path))
            warnings.push_back(EngineError("Cannot delete file " + path).Message());
    }
}

}  // namespace

namespace {

// One restore, as its steps share it.
struct RestoreJob {
    EngineContext& context;
    FileSystem& files;
    const RestoreOptions& options;
    const std::string& descriptorPath;
    std::string folder = {}, outputFolder = {}, outputName = {}, outputPath = {};
    SetFiles set = {};
    std::optional<FileStamp> time = {};  // to give the output, found before anything is written
    std::unique_ptr<UnfinishedFile> out = {};
    OperationResult result = {};
    bool rebuildTried = false;  // the recovery files are asked once a restore
};

// Defined with verify and repair.
std::string IndexPath(const SetFiles& set);
RecoveryProgress ProgressOf(Progress& progress);
RebuiltFileCheck RebuiltAgainstList(FileSystem& files, const SetFiles& set);

// Everything that can be known before a byte is written: the set, the space, the output's name,
// the pieces at hand, a file in the way, the time to give the file.
void CheckRestore(RestoreJob& job, const std::string& destinationFolder) {
    job.folder =
        destinationFolder.empty() ? std::string() : WithTrailingDelimiter(destinationFolder);
    job.set = ReadSet(job.files, job.descriptorPath);
    if (!job.set.hashes) job.result.warnings.push_back(WeakCheckWarning(job.set));
    job.outputFolder = job.folder.empty() ? std::string(1, kPathDelimiter) : job.folder;
    job.outputName = job.options.outputName.empty() ? job.set.fileName : job.options.outputName;
    job.outputPath = job.outputFolder + job.outputName;
    job.context.progress.SetMaximum(job.set.descriptor.pieceCount);

    std::string noSpace;
    if (!CheckRestoreSpace(job.context, job.folder, job.set.descriptor.fileSize, noSpace))
        throw EngineError::Whole(noSpace);
    CheckOutputName(job.files, job.set, job.descriptorPath, job.outputPath);
    // With recovery files a piece of the wrong size may still be rebuilt (RepairLostPieces).
    if (!job.files.FileExists(IndexPath(job.set))) CheckPiecesAtHand(job.files, job.set);
    ConfirmReplace(job.context, job.outputPath, job.options.overwrite);
    if (job.options.restoreTime) job.time = OriginalTime(job.context, job.set, job.result.warnings);
}

// Rebuilds, once a restore, the pieces that the set's recovery files find missing or damaged,
// each held against the set's list before it takes its place, and says which. False when they
// rebuild nothing: the set has none, they find nothing lost, cannot be used (said as a notice),
// or more is lost than they can rebuild on removable media, where the rest may come on other
// media; on other media that fails with TooMuchLostText. The media prompt then does as before.
bool RebuildFromRecovery(RestoreJob& job) {
    if (job.rebuildTried || !job.files.FileExists(IndexPath(job.set))) return false;
    job.rebuildTried = true;
    Progress& progress = job.context.progress;
    std::optional<RecoveryCheck> check;
    std::optional<RepairOutcome> outcome;
    auto error = Attempt(
        [&] { check = CheckRecoveryFiles(job.files, IndexPath(job.set), ProgressOf(progress)); });
    ThrowIfCancelled(progress);
    if (!error) {
        if (check->lostSlices == 0) return false;
        if (!check->CanRebuild()) {
            if (job.files.IsRemovable(job.set.pieceFolder)) return false;
            throw EngineError(TooMuchLostText(*check));
        }
        // A restore mends the pieces only; damaged recovery files are left to a repair.
        check->damagedParFiles.clear();
        error = Attempt([&] {
            outcome = RepairFromRecovery(job.files, *check, ProgressOf(progress),
                                         RebuiltAgainstList(job.files, job.set));
        });
        ThrowIfCancelled(progress);
    }
    if (error) {
        progress.Notice("Cannot rebuild from the recovery pieces: " + error->Message());
        return false;
    }
    // Said in the set's order, not the recovery files' own.
    const std::set<std::string> rebuilt(outcome->rebuilt.begin(), outcome->rebuilt.end());
    for (std::uint64_t k = 1; k <= job.set.descriptor.pieceCount; ++k)
        if (rebuilt.count(job.set.PieceName(k)))
            progress.Notice("Rebuilt piece " + job.set.PieceName(k) + " from the recovery pieces");
    return true;
}

// Pieces at hand that are missing or of the wrong size are rebuilt from the recovery files
// before a byte is written, when the set has them; then the pieces at hand are checked. Only
// their presence and sizes are looked at here: a set that is whole is not read twice.
void RepairLostPieces(RestoreJob& job) {
    const SetFiles& set = job.set;
    if (!job.files.FileExists(IndexPath(set))) return;  // checked by CheckRestore
    PieceSizes sizes(set.descriptor.pieceCount, set.descriptor.fileSize);
    bool lost = false;
    for (std::uint64_t k = 1; k <= set.descriptor.pieceCount && !lost; ++k) {
        const auto piece = job.files.FileExists(set.PiecePath(k)) ? job.files.Find(set.PiecePath(k))
                                                                  : std::nullopt;
        lost = !piece || !sizes.Check(set.PieceName(k), k, piece->size).empty();
    }
    if (lost) RebuildFromRecovery(job);
    CheckPiecesAtHand(job.files, set);
}

// The pieces copied into an unfinished file and hashed on the way, then the whole file held
// against the descriptor's checksum.
void CopyAndHash(RestoreJob& job) {
    RemoveStaleUnfinished(job.files, job.outputFolder, job.outputName);
    job.out = std::make_unique<UnfinishedFile>(job.files, job.outputFolder, job.outputName);
    PieceCopy(job.context, job.set, *job.out, [&job] { return RebuildFromRecovery(job); }).Run();
    // The checksum, and the deletion it allows, must see what is on the medium.
    job.out->File().Flush();
    if (FileChecksum(job.files, job.out->Path()) == job.set.descriptor.checksum) return;
    // Without a .sha256 a damaged piece shows only here; the recovery files can still find it by
    // its MD5, and the file is then made again, once.
    if (!job.set.hashes && RebuildFromRecovery(job)) {
        job.out.reset();
        return CopyAndHash(job);
    }
    throw EngineError::Whole(kChecksumError);
}

// The file given its time and its name; the set deleted when asked.
void PutInPlace(RestoreJob& job) {
    if (job.time) GiveTime(job.out->File(), *job.time, job.result.warnings);
    job.out->Finish(job.outputPath);
    if (job.options.deletePieces)
        DeleteSet(job.files, job.set, job.descriptorPath, job.result.warnings);
}

}  // namespace

OperationResult RestoreFile(EngineContext& context, const std::string& descriptorPath,
                            const std::string& destinationFolder, const RestoreOptions& options) {
    RestoreJob job{context, context.files, options, descriptorPath};
    if (!IsDescriptorAt(context.files, descriptorPath)) {
        job.result.message = EngineError(kNotASplitFile).Message();
        return job.result;
    }
    ProgressWindow window(context.progress, "Restoring File...", 0);
    const auto error = Attempt([&] {
        CheckRestore(job, destinationFolder);
        RepairLostPieces(job);
        CopyAndHash(job);
        PutInPlace(job);
    });
    // An unfinished file goes before the window does, whatever ended the restore.
    job.out.reset();
    if (error) {
        job.result.message = error->Message();
        return job.result;
    }
    job.result.ok = true;
    return job.result;
}

namespace {

// One verify's walk over the pieces, and the bytes of the descriptor's checksum window it
// gathers on the way (at most 2,000, whatever the count).
struct VerifyWalk {
    FileSystem& files;
    const SetFiles& set;
    std::vector<std::string>& problems;
    PieceSizes sizes{set.descriptor.pieceCount, set.descriptor.fileSize};
    ChecksumWindow window = WindowOf(set.descriptor.fileSize);
    std::vector<unsigned char> windowBytes = {};
    std::uint64_t offset = 0;  // where the next piece starts in the file

    void Gather(InputFile& piece, std::uint64_t start, std::uint64_t size) {
        const std::uint64_t from = std::max(start, window.offset);
        const std::uint64_t to = std::min(start + size, window.offset + window.length);
        if (from >= to) return;
        std::vector<unsigned char> part(static_cast<std::size_t>(to - from));
        piece.Seek(from - start);
        part.resize(piece.Read(part.data(), part.size()));
        windowBytes.insert(windowBytes.end(), part.begin(), part.end());
    }

    PieceState Unreadable(const std::string& name, const std::string& why) {
        problems.push_back(EngineError("Piece " + name + " cannot be read: " + why).Message());
        return PieceState::Damaged;
    }

    PieceState Check(std::uint64_t k) {
        const std::string name = set.PieceName(k);
        if (!files.FileExists(set.PiecePath(k))) {
            problems.push_back(EngineError("Piece " + name + " is missing").Message());
            return PieceState::Missing;
        }
        try {
            auto piece = files.OpenRead(set.PiecePath(k));
            const std::uint64_t size = piece->Stamp().size;
            const std::string wrong = sizes.Check(name, k, size);
            if (!wrong.empty()) {
                problems.push_back(EngineError(wrong).Message());
                return PieceState::Damaged;
            }
            const std::uint64_t start = offset;
            offset += size;
            if (const Sha256Digest* expected = set.HashOf(k)) {
                const auto hashed = HashFile(*piece, size);
                if (hashed.bytes < size) throw FileError("Stream read error", 0);
                if (hashed.digest != *expected) {
                    problems.push_back(EngineError(DamagedText(set, k)).Message());
                    return PieceState::Damaged;
                }
            }
            Gather(*piece, start, size);
            return PieceState::Whole;
        } catch (const FileError& error) {  // an unreadable piece is a damaged one
            return Unreadable(name, error.what());
        } catch (const CopyError& error) {
            return Unreadable(name, error.what());
        }
    }
};

}  // namespace

namespace {

// The pieces walked in order, each checked, then the descriptor's own checksum: a list that
// matches pieces of another file does not make them this one.
void CheckPieces(EngineContext& context, const SetFiles& set, VerifyResult& result) {
    context.progress.SetMaximum(set.descriptor.pieceCount);
    result.states.assign(set.descriptor.pieceCount, PieceState::Whole);
    VerifyWalk walk{context.files, set, result.problems};
    for (std::uint64_t k = 1; k <= set.descriptor.pieceCount; ++k) {
        StartPiece(context.progress, k);
        result.states[k - 1] = walk.Check(k);
    }
    if (result.problems.empty() && walk.windowBytes.size() == walk.window.length &&
        SumWords(walk.windowBytes.data(), walk.windowBytes.size()) != set.descriptor.checksum)
        result.problems.push_back(
            "Checksum error! The pieces do not make the file that was split.");
}

}  // namespace

namespace {

std::string IndexPath(const SetFiles& set) {
    return set.pieceFolder + IndexFileName(set.fileName);
}

RecoveryProgress ProgressOf(Progress& progress) {
    return [&progress](std::uint64_t done, std::uint64_t total) {
        progress.Bytes(done, total);
        return !progress.CancelRequested();
    };
}

// What the recovery files beside the set can do for its pieces; nothing when it has none, or
// none that can still be read (a repair then says why).
std::optional<VerifyResult::Recovery> RecoveryOutlook(EngineContext& context, const SetFiles& set) {
    if (!context.files.FileExists(IndexPath(set))) return std::nullopt;
    std::optional<RecoveryCheck> check;
    if (Attempt([&] {
            check = CheckRecoveryFiles(context.files, IndexPath(set), ProgressOf(context.progress));
        }))
        return std::nullopt;
    VerifyResult::Recovery outlook;
    outlook.lost = static_cast<std::uint32_t>(check->LostNames().size());
    outlook.available = check->RecoverySlices();
    outlook.canRebuild = check->CanRebuild();
    if (!outlook.canRebuild) outlook.tooMuchLost = EngineError(TooMuchLostText(*check)).Message();
    return outlook;
}

// A rebuilt piece, still under its temporary name, held against the set's list when it has one:
// the recovery files vouch for the bytes they were made from, the list for the file that was
// split.
RebuiltFileCheck RebuiltAgainstList(FileSystem& files, const SetFiles& set) {
    return [&files, &set](const std::string& temporaryPath, const std::string& name) {
        for (std::uint64_t k = 1; k <= set.descriptor.pieceCount && set.hashes; ++k) {
            if (set.PieceName(k) != name) continue;
            auto piece = OpenShared(files, temporaryPath);
            const auto hashed = HashFile(*piece, piece->Stamp().size);
            if (hashed.digest != *set.HashOf(k))
                throw EngineError("Piece " + name + " was rebuilt but its SHA-256 does not match " +
                                  set.hashName + "; nothing was replaced");
        }
    };
}

}  // namespace

namespace {

// Runs steps on the set of descriptorPath while the progress window of caption shows. False,
// with result's message, when descriptorPath names no descriptor or a step failed.
template <typename Steps>
bool RunOnSet(EngineContext& context, const std::string& descriptorPath, const char* caption,
              OperationResult& result, Steps steps) {
    if (!IsDescriptorAt(context.files, descriptorPath)) {
        result.message = EngineError(kNotASplitFile).Message();
        return false;
    }
    ProgressWindow window(context.progress, caption, 0);
    if (const auto error = Attempt(steps)) {
        result.message = error->Message();
        return false;
    }
    return true;
}

}  // namespace

RepairResult RepairSet(EngineContext& context, const std::string& descriptorPath) {
    RepairResult result;
    result.ok = RunOnSet(context, descriptorPath, "Repairing Split Set...", result, [&] {
        const SetFiles set = ReadSet(context.files, descriptorPath);
        if (!context.files.FileExists(IndexPath(set)))
            throw EngineError("No recovery pieces: " + IndexFileName(set.fileName) +
                              " is not there");
        const RecoveryCheck check =
            CheckRecoveryFiles(context.files, IndexPath(set), ProgressOf(context.progress));
        if (check.AllWhole()) return;
        if (!check.CanRebuild()) throw EngineError(TooMuchLostText(check));
        const RepairOutcome outcome =
            RepairFromRecovery(context.files, check, ProgressOf(context.progress),
                               RebuiltAgainstList(context.files, set));
        result.rebuilt = outcome.rebuilt;
        result.mended = outcome.mended;
    });
    return result;
}

VerifyResult VerifySet(EngineContext& context, const std::string& descriptorPath) {
    VerifyResult result;
    const bool checked = RunOnSet(context, descriptorPath, "Verifying Split Set...", result, [&] {
        const SetFiles set = ReadSet(context.files, descriptorPath);
        if (!set.hashes) result.warnings.push_back(WeakCheckWarning(set));
        CheckPieces(context, set, result);
        if (!result.problems.empty()) result.recovery = RecoveryOutlook(context, set);
    });
    result.ok = checked && result.problems.empty();
    return result;
}

std::string RecoveryLine(const VerifyResult::Recovery& recovery, const std::string& then) {
    if (!recovery.canRebuild) return recovery.tooMuchLost;
    const bool one = recovery.lost == 1;
    return std::to_string(recovery.lost) + (one ? " piece is" : " pieces are") +
           " missing or damaged; the " + std::to_string(recovery.available) + " recovery " +
           (recovery.available == 1 ? "piece" : "pieces") + " can rebuild " +
           (one ? "it" : "them") + then;
}

namespace {

// The part of bytes at offset of the file that lies in window, added to gathered.
void GatherWindow(const ChecksumWindow& window, std::uint64_t offset, const char* bytes,
                  std::size_t size, std::vector<unsigned char>& gathered) {
    const std::uint64_t from = std::max(offset, window.offset);
    const std::uint64_t to = std::min(offset + size, window.offset + window.length);
    if (from < to) gathered.insert(gathered.end(), bytes + (from - offset), bytes + (to - offset));
}

// A restore into a stream: each piece hashed whole before a byte of it goes out, then read again
// into the stream and hashed again, so that a piece changed between the two reads stops it.
class StreamOut {
  public:
    // rebuild, when given, is asked before a damaged piece stops the stream: true once it rebuilt
    // what the set lacks, and the piece is then checked again.
    StreamOut(EngineContext& context, const SetFiles& set, OutputFile& out,
              std::function<bool()> rebuild)
        : m_context(context),
          m_set(set),
          m_out(out),
          m_rebuild(std::move(rebuild)),
          m_sizes(set.descriptor.pieceCount, set.descriptor.fileSize),
          m_window(WindowOf(set.descriptor.fileSize)),
          m_removable(context.files.IsRemovable(set.pieceFolder)) {}

    void Run() {
        m_context.progress.SetMaximum(m_set.descriptor.pieceCount);
        for (std::uint64_t k = 1; k <= m_set.descriptor.pieceCount; ++k) {
            StartPiece(m_context.progress, k);
            auto piece = CheckedPiece(k);
            Send(k, *piece);
        }
        m_out.Flush();
        if (m_windowBytes.size() == m_window.length &&
            SumWords(m_windowBytes.data(), m_windowBytes.size()) != m_set.descriptor.checksum)
            throw EngineError::Whole(kChecksumError);
    }

  private:
    // Piece k, there, of its size and matching the list; a bad one from removable media is
    // asked for again, as nothing of it has gone out.
    std::unique_ptr<InputFile> CheckedPiece(std::uint64_t k) {
        for (;;) {
            WaitForPiece(k);
            auto piece = OpenShared(m_context.files, m_set.PiecePath(k));
            const std::uint64_t size = piece->Stamp().size;
            std::string wrong = m_sizes.Check(m_set.PieceName(k), k, size);
            if (wrong.empty() && m_set.HashOf(k)) {
                const auto hashed = HashFile(*piece, size);
                if (hashed.bytes < size) throw EngineError("Stream read error");
                if (hashed.digest != *m_set.HashOf(k)) wrong = DamagedText(m_set, k);
                piece->Seek(0);
            }
            if (wrong.empty()) return piece;
            piece.reset();  // a rebuilt piece is renamed over it
            if (m_rebuild && m_rebuild()) continue;
            if (!m_removable) throw EngineError(wrong);
            const auto answer = m_context.prompt.AskRetryCancel(
                "Restore", EngineError(wrong).Message() +
                               "\r\rPlease insert a source with a good copy of it.");
            if (answer != PromptAnswer::Retry) throw EngineError("Operation aborted");
        }
    }

    void WaitForPiece(std::uint64_t k) {
        const std::string path = m_set.PiecePath(k);
        if (m_context.files.FileExists(path)) return;
        if (k > 1) ++m_source;
        while (!m_context.files.FileExists(path)) {
            const auto answer = m_context.prompt.AskRetryCancel(
                "Restore", "Please insert source #" + std::to_string(m_source) + "\r\rThe piece " +
                               m_set.PieceName(k) + " is looked for in " + FolderPart(path) + ".");
            if (answer != PromptAnswer::Retry) throw EngineError("Operation aborted");
        }
    }

    void Send(std::uint64_t k, InputFile& piece) {
        const std::uint64_t size = piece.Stamp().size;
        std::vector<char> buffer(kCopyBufferSize);
        Sha256 again;
        for (std::uint64_t done = 0; done < size;) {
            const auto want =
                static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - done));
            const std::size_t got = piece.Read(buffer.data(), want);
            if (got < want) throw EngineError("Stream read error");
            again.Update(buffer.data(), got);
            GatherWindow(m_window, m_sent + done, buffer.data(), got, m_windowBytes);
            try {
                m_out.Write(buffer.data(), got);
            } catch (const FileError& error) {
                throw CopyError(CopyError::Side::Write, error.Code());
            }
            done += got;
            m_context.progress.Bytes(m_sent + done, m_set.descriptor.fileSize);
            ThrowIfCancelled(m_context.progress);
        }
        if (m_set.HashOf(k) && again.Finish() != *m_set.HashOf(k))
            throw EngineError("Piece " + m_set.PieceName(k) + " changed while it was restored");
        m_sent += size;
    }

    EngineContext& m_context;
    const SetFiles& m_set;
    OutputFile& m_out;
    std::function<bool()> m_rebuild;
    PieceSizes m_sizes;
    ChecksumWindow m_window;
    bool m_removable;
    std::vector<unsigned char> m_windowBytes;
    std::uint64_t m_sent = 0;  // bytes gone out, whole pieces
    std::uint64_t m_source = 1;
};

}  // namespace

OperationResult RestoreToStream(EngineContext& context, const std::string& descriptorPath,
                                OutputFile& out) {
    const RestoreOptions options;
    RestoreJob job{context, context.files, options, descriptorPath};
    job.result.ok = RunOnSet(context, descriptorPath, "Restoring File...", job.result, [&] {
        job.set = ReadSet(context.files, descriptorPath);
        if (!job.set.hashes) job.result.warnings.push_back(WeakCheckWarning(job.set));
        if (!context.files.FileExists(IndexPath(job.set)))
            CheckPiecesAtHand(context.files, job.set);
        RepairLostPieces(job);
        StreamOut(context, job.set, out, [&job] { return RebuildFromRecovery(job); }).Run();
    });
    return job.result;
}

}  // namespace olvo
