#pragma once
// Where the user's preferences are kept: in the per-user registry below
// HKEY_CURRENT_USER\software\Kestrava\File Splitter as string values:
//
//   "Split To Folder"      "1" or "0"        default no
//   "Split Folder Name"    a folder path     default empty
//   "Restore To Folder"    "1" or "0"        default no
//   "Restore Folder Name"  a folder path     default empty
//   "Split Sizes"          "1420,663552,..." default DefaultSplitSizes (sizes in KB)
//   "Write Hashes"         "1" or "0"        default yes: a split writes NAME.EXT.sha256
//                                             (stored only once it was turned off)
//   "Recovery Pieces"      "0" to "32767"    default 0: the recovery files a split writes
//                                             (stored only once it was set)

namespace olvo {

// The key below HKEY_CURRENT_USER that holds the settings, and its one section.
inline constexpr char kSettingsKey[] = "software\\Kestrava";
inline constexpr char kSettingsSection[] = "File Splitter";

// The names of the values in kSettingsSection.
inline constexpr char kSplitToFolderValue[] = "Split To Folder";
inline constexpr char kSplitFolderNameValue[] = "Split Folder Name";
inline constexpr char kRestoreToFolderValue[] = "Restore To Folder";
inline constexpr char kRestoreFolderNameValue[] = "Restore Folder Name";
inline constexpr char kSplitSizesValue[] = "Split Sizes";
inline constexpr char kWriteHashesValue[] = "Write Hashes";
inline constexpr char kRecoveryPiecesValue[] = "Recovery Pieces";

}  // namespace olvo
