#include "core/recovery/Par2Repair.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

#include "core/recovery/Gf16.h"
#include "core/recovery/Par2Create.h"
#include "core/recovery/StripeCoder.h"

namespace olvo {
namespace {

constexpr std::size_t kHashBuffer = 1 << 20;
constexpr std::size_t kKeptOpen = 256;

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The exponents "BASE.volE+C.par2" promises (E to E+C-1), or nothing for another name.
std::optional<std::vector<std::uint32_t>> PromisedExponents(const std::string& name,
                                                            const std::string& base) {
    const std::string head = base + ".vol";
    if (name.compare(0, head.size(), head) != 0 || !EndsWith(name, ".par2")) return std::nullopt;
    const std::string middle = name.substr(head.size(), name.size() - head.size() - 5);
    const auto plus = middle.find('+');
    const auto digits = [](const std::string& s) {
        return !s.empty() && s.size() <= 5 &&
               s.find_first_not_of("0123456789") == std::string::npos;
    };
    if (plus == std::string::npos || !digits(middle.substr(0, plus)) ||
        !digits(middle.substr(plus + 1)))
        return std::nullopt;
    const auto first = static_cast<std::uint32_t>(std::stoul(middle.substr(0, plus)));
    const auto count = static_cast<std::uint32_t>(std::stoul(middle.substr(plus + 1)));
    if (count == 0 || first + count > 65535) return std::nullopt;
    std::vector<std::uint32_t> exponents;
    for (std::uint32_t e = first; e < first + count; ++e) exponents.push_back(e);
    return exponents;
}

// Scans every PAR 2.0 file of base in folder; names those that are damaged in damaged.
Par2Packets ScanAll(FileSystem& files, const std::string& folder, const std::string& base,
                    std::vector<std::string>& damaged) {
    Par2Packets packets;
    std::vector<std::string> names = files.List(folder.empty() ? "." : folder);
    std::sort(names.begin(), names.end());
    if (std::find(names.begin(), names.end(), IndexFileName(base)) == names.end())
        damaged.push_back(IndexFileName(base));
    for (const std::string& name : names) {
        const auto promised = PromisedExponents(name, base);
        if (name != IndexFileName(base) && !promised) continue;
        const auto entry = files.Find(folder + name);
        if (!entry || entry->isFolder) continue;
        const std::size_t before = packets.recovery.size();
        try {
            const Par2FileScan scan =
                ScanPar2File(*OpenInput(files, folder + name), entry->size, folder + name, packets);
            bool whole = !scan.damaged && scan.soundPackets > 0;
            for (std::uint32_t e : promised.value_or(std::vector<std::uint32_t>{})) {
                whole = whole &&
                        std::any_of(packets.recovery.begin() + before, packets.recovery.end(),
                                    [&](const RecoverySliceRef& r) { return r.exponent == e; });
            }
            if (!whole) damaged.push_back(name);
        } catch (const FileError& error) {
            throw RecoveryError("Cannot read file " + folder + name + ": " + error.what());
        }
    }
    return packets;
}

// Whether the file at path has the size and MD5 the index gives.
FileCondition ConditionOf(FileSystem& files, const std::string& path, const Par2FileInfo& info,
                          std::atomic<std::uint64_t>& done) {
    const auto entry = files.Find(path);
    if (!entry || entry->isFolder) return FileCondition::Missing;
    if (entry->size != info.size) return FileCondition::Damaged;
    auto file = OpenInput(files, path);
    std::vector<char> buffer(kHashBuffer);
    Md5 md5;
    for (std::uint64_t left = info.size; left > 0;) {
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(left, kHashBuffer));
        ReadExactly(*file, path, info.size - left, buffer.data(), part);
        md5.Update(buffer.data(), part);
        left -= part;
        done += part;
    }
    return md5.Finish() == info.md5 ? FileCondition::Whole : FileCondition::Damaged;
}

void SplitIndexPath(const std::string& indexPath, std::string& folder, std::string& base) {
    const auto slash = indexPath.find_last_of(std::string("/") + kPathDelimiter);
    folder = slash == std::string::npos ? "" : indexPath.substr(0, slash + 1);
    base = indexPath.substr(folder.size());
    if (EndsWith(base, ".par2")) base.resize(base.size() - 5);
}

}  // namespace

std::vector<std::string> RecoveryCheck::LostNames() const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < conditions.size(); ++i)
        if (conditions[i] != FileCondition::Whole) names.push_back(set.files[i].name);
    return names;
}

RecoveryCheck CheckRecoveryFiles(FileSystem& files, const std::string& indexPath,
                                 const RecoveryProgress& progress) {
    RecoveryCheck check;
    SplitIndexPath(indexPath, check.folder, check.base);
    const Par2Packets packets = ScanAll(files, check.folder, check.base, check.damagedParFiles);
    std::string why;
    auto set = AssembleSet(packets, why);
    if (!set)
        throw RecoveryError("The recovery files of " + check.base + " cannot be used: " + why);
    check.set = std::move(*set);
    std::uint64_t total = 0;
    for (const Par2FileInfo& file : check.set.files) {
        if (!IsPlainName(file.name))
            throw RecoveryError("The recovery files of " + check.base + " name a file outside " +
                                "their folder: " + file.name);
        total += file.size;
    }
    check.conditions.assign(check.set.files.size(), FileCondition::Missing);
    std::atomic<std::uint64_t> done{0};
    std::mutex reporting;
    WorkPool pool;
    pool.Run(check.set.files.size(), [&](std::size_t i) {
        const Par2FileInfo& file = check.set.files[i];
        check.conditions[i] = ConditionOf(files, check.folder + file.name, file, done);
        std::lock_guard lock(reporting);
        CheckStop(progress, done, total);
    });
    for (std::size_t i = 0; i < check.conditions.size(); ++i)
        if (check.conditions[i] != FileCondition::Whole)
            check.lostSlices += static_cast<std::uint32_t>(check.set.files[i].slices.size());
    return check;
}

std::string TooMuchLostText(const RecoveryCheck& check) {
    const auto count = [](std::uint64_t n, const char* one, const char* many) {
        return std::to_string(n) + (n == 1 ? one : many);
    };
    const std::uint64_t lost = check.LostNames().size();
    const bool slices = check.lostSlices != lost;
    const std::string lostText =
        slices ? count(check.lostSlices, " slice is", " slices are") + " lost"
               : count(lost, " piece is", " pieces are") + " missing or damaged";
    return lostText + " and " +
           count(check.RecoverySlices(), slices ? " recovery slice" : " recovery piece",
                 slices ? " recovery slices" : " recovery pieces") +
           " can rebuild at most " + std::to_string(check.RecoverySlices());
}

namespace {

// A stripe's worth of one input: a slice of a whole file or a recovery slice.
struct SliceSource {
    std::string path;
    std::uint64_t offset = 0;     // of the slice in its file
    std::uint64_t available = 0;  // bytes of it in the file; the rest reads as zeros
    std::unique_ptr<InputFile> file;

    void Fill(FileSystem& files, std::uint64_t at, std::uint8_t* buffer, std::size_t stripe,
              std::size_t bytes) {
        const std::size_t have =
            at < available
                ? static_cast<std::size_t>(std::min<std::uint64_t>(bytes, available - at))
                : 0;
        if (have > 0) {
            std::unique_ptr<InputFile> own = file ? nullptr : OpenInput(files, path);
            ReadExactly(file ? *file : *own, path, offset + at, buffer, have);
        }
        std::memset(buffer + have, 0, stripe - have);
    }
};

// A file being rebuilt: written in order, hashed on the way.
struct RebuiltFile {
    const Par2FileInfo* info = nullptr;
    std::unique_ptr<UnfinishedOutput> output;
    Md5 md5;
    std::uint64_t written = 0;
};

struct RebuildPlan {
    std::vector<SliceSource> sources;
    std::vector<std::vector<GfWord>> factors;  // per lost slice, per source
    std::vector<RebuiltFile> outputs;
};

// Inputs are every slice of the whole files, then the first lostSlices recovery slices; the
// factors solve the lost slices' system for them.
RebuildPlan PlanRebuild(FileSystem& files, const RecoveryCheck& check) {
    const RecoverySet& set = check.set;
    const std::vector<GfWord> constants = InputSliceConstants(set.SliceCount());
    const std::vector<std::uint32_t> first = set.FirstSlices();
    RebuildPlan plan;
    std::vector<std::uint32_t> lost, present;
    for (std::size_t f = 0; f < set.files.size(); ++f) {
        const Par2FileInfo& file = set.files[f];
        for (std::uint32_t s = 0; s < file.slices.size(); ++s) {
            const bool whole = check.conditions[f] == FileCondition::Whole;
            (whole ? present : lost).push_back(first[f] + s);
            const std::uint64_t at = std::uint64_t{s} * set.sliceSize;
            if (whole)
                plan.sources.push_back({check.folder + file.name, at,
                                        std::min(set.sliceSize, file.size - at), nullptr});
        }
        if (check.conditions[f] == FileCondition::Whole) continue;
        if (file.slices.size() != 1)
            throw RecoveryError("Cannot repair " + file.name + ": the recovery files cut it " +
                                "into several slices");
        plan.outputs.emplace_back();
        plan.outputs.back().info = &file;
        plan.outputs.back().output =
            std::make_unique<UnfinishedOutput>(files, check.folder, file.name);
    }
    const std::size_t k = lost.size();
    GfMatrix matrix{k, std::vector<GfWord>(k * k)};
    for (std::size_t r = 0; r < k; ++r) {
        const RecoverySliceRef& slice = set.recovery[r];
        plan.sources.push_back({slice.path, slice.dataOffset, set.sliceSize, nullptr});
        for (std::size_t j = 0; j < k; ++j)
            matrix.At(r, j) = GfPower(constants[lost[j]], slice.exponent);
    }
    const auto inverse = GfInvert(matrix);
    if (!inverse) throw RecoveryError("The recovery slices at hand cannot rebuild these pieces");
    for (std::size_t j = 0; j < k; ++j) {
        std::vector<GfWord> row;
        for (std::uint32_t i : present) {
            GfWord sum = 0;
            for (std::size_t r = 0; r < k; ++r)
                sum ^=
                    GfMultiply(inverse->At(j, r), GfPower(constants[i], set.recovery[r].exponent));
            row.push_back(sum);
        }
        for (std::size_t r = 0; r < k; ++r) row.push_back(inverse->At(j, r));
        plan.factors.push_back(std::move(row));
    }
    return plan;
}

void Rebuild(FileSystem& files, const RecoveryCheck& check, RebuildPlan& plan,
             const RecoveryProgress& progress) {
    const std::uint64_t sliceSize = check.set.sliceSize;
    if (plan.sources.size() <= kKeptOpen)
        for (SliceSource& source : plan.sources) source.file = OpenInput(files, source.path);
    StripeCoder coder(std::move(plan.factors),
                      StripeBytesFor(plan.sources.size() + plan.outputs.size(), sliceSize));
    const std::size_t stripe = coder.StripeBytes();
    coder.Code(
        sliceSize,
        [&](std::size_t i, std::uint64_t at, std::size_t bytes) {
            plan.sources[i].Fill(files, at, coder.Input(i), stripe, bytes);
        },
        [&](std::size_t j, std::uint64_t at, std::size_t bytes) {
            RebuiltFile& out = plan.outputs[j];
            const std::uint64_t left = out.info->size - std::min(out.info->size, at);
            const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(left, bytes));
            out.output->Write(coder.Output(j), part);
            out.md5.Update(coder.Output(j), part);
            out.written += part;
        },
        [&](std::uint64_t end) { CheckStop(progress, end, sliceSize); });
    for (RebuiltFile& out : plan.outputs) {
        if (out.written != out.info->size || out.md5.Finish() != out.info->md5)
            throw RecoveryError("The rebuilt piece " + out.info->name + " does not match its " +
                                "checksum: the files it was rebuilt from changed");
    }
}

// Rewrites the damaged PAR 2.0 files of check, whose set's files are all whole now.
std::vector<std::string> Mend(FileSystem& files, const RecoveryCheck& check,
                              const RecoveryProgress& progress) {
    std::vector<RecoveryFileLayout> layouts;
    bool index = false;
    for (const std::string& name : check.damagedParFiles) {
        if (name == IndexFileName(check.base))
            index = true;
        else if (auto exponents = PromisedExponents(name, check.base))
            layouts.push_back({name, *exponents});
    }
    if (!layouts.empty()) WriteRecoveryFiles(files, check.set, check.folder, layouts, progress);
    std::vector<std::string> mended;
    if (index) {
        UnfinishedOutput out(files, check.folder, IndexFileName(check.base));
        const std::string packets = IndexPackets(check.set);
        out.Write(packets.data(), packets.size());
        out.Finish();
        mended.push_back(IndexFileName(check.base));
    }
    for (const RecoveryFileLayout& layout : layouts) mended.push_back(layout.name);
    return mended;
}

}  // namespace

RepairOutcome RepairFromRecovery(FileSystem& files, const RecoveryCheck& check,
                                 const RecoveryProgress& progress,
                                 const RebuiltFileCheck& extraCheck) {
    if (!check.CanRebuild()) throw RecoveryError(TooMuchLostText(check));
    RepairOutcome outcome;
    if (check.lostSlices > 0) {
        RebuildPlan plan = PlanRebuild(files, check);
        Rebuild(files, check, plan, progress);
        // All are checked before any is renamed: a set is never left with a rebuilt file that
        // fails, nor half mended because a later one does.
        for (RebuiltFile& out : plan.outputs) {
            if (!extraCheck) break;
            out.output->Flush();
            extraCheck(out.output->Path(), out.info->name);
        }
        for (RebuiltFile& out : plan.outputs) {
            out.output->Finish();
            outcome.rebuilt.push_back(out.info->name);
        }
    }
    outcome.mended = Mend(files, check, progress);
    return outcome;
}

}  // namespace olvo
