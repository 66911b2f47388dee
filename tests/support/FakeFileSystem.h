#pragma once
// The system's files with faults injected, free space scripted and unsynced data lost on demand,
// plus a recording progress window and a scripted prompt, for driving the engine through every
// ending.

#include <atomic>
#include <cerrno>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/engine/Seams.h"
#include "platform/FileSystem.h"

namespace olvo::test {

// Holds the system's file system that a FakeFileSystem made for itself; a base, so that it is
// made before the wrapper that forwards to it.
struct OwnedFileSystem {
    std::unique_ptr<FileSystem> owned;
};

class FakeFileSystem : private OwnedFileSystem, public FileSystemWrapper {
  public:
    // Over this machine's files, copied as method says: by default in the kernel where both
    // files allow it, the path real use takes. The files hand out their descriptors unless a
    // fault below must see every byte (failReadPath, failWritesAfter).
    explicit FakeFileSystem(CopyMethod method = CopyMethod::KernelWherePossible);
    // Over real, which outlives this.
    explicit FakeFileSystem(FileSystem& real) : FileSystemWrapper(real) {}

    // Free space: a fixed answer, or a function of the folder. Unset: the real volume's.
    std::function<std::int64_t(const std::string&)> freeSpace;
    // Writes fail with this error number once this many bytes were written in all (disk full).
    std::optional<std::uint64_t> failWritesAfter;
    int writeError = ENOSPC;
    // Reads of this path fail with EIO after this many bytes.
    std::string failReadPath;
    std::uint64_t failReadAfter = 0;
    // Create fails for paths in this set with EACCES.
    std::set<std::string> refuseCreate;
    // Delete fails for paths in this set, as on a read-only medium.
    std::set<std::string> refuseDelete;
    // Every call that reaches the system fails from this call index on (0 = the first call).
    std::optional<int> failCallFrom;
    // Only the call of this index fails.
    std::optional<int> failCallAt;
    int failCallError = EIO;
    // What IsRemovable answers.
    bool removable = false;
    // What LargestFile answers for a folder; unset: the real volume's.
    std::function<std::optional<std::uint64_t>(const std::string&)> largestFile;

    int syncCount = 0;
    std::atomic<int> openFiles = 0;
    // Every call counts, those of the hashing thread included.
    std::atomic<int> calls = 0;
    std::vector<std::string> created;

    // Keeps, for every file created from now on, what it held when it was last put on the medium
    // (its own Flush, or a SyncVolume of its volume), for DropUnsynced.
    bool trackUnsynced = false;
    // What a medium taken out or a power cut leaves: every file created while trackUnsynced was
    // set goes back to what it held when it was last synced; one never synced is left empty.
    void DropUnsynced();

    std::optional<FileInfo> Lookup(const std::string& path) override;
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override;
    std::unique_ptr<OutputFile> Create(const std::string& path) override;
    bool Delete(const std::string& path) override;
    std::int64_t FreeSpace(const std::string& folder) override;
    void SyncVolume(const std::string& folder) override;
    std::unique_ptr<OutputFile> CreateExclusive(const std::string& path) override;
    bool DeleteIfUnlocked(const std::string& path) override;
    void Rename(const std::string& from, const std::string& to) override;
    std::vector<std::string> List(const std::string& folder) override;
    std::size_t MaxNameLength(const std::string& folder) override;
    bool IsRemovable(const std::string& folder) override;
    std::optional<std::uint64_t> LargestFile(const std::string& folder) override;
    std::unique_ptr<FileLock> TryLock(const std::string& path) override;
    // The real system's copy: in the kernel when both files hand out their descriptors, through
    // their Read and Write (and so their faults) otherwise. What the kernel moved counts as
    // written.
    std::uint64_t Copy(InputFile& from, OutputFile& to, std::uint64_t limit,
                       const std::function<void(std::uint64_t)>& progress) override;

    // Called by the files this system opens: raises the injected error when this call fails.
    void CountCall();
    // Counts a call that reports failure by its result rather than by raising: true when it fails.
    bool Fails();
    std::atomic<std::uint64_t> written = 0;
    // Called by a file opened for writing when it was flushed.
    void Synced(const std::string& path);

  private:
    std::mutex m_syncedLock;
    std::map<std::string, std::string> m_synced;  // path: what it held when last synced
};

class RecordingProgress : public Progress {
  public:
    void Begin(const std::string& caption, std::uint32_t maximum) override {
        captions.push_back(caption);
        this->maximum = maximum;
        ++shown;
    }
    void SetMaximum(std::uint32_t value) override { maximum = value; }
    void SetPosition(std::uint32_t position) override { positions.push_back(position); }
    void ProcessMessages() override { ++pumps; }
    void End() override { --shown; }
    void Notice(const std::string& text) override { notices.push_back(text); }

    std::vector<std::string> captions;
    std::vector<std::string> notices;
    std::vector<std::uint32_t> positions;
    std::uint32_t maximum = 0;
    int shown = 0;
    int pumps = 0;
};

// Answers each question with the next scripted answer, after running its action (which may
// change the world, as a user who swaps the medium does); Cancel when the script is used up.
class ScriptedPrompt : public Prompt {
  public:
    struct Step {
        PromptAnswer answer;
        std::function<void()> action;
    };
    std::vector<Step> steps;
    std::vector<std::string> asked;  // "caption|text"

    // The answer to every Yes/No question, and the questions asked ("caption|text").
    bool yes = false;
    std::vector<std::string> askedYesNo;
    bool AskYesNo(const std::string& caption, const std::string& text) override {
        askedYesNo.push_back(caption + "|" + text);
        return yes;
    }

    PromptAnswer AskRetryCancel(const std::string& caption, const std::string& text) override {
        asked.push_back(caption + "|" + text);
        if (asked.size() > steps.size()) return PromptAnswer::Cancel;
        auto& step = steps[asked.size() - 1];
        if (step.action) step.action();
        return step.answer;
    }
};

}  // namespace olvo::test
