// olvo-cli: the split and restore of the desktop program, for scripts and for people who live in
// a terminal. Exit status: 0 success, 1 the operation failed (its message on stderr) or its
// output could not be written, 2 usage, 129, 130, 141 and 143 stopped by SIGHUP, SIGINT, SIGPIPE
// and SIGTERM. Each line of a message on stderr begins "olvo-cli: ".

#ifdef _WIN32
#include <windows.h>
#endif
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "cli/Checks.h"
#include "cli/Terminal.h"
#include "core/engine/FileFunctions.h"
#include "core/engine/FileSplit.h"
#include "core/engine/Format.h"
#include "core/engine/SplitPlan.h"
#include "core/engine/SplitSet.h"
#include "core/settings/HiveNames.h"
#include "core/settings/SettingsStore.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/Text.h"

namespace olvo::cli {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr std::chrono::seconds kLockWaitWithoutTerminal{10};
// How a size is given, as the messages about a size that is none say it.
const std::string kSizeSpellings =
    "whole kilobytes of 1024 bytes, or a whole number followed by K, M, G or T (or KiB, MiB, GiB, "
    "TiB: powers of 1024) or KB, MB, GB, TB (powers of 1000)";

#ifdef _WIN32
// The path as the system resolves it against the current folder of its drive: "." and ".."
// segments are taken out and forward slashes become backslashes.
std::string FullPathName(const std::string& path) {
    std::string full(MAX_PATH, '\0');
    for (;;) {
        const DWORD n =
            ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0) return path;
        if (n < full.size()) {
            full.resize(n);
            return full;
        }
        full.resize(n);
    }
}
#else
std::string CurrentFolder() {
    std::string buffer(4096, '\0');
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) return ".";
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}
#endif

// A path as typed made absolute, so that the messages and the settings name it for good.
std::string Absolute(const std::string& path) {
    if (path.empty()) return path;
#ifdef _WIN32
    return FullPathName(path);
#else
    return AbsoluteFrom(CurrentFolder(), path);
#endif
}

void PrintFailure(const std::string& message) {
    PrintMessage(message);
}

// A usage error: what is wrong, on one line, and where to read more.
int UsageError(const std::string& message) {
    PrintMessage(message);
    std::fputs("Try 'olvo-cli --help'.\n", stderr);
    return kExitUsage;
}

// The end of an operation that failed: stopped by a signal, its exit status tells which.
int Failed(const std::string& message) {
    const int signal = InterruptSignal();
#ifndef _WIN32
    // A reader that went away (head, a closed pager) ends the tool as it ends cat: by SIGPIPE,
    // with nothing said on the way out.
    if (signal == SIGPIPE) return 128 + SIGPIPE;
#endif
    PrintFailure(message);
    return signal != 0 ? 128 + signal : kExitFailure;
}

// What every command works with: the program's file system and its settings hive, made once at
// start-up.
struct Tool {
    FileSystem& files;
    Registry& hive;
};

// interactive: whether questions can be asked (a terminal on standard input, or /dev/tty while
// standard input carries data).
struct Session {
    Session(FileSystem& files, bool quiet, bool interactive)
        : progress(!quiet && ::isatty(STDERR_FILENO)),
          prompt(progress, interactive),
          context{files, progress, prompt, DateTimeFormat(CurrentDateTimeConventions())} {}
    TerminalProgress progress;
    TerminalPrompt prompt;
    EngineContext context;
};

// What the settings store had to say (a damaged hive kept aside, a lock not obtained).
void PrintSettingsNotices(Registry& hive) {
    for (const std::string& notice : hive.TakeNotices()) PrintMessage(notice);
}

// The default folders, as the main window takes them when a file is put into a tab. A store
// that cannot be read is reported and leaves the files' own folders in use.
Settings LoadSettings(Registry& hive) {
    Settings settings;
    std::vector<std::string> sizes;
    try {
        LoadStartupSettings(hive, settings, sizes);
    } catch (const std::exception& error) {
        PrintSettingsNotices(hive);
        PrintMessage(error.what());
        return Settings{};
    }
    PrintSettingsNotices(hive);
    return settings;
}

// Where an operation on file writes: folderArg made absolute; when none is given, the default
// folder of the settings when useDefault is on in them, else file's own folder. Nothing, with
// the failure's exit status, when that is no folder to write to.
std::optional<std::string> OutputFolder(const Tool& tool, const std::string& folderArg,
                                        const std::string& file, bool Settings::*useDefault,
                                        std::string Settings::*defaultFolder, int& failure) {
    std::string folder = Absolute(folderArg);
    std::string shownFolder = folderArg;
    if (folderArg.empty()) {
        const Settings settings = LoadSettings(tool.hive);
        folder = settings.*useDefault ? settings.*defaultFolder : FolderPart(file);
        shownFolder = folder;
    }
    if (auto problem = CheckOutputFolder(tool.files, shownFolder, folder)) {
        failure = Failed(*problem);
        return std::nullopt;
    }
    return folder;
}

// Warnings about an operation that succeeded, one a line on stderr.
void PrintWarnings(const OperationResult& result) {
    for (const auto& warning : result.warnings) PrintMessage("warning: " + warning);
}

// Runs an engine operation that writes, with Ctrl-C caught, and prints its warnings. False,
// with the failure's exit status, when the operation returns false with its message.
template <typename Operation>
bool RunOperation(const Tool& tool, bool quiet, Operation operation, int& failure,
                  bool interactive = ::isatty(STDIN_FILENO)) {
    CatchInterrupts();
    Session session(tool.files, quiet, interactive);
    const OperationResult result = operation(session.context);
    if (!result.ok) {
        failure = Failed(result.message + session.prompt.OverwriteHint());
        return false;
    }
    PrintWarnings(result);
    return true;
}

// The piece size that text gives; the usage error's exit status when it gives none.
std::optional<int> PieceSizeFrom(const std::string& text, std::uint64_t& pieceSize) {
    const auto bytes = ParseSize(text);
    if (!bytes && !IsSizeText(text))
        return UsageError("'" + text + "' is not a size: give " + kSizeSpellings +
                          ", as in 1420, 700M, 2G, 25MB");
    if (!bytes || !IsSplitSize(*bytes))
        return UsageError(SplitSizeRangeMessage(CurrentThousandsSeparator()));
    pieceSize = *bytes;
    return std::nullopt;
}

// What the set of descriptorPath says of itself, for the closing line; nothing when it cannot be
// read.
std::optional<SplitDescriptor> WrittenSet(FileSystem& files, const std::string& descriptorPath) {
    try {
        auto in = files.OpenRead(descriptorPath);
        std::string text(1 << 12, '\0');
        text.resize(in->Read(text.data(), text.size()));
        return ReadDescriptor(text);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Splits standard input, to its end, into the set of a file named name. The questions read the
// terminal's keys, as standard input is the data.
int RunSplitStream(const Tool& tool, const std::string& name, const std::string& folderArg,
                   const std::string& sizeText, bool quiet, const SplitOptions& options) {
    std::uint64_t pieceSize = 0;
    if (const auto wrong = PieceSizeFrom(sizeText, pieceSize)) return *wrong;
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(kPathDelimiter == '/' ? "/" : "/\\:") != std::string::npos)
        return UsageError("--name takes a file name, without a folder: '" + name + "'");
    if (::isatty(STDIN_FILENO))
        return UsageError(
            "standard input is a terminal: pipe the data in (tar c DIR | olvo-cli split - --name "
            "DIR.tar -s 1M)");
    int failure = 0;
    const auto folder = OutputFolder(tool, folderArg, Absolute(name), &Settings::SplitToFolder,
                                     &Settings::SplitFolderName, failure);
    if (!folder) return failure;
    const bool interactive = UseTerminalForKeys();
    // A script must never hang on another split's lock; a user ends the wait with Ctrl-C.
    SplitOptions splitOptions = options;
    if (!interactive) splitOptions.lockWait = kLockWaitWithoutTerminal;
    const auto split = [&](EngineContext& context) {
        const auto input = tool.files.OpenStandardInput([] { return InterruptSignal() != 0; });
        return SplitStream(context, *input, name, *folder, pieceSize, splitOptions);
    };
    if (!RunOperation(tool, quiet, split, failure, interactive)) return failure;
    const auto set = WrittenSet(tool.files, WithTrailingDelimiter(*folder) + DescriptorName(name));
    if (set)
        std::printf("Split standard input (%s bytes) into %u %s of %s in %s\n",
                    GroupThousands(set->fileSize, CurrentThousandsSeparator()).c_str(),
                    set->pieceCount, set->pieceCount == 1 ? "piece" : "pieces", name.c_str(),
                    folder->c_str());
    return 0;
}

int RunSplit(const Tool& tool, const std::string& sourceArg, const std::string& folderArg,
             const std::optional<std::string>& sizeText, const std::optional<std::uint64_t>& count,
             bool quiet, const SplitOptions& options) {
    const std::string source = Absolute(sourceArg);

    std::uint64_t pieceSize = 0;
    if (sizeText) {
        if (const auto wrong = PieceSizeFrom(*sizeText, pieceSize)) return *wrong;
    } else if (!IsSplitCount(static_cast<std::int64_t>(*count))) {
        return UsageError(SplitCountRangeMessage(CurrentThousandsSeparator()));
    }

    if (auto problem = CheckInputFile(tool.files, sourceArg, source)) return Failed(*problem);
    int failure = 0;
    const auto folder = OutputFolder(tool, folderArg, source, &Settings::SplitToFolder,
                                     &Settings::SplitFolderName, failure);
    if (!folder) return failure;

    const std::uint64_t fileSize = SourceFileSize(tool.files, source);
    if (!sizeText) {
        const auto sizeForCount = PieceSizeForCount(fileSize, *count);
        if (!sizeForCount) {
            PrintFailure(kPieceSizeTooLarge);
            return kExitFailure;
        }
        pieceSize = *sizeForCount;
    }
    const std::uint64_t pieceCount = PieceCountFor(fileSize, pieceSize);
    if (options.recoveryCount > pieceCount)
        return UsageError("--recovery takes 0 to the number of pieces (" +
                          std::to_string(pieceCount) + ")");

    // A script must never hang on another split's lock; a user ends the wait with Ctrl-C.
    SplitOptions splitOptions = options;
    if (!::isatty(STDIN_FILENO)) splitOptions.lockWait = kLockWaitWithoutTerminal;
    const auto split = [&](EngineContext& context) {
        return SplitFile(context, source, *folder, pieceSize, splitOptions);
    };
    if (!RunOperation(tool, quiet, split, failure)) return failure;
    std::printf("Split %s into %llu pieces in %s\n", source.c_str(),
                static_cast<unsigned long long>(pieceCount), folder->c_str());
    return 0;
}

int RunRestore(const Tool& tool, const std::string& descriptorArg, const std::string& folderArg,
               const RestoreOptions& options, bool quiet) {
    const std::string descriptor = Absolute(descriptorArg);
    if (auto problem = CheckDescriptor(tool.files, "restore", descriptorArg, descriptor))
        return Failed(*problem);
    int failure = 0;
    const auto folder = OutputFolder(tool, folderArg, descriptor, &Settings::RestoreToFolder,
                                     &Settings::RestoreFolderName, failure);
    if (!folder) return failure;
    const auto restore = [&](EngineContext& context) {
        return RestoreFile(context, descriptor, *folder, options);
    };
    if (!RunOperation(tool, quiet, restore, failure)) return failure;
    const std::string restored = FileNamePart(WithoutDescriptorSuffix(descriptor), Extension::Keep);
    std::printf("Restored %s\n", (WithTrailingDelimiter(*folder) + restored).c_str());
    return 0;
}

// Restores into standard output, where nothing but the file's bytes goes: progress, questions
// and messages take stderr and the terminal.
int RunRestoreToStdout(const Tool& tool, const std::string& descriptorArg, bool quiet) {
    if (::isatty(STDOUT_FILENO))
        return UsageError(
            "standard output is a terminal: pipe it into a program (olvo-cli restore F.split -o - "
            "| tar x) or give -o FILE");
    const std::string descriptor = Absolute(descriptorArg);
    if (auto problem = CheckDescriptor(tool.files, "restore", descriptorArg, descriptor))
        return Failed(*problem);
    const auto restore = [&](EngineContext& context) {
        const auto out = tool.files.OpenStandardOutput();
        return RestoreToStream(context, descriptor, *out);
    };
    int failure = 0;
    if (!RunOperation(tool, quiet, restore, failure)) return failure;
    return 0;
}

// Restores into the file outputArg names (its folder and its name).
int RunRestoreAs(const Tool& tool, const std::string& descriptorArg, const std::string& outputArg,
                 RestoreOptions options, bool quiet) {
    const std::string output = Absolute(outputArg);
    const auto entry = tool.files.Find(output);
    options.outputName = FileNamePart(output, Extension::Keep);
    if ((entry && entry->isFolder) || options.outputName.empty())
        return Failed("'" + outputArg +
                      "' is a folder: -o names the restored file; -d names a folder for it");
    const std::string descriptor = Absolute(descriptorArg);
    if (auto problem = CheckDescriptor(tool.files, "restore", descriptorArg, descriptor))
        return Failed(*problem);
    const std::string folder = FolderOrRoot(output);
    if (auto problem = CheckOutputFolder(tool.files, FolderOrRoot(outputArg), folder))
        return Failed(*problem);
    const auto restore = [&](EngineContext& context) {
        return RestoreFile(context, descriptor, folder, options);
    };
    int failure = 0;
    if (!RunOperation(tool, quiet, restore, failure)) return failure;
    std::printf("Restored %s\n", output.c_str());
    return 0;
}

// One line per bad or missing piece on stdout; exit 0 only for a whole set.
int RunVerify(const Tool& tool, const std::string& descriptorArg, bool quiet) {
    const std::string descriptor = Absolute(descriptorArg);
    if (auto problem = CheckDescriptor(tool.files, "verify", descriptorArg, descriptor))
        return Failed(*problem);
    CatchInterrupts();
    Session session(tool.files, quiet, ::isatty(STDIN_FILENO));
    const VerifyResult result = VerifySet(session.context, descriptor);
    PrintWarnings(result);
    if (result.ok) {
        std::printf("The split set is whole: %s\n", descriptor.c_str());
        return 0;
    }
    for (const auto& problem : result.problems) std::printf("%s\n", problem.c_str());
    if (!result.message.empty()) return Failed(result.message);
    if (result.recovery && result.recovery->lost > 0)
        std::printf("%s\n",
                    RecoveryLine(*result.recovery, ": olvo-cli repair " + descriptorArg).c_str());
    return kExitFailure;
}

// Rebuilds the set's missing or damaged pieces from its recovery files.
int RunRepair(const Tool& tool, const std::string& descriptorArg, bool quiet) {
    const std::string descriptor = Absolute(descriptorArg);
    if (auto problem = CheckDescriptor(tool.files, "repair", descriptorArg, descriptor))
        return Failed(*problem);
    RepairResult repaired;
    const auto repair = [&](EngineContext& context) -> OperationResult {
        repaired = RepairSet(context, descriptor);
        return repaired;
    };
    int failure = 0;
    if (!RunOperation(tool, quiet, repair, failure)) return failure;
    for (const auto& name : repaired.mended) PrintMessage("rewrote damaged " + name);
    if (repaired.rebuilt.empty())
        std::printf("The split set is whole: %s\n", descriptor.c_str());
    else
        std::printf("Repaired %zu %s of %s\n", repaired.rebuilt.size(),
                    repaired.rebuilt.size() == 1 ? "piece" : "pieces", descriptor.c_str());
    return 0;
}

int RunChecksum(const Tool& tool, const std::string& path) {
    if (auto problem = CheckInputFile(tool.files, path, Absolute(path))) return Failed(*problem);
    try {
        std::printf("%u\n", FileChecksum(tool.files, Absolute(path)));
        return 0;
    } catch (const std::exception& error) {
        PrintFailure(error.what());
        return kExitFailure;
    }
}

struct ConfigChanges {
    std::optional<std::string> splitTo, restoreTo, sizes;
    bool noSplitTo = false, noRestoreTo = false;
    bool Any() const { return splitTo || restoreTo || sizes || noSplitTo || noRestoreTo; }
};

bool IsFolder(FileSystem& files, const std::string& path) {
    const auto entry = files.Find(path);
    return entry && entry->isFolder;
}

void PrintConfig(const Settings& values) {
    auto yesNo = [](bool value) { return value ? "yes" : "no"; };
    std::printf("%s: %s\n%s: %s\n%s: %s\n%s: %s\n%s: %s\n", kSplitToFolderValue,
                yesNo(values.SplitToFolder), kSplitFolderNameValue, values.SplitFolderName.c_str(),
                kRestoreToFolderValue, yesNo(values.RestoreToFolder), kRestoreFolderNameValue,
                values.RestoreFolderName.c_str(), kSplitSizesValue, values.SplitSizes.c_str());
}

// Shows the settings, or changes them through the same load and save as the configuration
// window: all five values are written, and a switch stays on only while its folder is set.
int RunConfig(const Tool& tool, const ConfigChanges& changes) {
    for (const auto* folder : {&changes.splitTo, &changes.restoreTo}) {
        if (*folder && !IsFolder(tool.files, Absolute(**folder)))
            return UsageError("'" + **folder + "' is not a folder");
    }
    // The sizes -s takes, stored as kilobytes.
    const std::optional<std::string> sizes =
        changes.sizes ? SplitSizesInKB(*changes.sizes) : std::nullopt;
    if (changes.sizes && !sizes)
        return UsageError("--sizes takes split sizes between 1 and " +
                          GroupThousands(kMaxSplitSizeKB, CurrentThousandsSeparator()) +
                          "KB, separated by commas, each given as " + kSizeSpellings + ": " +
                          *changes.sizes);
    // Every option is applied to what is stored in one change of the store, so that a kill
    // leaves the old settings or the new ones and another writer's change is kept.
    const auto apply = [&](Settings& values) {
        if (changes.splitTo) {
            values.SplitFolderName = Absolute(*changes.splitTo);
            values.SplitToFolder = true;
        }
        if (changes.noSplitTo) values.SplitToFolder = false;
        if (changes.restoreTo) {
            values.RestoreFolderName = Absolute(*changes.restoreTo);
            values.RestoreToFolder = true;
        }
        if (changes.noRestoreTo) values.RestoreToFolder = false;
        if (sizes) values.SplitSizes = *sizes;
        values.SplitToFolder = values.SplitToFolder && !values.SplitFolderName.empty();
        values.RestoreToFolder = values.RestoreToFolder && !values.RestoreFolderName.empty();
    };
    try {
        Settings values;
        if (changes.Any()) {
            values = ChangeConfigValues(tool.hive, apply);
        } else {
            LoadConfigValues(tool.hive, values);
        }
        PrintSettingsNotices(tool.hive);
        PrintConfig(values);
        return 0;
    } catch (const std::exception& error) {
        PrintSettingsNotices(tool.hive);
        PrintFailure(error.what());
        return kExitFailure;
    }
}

// The end of each subcommand's --help.
constexpr const char* kSplitFooter = R"(Examples:
  olvo-cli split movie.avi -s 700M        pieces of 700 MiB (734,003,200 bytes) beside movie.avi
  olvo-cli split big.iso -s 2G            pieces of 2 GiB
  olvo-cli split video.mp4 -s 25MB        pieces of 25,000,000 bytes, as an upload limit counts
  olvo-cli split backup.tar -n 5 -d /media/usb
                                          five pieces, written to /media/usb
  olvo-cli split disk.img -s 1420 -q      pieces of 1,420 KB, without a progress bar
  olvo-cli split photos.tar -s 700M --recovery 2
                                          and two recovery pieces: any two pieces lost
                                          or damaged can be rebuilt (olvo-cli repair, par2)
  tar c photos | olvo-cli split - --name photos.tar -s 700M -d /media/usb
                                          split standard input, read to its end (-n is
                                          refused: a stream has no size until it ends)

Exit status: 0 the set is written; 1 the split failed (the reason is on stderr);
2 usage error; 130 (143) stopped by Ctrl-C (SIGINT) or SIGTERM, as Cancel stops it.)";
constexpr const char* kRestoreFooter = R"(Examples:
  olvo-cli restore movie.avi.split        rebuild movie.avi beside its pieces
  olvo-cli restore /media/usb/backup.tar.split -d ~/restored --delete-pieces
                                          rebuild into ~/restored, then remove the set
  olvo-cli restore photos.tar.split -o ~/old-photos.tar
                                          rebuild under another name, in any folder
  olvo-cli restore photos.tar.split -o - | tar x
                                          write the file to standard output, each piece
                                          checked before a byte of it goes out

Pieces missing or damaged are rebuilt from the set's recovery pieces (NAME.EXT.par2) when
it has them, instead of being asked for.

Exit status: 0 the file is rebuilt and its checksum matches; 1 the restore failed (the
reason is on stderr); 2 usage error; 130 (143) stopped by Ctrl-C (SIGINT) or SIGTERM.)";
constexpr const char* kVerifyFooter = R"(Examples:
  olvo-cli verify movie.avi.split         check every piece before carrying the set away
  olvo-cli verify /media/usb/backup.tar.split -q
                                          check the set on a medium, without a progress bar

Exit status: 0 the set is whole (every piece there, of the right size, matching its SHA-256);
1 a piece is missing or damaged (one line each on stdout) or the set cannot be read; 2 usage
error; 130 (143) stopped by Ctrl-C (SIGINT) or SIGTERM.)";
constexpr const char* kRepairFooter = R"(Examples:
  olvo-cli split movie.avi -s 700M --recovery 2
                                          pieces and two recovery pieces
  olvo-cli repair movie.avi.split         rebuild up to two lost or damaged pieces in place

Exit status: 0 the set is whole (repaired or already); 1 the repair failed or more is lost
than the recovery pieces can rebuild (nothing is written then); 2 usage error; 130 (143)
stopped by Ctrl-C (SIGINT) or SIGTERM.)";
constexpr const char* kChecksumFooter = R"(Examples:
  olvo-cli checksum movie.avi             the number a split of movie.avi records
  olvo-cli checksum restored/movie.avi    to compare with line 4 of movie.avi.split

Exit status: 0 printed; 1 the file cannot be read; 2 usage error.)";
constexpr const char* kConfigFooter = R"(Examples:
  olvo-cli config                         show the settings
  olvo-cli config --split-to /media/usb   put pieces on /media/usb by default
  olvo-cli config --no-restore-to         rebuild files beside their descriptor again

Exit status: 0 shown (and saved); 1 the settings cannot be read or saved; 2 usage error.)";
constexpr const char* kMainFooter =
    R"(Run 'olvo-cli COMMAND --help' for the options and examples of a command, and
'man olvo-cli' for the whole story.

Exit status: 0 success; 1 the operation failed (the reason is on stderr); 2 usage error;
130 (143) stopped by Ctrl-C (SIGINT) or SIGTERM, 129 by SIGHUP, 141 by SIGPIPE.)";

// True when a and b differ by one letter: one changed, added or left out, or two side by side
// swapped.
bool OneLetterApart(const std::string& a, const std::string& b) {
    if (a == b) return false;
    const std::string& longer = a.size() >= b.size() ? a : b;
    const std::string& shorter = a.size() >= b.size() ? b : a;
    if (longer.size() - shorter.size() > 1) return false;
    std::size_t i = 0;
    while (i < shorter.size() && longer[i] == shorter[i]) ++i;
    if (longer.size() != shorter.size())
        return longer.compare(i + 1, std::string::npos, shorter, i) == 0;
    if (longer.compare(i + 1, std::string::npos, shorter, i + 1) == 0) return true;
    return i + 1 < longer.size() && longer[i] == shorter[i + 1] && longer[i + 1] == shorter[i] &&
           longer.compare(i + 2, std::string::npos, shorter, i + 2) == 0;
}

// "; did you mean 'split'?" for a word one letter off a command, else nothing.
std::string DidYouMean(const CLI::App& app, const std::string& word) {
    for (const auto* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        if (OneLetterApart(ToLowerAscii(word), sub->get_name()))
            return "; did you mean '" + sub->get_name() + "'?";
    }
    return {};
}

// One line about what was wrong on the command line, in place of CLI11's own wording where
// ours says more.
std::string UsageText(const CLI::App& app, const CLI::ParseError& error,
                      const std::vector<std::string>& args) {
    std::string commands;
    for (const auto* sub : app.get_subcommands([](const CLI::App*) { return true; }))
        commands += (commands.empty() ? "" : ", ") + sub->get_name();
    if (app.get_subcommands().empty()) {
        for (const auto& arg : args) {
            if (!arg.empty() && arg[0] != '-')
                return "'" + arg + "' is not a command (" + commands + ")" + DidYouMean(app, arg);
            if (app.get_option_no_throw(arg.substr(0, arg.find('='))) == nullptr)
                return "unknown option '" + arg + "'";
        }
        if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr)
            return "a command is needed (" + commands + ")";
    }
    return error.what();
}

// A command on one file: its name and help, the file's argument and its help, and for a command
// that writes, the help of its folder option.
struct FileCommand {
    const char* name;
    const char* description;
    const char* argument;
    const char* argumentHelp;
    const char* footer;
    const char* destinationHelp = nullptr;
};

// Adds the command, with the file's required argument and, when it has one, the folder option
// -d into destination.
CLI::App* AddFileCommand(CLI::App& app, const FileCommand& what, std::string& file,
                         std::string* destination = nullptr) {
    CLI::App* command = app.add_subcommand(what.name, what.description);
    command->add_option(what.argument, file, what.argumentHelp)->required();
    if (destination != nullptr)
        command->add_option("-d,--destination", *destination, what.destinationHelp);
    command->footer(what.footer);
    return command;
}

// What the command line asked for: the options of each command, and the command given.
struct CommandLine {
    bool bufferedCopy = false;

    CLI::App* split = nullptr;
    std::string source, splitFolder;
    std::optional<std::string> streamName;
    std::optional<std::string> sizeText;
    std::optional<std::uint64_t> count;
    bool splitQuiet = false;
    SplitOptions splitOptions;

    CLI::App* restore = nullptr;
    std::string descriptor, restoreFolder;
    std::optional<std::string> output;
    RestoreOptions restoreOptions;
    bool restoreQuiet = false;

    CLI::App* verify = nullptr;
    std::string verifyDescriptor;
    bool verifyQuiet = false;

    CLI::App* repair = nullptr;
    std::string repairDescriptor;
    bool repairQuiet = false;

    std::string checksumPath;

    CLI::App* config = nullptr;
    ConfigChanges changes;
};

void AddSplitCommand(CLI::App& app, CommandLine& line) {
    auto* split =
        AddFileCommand(app,
                       {"split", "Cut SOURCE into pieces of SIZE or into COUNT pieces", "SOURCE",
                        "The file to split, or - for standard input (with --name and --size)",
                        kSplitFooter, "Folder for the pieces (default: the source's folder)"},
                       line.source, &line.splitFolder);
    auto* sizeOption =
        split->add_option("-s,--size", line.sizeText,
                          "Piece size in KB of 1024 bytes, or with a unit: K, M, G, T (or KiB, "
                          "MiB, GiB, TiB) count in 1024s, KB, MB, GB, TB in 1000s; 1KB to 4TiB");
    auto* countOption = split->add_option(
        "-n,--count", line.count, "Number of pieces (1 to " + std::to_string(kMaxSplitCount) + ")");
    sizeOption->excludes(countOption);
    split
        ->add_option("--name", line.streamName,
                     "With SOURCE -: the name of the file the pieces make (d.tar gives d.s01... "
                     "and d.tar.split)")
        ->type_name("NAME");
    split->add_flag("-q,--quiet", line.splitQuiet, "No progress bar");
    split->add_flag_callback(
        "--no-hash", [&line] { line.splitOptions.writeHashes = false; },
        "Write no NAME.EXT.sha256 file of the pieces' SHA-256 sums");
    split->add_option(
        "--recovery", line.splitOptions.recoveryCount,
        "Also write N recovery pieces (NAME.EXT.par2 and NAME.EXT.vol*.par2, PAR 2.0), "
        "each able to rebuild any one lost or damaged piece (0 to the number of "
        "pieces; default 0)");
    split->add_flag("--overwrite", line.splitOptions.overwrite,
                    "Replace files in the way: another split set's, or any other file under a "
                    "name the split writes");
    line.split = split;
}

void AddRestoreAndVerifyCommands(CLI::App& app, CommandLine& line) {
    auto* restore =
        AddFileCommand(app,
                       {"restore", "Rebuild a file from its split descriptor (.split)",
                        "DESCRIPTOR", "The .split file of the set", kRestoreFooter,
                        "Folder for the rebuilt file (default: the descriptor's folder)"},
                       line.descriptor, &line.restoreFolder);
    restore
        ->add_option("-o,--output", line.output,
                     "Rebuild into FILE (any folder, any name), or - for standard output")
        ->type_name("FILE");
    restore->add_flag("--delete-pieces", line.restoreOptions.deletePieces,
                      "Delete the split set, its recovery pieces too, after a successful restore");
    restore->add_flag("--restore-time", line.restoreOptions.restoreTime,
                      "Give the file its original time");
    restore->add_flag("--overwrite", line.restoreOptions.overwrite,
                      "Replace a file of the same name in the destination");
    restore->add_flag("-q,--quiet", line.restoreQuiet, "No progress bar");
    line.restore = restore;

    auto* verify = AddFileCommand(
        app,
        {"verify", "Check a split set without writing anything: every piece there, whole and sound",
         "DESCRIPTOR", "The .split file of the set", kVerifyFooter},
        line.verifyDescriptor);
    verify->add_flag("-q,--quiet", line.verifyQuiet, "No progress bar");
    line.verify = verify;

    auto* repair = AddFileCommand(
        app,
        {"repair",
         "Rebuild the missing or damaged pieces of a split set from its recovery pieces (.par2)",
         "DESCRIPTOR", "The .split file of the set", kRepairFooter},
        line.repairDescriptor);
    repair->add_flag("-q,--quiet", line.repairQuiet, "No progress bar");
    line.repair = repair;
}

void AddChecksumAndConfigCommands(CLI::App& app, CommandLine& line) {
    AddFileCommand(app,
                   {"checksum", "Print the checksum a split records for FILE", "FILE", "The file",
                    kChecksumFooter},
                   line.checksumPath);

    ConfigChanges& changes = line.changes;
    auto* config =
        app.add_subcommand("config", "Show or change the default folders and split sizes");
    auto* splitTo =
        config->add_option("--split-to", changes.splitTo, "Put pieces in DIR by default");
    config->add_flag("--no-split-to", changes.noSplitTo, "Put pieces beside their file by default")
        ->excludes(splitTo);
    auto* restoreTo = config->add_option("--restore-to", changes.restoreTo,
                                         "Put rebuilt files in DIR by default");
    config
        ->add_flag("--no-restore-to", changes.noRestoreTo,
                   "Put rebuilt files beside their descriptor by default")
        ->excludes(restoreTo);
    config->add_option("--sizes", changes.sizes,
                       "The split sizes offered, comma-separated, in KB or with a suffix K, M or G "
                       "(e.g. 1420,650M,700M)");
    config->footer(kConfigFooter);
    line.config = config;
}

// What is wrong with the options of a stream (split -, restore -o), or nothing.
std::optional<std::string> StreamUsage(const CommandLine& line) {
    if (line.split->parsed() && line.source == "-") {
        if (line.count)
            return "-n needs the size of the file, which standard input does not have: split - "
                   "takes --size";
        if (!line.streamName) return "split - needs --name NAME, the name of the file it makes";
        if (!line.sizeText) return "split - needs --size";
    } else if (line.split->parsed() && line.streamName) {
        return "--name is only for standard input: split - --name NAME";
    }
    if (!line.restore->parsed() || !line.output) return std::nullopt;
    if (!line.restoreFolder.empty())
        return "-o and -d cannot be given together: -o names the file, folder and all";
    if (*line.output == "-" && line.restoreOptions.deletePieces)
        return "--delete-pieces cannot be used with -o -: whether the program reading standard "
               "output kept the file is not known here; delete the set once it has";
    if (*line.output == "-" && line.restoreOptions.restoreTime)
        return "--restore-time cannot be used with -o -: standard output has no time to give";
    return std::nullopt;
}

// Parses the command line into line; the exit status when the program ends here (help, version,
// a usage error).
std::optional<int> Parse(CLI::App& app, CommandLine& line, int argc, char** argv) {
    try {
        app.parse(argc, argv);
        if (const auto wrong = StreamUsage(line)) return UsageError(*wrong);
        if (line.split->parsed() && !line.sizeText && !line.count)
            return UsageError("split needs --size or --count");
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return UsageError(UsageText(app, e, std::vector<std::string>(argv + 1, argv + argc)));
    }
    return std::nullopt;
}

int RunCommand(const CommandLine& line) {
    const std::unique_ptr<FileSystem> files = MakeSystemFileSystem(
        line.bufferedCopy ? CopyMethod::Buffered : CopyMethod::KernelWherePossible);
    const std::unique_ptr<Registry> hive = OpenUserRegistry();
    const Tool tool{*files, *hive};

    if (line.split->parsed() && line.source == "-")
        return RunSplitStream(tool, *line.streamName, line.splitFolder, *line.sizeText,
                              line.splitQuiet, line.splitOptions);
    if (line.restore->parsed() && line.output == "-")
        return RunRestoreToStdout(tool, line.descriptor, line.restoreQuiet);
    if (line.restore->parsed() && line.output)
        return RunRestoreAs(tool, line.descriptor, *line.output, line.restoreOptions,
                            line.restoreQuiet);
    if (line.split->parsed())
        return RunSplit(tool, line.source, line.splitFolder, line.sizeText, line.count,
                        line.splitQuiet, line.splitOptions);
    if (line.verify->parsed()) return RunVerify(tool, line.verifyDescriptor, line.verifyQuiet);
    if (line.repair->parsed()) return RunRepair(tool, line.repairDescriptor, line.repairQuiet);
    if (line.restore->parsed())
        return RunRestore(tool, line.descriptor, line.restoreFolder, line.restoreOptions,
                          line.restoreQuiet);
    if (line.config->parsed()) return RunConfig(tool, line.changes);
    return RunChecksum(tool, line.checksumPath);
}

int Main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    CLI::App app{
        "Kestrava File Splitter: cut a file into numbered pieces and put it back together.",
        "olvo-cli"};
    app.set_version_flag("--version",
                         std::string("olvo-cli (Kestrava File Splitter) ") + OLVO_VERSION);
    app.require_subcommand(1);
    app.footer(kMainFooter);
    CommandLine line;
    app.add_flag("--buffered-copy", line.bufferedCopy, "Copy through a buffer, never in the kernel")
        ->group("");
    AddSplitCommand(app, line);
    AddRestoreAndVerifyCommands(app, line);
    AddChecksumAndConfigCommands(app, line);
    if (const auto exit = Parse(app, line, argc, argv)) return *exit;
    return RunCommand(line);
}

}  // namespace
}  // namespace olvo::cli

int main(int argc, char** argv) {
    return olvo::cli::FinishOutput(olvo::cli::Main(argc, argv));
}
