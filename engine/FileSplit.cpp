#include "engine/FileSplit.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "engine/EngineError.h"
#include "engine/FileFunctions.h"
#include "engine/SplitSet.h"

namespace olvo {
namespace {

constexpr char kNoDriveText[] =
    "Please ensure media is correctly inserted and drive is not read only.";

std::unique_ptr<InputFile> OpenShared(FileSystem& files, const std::string& path) {
    try {
        return files.OpenRead(path);
    } catch (const FileError&) {
        throw EngineError("Cannot open file " + path);
    }
}

std::unique_ptr<OutputFile> CreateNew(FileSystem& files, const std::string& path) {
    try {
        return files.Create(path);
    } catch (const FileError&) {
        throw EngineError("Cannot create file " + path);
    }
}

// Raised when the user asks to stop in the middle of a copy; caught as "Operation aborted!".
class Aborted final : public EngineError {
  public:
    Aborted() : EngineError("Operation aborted") {}
};

void ThrowIfCancelled(Progress& progress) {
    if (progress.CancelRequested()) throw Aborted();
}

bool SameFile(FileSystem& files, const std::optional<FileIdentity>& identity,
              const std::string& path) {
    if (!identity) return false;
    const auto other = files.Identity(path);
    return other && *other == *identity;
}

}  // namespace

std::uint32_t FileChecksum(FileSystem& files, const std::string& path) {
    auto file = files.OpenRead(path);
    const auto entry = files.Find(path);
    const std::uint64_t words = entry ? entry->size / 4 : 0;
    const std::uint64_t start = words / 2;
    if (words < start + 2) return 0;  // no word between the middle and the last whole word
    const std::uint64_t count = std::min<std::uint64_t>(words - 1 - start, 500);

    std::vector<unsigned char> buffer(static_cast<std::size_t>(count) * 4);
    file->Seek(start * 4);
    const std::size_t got = file->Read(buffer.data(), buffer.size());
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 4 <= got; i += 4) {
        sum += static_cast<std::uint32_t>(buffer[i]) |
               static_cast<std::uint32_t>(buffer[i + 1]) << 8 |
               static_cast<std::uint32_t>(buffer[i + 2]) << 16 |
               static_cast<std::uint32_t>(buffer[i + 3]) << 24;
    }
    return sum;
}

bool CheckPieceSpace(EngineContext& context, const std::string& destinationFolder,
                     std::uint64_t bytesNeeded, std::string& message) {
    message.clear();
    std::int64_t free = context.files.FreeSpace(destinationFolder);
    if (free < 0) {
        message = std::string("Cannot write to the destination drive.\r\r") + kNoDriveText;
        return false;
    }
    while (free < 0 || bytesNeeded > static_cast<std::uint64_t>(free)) {
        // The user is about to take the medium out: what is written must be on it.
        context.files.SyncVolume(destinationFolder);
        const auto answer = context.prompt.AskRetryCancel(
            "Split",
            "The split file being copied is too large for the destination drive.\r\r"
            "Insert new media to continue.");
        if (answer != PromptAnswer::Retry) {
            message = "Operation aborted!";
            return false;
        }
        free = context.files.FreeSpace(destinationFolder);
    }
    return true;
}

bool SplitFile(EngineContext& context, const std::string& sourcePath,
               const std::string& destinationFolder, std::string& message,
               std::uint32_t pieceSize) {
    message.clear();
    FileSystem& files = context.files;
    const auto entry = files.Find(sourcePath);
    const std::uint64_t fileSize = entry && !entry->isFolder ? entry->size : 0;
    if (fileSize <= pieceSize) {
        message = "File does not need splitting!";
        return false;
    }
    if (pieceSize == 0 || pieceSize > kMaxPieceSize) {
        message = "Invalid split size!";
        return false;
    }
    const std::uint64_t count = fileSize / pieceSize + (fileSize % pieceSize ? 1 : 0);
    if (count > std::numeric_limits<std::uint32_t>::max()) {
        message = "Too many split files!";
        return false;
    }
    const auto pieceCount = static_cast<std::uint32_t>(count);
    const std::string fileName = FileNamePart(sourcePath, true, kPathDelimiter);
    const std::string baseName = FileNamePart(sourcePath, false, kPathDelimiter);
    // An empty folder names no volume; the space check then refuses before anything is made.
    const std::string folder = destinationFolder.empty()
                                   ? std::string()
                                   : WithTrailingDelimiter(destinationFolder, kPathDelimiter);
    const std::string descriptorPath = folder + fileName + ".split";
    const std::string batchPath = folder + fileName + ".bat";

    // Writing a piece over the source would destroy it before it is read.
    const auto source = files.Identity(sourcePath);
    bool overwrites = SameFile(files, source, descriptorPath) || SameFile(files, source, batchPath);
    for (std::uint64_t k = 1; k <= pieceCount && !overwrites; ++k)
        overwrites = SameFile(files, source, folder + PieceName(baseName, k));
    if (overwrites) {
        message = "A split file would overwrite the source file!";
        return false;
    }

    ProgressWindow window(context.progress, "Splitting File...", pieceCount);
    try {
        auto input = OpenShared(files, sourcePath);
        std::uint64_t bytesWritten = 0;
        for (std::uint64_t k = 1; k <= pieceCount; ++k) {
            const bool last = k == pieceCount;
            const std::uint64_t bytes = last ? fileSize - bytesWritten : pieceSize;
            if (!CheckPieceSpace(context, folder, bytes, message)) return false;
            ThrowIfCancelled(context.progress);
            context.progress.SetPosition(static_cast<std::uint32_t>(k));
            if (!last) context.progress.ProcessMessages();

            auto piece = CreateNew(files, folder + PieceName(baseName, k));
            const std::uint64_t copied = files.Copy(*input, *piece, bytes, [&](std::uint64_t done) {
                context.progress.Bytes(bytesWritten + done, fileSize);
                ThrowIfCancelled(context.progress);
            });
            if (copied < bytes) throw EngineError("Stream read error");
            bytesWritten += bytes;
        }

        SplitDescriptor descriptor;
        descriptor.pieceCount = pieceCount;
        descriptor.fileSize = fileSize;
        descriptor.dateText = FileDateText(input->LastWriteTime(), context.dateFormat);
        input.reset();

        {
            auto out = files.Create(descriptorPath);
            const std::string head = DescriptorHead(descriptor);
            out->Write(head.data(), head.size());
            descriptor.checksum = FileChecksum(files, sourcePath);
            const std::string tail = DescriptorTail(descriptor);
            out->Write(tail.data(), tail.size());
        }
        {
            auto out = files.Create(batchPath);
            WriteBatchFile(fileName, baseName, pieceCount,
                           [&](std::string_view part) { out->Write(part.data(), part.size()); });
        }
        // Success means the set is on the medium, ready to be carried away.
        files.SyncVolume(folder);
        return true;
    } catch (const std::exception& error) {
        message = TrimBlanks(error.what()) + "!";
        return false;
    }
}

bool CheckRestoreSpace(EngineContext& context, const std::string& destinationFolder,
                       std::uint64_t bytesNeeded, std::string& message) {
    message.clear();
    const std::int64_t free = context.files.FreeSpace(destinationFolder);
    if (free < 0) {
        const char drive = destinationFolder.empty() ? kPathDelimiter : destinationFolder[0];
        message = std::string("Cannot write to drive ") + drive + ":!\r\r" + kNoDriveText;
        return false;
    }
    if (bytesNeeded > static_cast<std::uint64_t>(free)) {
        message =
            "The restored file will be too large for the destination drive.\r\r"
            "Please select a new drive or insert higher capacity media.";
        return false;
    }
    return true;
}

bool RestoreFile(EngineContext& context, const std::string& descriptorPath,
                 const std::string& destinationFolder, std::string& message, bool deletePieces,
                 bool restoreTime) {
    message.clear();
    FileSystem& files = context.files;
    if (LowerCase(ExtensionPart(descriptorPath, kPathDelimiter)) != ".split" ||
        !files.FileExists(descriptorPath)) {
        message = "Not a valid .split file!";
        return false;
    }

    ProgressWindow window(context.progress, "Restoring File...", 0);
    try {
        const std::string folder = destinationFolder.empty()
                                       ? std::string()
                                       : WithTrailingDelimiter(destinationFolder, kPathDelimiter);

        SplitDescriptor descriptor;
        {
            auto in = files.OpenRead(descriptorPath);
            // Four short lines; anything past the first kilobytes cannot matter.
            std::string content(1 << 16, '\0');
            content.resize(in->Read(content.data(), content.size()));
            descriptor = ReadDescriptor(content);
        }

        const std::string base = descriptorPath.substr(0, descriptorPath.size() - 6);
        const std::string fileName = FileNamePart(base, true, kPathDelimiter);
        const std::string baseName = FileNamePart(base, false, kPathDelimiter);
        const std::string pieceFolder = FolderPart(descriptorPath, kPathDelimiter) + kPathDelimiter;
        const std::string batchPath = base + ".bat";
        const std::string outputPath =
            (folder.empty() ? std::string(1, kPathDelimiter) : folder) + fileName;
        auto piecePath = [&](std::uint64_t k) { return pieceFolder + PieceName(baseName, k); };
        context.progress.SetMaximum(descriptor.pieceCount);

        if (!CheckRestoreSpace(context, folder, descriptor.fileSize, message)) return false;

        // Creating the output empties it: it must not be a file of the set. Pieces not here yet
        // come on other media and cannot be this file.
        const auto output = files.Identity(outputPath);
        bool overwrites =
            SameFile(files, output, descriptorPath) || SameFile(files, output, batchPath);
        for (std::uint64_t k = 1; k <= descriptor.pieceCount && output && !overwrites; ++k) {
            const auto piece = files.Identity(piecePath(k));
            if (!piece) break;
            overwrites = *piece == *output;
        }
        if (overwrites) {
            message = "The restored file would overwrite one of its split files!";
            return false;
        }

        auto out = CreateNew(files, outputPath);
        std::uint64_t restored = 0;
        std::uint64_t source = 1;
        for (std::uint64_t k = 1; k <= descriptor.pieceCount; ++k) {
            context.progress.SetPosition(static_cast<std::uint32_t>(k));
            context.progress.ProcessMessages();
            ThrowIfCancelled(context.progress);
            const std::string path = piecePath(k);
            if (!files.FileExists(path)) {
                if (k > 1) ++source;
                out->Flush();
                while (!files.FileExists(path)) {
                    const auto answer = context.prompt.AskRetryCancel(
                        "Restore", "Please insert source #" + std::to_string(source));
                    if (answer != PromptAnswer::Retry) {
                        message = "Operation aborted!";
                        return false;
                    }
                }
            }
            auto piece = OpenShared(files, path);
            restored += files.Copy(*piece, *out, std::numeric_limits<std::uint64_t>::max(),
                                   [&](std::uint64_t done) {
                                       context.progress.Bytes(restored + done, descriptor.fileSize);
                                       ThrowIfCancelled(context.progress);
                                   });
        }

        if (restoreTime) {
            if (const auto time = FileTimeFromDateText(descriptor.dateText, context.dateFormat))
                out->SetLastWriteTime(*time);
        }
        // The checksum, and the deletion it allows, must see what is on the medium.
        out->Flush();
        out.reset();

        if (FileChecksum(files, outputPath) != descriptor.checksum) {
            message =
                "Checksum error! The restored file may be corrupt. \r\r"
                "Ensure that you have all split pieces in the same folder and try again. You may "
                "need to resplit the original file.";
            return false;
        }
        if (deletePieces) {
            files.Delete(descriptorPath);
            files.Delete(batchPath);
            for (std::uint64_t k = 1; k <= descriptor.pieceCount; ++k) files.Delete(piecePath(k));
        }
        return true;
    } catch (const std::exception& error) {
        message = std::string(error.what()) + "!";
        return false;
    }
}

}  // namespace olvo
