#include "archive/data_location.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "archive/archive_location.h"
#include "archive/folder_location.h"
#include "archive/grf_builder.h"
#include "archive/grf_test_files.h"
#include "support/error_of.h"

namespace plovant {
namespace {

using testing::TempArchive;
using testing::Text;

std::vector<uint8_t> TextureArchive() {
    return BuildGrf(
        0x200,
        {
            {.name = "data\\texture\\Wall.bmp", .content = Text("wall")},
            {.name = "data\\texture\\\xC0\xAF\xC0\xFA\\a.bmp", .content = Text("korean")},
            {.name = "data\\model\\wall.bmp", .content = Text("not a texture")},
            {.name = "data\\texture\\broken.bmp", .content = Text("x"), .stated_real_size = 5},
        });
}

TEST(DataLocation, GrfFileOfAnyCaseOpensAsArchive) {
    for (const char* name : {"data.grf", "DATA.GRF", "Data.Grf"}) {
        TempArchive file(TextureArchive(), name);
        const auto location = OpenDataLocation(file.Path());
        EXPECT_NE(dynamic_cast<const ArchiveLocation*>(location.get()), nullptr) << name;
        EXPECT_EQ(location->Path(), file.Path());
    }
}

TEST(DataLocation, FolderOrMissingGrfStaysAFolder) {
    TempArchive file(TextureArchive(), "data.grfx");
    EXPECT_NE(dynamic_cast<const FolderLocation*>(OpenDataLocation(file.Path()).get()), nullptr);
    // A folder named like an archive is a folder; so is a .grf that does not exist.
    std::filesystem::create_directories(file.Folder() / "dir.grf");
    EXPECT_NE(dynamic_cast<const FolderLocation*>(
                  OpenDataLocation((file.Folder() / "dir.grf").string()).get()),
              nullptr);
    EXPECT_NE(dynamic_cast<const FolderLocation*>(
                  OpenDataLocation((file.Folder() / "none.grf").string()).get()),
              nullptr);
}

TEST(DataLocation, ArchiveTexturesAreFoundUnderDataTexture) {
    TempArchive file(TextureArchive());
    const auto location = OpenDataLocation(file.Path());
    EXPECT_EQ(location->ReadTexture("wall.BMP"), Text("wall"));
    EXPECT_EQ(location->ReadTexture(std::string_view("WALL.bmp\0junk", 13)), Text("wall"));
    EXPECT_EQ(location->ReadTexture("\xC0\xAF\xC0\xFA/a.bmp"), Text("korean"));
    EXPECT_FALSE(location->ReadTexture("model\\..\\wall.bmp"));
    EXPECT_FALSE(location->ReadTexture(""));
    EXPECT_FALSE(location->ReadTexture("missing.bmp"));
    // Found but unreadable: an error naming the entry, not "missing".
    EXPECT_EQ(testing::ErrorOf([&] { location->ReadTexture("broken.bmp"); }), kErrInvalidFormat);
}

TEST(DataLocation, ArchiveThatIsNotOneIsAnError) {
    TempArchive file(Text("Master of Magic but not really an archive at all......"), "bad.grf");
    EXPECT_EQ(testing::ErrorOf([&] { OpenDataLocation(file.Path()); }), kErrInvalidFormat);
}

TEST(DataLocation, ReplacedArchiveIsReadAgain) {
    TempArchive file(TextureArchive());
    EXPECT_TRUE(OpenDataLocation(file.Path())->ReadTexture("wall.bmp"));
    const std::vector<uint8_t> other =
        BuildGrf(0x200, {{.name = "data\\texture\\new.bmp", .content = Text("new texture")}});
    std::ofstream(file.Path(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(other.data()), std::streamsize(other.size()));
    const auto location = OpenDataLocation(file.Path());
    EXPECT_FALSE(location->ReadTexture("wall.bmp"));
    EXPECT_EQ(location->ReadTexture("new.bmp"), Text("new texture"));
}

}  // namespace
}  // namespace plovant
