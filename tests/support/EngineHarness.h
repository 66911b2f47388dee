#pragma once
// An engine context over the fault-injecting file system, a recording progress window and a
// scripted prompt, with helpers to look at what a split left behind.

#include <string>
#include <vector>

#include "core/engine/FileSplit.h"
#include "core/engine/Format.h"
#include "core/engine/SplitSet.h"
#include "support/FakeFileSystem.h"
#include "support/TempDir.h"

namespace olvo::test {

struct EngineHarness {
    EngineHarness() = default;
    explicit EngineHarness(CopyMethod method) : files(method) {}

    FakeFileSystem files;
    RecordingProgress progress;
    ScriptedPrompt prompt;
    EngineContext context{files, progress, prompt, DateTimeFormat(DateTimeConventions{})};

    bool Split(const std::string& source, const std::string& folder, std::uint64_t pieceSize) {
        return Took(SplitFile(context, source, folder, pieceSize, splitOptions));
    }
    bool Restore(const std::string& descriptor, const std::string& folder,
                 const RestoreOptions& options = {}) {
        return Took(RestoreFile(context, descriptor, folder, options));
    }
    // The message and warnings of an operation's result, kept for the test to look at.
    bool Took(const OperationResult& result) {
        message = result.message;
        warnings = result.warnings;
        return result.ok;
    }
    std::string message;
    std::vector<std::string> warnings;
    SplitOptions splitOptions;
};

// The contents of base.s01, base.s02, ... in folder, up to the first missing piece.
inline std::vector<std::string> Pieces(const std::string& folder, const std::string& base) {
    std::vector<std::string> pieces;
    for (std::uint64_t k = 1;; ++k) {
        const std::string path = folder + "/" + PieceName(base, k);
        if (!Exists(path)) break;
        pieces.push_back(ReadFile(path));
    }
    return pieces;
}

// The refusal of a split whose pieces would replace those of the set of folder/fileName.split.
inline std::string OtherSetRefusal(const std::string& folder, const std::string& fileName) {
    const auto set = ReadDescriptor(ReadFile(folder + "/" + fileName + ".split"));
    return "The pieces of " + fileName + " (" + GroupThousands(set.fileSize, ",") + " bytes, " +
           set.dateText + ") would be overwritten!";
}

inline std::string Joined(const std::vector<std::string>& parts) {
    std::string all;
    for (const auto& part : parts) all += part;
    return all;
}

}  // namespace olvo::test
