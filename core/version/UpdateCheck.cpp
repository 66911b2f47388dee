#include "core/version/UpdateCheck.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "core/engine/FileFunctions.h"
#include "core/version/ExecutablePath.h"
#include "core/version/GetFileVerInfo.h"
#include "core/version/ProfileText.h"
#include "platform/FileSystem.h"
#include "platform/ProgramLocation.h"
#include "platform/Text.h"

namespace olvo {
namespace {

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

UpdateInfo ReadUpdateInfo(std::string_view iniText, std::string_view section) {
    UpdateInfo info;
    info.release = ReadProfileInteger(iniText, section, "Release", 0);
    info.displayText = ReadProfileString(iniText, section, "DisplayText").value_or("");
    info.version = ReadProfileString(iniText, section, "Version").value_or("");
    info.location = ReadProfileString(iniText, section, "Location").value_or("");
    info.fileName = ReadProfileString(iniText, section, "FileName").value_or("");
    return info;
}

std::string UpdateInfoUrl(std::string_view homePageUrl) {
    return std::string(homePageUrl) + std::string(kUpdateInfoFolder) +
           std::string(kUpdateInfoFileName);
}

UpdateCheckResult CheckForUpdates(const UpdateCheckSetup& setup) {
    const auto ownRelease = ParseProfileInteger(setup.ownRelease);
    if (!ownRelease)
        throw std::invalid_argument("'" + setup.ownRelease + "' is not a valid integer value");

    UpdateCheckResult result;
    result.installedVersion = setup.installedVersion;
    const std::string localCopy =
        WithTrailingDelimiter(setup.localFolder) + std::string(kUpdateInfoFileName);
    bool fetched = false;
    try {
        // Without a folder of our own there is nowhere to put the copy: that is a failed download.
        fetched = !setup.localFolder.empty() && setup.download &&
                  setup.download(UpdateInfoUrl(setup.homePageUrl), localCopy);
    } catch (const std::exception&) {
        // The seam promises not to raise; one put in that does anyway, or memory running out for
        // the address, is a failed download all the same.
        fetched = false;
    }
    if (!fetched) {
        result.info = kUpdateCheckFailedText;
        result.availableVersion = kNoAvailableVersion;
        return result;
    }

    const UpdateInfo published = ReadUpdateInfo(ReadWholeFile(localCopy), setup.sectionName);
    ::unlink(localCopy.c_str());
    result.fetched = true;
    result.availableVersion = published.version;
    if (*ownRelease < published.release) {
        result.info = published.displayText;
        result.offerDownload = true;
        result.link = published.location + published.fileName;
    } else {
        result.info = "You have the latest version of " + setup.applicationTitle + ".";
    }
    return result;
}

UpdateCheckSetup OwnUpdateCheckSetup(std::string_view homePageUrl,
                                     std::string_view applicationTitle) {
    UpdateCheckSetup setup;
    setup.homePageUrl = homePageUrl;
    setup.applicationTitle = applicationTitle;
    setup.ownRelease = GetVersionString(OwnExecutablePath(), kVersionRelease);
    setup.installedVersion = GetVersionString(OwnExecutablePath(), kVersionFileVersion);
    const std::string executable = RunningExecutablePath();
    setup.sectionName = FileNamePart(executable, Extension::Keep);
    setup.localFolder = UpdateCopyFolder(FolderPart(executable), UserCacheFolder());
    setup.download = [](const std::string& url, const std::string& localPath) {
        DownloadLimits limits;
        limits.maxBytes = kUpdateInfoMaxBytes;
        return DownloadUrlToFile(url, localPath, limits);
    };
    return setup;
}

std::string UpdateCopyFolder(const std::string& programFolder, const std::string& cacheFolder) {
    if (IsWritableFolder(programFolder)) return programFolder;
    if (!cacheFolder.empty() && CreateFolders(cacheFolder)) return cacheFolder;
    return {};
}

bool IsOpenableLink(std::string_view url) {
    std::size_t rest = 0;
    if (StartsWithNoCase(url, "http://"))
        rest = 7;
    else if (StartsWithNoCase(url, "https://"))
        rest = 8;
    else
        return false;
    if (url.size() == rest || url[rest] == '/') return false;
    for (char c : url)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return true;
}

}  // namespace olvo
