#pragma once
// Splitting a file into a split set and restoring it. Both operations catch every error, return
// false with the text in message, and never delete what an early end leaves on disk:
//
//  SplitFile ends with                  | left in the destination folder
//  -------------------------------------+-----------------------------------------------------
//  a refusal before the window appears  | nothing
//  space failure or Cancel before piece k| pieces 1 to k-1, complete
//  an error while copying piece k       | pieces 1 to k-1 and piece k in part
//  an error while writing the descriptor| all pieces and a partial descriptor, no batch file
//  success                              | all pieces, the descriptor, the batch file, flushed
//
//  RestoreFile ends with                | on disk
//  -------------------------------------+-----------------------------------------------------
//  a refusal or a space failure         | nothing created
//  an error reading the descriptor      | nothing created
//  "Operation aborted!" at piece k      | the output holding pieces 1 to k-1; the set untouched
//  an error while copying piece k       | the output in part; the set untouched
//  a date line that does not convert    | the complete output; no checksum test, no deletion
//  a checksum mismatch                  | the complete output; the set untouched
//  success                              | the output, flushed; the set deleted when asked

#include <cstdint>
#include <string>

#include "engine/DateText.h"
#include "engine/Seams.h"
#include "platform/FileSystem.h"

namespace olvo {

// What an operation works through: the files, the progress window, the media prompts and the
// date conventions of the descriptor's second line.
struct EngineContext {
    FileSystem& files;
    Progress& progress;
    Prompt& prompt;
    DateTimeFormat dateFormat;
};

// The largest piece a split writes.
inline constexpr std::uint32_t kMaxPieceSize = 2147483647u;

// A checksum of the file: the wrapping 32-bit sum of at most 500 little-endian words from the
// middle of the file (from word W/2, W = size/4, never the last whole word); 0 for a file of
// fewer than 12 bytes. Raises FileError when the file cannot be opened or read.
std::uint32_t FileChecksum(FileSystem& files, const std::string& path);

// Cuts sourcePath into pieces of pieceSize bytes in destinationFolder, then writes the descriptor
// and the batch file. Message is emptied, and set only on failure.
bool SplitFile(EngineContext& context, const std::string& sourcePath,
               const std::string& destinationFolder, std::string& message, std::uint32_t pieceSize);

// True once the destination volume has bytesNeeded bytes free, after as many "Insert new media"
// prompts as it takes; false with message set on a volume that cannot tell or on Cancel.
// Everything written to the volume is flushed before a prompt is shown.
bool CheckPieceSpace(EngineContext& context, const std::string& destinationFolder,
                     std::uint64_t bytesNeeded, std::string& message);

// Rebuilds the file of a split set from its descriptor into destinationFolder; restores its
// time and deletes the set on request, the latter only after the checksum matched.
bool RestoreFile(EngineContext& context, const std::string& descriptorPath,
                 const std::string& destinationFolder, std::string& message, bool deletePieces,
                 bool restoreTime);

// True when the destination volume has bytesNeeded bytes free; never prompts.
bool CheckRestoreSpace(EngineContext& context, const std::string& destinationFolder,
                       std::uint64_t bytesNeeded, std::string& message);

}  // namespace olvo
