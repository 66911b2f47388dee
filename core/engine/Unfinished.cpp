#include "core/engine/Unfinished.h"

#include <algorithm>
#include <cerrno>
#include <random>

namespace olvo {
namespace {

constexpr char kUnfinished[] = ".unfinished-";

}  // namespace

std::string UnfinishedPrefix(FileSystem& files, const std::string& folder,
                             const std::string& name) {
    const std::size_t limit = files.MaxNameLength(folder.empty() ? "." : folder);
    const std::size_t extra = sizeof kUnfinished - 1 + kUnfinishedRandomLength;
    const std::size_t room = limit > extra ? limit - extra : 1;
    return name.substr(0, std::min(name.size(), room)) + kUnfinished;
}

std::unique_ptr<OutputFile> CreateUnfinished(FileSystem& files, const std::string& folder,
                                             const std::string& name, std::string& path) {
    const std::string prefix = UnfinishedPrefix(files, folder, name);
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0;; ++attempt) {
        std::string suffix;
        for (std::size_t i = 0; i < kUnfinishedRandomLength; ++i)
            suffix += kLetters[random() % (sizeof kLetters - 1)];
        try {
            auto file = files.CreateExclusive(folder + prefix + suffix);
            path = folder + prefix + suffix;
            return file;
        } catch (const FileError& error) {
            // A name taken by another unfinished file: another end is tried.
            if (error.Code() != EEXIST || attempt == 20) throw;
        }
    }
}

}  // namespace olvo
