#include "archive/grf_names.h"

#include <gtest/gtest.h>

namespace plovant {
namespace {

TEST(GrfNames, FoldingLowersAsciiOnlyAndUnifiesSeparators) {
    EXPECT_EQ(FoldName("Data/Texture\\A@Z[`{.BMP"), "data\\texture\\a@z[`{.bmp");
    // Bytes of multi-byte characters are never letters, even when they look like one.
    EXPECT_EQ(FoldName("\xC3\x81X"), "\xC3\x81x");
    EXPECT_EQ(FoldName("유저A"), "유저a");
    EXPECT_EQ(FoldName("\x7F\x80\xFF"), "\x7F\x80\xFF");
}

TEST(GrfNames, PatternsMatchWholeNamesWithoutCase) {
    EXPECT_TRUE(MatchesPattern("data\\model\\*.rsm", "DATA\\Model\\house.RSM"));
    EXPECT_TRUE(
        MatchesPattern("data/model/*.rsm", "data\\model\\sub\\deep.rsm"));  // * crosses folders
    EXPECT_FALSE(MatchesPattern("data\\model\\*.rsm", "data\\model\\house.rsm2"));
    EXPECT_FALSE(MatchesPattern("model\\*.rsm", "data\\model\\house.rsm"));  // whole name
    EXPECT_TRUE(MatchesPattern("*", ""));
    EXPECT_FALSE(MatchesPattern("?", ""));
    EXPECT_TRUE(MatchesPattern("a*b*c", "aXXbYYbZZc"));
    EXPECT_FALSE(MatchesPattern("a*b*c", "aXXbYYbZZ"));
    EXPECT_TRUE(MatchesPattern("**x", "x"));
    // ? is one character, also a Korean one of three bytes.
    EXPECT_TRUE(MatchesPattern("??.txt", "안녕.txt"));
    EXPECT_FALSE(MatchesPattern("?.txt", "안녕.txt"));
    EXPECT_TRUE(MatchesPattern("*녕*", "안녕하세요.txt"));
    EXPECT_TRUE(IsPattern("a?b"));
    EXPECT_FALSE(IsPattern("data\\a.rsm"));
}

TEST(GrfNames, ExtractionPathRefusesNamesThatLeaveTheFolder) {
    std::string reason;
    for (const char* bad : {"..\\..\\x", "data\\..\\..\\x", "..", "data/../x", "\\etc\\passwd",
                            "/etc/passwd", "C:\\x", "c:x", "", "\\", ".\\.", "data\\..\\"}) {
        EXPECT_FALSE(ExtractionPath(bad, reason)) << bad;
        EXPECT_FALSE(reason.empty());
    }
    EXPECT_EQ(ExtractionPath("data\\texture\\a.bmp", reason),
              std::filesystem::path("data") / "texture" / "a.bmp");
    // Empty and "." components are dropped; "..." and "..a" are ordinary names.
    EXPECT_EQ(ExtractionPath("data\\\\.\\a", reason), std::filesystem::path("data") / "a");
    EXPECT_EQ(ExtractionPath("...\\..a", reason), std::filesystem::path("...") / "..a");
}

}  // namespace
}  // namespace plovant
