// Finding texture files named the Windows way on a case-sensitive file system.
#include <gtest/gtest.h>

#include <fstream>

#include <QDir>
#include <QTemporaryDir>

#include "platform/file_lookup.h"

namespace plovant {
namespace {

// "한글" as the game data stores it (CP949) and as the file system stores it (UTF-8).
const std::string kKoreanCp949 = "\xC7\xD1\xB1\xDB";
const std::string kKoreanUtf8 = "\xED\x95\x9C\xEA\xB8\x80";

class FileLookup : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        root_ = dir_.path().toStdString();
        ASSERT_TRUE(QDir(dir_.path()).mkpath("Data/Texture/" + QString::fromStdString(kKoreanUtf8)));
        Touch("Data/Texture/Wall.BMP");
        Touch("Data/Texture/" + kKoreanUtf8 + "/Door.bmp");
        Touch("Data/Texture/.hidden.bmp");
        Touch("Data/Texture/exact.bmp");
        Touch("Data/Texture/EXACT.bmp");
    }

    void Touch(const std::string& relative) { std::ofstream(root_ + "/" + relative) << "x"; }

    QTemporaryDir dir_;
    std::string root_;
};

TEST_F(FileLookup, FindsTheNameAsStored) {
    EXPECT_EQ(FindNormalFile(root_ + "/Data/Texture/Wall.BMP"), root_ + "/Data/Texture/Wall.BMP");
    EXPECT_EQ(FindNormalFile(root_ + "\\Data\\Texture\\Wall.BMP"), root_ + "/Data/Texture/Wall.BMP");
}

TEST_F(FileLookup, IgnoresCaseComponentByComponent) {
    EXPECT_EQ(FindNormalFile(root_ + "\\data\\TEXTURE\\wall.bmp"), root_ + "/Data/Texture/Wall.BMP");
    // An exact spelling wins over other spellings.
    EXPECT_EQ(FindNormalFile(root_ + "\\DATA\\texture\\exact.bmp"), root_ + "/Data/Texture/exact.bmp");
    EXPECT_EQ(FindNormalFile(root_ + "\\DATA\\texture\\Exact.bmp"), root_ + "/Data/Texture/EXACT.bmp");
}

TEST_F(FileLookup, DecodesNamesFromTheGamesCodePage) {
    EXPECT_EQ(FindNormalFile(root_ + "\\Data\\Texture\\" + kKoreanCp949 + "\\Door.bmp"),
              root_ + "/Data/Texture/" + kKoreanUtf8 + "/Door.bmp");
    EXPECT_EQ(FindNormalFile(root_ + "\\data\\texture\\" + kKoreanCp949 + "\\DOOR.BMP"),
              root_ + "/Data/Texture/" + kKoreanUtf8 + "/Door.bmp");
}

TEST_F(FileLookup, MatchesOnlyNormalFiles) {
    EXPECT_FALSE(FindNormalFile(root_ + "/Data/Texture/.hidden.bmp"));
    EXPECT_FALSE(FindNormalFile(root_ + "/Data/Texture"));  // a folder
    EXPECT_FALSE(FindNormalFile(root_ + "/Data/Texture/missing.bmp"));
    EXPECT_FALSE(FindNormalFile(root_ + "/No/Such/Folder/wall.bmp"));
    EXPECT_FALSE(FindNormalFile(""));
    EXPECT_FALSE(FindNormalFile(root_ + "\\Data\\Texture\\"));
}

TEST(NativePath, TurnsBackslashesIntoSeparators) {
#ifndef _WIN32
    EXPECT_EQ(NativePath("C:\\Program Files\\data\\texture\\a.bmp"), "C:/Program Files/data/texture/a.bmp");
    EXPECT_EQ(NativePath("/\\blank.bmp"), "//blank.bmp");
#endif
    EXPECT_EQ(NativePath(""), "");
}

}  // namespace
}  // namespace plovant
