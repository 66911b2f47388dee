// olvo-cli: the split and restore of the desktop program, for scripts and for people who live in
// a terminal. Exit status: 0 success, 1 the operation failed (its message on stderr), 2 usage.

#ifdef _WIN32
#include <windows.h>
#endif
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <clocale>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "cli/Terminal.h"
#include "engine/FileFunctions.h"
#include "engine/FileSplit.h"
#include "engine/Format.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "settings/SettingsStore.h"

namespace olvo::cli {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr std::uint64_t kMaxSplitSizeKB = 2097151;
constexpr std::uint64_t kMaxSplitCount = 32767;

#ifdef _WIN32
// A path made absolute against the current folder of its drive, as the system resolves it:
// "." and ".." segments are taken out and forward slashes become backslashes.
std::string Absolute(const std::string& path) {
    if (path.empty()) return path;
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

// A path made absolute against the current folder, with "." segments dropped. ".." is kept:
// it means something else when a symbolic link leads the way.
std::string Absolute(const std::string& path) {
    if (path.empty()) return path;
    const std::string full = path[0] == '/' ? path : CurrentFolder() + "/" + path;
    std::string out;
    std::size_t at = 0;
    while (at < full.size()) {
        auto next = full.find('/', at);
        if (next == std::string::npos) next = full.size();
        const std::string segment = full.substr(at, next - at);
        if (!segment.empty() && segment != ".") out += "/" + segment;
        at = next + 1;
    }
    if (out.empty()) return "/";
    if (full.back() == '/') out += '/';
    return out;
}
#endif

void PrintFailure(const std::string& message) {
    const std::string text = ::isatty(STDERR_FILENO) ? ForTerminal(message) : message;
    std::fprintf(stderr, "%s\n", text.c_str());
}

struct Session {
    explicit Session(bool quiet)
        : progress(!quiet && ::isatty(STDERR_FILENO)),
          prompt(progress, ::isatty(STDIN_FILENO)),
          context{SystemFileSystem(), progress, prompt,
                  DateTimeFormat(CurrentDateTimeConventions())} {}
    TerminalProgress progress;
    TerminalPrompt prompt;
    EngineContext context;
};

// What the settings store had to say (a damaged hive kept aside, a lock not obtained).
void PrintSettingsNotices() {
    for (const std::string& notice : UserRegistry().TakeNotices())
        std::fprintf(stderr, "olvo-cli: %s\n", notice.c_str());
}

// The default folders, as the main window takes them when a file is put into a tab. A store
// that cannot be read is reported and leaves the files' own folders in use.
Settings LoadSettings() {
    Settings settings;
    std::vector<std::string> sizes;
    try {
        LoadStartupSettings(UserRegistry(), settings, sizes);
    } catch (const std::exception& error) {
        PrintSettingsNotices();
        std::fprintf(stderr, "olvo-cli: %s\n", error.what());
        return Settings{};
    }
    PrintSettingsNotices();
    return settings;
}

std::string DefaultFolder(bool useDefault, const std::string& defaultFolder,
                          const std::string& file) {
    return useDefault ? defaultFolder : FolderPart(file, kPathDelimiter);
}

int RunSplit(const std::string& sourceArg, const std::string& folderArg,
             const std::optional<std::string>& sizeText, const std::optional<std::uint64_t>& count,
             bool quiet) {
    const std::string source = Absolute(sourceArg);
    std::string folder = Absolute(folderArg);
    if (folderArg.empty()) {
        const Settings settings = LoadSettings();
        folder = DefaultFolder(settings.SplitToFolder, settings.SplitFolderName, source);
    }

    std::uint64_t pieceSize = 0;
    const auto entry = SystemFileSystem().Find(source);
    const std::uint64_t fileSize = entry && !entry->isFolder ? entry->size : 0;
    if (sizeText) {
        const auto kb = ParseSizeKB(*sizeText);
        if (!kb || *kb < 1 || *kb > kMaxSplitSizeKB) {
            std::fprintf(stderr, "Split size must be between 1 and %sKB!\n",
                         GroupThousands(kMaxSplitSizeKB, CurrentThousandsSeparator()).c_str());
            return kExitUsage;
        }
        pieceSize = *kb * 1024;
    } else {
        if (*count < 1 || *count > kMaxSplitCount) {
            std::fprintf(stderr, "No. of split files must be between 1 and %s\n",
                         GroupThousands(kMaxSplitCount, CurrentThousandsSeparator()).c_str());
            return kExitUsage;
        }
        pieceSize = fileSize / *count + (fileSize % *count ? 1 : 0);
        if (pieceSize > kMaxPieceSize) {
            PrintFailure(
                "Split file size is too large! Increase the number of split files to be created.");
            return kExitFailure;
        }
    }

    Session session(quiet);
    std::string message;
    if (!SplitFile(session.context, source, folder, message,
                   static_cast<std::uint32_t>(pieceSize))) {
        PrintFailure(message);
        return kExitFailure;
    }
    const std::uint64_t pieces = fileSize / pieceSize + (fileSize % pieceSize ? 1 : 0);
    std::printf("Split %s into %llu pieces in %s\n", source.c_str(),
                static_cast<unsigned long long>(pieces), folder.c_str());
    return 0;
}

int RunRestore(const std::string& descriptorArg, const std::string& folderArg, bool deletePieces,
               bool restoreTime, bool quiet) {
    const std::string descriptor = Absolute(descriptorArg);
    std::string folder = Absolute(folderArg);
    if (folderArg.empty()) {
        const Settings settings = LoadSettings();
        folder = DefaultFolder(settings.RestoreToFolder, settings.RestoreFolderName, descriptor);
    }
    Session session(quiet);
    std::string message;
    if (!RestoreFile(session.context, descriptor, folder, message, deletePieces, restoreTime)) {
        PrintFailure(message);
        return kExitFailure;
    }
    const std::string base = descriptor.substr(0, descriptor.size() - 6);
    std::printf("Restored %s\n", (WithTrailingDelimiter(folder, kPathDelimiter) +
                                  FileNamePart(base, true, kPathDelimiter))
                                     .c_str());
    return 0;
}

int RunChecksum(const std::string& path) {
    try {
        std::printf("%u\n", FileChecksum(SystemFileSystem(), Absolute(path)));
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

bool IsFolder(const std::string& path) {
    const auto entry = SystemFileSystem().Find(path);
    return entry && entry->isFolder;
}

void PrintConfig(const ConfigValues& values) {
    auto yesNo = [](bool value) { return value ? "yes" : "no"; };
    std::printf("%s: %s\n%s: %s\n%s: %s\n%s: %s\n%s: %s\n", kSplitToFolderValue,
                yesNo(values.splitToFolder), kSplitFolderNameValue, values.splitFolderName.c_str(),
                kRestoreToFolderValue, yesNo(values.restoreToFolder), kRestoreFolderNameValue,
                values.restoreFolderName.c_str(), kSplitSizesValue, values.splitSizes.c_str());
}

// Shows the settings, or changes them through the same load and save as the configuration
// window: all five values are written, and a switch stays on only while its folder is set.
int RunConfig(const ConfigChanges& changes) {
    for (const auto* folder : {&changes.splitTo, &changes.restoreTo}) {
        if (*folder && !IsFolder(Absolute(**folder))) {
            std::fprintf(stderr, "olvo-cli: %s is not a folder\n", (*folder)->c_str());
            return kExitUsage;
        }
    }
    // The sizes -s takes, stored as kilobytes.
    const std::optional<std::string> sizes =
        changes.sizes ? SplitSizesInKB(*changes.sizes) : std::nullopt;
    if (changes.sizes && !sizes) {
        std::fprintf(stderr,
                     "olvo-cli: --sizes takes split sizes between 1 and %sKB, separated by "
                     "commas, each with an optional suffix K, M or G: %s\n",
                     GroupThousands(kMaxSplitSizeKB, CurrentThousandsSeparator()).c_str(),
                     changes.sizes->c_str());
        return kExitUsage;
    }
    try {
        ConfigValues values;
        LoadConfigValues(UserRegistry(), values);
        if (changes.Any()) {
            if (changes.splitTo) {
                values.splitFolderName = Absolute(*changes.splitTo);
                values.splitToFolder = true;
            }
            if (changes.noSplitTo) values.splitToFolder = false;
            if (changes.restoreTo) {
                values.restoreFolderName = Absolute(*changes.restoreTo);
                values.restoreToFolder = true;
            }
            if (changes.noRestoreTo) values.restoreToFolder = false;
            if (sizes) values.splitSizes = *sizes;
            values.splitToFolder = values.splitToFolder && !values.splitFolderName.empty();
            values.restoreToFolder = values.restoreToFolder && !values.restoreFolderName.empty();
            SaveConfigValues(UserRegistry(), values);
        }
        PrintSettingsNotices();
        PrintConfig(values);
        return 0;
    } catch (const std::exception& error) {
        PrintSettingsNotices();
        PrintFailure(error.what());
        return kExitFailure;
    }
}

int Main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    CLI::App app{
        "Kestrava File Splitter: cut a file into numbered pieces and put it back together.",
        "olvo-cli"};
    app.set_version_flag("--version",
                         std::string("olvo-cli (Kestrava File Splitter) ") + OLVO_VERSION);
    app.require_subcommand(1);
    bool bufferedCopy = false;
    app.add_flag("--buffered-copy", bufferedCopy, "Copy through a buffer, never in the kernel")
        ->group("");

    std::string source, splitFolder;
    std::optional<std::string> sizeText;
    std::optional<std::uint64_t> count;
    bool splitQuiet = false;
    auto* split =
        app.add_subcommand("split", "Cut SOURCE into pieces of SIZE or into COUNT pieces");
    split->add_option("SOURCE", source, "The file to split")->required();
    split->add_option("-d,--destination", splitFolder,
                      "Folder for the pieces (default: the source's folder)");
    auto* sizeOption = split->add_option(
        "-s,--size", sizeText,
        "Piece size in KB of 1024 bytes, or with a suffix K, M or G (1 to 2097151 KB)");
    auto* countOption = split->add_option("-n,--count", count, "Number of pieces (1 to 32767)");
    sizeOption->excludes(countOption);
    split->add_flag("-q,--quiet", splitQuiet, "No progress bar");

    std::string descriptor, restoreFolder;
    bool deletePieces = false, restoreTime = false, restoreQuiet = false;
    auto* restore =
        app.add_subcommand("restore", "Rebuild a file from its split descriptor (.split)");
    restore->add_option("DESCRIPTOR", descriptor, "The .split file of the set")->required();
    restore->add_option("-d,--destination", restoreFolder,
                        "Folder for the rebuilt file (default: the descriptor's folder)");
    restore->add_flag("--delete-pieces", deletePieces,
                      "Delete the split set after a successful restore");
    restore->add_flag("--restore-time", restoreTime, "Give the file its original time");
    restore->add_flag("-q,--quiet", restoreQuiet, "No progress bar");

    std::string checksumPath;
    auto* checksum = app.add_subcommand("checksum", "Print the checksum a split records for FILE");
    checksum->add_option("FILE", checksumPath, "The file")->required();

    ConfigChanges changes;
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

    try {
        app.parse(argc, argv);
        if (split->parsed() && !sizeText && !count)
            throw CLI::RequiredError("One of --size and --count");
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "olvo-cli: %s\n", e.what());
        CLI::App* shown = split->parsed()      ? split
                          : restore->parsed()  ? restore
                          : checksum->parsed() ? checksum
                          : config->parsed()   ? config
                                               : &app;
        std::fputs(shown->help().c_str(), stderr);
        return kExitUsage;
    }
    UseKernelCopy(!bufferedCopy);

    if (split->parsed()) return RunSplit(source, splitFolder, sizeText, count, splitQuiet);
    if (restore->parsed())
        return RunRestore(descriptor, restoreFolder, deletePieces, restoreTime, restoreQuiet);
    if (config->parsed()) return RunConfig(changes);
    return RunChecksum(checksumPath);
}

}  // namespace
}  // namespace olvo::cli

int main(int argc, char** argv) {
    return olvo::cli::Main(argc, argv);
}
