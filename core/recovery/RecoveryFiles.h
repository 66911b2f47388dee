#pragma once
// What creating and repairing share: the names of a set's PAR 2.0 files, the error they raise,
// their progress callback, and files written under a temporary name and then renamed.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/engine/EngineError.h"
#include "core/recovery/Checksums.h"
#include "platform/FileSystem.h"

namespace olvo {

// A failure of creating, checking or repairing is the engine's one error: the text the user is
// shown (the system's reason included where there is one, no closing "!") and its number.
using RecoveryError = EngineError;

// Called with the bytes done so far and the bytes to do in all; false asks to stop, which ends
// the operation with RecoveryError("Operation aborted") and nothing half-written left behind.
// It may be called from either of the operation's two threads, but never by both at once.
using RecoveryProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// "BASE.par2": the index.
std::string IndexFileName(const std::string& base);
// The names of count recovery files of one slice each, as PAR 2.0 programs name them:
// "BASE.vol00+01.par2", "BASE.vol01+01.par2", ...; the exponent is zero-padded to the width of
// count, as par2 pads it ("BASE.vol000+01.par2" ... "BASE.vol119+01.par2" for 120), the slice
// count to two digits; both to two digits at least.
std::vector<std::string> RecoveryFileNames(const std::string& base, std::uint32_t count);

// Whether name is one of the PAR 2.0 files of base: the index or a recovery file
// "BASE.vol*.par2", however its numbers are written.
bool IsRecoveryFileOf(const std::string& name, const std::string& base);

// The text of the Creator packet of the files we write.
std::string CreatorText();

// Whether name is a plain file name: no folder part, not "." or "..", no NUL, not empty.
bool IsPlainName(const std::string& name);

// A file written as FOLDER/NAME.unfinished-XXXXXX and given its final name only by Finish;
// deleted when destroyed unfinished. Raises RecoveryError when it cannot be made.
class UnfinishedOutput {
  public:
    UnfinishedOutput(FileSystem& files, const std::string& folder, const std::string& name);
    ~UnfinishedOutput();
    UnfinishedOutput(const UnfinishedOutput&) = delete;
    UnfinishedOutput& operator=(const UnfinishedOutput&) = delete;

    // Writes all of data; raises RecoveryError naming the final file and the reason.
    void Write(const void* data, std::size_t size);
    OutputFile& File() { return *m_file; }
    const std::string& Path() const { return m_path; }
    // Written through to the file, so that it can be read back by its path; raises
    // RecoveryError as Write does.
    void Flush();
    // Flushed, closed and renamed over folder + name.
    void Finish();

  private:
    FileSystem& m_files;
    std::unique_ptr<OutputFile> m_file;
    std::string m_path;
    std::string m_final;
    bool m_done = false;
};

// Raises RecoveryError "Operation aborted" when progress, asked with done and total, says stop.
void CheckStop(const RecoveryProgress& progress, std::uint64_t done, std::uint64_t total);

// Opens path for reading; a failure raises RecoveryError "Cannot open file PATH: REASON".
std::unique_ptr<InputFile> OpenInput(FileSystem& files, const std::string& path);

// Reads exactly size bytes at offset; fewer bytes in the file (or a read error) raise
// RecoveryError naming path.
void ReadExactly(InputFile& file, const std::string& path, std::uint64_t offset, void* buffer,
                 std::size_t size);

}  // namespace olvo
