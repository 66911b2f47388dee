// A driver for bench/recovery-bench.sh: creates recovery files for pieces, or checks and repairs a
// set, through the core's recovery functions, so that they can be timed against par2.
//
//   recovery_bench create FOLDER BASE COUNT PIECE...   writes FOLDER/BASE.par2 and COUNT volumes
//   recovery_bench repair INDEX                        rebuilds what is missing or damaged

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/recovery/Par2Create.h"
#include "core/recovery/Par2Repair.h"

int main(int argc, char** argv) {
    using namespace olvo;
    const auto files = MakeSystemFileSystem();
    try {
        const std::string command = argc > 1 ? argv[1] : "";
        if (command == "create" && argc > 5) {
            RecoveryRequest request;
            request.folder = std::string(argv[2]) + "/";
            request.base = argv[3];
            request.recoveryCount = static_cast<std::uint32_t>(std::atoi(argv[4]));
            for (int i = 5; i < argc; ++i) {
                const std::string path = argv[i];
                const auto entry = files->Find(path);
                if (!entry) throw RecoveryError("no file " + path);
                request.inputs.push_back(
                    {path, path.substr(path.find_last_of('/') + 1), entry->size});
                request.sliceSize = std::max(request.sliceSize, SliceSizeForPieces(entry->size));
            }
            CreateRecoveryFiles(*files, request, {});
            return 0;
        }
        if (command == "repair" && argc == 3) {
            const RecoveryCheck check = CheckRecoveryFiles(*files, argv[2], {});
            const RepairOutcome outcome = RepairFromRecovery(*files, check, {});
            std::printf("rebuilt %zu, mended %zu\n", outcome.rebuilt.size(), outcome.mended.size());
            return 0;
        }
        std::fprintf(stderr,
                     "usage: recovery_bench create FOLDER BASE COUNT PIECE... | repair INDEX\n");
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "recovery_bench: %s!\n", error.what());
        return 1;
    }
}
