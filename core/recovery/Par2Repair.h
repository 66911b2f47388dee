#pragma once
// Checking a set of files against its PAR 2.0 files, and rebuilding what is lost from the
// recovery slices. The index "BASE.par2" and every "BASE.vol*.par2" beside it are read (each may
// be damaged or missing, as long as one of them still describes the set); each file of the set is
// found whole (its size and MD5 match), missing or damaged.
//
// Rebuilding reads the whole files and the recovery slices once, a stripe at a time (memory holds
// one stripe of each, whatever the sizes), writes each rebuilt file under a temporary name, checks
// it against the index's MD5 and only then renames it over the missing or damaged one. A file of
// the set never becomes anything but its original bytes.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/recovery/Par2Reader.h"
#include "core/recovery/RecoveryFiles.h"
#include "platform/FileSystem.h"

namespace olvo {

enum class FileCondition { Whole, Missing, Damaged };

struct RecoveryCheck {
    RecoverySet set;
    std::string folder;                     // of the index, empty or ending in a path delimiter
    std::string base;                       // the index's name without ".par2"
    std::vector<FileCondition> conditions;  // one per set.files
    std::uint32_t lostSlices = 0;           // the slices of every file not whole
    // PAR 2.0 files beside the index (the index included) that hold damaged packets or lack the
    // recovery slices their names promise: what MendRecoveryFiles rewrites.
    std::vector<std::string> damagedParFiles;

    std::uint32_t RecoverySlices() const { return static_cast<std::uint32_t>(set.recovery.size()); }
    bool CanRebuild() const { return lostSlices <= RecoverySlices(); }
    bool AllWhole() const { return lostSlices == 0 && damagedParFiles.empty(); }
    // The names of the files not whole, in the set's order.
    std::vector<std::string> LostNames() const;
};

// Reads the PAR 2.0 files of the index at indexPath and checks every file of the set. Raises
// RecoveryError when no file describes the set (with the reason), when the set names a file
// outside its folder, on a read failure, or on a stop asked by progress.
RecoveryCheck CheckRecoveryFiles(FileSystem& files, const std::string& indexPath,
                                 const RecoveryProgress& progress);

// "3 pieces are missing or damaged and 2 recovery pieces can rebuild at most 2": why check's set
// cannot be rebuilt.
std::string TooMuchLostText(const RecoveryCheck& check);

struct RepairOutcome {
    std::vector<std::string> rebuilt;  // files of the set rebuilt, by name
    std::vector<std::string> mended;   // PAR 2.0 files rewritten
};

// A further check of a rebuilt file, given the path it is written under (flushed, not yet renamed)
// and its name in the set; raises RecoveryError (or EngineError) when the file must not take its
// place.
using RebuiltFileCheck =
    std::function<void(const std::string& temporaryPath, const std::string& name)>;

// Rebuilds every file check found missing or damaged, then rewrites the damaged PAR 2.0 files
// (those named as we name them, and the index). Every rebuilt file is checked against the index's
// MD5, and by extraCheck when given, before any of them is renamed into place. Raises
// RecoveryError, with nothing of the set changed, when too much is lost (TooMuchLostText), when a
// rebuilt file does not match its MD5 (the files it was rebuilt from changed since the check) or
// fails extraCheck, on a read or write failure, or on a stop asked by progress; a failure of a
// rename leaves the files already renamed into place (they are whole).
RepairOutcome RepairFromRecovery(FileSystem& files, const RecoveryCheck& check,
                                 const RecoveryProgress& progress,
                                 const RebuiltFileCheck& extraCheck = {});

}  // namespace olvo
