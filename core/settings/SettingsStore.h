#pragma once
// The user's preferences as the per-user registry keeps them (the names are in HiveNames.h).
//
// A missing key, section or value reads as its default. A value of the wrong type or size, or a
// write the registry refuses, raises SettingsError with the text the user is shown; a load stops
// at that value, and what was read before it stays in effect. A save is one write of the store:
// one that fails, or that a kill stops, leaves the settings as they were.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/HiveNames.h"
#include "platform/Registry.h"

namespace olvo {

// The split sizes offered until the user sets others, in KB.
inline constexpr char DefaultSplitSizes[] = "1420,663552,714752";

// "Invalid data type for '%s'", "Failed to get data for '%s'", "Failed to create key %s" or
// "Failed to set data for '%s'", with the value or section name in place of %s.
class SettingsError : public std::runtime_error {
  public:
    explicit SettingsError(const std::string& text) : std::runtime_error(text) {}
};

// An INI-style view of kSettingsKey: a section is a subkey of it, an entry a value in that subkey.
// One instance serves one load or one save; the registry is released when it goes, also after a
// failure. Constructing it opens kSettingsKey with full access, creating it when missing; when that
// is refused, reads yield their defaults and writes fail with "Failed to create key <section>",
// so nothing is ever written anywhere but below kSettingsKey.
//
// Taken for a change (forChange), the store is this process's from the first read to Commit
// (see Registry::BeginChanges): the writes are held until Commit puts them in the store as one,
// and a store that goes without Commit, after a failure say, has written nothing.
class SettingsStore {
  public:
    explicit SettingsStore(Registry& registry, bool forChange = false);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The text of a REG_SZ or REG_EXPAND_SZ value (not expanded) up to its first zero byte;
    // defaultText when the section or value is missing, empty text for a value of length 0.
    // Raises "Invalid data type for '<name>'" for any other type.
    std::string ReadString(std::string_view section, std::string_view name,
                           std::string_view defaultText);
    // Whether the value, read as a number, is other than 0. A REG_SZ is converted as a whole
    // number ("-1", " +7", "$1F", "0x10"); text that does not convert gives defaultValue, as does
    // a missing section or value. Other types are read as 32-bit numbers: a REG_DWORD gives its
    // number, data longer than 4 bytes raises "Failed to get data for '<name>'", any other type
    // raises "Invalid data type for '<name>'".
    bool ReadBool(std::string_view section, std::string_view name, bool defaultValue);
    // Stores text as a REG_SZ, creating the section when missing. Raises
    // "Failed to create key <section>" or "Failed to set data for '<name>'".
    void WriteString(std::string_view section, std::string_view name, std::string_view text);
    // WriteString with "1" for true and "0" for false, whatever type the value had before.
    void WriteBool(std::string_view section, std::string_view name, bool value);
    // Puts the writes held since the store was taken for a change in the registry, as one.
    // Raises "Failed to save the settings" when it refused; none of them is there then (the
    // registry's notices tell why).
    void Commit();

  private:
    Registry& m_registry;
    ScopedRegistryKey m_key;
};

// The user's settings: the process-wide copy the main window and the terminal tool work with,
// and the values the configuration window shows and saves. The main window keeps the split
// sizes in its size list; SplitSizes is the stored list text ("1420,663552,714752").
struct Settings {
    bool SplitToFolder = false;
    bool RestoreToFolder = false;
    std::string SplitFolderName;
    std::string RestoreFolderName;
    std::string SplitSizes;
    bool WriteHashes = true;
    // The recovery files the window's split writes (SplitOptions::recoveryCount), as the user
    // last chose it; the window offers no more than the piece count. A stored text that is not a
    // whole number from 0 to kMaxSplitCount reads as 0.
    std::uint32_t RecoveryPieces = 0;
};

// The entries of a split-size list text, as the size box lists them. Entries are separated by
// commas or by characters with codes 1 to 32, which are skipped around them; an entry in double
// quotes may hold those ("" stands for one quote). Two adjacent commas give an empty entry, as
// does a leading comma; a trailing comma adds nothing. A zero byte ends the text.
std::vector<std::string> SplitSizeEntries(const std::string& listText);

// A split-size list as people type it ("1420, 700M,2G,25MB") in the stored form: every entry
// must be what ParseSize reads, within IsSplitSize. A whole number of kilobytes is stored as
// that number ("1420,716800,2097152,25MB"), the form every version of the program reads; any
// other size keeps its spelling, which earlier versions refuse as "not a valid integer value"
// rather than misread (they took "25MB" as 25 MiB). Nothing when an entry is not a split size,
// or when there is none.
std::optional<std::string> SplitSizesInKB(const std::string& listText);
// The list the configuration window stores: SplitSizesInKB's form when the whole list is
// valid, else listText unchanged, whose wrong entries the main window corrects when it shows
// them.
std::string StoredSplitSizes(const std::string& listText);

// The start-up load: "Split Sizes" into splitSizes (its entries), then "Split To Folder",
// "Split Folder Name", "Restore To Folder", "Restore Folder Name", "Write Hashes", "Recovery
// Pieces" into settings.
// Raises SettingsError at a failing value; the values before it stay loaded, the later ones
// untouched.
void LoadStartupSettings(Registry& registry, Settings& settings,
                         std::vector<std::string>& splitSizes);
// The configuration window's load: "Split Folder Name", "Restore Folder Name",
// "Split To Folder", "Restore To Folder", "Split Sizes", "Write Hashes", "Recovery Pieces", each
// stored in values as it is read.
void LoadConfigValues(Registry& registry, Settings& values);
// The configuration window's save, as one write of the store: all five, changed or not, in the
// order "Split To Folder", "Split Folder Name", "Restore To Folder", "Restore Folder Name",
// "Split Sizes"; then "Write Hashes" when it is off or was stored before, and "Recovery Pieces"
// when it is not 0 or was stored before. Raises SettingsError
// when a value cannot be written, and nothing is written then.
void SaveConfigValues(Registry& registry, const Settings& values);
// LoadConfigValues, change, and SaveConfigValues of the result, with the store held from the
// read to the write: another process's change made meanwhile waits, and is neither lost nor
// mixed with this one. Returns the values saved. Raises SettingsError as the load and the save
// do (and whatever change raises), and nothing is written then.
Settings ChangeConfigValues(Registry& registry, const std::function<void(Settings&)>& change);

}  // namespace olvo
