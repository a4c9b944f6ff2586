#include "archive/grf_archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "archive/grf_builder.h"
#include "archive/grf_test_files.h"
#include "errors/error.h"
#include "support/error_of.h"

namespace plovant {
namespace {

using testing::RandomBytes;
using testing::TempArchive;
using testing::Text;

constexpr const char* kKorean =
    "data\\texture\\\xC0\xAF\xC0\xFA\xC0\xCE\xC5\xCD\xC6\xE4\xC0\xCC\xBD\xBA.bmp";
constexpr const char* kKoreanUtf8 = "data\\texture\\유저인터페이스.bmp";

// Contents whose compressed sizes have 1-2, 3-4, 5-6 and 7 decimal digits, so every
// cycle of mixed mode is used.
std::vector<GrfBuildEntry> Mixture(EntryCipher cipher) {
    std::vector<GrfBuildEntry> entries;
    entries.push_back({.name = "data", .folder = true});
    entries.push_back({.name = "data\\small.txt", .content = Text("tiny"), .cipher = cipher});
    entries.push_back(
        {.name = "data\\Model\\HOUSE.rsm", .content = RandomBytes(700, 1), .cipher = cipher});
    entries.push_back(
        {.name = "data\\sound\\a.wav", .content = RandomBytes(9000, 2), .cipher = cipher});
    entries.push_back(
        {.name = "data\\map.gat", .content = RandomBytes(60000, 3), .cipher = cipher});
    entries.push_back(
        {.name = "data\\big.bmp", .content = RandomBytes(1200000, 4), .cipher = cipher});
    entries.push_back({.name = "data\\empty.txt", .content = {}, .cipher = cipher});
    entries.push_back({.name = kKorean, .content = Text("korean"), .cipher = cipher});
    return entries;
}

void ExpectSameFiles(const GrfArchive& archive, const std::vector<GrfBuildEntry>& built) {
    std::vector<const GrfBuildEntry*> files;
    for (const GrfBuildEntry& e : built) {
        if (!e.folder) files.push_back(&e);
    }
    ASSERT_EQ(archive.Entries().size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const GrfEntry& entry = archive.Entries()[i];
        EXPECT_EQ(entry.name, files[i]->name);
        EXPECT_EQ(entry.real_size, files[i]->content.size());
        EXPECT_EQ(archive.Read(entry), files[i]->content) << entry.display_name;
    }
}

TEST(GrfArchive, EveryVersionAndCipherReadsBackWhatWasWritten) {
    for (uint32_t version : {0x102u, 0x103u}) {
        const auto built = Mixture(EntryCipher::kNone);  // old tables pick their own cipher
        TempArchive file(BuildGrf(version, built));
        GrfArchive archive(file.Path());
        EXPECT_EQ(archive.Version(), version);
        ExpectSameFiles(archive, built);
        EXPECT_EQ(archive.Entries()[3].cipher, EntryCipher::kFirstBlocks);  // map.gat
        EXPECT_EQ(archive.Entries()[4].cipher, EntryCipher::kMixed);
    }
    for (uint32_t version : {0x200u, 0x300u}) {
        for (EntryCipher cipher :
             {EntryCipher::kNone, EntryCipher::kFirstBlocks, EntryCipher::kMixed}) {
            const auto built = Mixture(cipher);
            TempArchive file(BuildGrf(version, built));
            GrfArchive archive(file.Path());
            EXPECT_EQ(archive.Entries()[0].cipher, cipher);
            ExpectSameFiles(archive, built);
        }
    }
}

TEST(GrfArchive, KoreanNamesAreDecodedAndFoundEitherWay) {
    TempArchive file(BuildGrf(0x102, Mixture(EntryCipher::kNone)));
    GrfArchive archive(file.Path());
    const GrfEntry* by_bytes = archive.Find(kKorean);
    ASSERT_NE(by_bytes, nullptr);
    EXPECT_EQ(by_bytes->display_name, kKoreanUtf8);
    EXPECT_EQ(archive.Find(kKoreanUtf8), by_bytes);
    EXPECT_EQ(archive.Find("DATA/TEXTURE/유저인터페이스.BMP"), by_bytes);
}

TEST(GrfArchive, LookupIgnoresCaseAndSeparatorAndTakesTheLastOfEqualNames) {
    std::vector<GrfBuildEntry> built = {
        {.name = "data\\Texture\\Wall.BMP", .content = Text("first")},
        {.name = "DATA\\texture\\wall.bmp", .content = Text("second")},
        {.name = "data\\texture\\other.bmp", .content = Text("other")},
    };
    TempArchive file(BuildGrf(0x200, built));
    GrfArchive archive(file.Path());
    const GrfEntry* found = archive.Find("data/TEXTURE/wall.bmp");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(archive.Read(*found), Text("second"));
    EXPECT_EQ(archive.Find("data\\texture\\wall.bm"), nullptr);
    EXPECT_EQ(archive.Find("data\\texture\\wall.bmp\\"), nullptr);
    EXPECT_EQ(archive.Match("*WALL*").size(), 2u);
    EXPECT_EQ(archive.Match("data\\texture\\????.bmp").size(), 2u);
    EXPECT_EQ(archive.Match("data/texture/*").size(), 3u);
}

TEST(GrfArchive, SeveralThreadsReadOneArchive) {
    const auto built = Mixture(EntryCipher::kMixed);
    TempArchive file(BuildGrf(0x200, built));
    const GrfArchive archive(file.Path());
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round) {
                for (size_t i = 0; i < archive.Entries().size(); ++i) {
                    const GrfEntry& e = archive.Entries()[(i + t) % archive.Entries().size()];
                    if (archive.Read(e).size() != e.real_size) ++wrong;
                    if (archive.Find(e.name) == nullptr) ++wrong;
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
}

// --- refused archives --------------------------------------------------------------

std::string OpenError(const std::vector<uint8_t>& bytes) {
    TempArchive file(bytes);
    try {
        GrfArchive archive(file.Path());
    } catch (const Error& e) {
        EXPECT_NE(e.description().find(file.Path()), std::string::npos) << e.description();
        return e.description();
    }
    return "";
}

void Set32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(v >> (8 * i));
}

TEST(GrfArchive, WrongMagicOrVersionIsRefused) {
    std::vector<uint8_t> good = BuildGrf(0x200, {{.name = "a", .content = Text("x")}});
    auto magic = good;
    magic[14] = 'C';  // "Master of MagiC"
    EXPECT_NE(OpenError(magic).find("Master of Magic"), std::string::npos);
    auto no_nul = good;
    no_nul[15] = ' ';
    EXPECT_NE(OpenError(no_nul), "");
    for (uint32_t version : {0x101u, 0x104u, 0x1FFu, 0x201u, 0x2FFu, 0x301u, 0u}) {
        auto bad = good;
        Set32(bad, 42, version);
        EXPECT_NE(OpenError(bad).find("version"), std::string::npos) << version;
    }
    EXPECT_NE(OpenError(std::vector<uint8_t>(good.begin(), good.begin() + 45)).find("shorter"),
              std::string::npos);
    EXPECT_NE(OpenError({}), "");
}

TEST(GrfArchive, TableOutOfBoundsOrTruncatedIsRefused) {
    for (uint32_t version : {0x102u, 0x200u, 0x300u}) {
        const std::vector<uint8_t> good =
            BuildGrf(version, {{.name = "data\\a.txt", .content = Text("hello")},
                               {.name = "data\\b.txt", .content = Text("world")}});
        // The table offset just past the end, and far past it.
        auto past = good;
        Set32(past, 30, uint32_t(good.size() - 46 + 1));
        EXPECT_NE(OpenError(past).find("past the end"), std::string::npos) << version;
        auto far = good;
        Set32(far, 30, 0xFFFFFFF0u);
        EXPECT_NE(OpenError(far), "") << version;
        // Every truncation of the table is refused, never read past the end.
        const size_t table_start = 46 + (good[30] | good[31] << 8);
        for (size_t length = table_start; length < good.size(); ++length) {
            EXPECT_NE(OpenError(std::vector<uint8_t>(good.begin(), good.begin() + length)), "")
                << version << " cut at " << length;
        }
    }
}

TEST(GrfArchive, CountTheTableCannotHoldIsRefusedBeforeAllocating) {
    const std::vector<uint8_t> good = BuildGrf(0x200, {{.name = "a", .content = Text("x")}});
    auto huge = good;
    Set32(huge, 38, 0xFFFFFFFFu);  // 4 billion entries in a table of a few bytes
    EXPECT_NE(OpenError(huge).find("cannot hold"), std::string::npos);
    auto negative = good;
    Set32(negative, 38, 6);  // 6 - 0 - 7
    EXPECT_NE(OpenError(negative).find("negative"), std::string::npos);
    auto seeded = good;
    Set32(seeded, 34, 2);  // 8 - 2 - 7 = -1
    EXPECT_NE(OpenError(seeded).find("negative"), std::string::npos);
    // One entry more than the table holds.
    auto one_more =
        BuildGrf(0x200, {{.name = "data\\a-rather-long-name.txt", .content = Text("x")}});
    Set32(one_more, 38, 9);
    EXPECT_NE(OpenError(one_more).find("cut off"), std::string::npos);
    // A table whose stated real size is more than its packed bytes can inflate to.
    auto bomb = good;
    const size_t table = 46 + (good[30] | good[31] << 8);
    Set32(bomb, table + 4, 0x7FFFFFFFu);
    EXPECT_NE(OpenError(bomb).find("cannot inflate"), std::string::npos);
    // A real size one byte off either way.
    const uint32_t real = good[table + 4] | good[table + 5] << 8;
    auto shorter = good;
    Set32(shorter, table + 4, real - 1);
    EXPECT_NE(OpenError(shorter), "");
    auto longer = good;
    Set32(longer, table + 4, real + 1);
    EXPECT_NE(OpenError(longer), "");
}

// Version 0x300 keeps 64-bit offsets: bits above the low 32 must count, in the header's
// table offset as in an entry's data offset.
TEST(GrfArchive, Version300OffsetsUseAllSixtyFourBits) {
    auto bytes = BuildGrf(0x300, {{.name = "a.txt", .content = Text("x")}});
    auto high_table = bytes;
    high_table[34] = 1;  // table offset + 2^32
    EXPECT_NE(OpenError(high_table).find("past the end"), std::string::npos);

    TempArchive file(
        BuildGrf(0x300, {{.name = "a.txt", .content = Text("x"), .stated_offset = 0x100000000ull},
                         {.name = "b.txt", .content = Text("y")}}));
    GrfArchive archive(file.Path());
    EXPECT_EQ(archive.Entries()[0].offset, 0x100000000ull + 46);
    EXPECT_EQ(testing::ErrorOf([&] { archive.Read(archive.Entries()[0]); }), kErrInvalidFormat);
    EXPECT_EQ(archive.Read(archive.Entries()[1]), Text("y"));
}

TEST(GrfArchive, OldTableWithShortNameFieldIsRefused) {
    auto bytes = BuildGrf(0x103, {{.name = "a.txt", .content = Text("x")}});
    const size_t table = 46 + (bytes[30] | bytes[31] << 8);
    Set32(bytes, table, 5);
    EXPECT_NE(OpenError(bytes).find("name field"), std::string::npos);
}

TEST(GrfArchive, MissingArchiveIsAnErrorNamingIt) {
    EXPECT_EQ(testing::ErrorOf([] { GrfArchive("/nonexistent/folder/data.grf"); }),
              kErrFileNotFound);
}

// --- entries that fail alone -------------------------------------------------------

TEST(GrfArchive, BadEntryFailsNamingItWhileTheOthersRead) {
    std::vector<GrfBuildEntry> built = {
        {.name = "good1.txt", .content = Text("first")},
        {.name = "outside.txt", .content = Text("x"), .stated_offset = 0xFFFFFF00u},
        {.name = "not-zlib.txt", .content = Text("this is not a zlib stream"), .store_raw = true},
        {.name = "shorter.txt", .content = Text("twelve bytes"), .stated_real_size = 11},
        {.name = "longer.txt", .content = Text("twelve bytes"), .stated_real_size = 13},
        {.name = "bomb.txt", .content = Text("abc"), .stated_real_size = 0xFFFFFFF0u},
        {.name = "cut.txt", .content = RandomBytes(100, 9), .stated_compressed_size = 50},
        {.name = "lost.txt", .content = Text("abc"), .stated_compressed_size = 0},
        {.name = "good2.txt", .content = Text("last")},
    };
    built[6].cipher = EntryCipher::kNone;
    TempArchive file(BuildGrf(0x200, built));
    GrfArchive archive(file.Path());
    ASSERT_EQ(archive.Entries().size(), built.size());
    for (size_t i = 1; i + 1 < built.size(); ++i) {
        const GrfEntry& e = archive.Entries()[i];
        try {
            archive.Read(e);
            ADD_FAILURE() << e.name << " was read";
        } catch (const Error& error) {
            EXPECT_NE(error.description().find(e.name), std::string::npos) << error.description();
            EXPECT_NE(error.description().find(file.Path()), std::string::npos);
        }
    }
    EXPECT_EQ(archive.Read(archive.Entries().front()), Text("first"));
    EXPECT_EQ(archive.Read(archive.Entries().back()), Text("last"));
}

TEST(GrfArchive, EntryEndingExactlyAtTheArchiveEndReads) {
    // The data of the one entry, then a table placed before it by the offsets: build a
    // normal archive and check the last data byte is the last byte before the table.
    std::vector<GrfBuildEntry> built = {{.name = "a.bin", .content = RandomBytes(64, 5)}};
    std::vector<uint8_t> bytes = BuildGrf(0x200, built);
    TempArchive file(bytes);
    GrfArchive archive(file.Path());
    const GrfEntry& e = archive.Entries()[0];
    EXPECT_EQ(e.offset + e.compressed_size, 46 + (bytes[30] | bytes[31] << 8));
    EXPECT_EQ(archive.Read(e), built[0].content);
}

TEST(GrfArchive, ScrambledEntryWithAlignedSizeBelowCompressedFails) {
    std::vector<GrfBuildEntry> built = {
        {.name = "a.bin", .content = RandomBytes(300, 5), .cipher = EntryCipher::kMixed}};
    std::vector<uint8_t> bytes = BuildGrf(0x200, built);
    TempArchive good(bytes);
    GrfArchive archive(good.Path());
    GrfEntry e = archive.Entries()[0];
    e.aligned_size = e.compressed_size - 1;
    EXPECT_EQ(testing::ErrorOf([&] { archive.Read(e); }), kErrInvalidFormat);
}

}  // namespace
}  // namespace plovant
