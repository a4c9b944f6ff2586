// Archives written by other projects' tools: our reader must agree with theirs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "archive/grf_archive.h"
#include "archive/grf_test_files.h"

namespace plovant {
namespace {

using testing::InteropFile;

std::vector<std::pair<uint32_t, std::string>> Listing(const GrfArchive& archive) {
    std::vector<std::pair<uint32_t, std::string>> listing;
    for (const GrfEntry& e : archive.Entries()) listing.emplace_back(e.real_size, e.display_name);
    return listing;
}

TEST(GrfInterop, KorangarArchiveHoldsItsTwentyTwoPngs) {
    GrfArchive archive(InteropFile("korangar-textures.grf").string());
    EXPECT_EQ(archive.Version(), 0x200u);
    ASSERT_EQ(archive.Entries().size(), 22u);
    const auto listing = Listing(archive);
    EXPECT_EQ(listing.front(), std::make_pair(263368u, std::string("data\\texture\\effect.png")));
    EXPECT_EQ(listing[1], std::make_pair(5794424u, std::string("data\\texture\\font.png")));
    EXPECT_EQ(listing.back(), std::make_pair(13430u, std::string("data\\texture\\goal.png")));
    for (const GrfEntry& e : archive.Entries()) {
        const std::vector<uint8_t> png = archive.Read(e);
        ASSERT_EQ(png.size(), e.real_size);
        EXPECT_EQ(0, std::memcmp(png.data(), "\x89PNG\r\n\x1A\n", 8)) << e.display_name;
    }
    ASSERT_NE(archive.Find("DATA/TEXTURE/Straight.PNG"), nullptr);
    EXPECT_EQ(archive.Find("DATA/TEXTURE/Straight.PNG")->real_size, 14027u);
}

TEST(GrfInterop, RagLiteArchiveHasSubfolderUpperCaseAndKoreanNames) {
    GrfArchive archive(InteropFile("raglite-test.grf").string());
    const std::vector<std::pair<uint32_t, std::string>> expected = {
        {78, "subdirectory\\hello.txt"},
        {62, "hello-grf.txt"},
        {189, "UPPERCASE.PNG"},
        {18, "안녕하세요.txt"},
    };
    EXPECT_EQ(Listing(archive), expected);
    const GrfEntry* korean = archive.Find("안녕하세요.TXT");
    ASSERT_NE(korean, nullptr);
    const std::vector<uint8_t> text = archive.Read(*korean);
    EXPECT_EQ(text.size(), 18u);
    const std::vector<uint8_t> hello = archive.Read(*archive.Find("Hello-GRF.txt"));
    EXPECT_EQ(std::string(hello.begin(), hello.end()).substr(0, 5), "I'm a");
}

TEST(GrfInterop, RagLiteArchiveOfEmptyFilesReadsThemAsEmpty) {
    GrfArchive archive(InteropFile("raglite-missing-map-files.grf").string());
    ASSERT_EQ(archive.Entries().size(), 11u);
    EXPECT_EQ(archive.Entries().front().display_name, "data\\123.gat");
    EXPECT_EQ(archive.Entries().back().display_name, "data\\rsw-only.rsw");
    for (const GrfEntry& e : archive.Entries()) {
        EXPECT_EQ(e.real_size, 0u);
        EXPECT_EQ(e.compressed_size, 8u);  // an empty zlib stream
        EXPECT_TRUE(archive.Read(e).empty());
    }
}

}  // namespace
}  // namespace plovant
