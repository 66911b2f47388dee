#include "core/recovery/Par2Create.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "core/recovery/Gf16.h"
#include "core/recovery/StripeCoder.h"

namespace olvo {
namespace {

constexpr std::size_t kFirstBytes = 16384;
// Above this many inputs each is opened for its stripe only, to stay within the open-file limit.
constexpr std::size_t kKeptOpen = 256;

struct InputState {
    std::string path;
    std::uint64_t size = 0;
    std::unique_ptr<InputFile> file;
    Md5 md5;
    std::uint32_t crc = 0;
};

// One recovery slice being computed into a scratch file.
struct ScratchSlice {
    std::uint32_t exponent = 0;
    std::unique_ptr<UnfinishedOutput> data;
    Md5 packetMd5;
};

void FillStripe(FileSystem& files, InputState& in, std::uint64_t offset, std::uint8_t* buffer,
                std::size_t stripe, std::size_t bytes) {
    const std::size_t have =
        offset < in.size
            ? static_cast<std::size_t>(std::min<std::uint64_t>(bytes, in.size - offset))
            : 0;
    if (have > 0) {
        std::unique_ptr<InputFile> own = in.file ? nullptr : OpenInput(files, in.path);
        ReadExactly(in.file ? *in.file : *own, in.path, offset, buffer, have);
        in.md5.Update(buffer, have);
        in.crc = Crc32(in.crc, buffer, have);
    }
    std::memset(buffer + have, 0, stripe - have);
}

// Reads every input once, stripe by stripe, hashing it and adding it into every scratch slice.
void EncodePass(FileSystem& files, std::vector<InputState>& inputs, std::uint64_t sliceSize,
                std::vector<ScratchSlice>& outputs, const RecoveryProgress& progress) {
    const std::vector<GfWord> constants =
        InputSliceConstants(static_cast<std::uint32_t>(inputs.size()));
    std::vector<std::vector<GfWord>> factors;
    for (const ScratchSlice& out : outputs) {
        factors.emplace_back();
        for (GfWord c : constants) factors.back().push_back(GfPower(c, out.exponent));
    }
    if (factors.empty()) factors.emplace_back(inputs.size(), 0);
    StripeCoder coder(std::move(factors),
                      StripeBytesFor(inputs.size() + outputs.size(), sliceSize));
    const std::size_t stripe = coder.StripeBytes();
    const std::uint64_t total = sliceSize * (inputs.size() + outputs.size());
    coder.Code(
        sliceSize,
        [&](std::size_t i, std::uint64_t offset, std::size_t bytes) {
            FillStripe(files, inputs[i], offset, coder.Input(i), stripe, bytes);
        },
        [&](std::size_t r, std::uint64_t, std::size_t bytes) {
            if (r >= outputs.size()) return;  // the stand-in output of a set without any
            outputs[r].data->Write(coder.Output(r), bytes);
            outputs[r].packetMd5.Update(coder.Output(r), bytes);
        },
        [&](std::uint64_t end) { CheckStop(progress, end * inputs.size(), total); });
}

std::vector<InputState> OpenInputs(FileSystem& files, const std::vector<RecoveryInput>& inputs) {
    std::vector<InputState> states(inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        states[i].path = inputs[i].path;
        states[i].size = inputs[i].size;
        if (inputs.size() <= kKeptOpen) states[i].file = OpenInput(files, inputs[i].path);
    }
    return states;
}

// The file as its checksums after the pass describe it (one slice).
void TakeChecksums(InputState& in, std::uint64_t sliceSize, Par2FileInfo& file) {
    Md5 slice = in.md5;
    file.md5 = in.md5.Finish();
    slice.UpdateZeros(sliceSize - in.size);
    file.slices = {SliceChecksum{slice.Finish(), Crc32Zeros(in.crc, sliceSize - in.size)}};
}

void FinishRecoveryFile(FileSystem& files, const RecoverySet& set, const std::string& folder,
                        const std::string& name, std::vector<ScratchSlice*> slices,
                        const std::string& index) {
    UnfinishedOutput out(files, folder, name);
    for (ScratchSlice* slice : slices) {
        const std::string head = RecoveryPacketHead(set.setId, slice->exponent, set.sliceSize,
                                                    slice->packetMd5.Finish());
        out.Write(head.data(), head.size());
        try {
            slice->data->File().Flush();
            auto data = files.OpenRead(slice->data->Path());
            if (files.Copy(*data, out.File(), set.sliceSize, [](std::uint64_t) {}) != set.sliceSize)
                throw RecoveryError("The scratch file " + slice->data->Path() + " is short");
        } catch (const std::runtime_error& error) {
            if (dynamic_cast<const RecoveryError*>(&error)) throw;
            throw RecoveryError("Cannot write file " + folder + name + ": " + error.what());
        }
    }
    out.Write(index.data(), index.size());
    out.Finish();
}

void CheckRequest(const RecoveryRequest& request) {
    const auto fail = [](const std::string& why) {
        throw RecoveryError("Cannot make recovery files: " + why);
    };
    if (request.inputs.empty() || request.inputs.size() > kMaxInputSlices)
        fail("a set needs 1 to 32,768 files");
    if (request.sliceSize == 0 || request.sliceSize % 4 != 0)
        fail("the slice size must be a multiple of 4");
    if (request.recoveryCount > 65535) fail("at most 65,535 recovery slices");
    std::set<std::string> names;
    for (const RecoveryInput& input : request.inputs) {
        if (input.size > request.sliceSize) fail(input.name + " is larger than a slice");
        if (!IsPlainName(input.name) || !names.insert(input.name).second)
            fail("the name " + input.name + " is not a plain name of its own");
    }
}

}  // namespace

std::uint64_t SliceSizeForPieces(std::uint64_t pieceSize) {
    return (pieceSize + 3) / 4 * 4;
}

std::string IndexPackets(const RecoverySet& set) {
    std::vector<Par2Id> ids;
    for (const Par2FileInfo& file : set.files) ids.push_back(file.id);
    std::string packets = MakePacket(set.setId, kMainType, MainBody(set.sliceSize, ids));
    for (const Par2FileInfo& file : set.files)
        packets += MakePacket(set.setId, kFileDescType, FileDescBody(file));
    for (const Par2FileInfo& file : set.files)
        packets += MakePacket(set.setId, kIfscType, IfscBody(file));
    return packets + MakePacket(set.setId, kCreatorType, CreatorBody(CreatorText()));
}

namespace {

// The set's skeleton for request: each file's first-16 KiB MD5 and ID (read now), the files in
// the order of their IDs, and the set ID, which hangs on these alone.
std::pair<RecoverySet, std::vector<RecoveryInput>> Describe(FileSystem& files,
                                                            const RecoveryRequest& request) {
    std::vector<std::pair<Par2FileInfo, RecoveryInput>> described;
    std::vector<char> first(kFirstBytes);
    for (const RecoveryInput& input : request.inputs) {
        const std::size_t size =
            static_cast<std::size_t>(std::min<std::uint64_t>(input.size, kFirstBytes));
        ReadExactly(*OpenInput(files, input.path), input.path, 0, first.data(), size);
        Par2FileInfo info;
        info.name = input.name;
        info.size = input.size;
        info.md5First16k = Md5Of(first.data(), size);
        info.id = FileIdOf(info.md5First16k, info.size, info.name);
        described.emplace_back(std::move(info), input);
    }
    std::sort(described.begin(), described.end(),
              [](const auto& a, const auto& b) { return Par2IdLess(a.first.id, b.first.id); });
    RecoverySet set;
    set.sliceSize = request.sliceSize;
    std::vector<RecoveryInput> ordered;
    std::vector<Par2Id> ids;
    for (auto& [info, input] : described) {
        ids.push_back(info.id);
        set.files.push_back(std::move(info));
        ordered.push_back(std::move(input));
    }
    const std::string main = MainBody(set.sliceSize, ids);
    set.setId = Md5Of(main.data(), main.size());
    return {std::move(set), std::move(ordered)};
}

std::vector<ScratchSlice> MakeScratch(FileSystem& files, const RecoverySet& set,
                                      const std::string& folder,
                                      const std::vector<RecoveryFileLayout>& layouts) {
    std::vector<ScratchSlice> scratch;
    for (const RecoveryFileLayout& layout : layouts) {
        for (std::uint32_t exponent : layout.exponents) {
            scratch.emplace_back();
            scratch.back().exponent = exponent;
            scratch.back().packetMd5 = RecoveryPacketHash(set.setId, exponent);
            scratch.back().data = std::make_unique<UnfinishedOutput>(files, folder, layout.name);
        }
    }
    return scratch;
}

// Encodes the layouts' slices from inputs (in the set's order) and writes their files; fills the
// checksums of set.files from what was read.
void WriteFromInputs(FileSystem& files, RecoverySet& set, const std::string& folder,
                     const std::vector<RecoveryInput>& ordered,
                     const std::vector<RecoveryFileLayout>& layouts,
                     const RecoveryProgress& progress,
                     const std::function<void(RecoverySet&)>& beforeWriting) {
    std::vector<InputState> inputs = OpenInputs(files, ordered);
    std::vector<ScratchSlice> scratch = MakeScratch(files, set, folder, layouts);
    for (const ScratchSlice& slice : scratch) {
        for (const ScratchSlice& other : scratch) {
            if (&slice != &other && slice.exponent % 65535 == other.exponent % 65535)
                throw RecoveryError("Cannot make recovery files: an exponent is given twice");
        }
    }
    EncodePass(files, inputs, set.sliceSize, scratch, progress);
    for (std::size_t i = 0; i < inputs.size(); ++i)
        TakeChecksums(inputs[i], set.sliceSize, set.files[i]);
    beforeWriting(set);
    const std::string index = IndexPackets(set);
    const std::uint64_t total = set.sliceSize * (inputs.size() + scratch.size());
    std::size_t next = 0;
    for (const RecoveryFileLayout& layout : layouts) {
        std::vector<ScratchSlice*> slices;
        for (std::size_t k = 0; k < layout.exponents.size(); ++k)
            slices.push_back(&scratch[next++]);
        FinishRecoveryFile(files, set, folder, layout.name, slices, index);
        CheckStop(progress, set.sliceSize * (inputs.size() + next), total);
    }
}

}  // namespace

std::vector<std::string> CreateRecoveryFiles(FileSystem& files, const RecoveryRequest& request,
                                             const RecoveryProgress& progress) {
    CheckRequest(request);
    auto [set, ordered] = Describe(files, request);
    std::vector<RecoveryFileLayout> layouts;
    std::vector<std::string> names{IndexFileName(request.base)};
    const auto recoveryNames = RecoveryFileNames(request.base, request.recoveryCount);
    for (std::uint32_t e = 0; e < request.recoveryCount; ++e) {
        layouts.push_back({recoveryNames[e], {e}});
        names.push_back(recoveryNames[e]);
    }
    WriteFromInputs(files, set, request.folder, ordered, layouts, progress, [&](RecoverySet& s) {
        UnfinishedOutput index(files, request.folder, names.front());
        const std::string packets = IndexPackets(s);
        index.Write(packets.data(), packets.size());
        index.Finish();
    });
    return names;
}

void WriteRecoveryFiles(FileSystem& files, const RecoverySet& set, const std::string& folder,
                        const std::vector<RecoveryFileLayout>& layouts,
                        const RecoveryProgress& progress) {
    std::vector<RecoveryInput> ordered;
    for (const Par2FileInfo& file : set.files) {
        if (file.size > set.sliceSize || file.slices.size() != 1)
            throw RecoveryError(
                "Cannot mend the recovery files: their slices are smaller than "
                "the pieces");
        ordered.push_back({folder + file.name, file.name, file.size});
    }
    RecoverySet written = set;
    WriteFromInputs(files, written, folder, ordered, layouts, progress, [&](RecoverySet& now) {
        for (std::size_t i = 0; i < now.files.size(); ++i) {
            if (now.files[i].md5 != set.files[i].md5 || now.files[i].slices != set.files[i].slices)
                throw RecoveryError("Cannot mend the recovery files: " + set.files[i].name +
                                    " does not match the index");
        }
    });
}

}  // namespace olvo
