// Textures read from a data location: a folder as before, an archive by its bytes, and the
// names neither holds.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include "archive/data_location.h"
#include "archive/grf_builder.h"
#include "device/texture_loader.h"
#include "support/error_of.h"

namespace plovant {
namespace {

using namespace plovant::dx7;

// 3 × 2: magenta, white, dark grey / red, green, blue, encoded as `format`.
std::vector<uint8_t> Picture(const char* format) {
    QImage image(3, 2, QImage::Format_RGB32);
    const uint32_t pixels[6] = {0xFFFF00FF, 0xFFFFFFFF, 0xFF081018,
                                0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (int i = 0; i < 6; ++i) image.setPixel(i % 3, i / 3, pixels[i]);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

class LocationTextures : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(QDir(dir_.path()).mkpath("data/texture"));
        ASSERT_TRUE(QDir(dir_.path()).mkpath("program"));
        QImage blank(2, 2, QImage::Format_RGB32);
        blank.fill(0xFF808080);
        ASSERT_TRUE(blank.save(dir_.filePath("program/blank.bmp"), "BMP"));
        const std::vector<uint8_t> bmp = Picture("BMP");
        QFile file(dir_.filePath("data/texture/wall.bmp"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bmp.data()), qint64(bmp.size()));
        file.close();
        const std::vector<uint8_t> archive = BuildGrf(
            0x200, {{.name = "data\\texture\\wall.bmp", .content = bmp},
                    {.name = "data\\texture\\Sub\\glass.png", .content = Picture("PNG")},
                    {.name = "data\\texture\\broken.png", .content = {0x89, 'P', 'N', 'G', 1, 2}}});
        QFile grf(dir_.filePath("data.grf"));
        ASSERT_TRUE(grf.open(QIODevice::WriteOnly));
        grf.write(reinterpret_cast<const char*>(archive.data()), qint64(archive.size()));
        grf.close();
        state_.DX = std::make_shared<DirectX7>(DefaultSystemConfig());
        InitDirect3D(state_, &window_);
    }

    std::string Path(const char* relative) const { return dir_.filePath(relative).toStdString(); }

    static RsmModel ModelNaming(std::initializer_list<const char*> names) {
        RsmModel model;
        for (const char* n : names) model.TextureNames.push_back(MakeText40(n));
        model.TextureCount = int32_t(model.TextureNames.size());
        return model;
    }

    static void ExpectThePicture(const SurfacePtr& texture) {
        DDSURFACEDESC2 desc;
        texture->GetSurfaceDesc(desc);
        ASSERT_EQ(desc.dwWidth, 3);
        ASSERT_EQ(desc.dwHeight, 2);
        EXPECT_EQ(desc.ddpfPixelFormat, PixelFormatX1R5G5B5());
        EXPECT_EQ(texture->GetPixel(0, 0), 0x7C1Fu);
        EXPECT_EQ(texture->GetPixel(1, 0), 0x7FFFu);
        EXPECT_EQ(texture->GetPixel(2, 0), 0x0443u);
        EXPECT_EQ(texture->GetPixel(2, 1), 0x001Fu);
        DDCOLORKEY key;
        texture->GetColorKey(DDCKEY_SRCBLT, key);
        EXPECT_EQ(key, (DDCOLORKEY{0x7C1F, 0x7C1F}));
    }

    QTemporaryDir dir_;
    OffscreenWindow window_{QRect(0, 0, 64, 64)};
    DeviceState state_;
};

TEST_F(LocationTextures, ArchiveBitmapAndPngLoadLikeAFolderBitmap) {
    const auto archive = OpenDataLocation(Path("data.grf"));
    const auto folder = OpenDataLocation(Path("data"));
    std::vector<std::string> missing;
    const RsmModel model = ModelNaming({"WALL.BMP", "sub/GLASS.png", "none.bmp"});
    const auto from_archive = LoadModelTextures(state_, model, *archive, Path("program"), &missing);
    ASSERT_EQ(from_archive.size(), 4u);
    EXPECT_EQ(from_archive[3], nullptr);
    ExpectThePicture(from_archive[0]);
    ExpectThePicture(from_archive[1]);
    EXPECT_EQ(missing, std::vector<std::string>({"none.bmp"}));
    EXPECT_EQ(from_archive[2]->GetPixel(0, 0), 0x4210u);  // the grey stand-by bitmap

    missing.clear();
    const auto from_folder = LoadModelTextures(state_, model, *folder, Path("program"), &missing);
    ExpectThePicture(from_folder[0]);
    EXPECT_EQ(missing, std::vector<std::string>({"sub/GLASS.png", "none.bmp"}));
}

TEST_F(LocationTextures, EmptyAndRepeatedNamesCountAsMissingEachTime) {
    const auto archive = OpenDataLocation(Path("data.grf"));
    std::vector<std::string> missing;
    const RsmModel model = ModelNaming({"", "x.bmp", "x.bmp", "wall.bmp"});
    const auto textures = LoadModelTextures(state_, model, *archive, Path("program"), &missing);
    EXPECT_EQ(textures.size(), 5u);
    EXPECT_EQ(missing, std::vector<std::string>({"", "x.bmp", "x.bmp"}));
}

TEST_F(LocationTextures, UnreadableArchiveTextureIsAnErrorNamingIt) {
    const auto archive = OpenDataLocation(Path("data.grf"));
    try {
        LoadModelTextures(state_, ModelNaming({"wall.bmp", "broken.png"}), *archive,
                          Path("program"));
        ADD_FAILURE() << "a broken picture was loaded";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrInvalidFormat);
        EXPECT_NE(e.description().find("broken.png"), std::string::npos) << e.description();
        EXPECT_NE(e.description().find("data.grf"), std::string::npos) << e.description();
    }
}

}  // namespace
}  // namespace plovant
