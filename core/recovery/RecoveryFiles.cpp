#include "core/recovery/RecoveryFiles.h"

#include <cerrno>
#include <random>

namespace olvo {
namespace {
constexpr char kUnfinished[] = ".unfinished-";
constexpr std::size_t kRandomLength = 6;

std::string Padded(std::uint32_t value, std::size_t width) {
    std::string text = std::to_string(value);
    return std::string(width > text.size() ? width - text.size() : 0, '0') + text;
}
}  // namespace

std::string IndexFileName(const std::string& base) {
    return base + ".par2";
}

std::vector<std::string> RecoveryFileNames(const std::string& base, std::uint32_t count) {
    const std::size_t width = std::max<std::size_t>(2, std::to_string(count).size());
    std::vector<std::string> names;
    for (std::uint32_t e = 0; e < count; ++e)
        names.push_back(base + ".vol" + Padded(e, width) + "+" + Padded(1, width) + ".par2");
    return names;
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
    const std::size_t limit = files.MaxNameLength(folder.empty() ? "." : folder);
    const std::size_t extra = sizeof kUnfinished - 1 + kRandomLength;
    const std::string stem = name.substr(0, limit > extra ? limit - extra : 1);
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0;; ++attempt) {
        std::string suffix;
        for (std::size_t i = 0; i < kRandomLength; ++i)
            suffix += kLetters[random() % (sizeof kLetters - 1)];
        m_path = folder + stem + kUnfinished + suffix;
        try {
            m_file = files.CreateExclusive(m_path);
            return;
        } catch (const FileError& error) {
            if (error.Code() != EEXIST || attempt == 20)
                throw RecoveryError("Cannot create file " + m_final + ": " + error.what());
        }
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
        throw RecoveryError("Cannot write file " + m_final + ": " + error.what());
    }
}

void UnfinishedOutput::Finish() {
    try {
        m_file->Flush();
        m_file.reset();
        m_files.Rename(m_path, m_final);
    } catch (const FileError& error) {
        throw RecoveryError("Cannot write file " + m_final + ": " + error.what());
    }
    m_done = true;
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
        throw RecoveryError("Cannot read file " + path + ": " + error.what());
    }
}

}  // namespace olvo
