#pragma once
// The update check: fetch the update information file from the maker's web site, compare the
// release published there with our own, and work out everything the update-check window shows.
// The window only displays an UpdateCheckResult; nothing here knows of windows.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Download.h"

namespace olvo {

// Appended to the home page address to reach the update information file; the file name is also
// the name of the local copy.
inline constexpr std::string_view kUpdateInfoFolder = "/products/";
inline constexpr std::string_view kUpdateInfoFileName = "versions.ini";

// What the window shows when the file could not be fetched, with kNoAvailableVersion.
inline constexpr std::string_view kUpdateCheckFailedText =
    "Could not retrieve version information from the Kestrava server! Ensure you are connected "
    "to the internet and try again.";
inline constexpr std::string_view kNoAvailableVersion = "-";

// The longest update information file we accept; anything longer is not ours.
inline constexpr std::uint64_t kUpdateInfoMaxBytes = 1024 * 1024;

// Our section of an update information file. Missing keys read as 0 and empty texts.
struct UpdateInfo {
    std::int32_t release = 0;  // "Release": a higher number is a newer build
    std::string displayText;   // "DisplayText": shown when that build is newer than ours
    std::string version;       // "Version": its version text
    std::string location;      // "Location" and "FileName": joined with nothing in between,
    std::string fileName;      // the address of the new release
};

// Reads section (the running executable's file name) from the text of an update information
// file, by the profile rules of version/ProfileText.h. Any bytes at all may come in.
UpdateInfo ReadUpdateInfo(std::string_view iniText, std::string_view section);

// Everything the check needs from outside. OwnUpdateCheckSetup fills it for the running program.
struct UpdateCheckSetup {
    std::string homePageUrl;       // no trailing slash
    std::string applicationTitle;  // for the "latest version" text
    std::string ownRelease;        // our version string "Release"
    std::string installedVersion;  // our version string "FileVersion"
    std::string sectionName;       // our executable's file name, extension included
    std::string localFolder;       // where the local copy is made, without a trailing delimiter
    DownloadFunction download;
};

// What the update-check window shows.
struct UpdateCheckResult {
    bool fetched = false;          // the file was downloaded (and its local copy deleted)
    std::string info;              // lblInfo
    std::string installedVersion;  // lblCurVer
    std::string availableVersion;  // lblAvailVer
    bool offerDownload = false;    // grpDownload visible
    std::string link;              // lblLink's hint: Location + FileName; empty without the offer
};

// homePageUrl + "/products/" + "versions.ini".
std::string UpdateInfoUrl(std::string_view homePageUrl);

// Downloads the update information file into localFolder/versions.ini, reads our section, deletes
// the local copy (ignoring whether that worked) and compares the releases:
// - published release higher than ours: its DisplayText, our installed version, its Version, the
//   download offered with Location + FileName as the link;
// - otherwise (also when the file lacks our section): "You have the latest version of " + the
//   application title + ".", our installed version, its Version, no offer;
// - download failed: kUpdateCheckFailedText, our installed version, "-", no offer; no file is
//   deleted then.
// Raises std::invalid_argument, before anything is downloaded, when ownRelease does not read as
// an integer: a fault of the build, which must give the program an integer release number.
UpdateCheckResult CheckForUpdates(const UpdateCheckSetup& setup);

// The setup for the running program: its own release and version strings read afresh, the
// section named after its executable file as it is named now, the local copy in the program's
// folder when that can be written and in the per-user cache folder (created when needed)
// otherwise, and the real download with a 30-second stall limit.
UpdateCheckSetup OwnUpdateCheckSetup(std::string_view homePageUrl,
                                     std::string_view applicationTitle);

// The folder for the local copy: programFolder when this process may create files there,
// otherwise cacheFolder, which is created when missing. Empty when neither can be had.
std::string UpdateCopyFolder(const std::string& programFolder, const std::string& cacheFolder);

// Whether url may be handed to the desktop to open: only http and https addresses with something
// after the "//" and no control characters. The update information file comes over plain http;
// anything else in it (a local program, a file) must not be opened.
bool IsOpenableLink(std::string_view url);

}  // namespace olvo
