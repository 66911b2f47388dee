#include "core/recovery/RecoveryFiles.h"

#include <algorithm>

#include "core/engine/Unfinished.h"

namespace olvo {
namespace {
std::string Padded(std::uint32_t value, std::size_t width) {
    std::string text = std::to_string(value);
    return std::string(width > text.size() ? width - text.size() : 0, '0') + text;
}
}  // namespace

std::string IndexFileName(const std::string& base) {
    return base + ".par2";
}

std::vector<std::string> RecoveryFileNames(const std::string& base, std::uint32_t count) {
    // par2 gives each number the width of the largest of its kind: the exponents end at count,
    // the slice counts are all 1; two digits at least, as the names of a small set show.
    const std::size_t width = std::max<std::size_t>(2, std::to_string(count).size());
    std::vector<std::string> names;
    for (std::uint32_t e = 0; e < count; ++e)
        names.push_back(base + ".vol" + Padded(e, width) + "+" + Padded(1, 2) + ".par2");
    return names;
}

bool IsRecoveryFileOf(const std::string& name, const std::string& base) {
    const std::string volPrefix = base + ".vol";
    const bool vol = name.size() > volPrefix.size() + 5 && name.rfind(volPrefix, 0) == 0 &&
                     name.compare(name.size() - 5, 5, ".par2") == 0;
    return vol || name == IndexFileName(base);
}

std::string CreatorText() {
    return std::string("OLVO Kestrava File Splitter ") + OLVO_VERSION;
}

bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

UnfinishedOutput::UnfinishedOutput(FileSystem& files, const std::string& folder,
                                   const std::string& name)
    : m_files(files), m_final(folder + name) {
    try {
        m_file = CreateUnfinished(files, folder, name, m_path);
    } catch (const FileError& error) {
        throw RecoveryError("Cannot create file " + m_final + ": " + error.what(), error.Code());
    }
}

UnfinishedOutput::~UnfinishedOutput() {
    m_file.reset();
    if (!m_done) m_files.Delete(m_path);
}

void UnfinishedOutput::Write(const void* data, std::size_t size) {
    try {
        m_file->Write(data, size);
    } catch (const FileError& error) {
        throw RecoveryError("Cannot write file " + m_final + ": " + error.what(), error.Code());
    }
}

void UnfinishedOutput::Flush() {
    try {
        m_file->Flush();
    } catch (const FileError& error) {
        throw RecoveryError("Cannot write file " + m_final + ": " + error.what(), error.Code());
    }
}

void UnfinishedOutput::Finish() {
    try {
        m_file->Flush();
        m_file.reset();
        m_files.Rename(m_path, m_final);
    } catch (const FileError& error) {
        throw RecoveryError("Cannot write file " + m_final + ": " + error.what(), error.Code());
    }
    m_done = true;
}

void CheckStop(const RecoveryProgress& progress, std::uint64_t done, std::uint64_t total) {
    if (progress && !progress(done, total)) throw RecoveryError("Operation aborted");
}

std::unique_ptr<InputFile> OpenInput(FileSystem& files, const std::string& path) {
    try {
        return files.OpenRead(path);
    } catch (const FileError& error) {
        throw RecoveryError("Cannot open file " + path + ": " + error.what());
    }
}

void ReadExactly(InputFile& file, const std::string& path, std::uint64_t offset, void* buffer,
                 std::size_t size) {
    try {
        file.Seek(offset);
        std::size_t done = 0;
        while (done < size) {
            const std::size_t got = file.Read(static_cast<char*>(buffer) + done, size - done);
            if (got == 0) throw RecoveryError("The file " + path + " is shorter than it was");
            done += got;
        }
    } catch (const FileError& error) {
        throw RecoveryError("Cannot read file " + path + ": " + error.what(), error.Code());
    }
}

}  // namespace olvo
