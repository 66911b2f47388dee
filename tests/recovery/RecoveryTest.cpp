// Recovery files judged by an outside PAR 2.0 program (par2): what we write it must read and
// repair, what it writes we must repair, and both must rebuild the same losses byte for byte.

#include <gtest/gtest.h>

#include <random>

#include "core/recovery/Gf16.h"
#include "core/recovery/Par2Create.h"
#include "core/recovery/Par2Repair.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace olvo {
namespace {

using test::TempDir;

constexpr char kPar2[] = "/usr/bin/par2";

TEST(GaloisField, FastRegionsAndTheInverseAgreeWithTheTables) {
    EXPECT_EQ(GfMultiply(0x8000, 2), 0x100B);
    EXPECT_EQ(InputSliceConstants(11),
              (std::vector<GfWord>{2, 4, 16, 128, 256, 2048, 8192, 16384, 4107, 32856, 17132}));
    std::mt19937 random(7);
    for (std::size_t bytes : {2u, 62u, 64u, 4096u, 100002u}) {
        std::vector<std::uint8_t> src(bytes), fast(bytes), slow(bytes);
        for (auto* v : {&src, &fast})
            for (auto& b : *v) b = static_cast<std::uint8_t>(random());
        slow = fast;
        const auto factor = static_cast<GfWord>(random());
        GfMultiplyAdd(src.data(), fast.data(), factor, bytes);
        GfMultiplyAddPortable(src.data(), slow.data(), factor, bytes);
        EXPECT_EQ(fast, slow) << bytes << " bytes times " << factor;
    }
    GfMatrix m{5, {}};
    for (std::size_t r = 0; r < 5; ++r)
        for (GfWord c : InputSliceConstants(5)) m.cells.push_back(GfPower(c, r * 3 + 1));
    const auto inverse = GfInvert(m);
    ASSERT_TRUE(inverse);
    for (std::size_t i = 0; i < 5; ++i)
        for (std::size_t j = 0; j < 5; ++j) {
            GfWord sum = 0;
            for (std::size_t k = 0; k < 5; ++k) sum ^= GfMultiply(m.At(i, k), inverse->At(k, j));
            EXPECT_EQ(sum, i == j ? 1 : 0);
        }
    m.cells[5 * 4 + 2] = 0;
    m.cells[5 * 4 + 3] = 0;
    for (std::size_t k = 0; k < 5; ++k) m.At(3, k) = m.At(4, k) = m.At(2, k);
    EXPECT_FALSE(GfInvert(m));
}

// Pieces of a set in a folder of their own, as a split leaves them.
struct PieceSet {
    TempDir dir;
    std::vector<std::string> names;
    std::vector<std::string> contents;
    std::unique_ptr<FileSystem> files = MakeSystemFileSystem();

    PieceSet(const std::vector<std::size_t>& sizes, const std::string& stem = "f") {
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            names.push_back(stem + ".s0" + std::to_string(i + 1));
            contents.push_back(test::PatternBytes(sizes[i], static_cast<std::uint32_t>(i + 3)));
            test::WriteFile(dir / names.back(), contents.back());
        }
    }
    std::vector<std::string> Create(std::uint32_t count, std::uint64_t pieceSize) {
        RecoveryRequest request{
            {}, SliceSizeForPieces(pieceSize), dir.Path() + "/", "f.bin", count};
        for (std::size_t i = 0; i < names.size(); ++i)
            request.inputs.push_back({dir / names[i], names[i], contents[i].size()});
        return CreateRecoveryFiles(*files, request, {});
    }
    test::ProgramResult Par2(const std::vector<std::string>& args) {
        return test::RunProgram(kPar2, args, "", dir.Path(), {}, std::chrono::seconds(60));
    }
    void ExpectPiecesWhole() {
        for (std::size_t i = 0; i < names.size(); ++i)
            EXPECT_TRUE(test::ReadFile(dir / names[i]) == contents[i]) << names[i];
    }
};

// The outside judge is a program of this machine: a Windows build under wine cannot run it.
bool HavePar2() {
#ifdef _WIN32
    return false;
#else
    return test::Exists(kPar2);
#endif
}

TEST(RecoveryFiles, LossesRepairedByUsAndByPar2Alike) {
    if (!HavePar2()) GTEST_SKIP() << "no par2";
    struct Loss {
        const char* what;
        std::vector<std::size_t> deleted, damaged;
        const char* damagedRecovery;
        bool rebuildable;
    };
    const std::vector<Loss> losses = {
        {"one piece", {1}, {}, nullptr, true},
        {"as many pieces as recovery files", {0, 4}, {}, nullptr, true},
        {"a damaged piece and a lost one", {2}, {3}, nullptr, true},
        {"a damaged recovery file", {}, {}, "f.bin.vol01+01.par2", true},
        {"one piece more than recovery files", {0, 1, 2}, {}, nullptr, false},
    };
    for (const Loss& loss : losses) {
        for (bool ours : {true, false}) {
            SCOPED_TRACE(std::string(loss.what) + (ours ? ", our repair" : ", par2 repair"));
            PieceSet set({30000, 30000, 30000, 30000, 7001});
            set.Create(2, 30000);
            const std::string recoveryBytes = test::ReadFile(set.dir / "f.bin.vol01+01.par2");
            for (std::size_t i : loss.deleted) set.files->Delete(set.dir / set.names[i]);
            for (std::size_t i : loss.damaged) {
                std::string bytes = set.contents[i];
                bytes[bytes.size() / 2] ^= 0x40;
                test::WriteFile(set.dir / set.names[i], bytes);
            }
            if (loss.damagedRecovery) {
                std::string bytes = recoveryBytes;
                bytes[200] ^= 1;
                test::WriteFile(set.dir / loss.damagedRecovery, bytes);
            }
            if (ours) {
                const auto check = CheckRecoveryFiles(*set.files, set.dir / "f.bin.par2", {});
                EXPECT_EQ(check.CanRebuild(), loss.rebuildable);
                if (!loss.rebuildable) {
                    EXPECT_EQ(TooMuchLostText(check),
                              "3 pieces are missing or damaged and 2 "
                              "recovery pieces can rebuild at most 2");
                    EXPECT_THROW(RepairFromRecovery(*set.files, check, {}), RecoveryError);
                    continue;
                }
                const auto outcome = RepairFromRecovery(*set.files, check, {});
                EXPECT_EQ(outcome.rebuilt.size(), loss.deleted.size() + loss.damaged.size());
                EXPECT_TRUE(test::ReadFile(set.dir / "f.bin.vol01+01.par2") == recoveryBytes);
            } else {
                const auto result = set.Par2({"repair", "-q", "f.bin.par2"});
                EXPECT_EQ(result.exitCode == 0, loss.rebuildable) << result.out << result.err;
                if (!loss.rebuildable) continue;
            }
            set.ExpectPiecesWhole();
            EXPECT_EQ(set.Par2({"verify", "-q", "f.bin.par2"}).exitCode, 0);
        }
    }
}

TEST(RecoveryFiles, AFreshSetOfOddSizesAndNamesIsCorrectForPar2) {
    if (!HavePar2()) GTEST_SKIP() << "no par2";
    // A split by count: pieces whose size is no multiple of 4, a shorter last one.
    PieceSet set({10001, 10001, 10001, 9}, "Grüße-日本");
    const auto names = set.Create(3, 10001);
    EXPECT_EQ(names, (std::vector<std::string>{"f.bin.par2", "f.bin.vol00+01.par2",
                                               "f.bin.vol01+01.par2", "f.bin.vol02+01.par2"}));
    const auto verified = set.Par2({"verify", "f.bin.par2"});
    EXPECT_EQ(verified.exitCode, 0) << verified.out;
    EXPECT_NE(verified.out.find("All files are correct"), std::string::npos) << verified.out;
    for (std::size_t i : {0, 3}) set.files->Delete(set.dir / set.names[i]);
    EXPECT_EQ(set.Par2({"repair", "-q", "f.bin.par2"}).exitCode, 0);
    set.ExpectPiecesWhole();
}

// par2 widens the exponent to the digits of the count ("x.vol000+1.par2" ... "x.vol119+1.par2"
// for -c120 -n120 -u); ours keep two digits at least in both numbers.
TEST(RecoveryFiles, NamesWidenAsPar2WidensThem) {
    for (const auto& [count, last] :
         std::vector<std::pair<std::uint32_t, std::string>>{{1, "f.vol00+01.par2"},
                                                            {99, "f.vol98+01.par2"},
                                                            {100, "f.vol099+01.par2"},
                                                            {120, "f.vol119+01.par2"},
                                                            {1000, "f.vol0999+01.par2"}})
        EXPECT_EQ(RecoveryFileNames("f", count).back(), last);
}

TEST(RecoveryFiles, WhatPar2CreatedWeRepair) {
    if (!HavePar2()) GTEST_SKIP() << "no par2";
    PieceSet set({24000, 24000, 24000, 5000});
    std::vector<std::string> args{"create", "-q", "-s24000", "-c2", "f.bin.par2"};
    args.insert(args.end(), set.names.begin(), set.names.end());
    ASSERT_EQ(set.Par2(args).exitCode, 0);
    set.files->Delete(set.dir / set.names[0]);
    test::WriteFile(set.dir / set.names[3], "short");
    const auto check = CheckRecoveryFiles(*set.files, set.dir / "f.bin.par2", {});
    EXPECT_EQ(check.LostNames(), (std::vector<std::string>{set.names[0], set.names[3]}));
    RepairFromRecovery(*set.files, check, {});
    set.ExpectPiecesWhole();
}

TEST(RecoveryFiles, AStopLeavesNoFileOfOursBehind) {
    PieceSet set({50000, 50000});
    RecoveryRequest request{{}, 50000, set.dir.Path() + "/", "f.bin", 2};
    for (std::size_t i = 0; i < 2; ++i)
        request.inputs.push_back({set.dir / set.names[i], set.names[i], 50000});
    EXPECT_THROW(CreateRecoveryFiles(*set.files, request, [](auto, auto) { return false; }),
                 RecoveryError);
    EXPECT_EQ(set.files->List(set.dir.Path()).size(), 2u);
}

}  // namespace
}  // namespace olvo
