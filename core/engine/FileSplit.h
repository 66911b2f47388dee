#pragma once
// Splitting a file into a split set, restoring it and checking it. Each operation returns what
// it did: ok, or the failure's message whole (closing punctuation and all), and the warnings
// about a result that stands (a piece that could not be deleted, a time that could not be given
// back). A failure of the files or of the engine is caught and returned; nothing else is.
//
//  SplitFile ends with                  | left in the destination folder
//  -------------------------------------+-----------------------------------------------------
//  a refusal before the window appears  | nothing
//  a file in the way, No; a lock wait   | nothing changed
//  given up or cancelled                |
//  Cancel (a full medium, an interrupt),| no piece of this split on the medium at hand, nor the
//  a failed write, the source changed   | small files it wrote, nor the earlier set of this
//                                       | same file it was replacing; pieces on earlier media
//                                       | stay, and the message names them ("Pieces 1 to 4 stay
//                                       | on earlier media.")
//  a kill                               | the pieces written so far, perhaps the .sha256 and
//                                       | .bat, no descriptor; the lock file .B.olvo-lock with
//                                       | a note that names them, for the next run
//  success                              | all pieces, the .sha256 (unless not asked), the
//                                       | batch file and the descriptor, flushed; pieces of an
//                                       | earlier set of the same file past the new count gone
//
// Every name the split writes is claimed before the first byte: the pieces, the descriptor, the
// .bat, the .sha256 (removed under --no-hash) and the recovery files. A file there that is not of
// an earlier set of this same file is another's, and is asked about. An earlier set is of this same
// file when its descriptor gives the source's size and date text, or its .sha256 comment line the
// source's size and exact time, or when the note in the lock file names it (the leftovers of a
// killed split). Its descriptor, and its pieces past the new count, are removed before the first
// piece is written, so a descriptor never claims pieces that are not all there; so are its
// recovery files (NAME.EXT.par2, NAME.EXT.vol*.par2) that this split does not write again. Small
// files are written to a temporary name and renamed; no file of a set is ever written through a
// symbolic link.
//
//  RestoreFile ends with                | on disk
//  -------------------------------------+-----------------------------------------------------
//  any failure, Cancel, a bad piece     | nothing under the output's name changed, no
//                                       | temporary file; the set untouched, but for pieces
//                                       | rebuilt from its recovery files (whole, checked)
//  more lost than the recovery files    | the same; fails at once with "3 pieces are missing
//  can rebuild (not removable media)    | or damaged and 2 recovery pieces can rebuild at
//                                       | most 2!", before anything is written
//  a kill                               | the same, but for a file NAME.unfinished-XXXXXX,
//                                       | which the next restore of NAME there removes
//  success                              | the output, flushed, renamed into place; pieces that
//                                       | were missing, of the wrong size or damaged rebuilt
//                                       | in place when the recovery files could (each said
//                                       | through Progress::Notice, "Rebuilt piece f.s02 from
//                                       | the recovery pieces"); the set deleted when asked (a
//                                       | file that cannot be deleted is a warning)
//
// A set with recovery files beside its descriptor (NAME.EXT.par2) is repaired on the way, once a
// restore, as RepairSet repairs it: pieces missing or of the wrong size before the first byte is
// written (their presence and sizes only are looked at, so a whole set is read once); a piece
// that fails its SHA-256 during the copy, then the copy goes on from it (without a .sha256, a
// checksum error at the end: the file is then made again). Only what the recovery
// files cannot rebuild is asked for through the media prompt (a set without them, or more lost
// than they cover on removable media, where pieces may be on other media); recovery files that
// cannot be used are said through Progress::Notice and the restore goes on as without them.
//
// The output is written to NAME.unfinished-XXXXXX in the destination folder (locked while it is
// written) and renamed over NAME only once every check passed: piece sizes, the SHA-256 of each
// piece as the output holds it when the set has its .sha256 file, and the descriptor's checksum.
//
// A .sha256 file beside the descriptor must vouch for the whole set, or restore and verify stop
// before anything is written: read whole (64 MiB at most), every line understood, every piece
// named, no piece given two differing sums ("f.bin.sha256 has no line for f.s03!"). Lines for
// other files are ignored. A set without one is checked by sizes and the descriptor's checksum
// only, and both operations say so in a warning every time.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/engine/DateText.h"
#include "core/engine/Seams.h"
#include "core/engine/SplitPlan.h"
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

// What an operation did.
struct OperationResult {
    bool ok = false;
    // Why it failed, as the user is shown it; empty when ok.
    std::string message;
    // Flaws of a result that stands (a weak check, a piece not deleted), shown after what was
    // done; given whether or not the operation succeeded.
    std::vector<std::string> warnings;
};

// What VerifySet found of one piece; Rebuilt is never its finding, but what a report after
// RepairSet says of a piece that RepairSet rebuilt and that is whole now.
enum class PieceState : std::uint8_t { Whole, Missing, Damaged, Rebuilt };

// What VerifySet found: ok when the set is whole; message set only when the set could not be
// checked at all.
struct VerifyResult : OperationResult {
    // One line per bad or missing piece.
    std::vector<std::string> problems;
    // One state per piece, piece k at index k - 1; empty when the set could not be checked.
    std::vector<PieceState> states;
    // What the set's recovery files (NAME.EXT.par2 beside the descriptor) can do for the pieces
    // found missing or damaged; none when the set is whole or has no recovery files.
    struct Recovery {
        std::uint32_t lost = 0;       // pieces missing or damaged, as the recovery files see them
        std::uint32_t available = 0;  // recovery slices present, one piece each
        bool canRebuild = false;
        std::string tooMuchLost;  // why not, when !canRebuild ("3 pieces are ... at most 2")
    };
    std::optional<Recovery> recovery;
};

// What the recovery files can do for the lost pieces, in one line for both front ends: "2 pieces
// are missing or damaged; the 3 recovery pieces can rebuild them" followed by then (": olvo-cli
// repair f.bin.split" in the terminal, "." in the window), or the too-much-lost message as it is.
std::string RecoveryLine(const VerifyResult::Recovery& recovery, const std::string& then);

// What RepairSet did: the pieces rebuilt (by name, none when the set was whole) and the recovery
// files rewritten.
struct RepairResult : OperationResult {
    std::vector<std::string> rebuilt;
    std::vector<std::string> mended;
};

struct SplitOptions {
    // Write NAME.EXT.sha256 beside the descriptor.
    bool writeHashes = true;
    // Overwrite files in the way (another set's, or any other file under a name the split
    // writes) without asking.
    bool overwrite = false;
    // How long to wait for another split that holds the set name in the folder before failing
    // with "Another split of NAME into DIR is running!"; none waits until Cancel.
    std::optional<std::chrono::milliseconds> lockWait = std::nullopt;
    // Recovery files to write after the pieces (0 to the piece count): NAME.EXT.par2 and
    // NAME.EXT.vol00+01.par2, ... in the PAR 2.0 format, one piece's worth each. They need
    // every piece in the destination folder: a split that crossed media fails ("Recovery
    // pieces need every piece in one folder!"). Claimed, cleaned up and counted in the space
    // checks like the small files.
    std::uint32_t recoveryCount = 0;
};

// A checksum of the file: the wrapping 32-bit sum of at most 500 little-endian words from the
// middle of the file (from word W/2, W = size/4, never the last whole word); 0 for a file of
// fewer than 12 bytes. Raises FileError when the file cannot be opened or read.
std::uint32_t FileChecksum(FileSystem& files, const std::string& path);

// Cuts sourcePath into pieces of pieceSize bytes in destinationFolder, then writes the .sha256
// file, the batch file and the descriptor. A file in
// the way (see above) is asked about (Yes/No) unless options.overwrite; No fails with "The file
// setup.bat would be overwritten!", or "The pieces of NAME (SIZE bytes, DATE) would be
// overwritten!" for another set's. Two splits of one set name into one folder take turns: the
// second says "waiting for another split of NAME into DIR..." through Progress::Notice.
OperationResult SplitFile(EngineContext& context, const std::string& sourcePath,
                          const std::string& destinationFolder, std::uint64_t pieceSize,
                          const SplitOptions& options = {});

// Cuts what source gives, to its end, into pieces of pieceSize bytes of a set named name (the
// file the set will restore) in destinationFolder: the split of a pipe, whose size is known only
// at its end. As SplitFile does, with these differences:
// - Each piece is written as the stream brings it and hashed on the way; every piece name the
//   stream may come to is claimed before the first byte, and each piece's space check counts
//   the small files too, since any piece may be the last.
// - The descriptor's date and the .sha256 file's time are the time the stream ended: the
//   last-write time of its last piece, as the file system stamped it.
// - The descriptor's checksum needs bytes from the middle of the stream, known only at its end:
//   they are read back from the pieces that hold them (at most two thousand bytes; nothing of
//   the stream is held in memory, as a ring would have to hold half of it), and a piece left on
//   an earlier medium is asked for ("Please insert the medium that holds piece f.s03."), checked
//   by its size and SHA-256, then the last piece's medium again.
// - Recovery files need every piece in one folder: a medium change fails at once ("Recovery
//   pieces need every piece in one folder!"), and more recovery files than pieces fail at the
//   end.
// - An empty stream fails ("The stream is empty: there is nothing to split!"); one that fits in
//   one piece makes a set of one piece. A Cancel or an interrupt, even one that arrives as the
//   stream ends, leaves what a failed split leaves (the table above). The engine cannot tell a
//   stream cut short by its writer's failure from a whole one: the pipe's end is its end.
OperationResult SplitStream(EngineContext& context, InputFile& source, const std::string& name,
                            const std::string& destinationFolder, std::uint64_t pieceSize,
                            const SplitOptions& options = {});

// True once the destination volume has bytesNeeded bytes free, after as many "Insert new media"
// prompts as it takes (mediaChanged, when given, is then set); false with message set on a
// volume that cannot tell or on Cancel. Everything written to the volume is flushed before a
// prompt is shown.
bool CheckPieceSpace(EngineContext& context, const std::string& destinationFolder,
                     std::uint64_t bytesNeeded, std::string& message, bool* mediaChanged = nullptr);

struct RestoreOptions {
    // Delete the split set, only once the file is in place.
    bool deletePieces = false;
    // Give the file its original time (the UTC time of the .sha256 file when there is one).
    bool restoreTime = false;
    // Replace a file under the output's name without asking. Otherwise the prompt asks (Yes/No)
    // and No fails with "NAME already exists!" before anything is written.
    bool overwrite = false;
    // The restored file's name in the destination folder; empty for the name the file was split
    // from. A name, not a path.
    std::string outputName = {};
};

// Rebuilds the file of a split set from its descriptor into destinationFolder, with what options
// ask for after it. A file already under the output's name is replaced only as
// RestoreOptions::overwrite says.
OperationResult RestoreFile(EngineContext& context, const std::string& descriptorPath,
                            const std::string& destinationFolder, const RestoreOptions& options);

// Writes the file of a split set into out (standard output), piece by piece, with nothing
// unchecked ever written: each piece is read whole and held against its SHA-256 in the set's
// .sha256 first, and only then read again into out (and hashed again: a piece that changed
// between the two reads stops the stream). A damaged piece stops the stream before a byte of it
// goes out ("Piece f.s02 is damaged: its SHA-256 does not match f.bin.sha256!"); out then holds
// exactly the whole pieces before it. With recovery files beside the set, a piece missing or
// damaged is first rebuilt from them, as RestoreFile rebuilds it, before a byte of it goes out.
// Otherwise a missing piece is asked for as RestoreFile asks. Without a
// .sha256 the warning says so, and the descriptor's checksum, known only at the end, is all that
// stands between a wrong piece and out. Deletes nothing and gives no time.
OperationResult RestoreToStream(EngineContext& context, const std::string& descriptorPath,
                                OutputFile& out);

// Checks a split set without writing anything: the descriptor, each piece present and of its
// size, its SHA-256 when the set has a .sha256 file, and the descriptor's checksum; its memory
// does not grow with the count, but for states. A set that cannot be checked at all ("Not a
// valid .split file!", a .sha256 file that does not cover the set) has its message set.
VerifyResult VerifySet(EngineContext& context, const std::string& descriptorPath);

// Rebuilds in place the pieces of the set that are missing or damaged, from the recovery files
// NAME.EXT.par2 (and its vol files) beside the descriptor: each rebuilt piece is checked against
// the index's MD5 and the set's .sha256 (when there) under its temporary name, and only then
// renamed into place; one that fails replaces nothing ("Piece f.s02 was rebuilt but its SHA-256
// does not match f.bin.sha256; nothing was replaced!"). Fails
// with "No recovery pieces: NAME.EXT.par2 is not there!", or with nothing written when more is
// lost than the recovery files can rebuild ("3 pieces are missing or damaged and 2 recovery
// pieces can rebuild at most 2!"). A whole set is ok with nothing rebuilt.
RepairResult RepairSet(EngineContext& context, const std::string& descriptorPath);

// True when the destination volume has bytesNeeded bytes free; never prompts.
bool CheckRestoreSpace(EngineContext& context, const std::string& destinationFolder,
                       std::uint64_t bytesNeeded, std::string& message);

}  // namespace olvo
