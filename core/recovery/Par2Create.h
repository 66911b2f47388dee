#pragma once
// Creating the PAR 2.0 files of a set of pieces: an index "BASE.par2" (Main, File Description,
// Input File Slice Checksum and Creator packets, no recovery data) and recovery files
// "BASE.vol00+01.par2", ... of one recovery slice each (exponents 0, 1, ...), each repeating the
// index packets, so that any one of them with the pieces is enough to rebuild one lost slice.
//
// The pieces are read once, a stripe at a time (memory holds one stripe of every piece and of
// every recovery slice, some tens of MiB at most whatever their size); their MD5s and CRC-32s are
// taken in the same pass, on two threads. Every file is written under a temporary name and
// renamed when whole: an error or a stop leaves no file of ours half-written (the files already
// renamed stay). The recovery data also goes through a scratch file beside it first, because its
// packet header, which comes first, holds the MD5 of the data.

#include <cstdint>
#include <string>
#include <vector>

#include "core/recovery/Par2Reader.h"
#include "core/recovery/RecoveryFiles.h"
#include "platform/FileSystem.h"

namespace olvo {

// One input file: where it is, the name the index gives it (a plain name, the file lying beside
// the PAR 2.0 files) and its size.
struct RecoveryInput {
    std::string path;
    std::string name;
    std::uint64_t size = 0;
};

struct RecoveryRequest {
    std::vector<RecoveryInput> inputs;  // in the set's order; at most kMaxInputSlices
    // A multiple of 4 no smaller than the largest input: one slice per input.
    std::uint64_t sliceSize = 0;
    std::string folder;  // where the PAR 2.0 files go: empty or ending in the path delimiter
    std::string base;    // their common name: the index is base + ".par2"
    std::uint32_t recoveryCount = 0;  // at most 65,535
};

// The slice size for pieces of pieceSize bytes: rounded up to a multiple of 4.
std::uint64_t SliceSizeForPieces(std::uint64_t pieceSize);

// Writes the index and request.recoveryCount recovery files; returns their names, index first.
// Raises RecoveryError on a request that cannot be made (no inputs, too many, a slice size that is
// not a multiple of 4 or smaller than an input, a name that is not plain or is given twice), an
// input that is shorter than said, a read or write failure, or a stop asked by progress.
std::vector<std::string> CreateRecoveryFiles(FileSystem& files, const RecoveryRequest& request,
                                             const RecoveryProgress& progress);

// A recovery file to (re)write: its name and the exponents of its slices.
struct RecoveryFileLayout {
    std::string name;
    std::vector<std::uint32_t> exponents;
};

// Writes recovery files for set from its input files in folder, which must match the set's
// checksums (else RecoveryError naming the first that does not): how repair mends a damaged
// recovery file.
void WriteRecoveryFiles(FileSystem& files, const RecoverySet& set, const std::string& folder,
                        const std::vector<RecoveryFileLayout>& layouts,
                        const RecoveryProgress& progress);

// The index packets of set (Main, File Description and IFSC of each file, Creator), as every
// file we write carries them.
std::string IndexPackets(const RecoverySet& set);

}  // namespace olvo
