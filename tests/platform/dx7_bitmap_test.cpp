// CreateSurfaceFromFile: every Windows bitmap variant the game's textures may use loads
// with the right colours, truncated into the surface's format; bad files are refused
// with an error naming the file.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "errors/error.h"
#include "platform/dx7/dx7.h"
#include "platform/bmp_builder.h"

namespace plovant::dx7 {
namespace {

using testing::BmpLayout;
using testing::BuildBmp;
using testing::PackRows;

// The picture every full-colour variant holds, top row first: magenta, white, a dark
// colour whose channels truncate to 1, 2, 3 in 5 bits, a grey that truncates to 0; then
// red, green, blue, black.
const std::vector<uint32_t> kColours = {0xFF00FF, 0xFFFFFF, 0x081018, 0x070707,
                                        0xFF0000, 0x00FF00, 0x0000FF, 0x000000};
const std::vector<std::vector<uint32_t>> kIndices = {{0, 1, 2, 3}, {4, 5, 6, 7}};
const std::vector<std::vector<uint32_t>> kPixels = {{0xFF00FF, 0xFFFFFF, 0x081018, 0x070707},
                                                    {0xFF0000, 0x00FF00, 0x0000FF, 0x000000}};
// The same picture in X1R5G5B5 by truncation.
const uint16_t kExpected555[2][4] = {{0x7C1F, 0x7FFF, 0x0443, 0x0000},
                                     {0x7C00, 0x03E0, 0x001F, 0x0000}};

class BitmapTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ddraw_ = dx_.DirectDrawCreate("");
    }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = dir_.filePath(QString::fromStdString(name)).toStdString();
        testing::WriteFile(path, bytes);
        return path;
    }

    static DDSURFACEDESC2 TextureDesc(const DDPIXELFORMAT& format) {
        DDSURFACEDESC2 desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        desc.ddpfPixelFormat = format;
        return desc;
    }

    SurfacePtr Load555(const std::string& path) {
        return ddraw_->CreateSurfaceFromFile(path, TextureDesc(PixelFormatX1R5G5B5()));
    }

    static void ExpectPicture555(const SurfacePtr& surface) {
        ASSERT_EQ(surface->Width(), 4);
        ASSERT_EQ(surface->Height(), 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(surface->GetPixel(x, y), kExpected555[y][x]) << "pixel " << x << ", " << y;
    }

    QTemporaryDir dir_;
    DirectX7 dx_;
    DirectDraw7Ptr ddraw_;
};

TEST_F(BitmapTest, PalettizedVariantsLoadWithTheirColours) {
    BmpLayout layout{.width = 4, .height = 2, .bits = 8, .palette = kColours};
    layout.data = PackRows(kIndices, 8);
    ExpectPicture555(Load555(Write("p8.bmp", BuildBmp(layout))));

    layout.bits = 4;
    layout.data = PackRows(kIndices, 4);
    ExpectPicture555(Load555(Write("p4.bmp", BuildBmp(layout))));

    layout.bits = 8;
    layout.compression = testing::kBiRle8;
    layout.data = testing::EncodeRle8(kIndices);
    ExpectPicture555(Load555(Write("rle8.bmp", BuildBmp(layout))));

    layout.bits = 4;
    layout.compression = testing::kBiRle4;
    layout.data = testing::EncodeRle4(kIndices);
    ExpectPicture555(Load555(Write("rle4.bmp", BuildBmp(layout))));
}

TEST_F(BitmapTest, MonochromeBitmapUsesItsTwoColours) {
    BmpLayout layout{.width = 3, .height = 2, .bits = 1, .palette = {0x000000, 0xFF00FF}};
    layout.data = PackRows({{1, 0, 1}, {0, 1, 1}}, 1);
    const SurfacePtr s = Load555(Write("p1.bmp", BuildBmp(layout)));
    EXPECT_EQ(s->GetPixel(0, 0), 0x7C1Fu);
    EXPECT_EQ(s->GetPixel(1, 0), 0u);
    EXPECT_EQ(s->GetPixel(2, 0), 0x7C1Fu);
    EXPECT_EQ(s->GetPixel(0, 1), 0u);
    EXPECT_EQ(s->GetPixel(1, 1), 0x7C1Fu);
}

TEST_F(BitmapTest, FullColourVariantsLoadWithTheirColours) {
    BmpLayout layout{.width = 4, .height = 2, .bits = 24};
    layout.data = PackRows(kPixels, 24);
    ExpectPicture555(Load555(Write("c24.bmp", BuildBmp(layout))));

    layout.bits = 32;
    layout.data = PackRows(kPixels, 32);
    ExpectPicture555(Load555(Write("c32.bmp", BuildBmp(layout))));

    layout.bits = 24;
    layout.top_down = true;
    layout.data = PackRows(kPixels, 24, true);
    ExpectPicture555(Load555(Write("topdown.bmp", BuildBmp(layout))));
}

TEST_F(BitmapTest, SixteenBitVariantsLoadExactly) {
    // 5-5-5 (plain 16-bit): the stored values come back unchanged.
    std::vector<std::vector<uint32_t>> raw555(2, std::vector<uint32_t>(4));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) raw555[y][x] = kExpected555[y][x];
    BmpLayout layout{.width = 4, .height = 2, .bits = 16};
    layout.data = PackRows(raw555, 16);
    ExpectPicture555(Load555(Write("c555.bmp", BuildBmp(layout))));

    // 5-6-5 bit fields: magenta 0xF81F, white 0xFFFF, (1, 4, 3), black ...
    layout.compression = testing::kBiBitfields;
    layout.masks = {0xF800, 0x07E0, 0x001F};
    layout.data = PackRows({{0xF81F, 0xFFFF, 0x0883, 0x0000}, {0xF800, 0x07E0, 0x001F, 0x0000}}, 16);
    ExpectPicture555(Load555(Write("c565.bmp", BuildBmp(layout))));
}

TEST_F(BitmapTest, Os2HeadersLoad) {
    // An OS/2 header has no colour count: the palette holds 2^bits entries.
    std::vector<uint32_t> palette = kColours;
    palette.resize(256, 0);
    BmpLayout layout{.width = 4, .height = 2, .bits = 8, .os2 = true, .palette = palette};
    layout.data = PackRows(kIndices, 8);
    ExpectPicture555(Load555(Write("os2_8.bmp", BuildBmp(layout))));

    BmpLayout full{.width = 4, .height = 2, .bits = 24, .os2 = true};
    full.data = PackRows(kPixels, 24);
    ExpectPicture555(Load555(Write("os2_24.bmp", BuildBmp(full))));
}

TEST_F(BitmapTest, ConvertsIntoEachSurfaceFormatByTruncation) {
    BmpLayout layout{.width = 4, .height = 2, .bits = 24};
    layout.data = PackRows(kPixels, 24);
    const std::string path = Write("c24.bmp", BuildBmp(layout));

    const SurfacePtr r565 = ddraw_->CreateSurfaceFromFile(path, TextureDesc(PixelFormatR5G6B5()));
    EXPECT_EQ(r565->GetPixel(0, 0), 0xF81Fu);  // magenta
    EXPECT_EQ(r565->GetPixel(2, 0), (1u << 11) | (4u << 5) | 3u);
    const SurfacePtr a4 = ddraw_->CreateSurfaceFromFile(path, TextureDesc(PixelFormatA4R4G4B4()));
    EXPECT_EQ(a4->GetPixel(0, 0), 0xFF0Fu);  // opaque magenta
    const SurfacePtr x8 = ddraw_->CreateSurfaceFromFile(path, TextureDesc(PixelFormatX8R8G8B8()));
    EXPECT_EQ(x8->GetPixel(2, 0), 0x081018u);

    // Without a pixel format the surface is 32-bit.
    DDSURFACEDESC2 plain;
    const SurfacePtr s = ddraw_->CreateSurfaceFromFile(path, plain);
    EXPECT_EQ(s->PixelFormat(), PixelFormatX8R8G8B8());
    EXPECT_EQ(s->GetPixel(3, 0), 0x070707u);
}

TEST_F(BitmapTest, GivenSizeStretchesTheBitmap) {
    BmpLayout layout{.width = 4, .height = 2, .bits = 24};
    layout.data = PackRows(kPixels, 24);
    DDSURFACEDESC2 desc = TextureDesc(PixelFormatX1R5G5B5());
    desc.dwWidth = 8;
    desc.dwHeight = 4;
    const SurfacePtr s = ddraw_->CreateSurfaceFromFile(Write("c24.bmp", BuildBmp(layout)), desc);
    ASSERT_EQ(s->Width(), 8);
    ASSERT_EQ(s->Height(), 4);
    EXPECT_EQ(s->GetPixel(1, 1), 0x7C1Fu);
    EXPECT_EQ(s->GetPixel(7, 3), 0u);
    EXPECT_EQ(s->GetPixel(3, 2), 0x03E0u);
}

TEST_F(BitmapTest, BackslashesSeparateFolders) {
    BmpLayout layout{.width = 4, .height = 2, .bits = 24};
    layout.data = PackRows(kPixels, 24);
    ASSERT_TRUE(QDir(dir_.path()).mkdir("sub"));
    Write("sub/c24.bmp", BuildBmp(layout));
    ExpectPicture555(Load555(dir_.path().toStdString() + "\\sub\\c24.bmp"));
}

TEST_F(BitmapTest, MissingFileIsAnErrorNamingIt) {
    const std::string path = dir_.filePath("absent.bmp").toStdString();
    try {
        Load555(path);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrFileNotFound);
        EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
    }
}

TEST_F(BitmapTest, FilesThatAreNotReadableBitmapsAreErrorsNamingTheFile) {
    BmpLayout layout{.width = 4, .height = 2, .bits = 24};
    layout.data = PackRows(kPixels, 24);
    const std::vector<uint8_t> good = BuildBmp(layout);

    std::vector<std::vector<uint8_t>> bad;
    bad.push_back({});                                             // empty
    bad.push_back({'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'});  // text
    bad.push_back(std::vector<uint8_t>(good.begin(), good.begin() + 30));  // header cut short
    bad.push_back(std::vector<uint8_t>(good.begin(), good.end() - 10));    // pixels cut short
    std::vector<uint8_t> huge = good;
    huge[18] = 0xFF;  // width 0x00FF0004
    huge[20] = 0xFF;
    bad.push_back(huge);
    std::vector<uint8_t> odd_header = good;
    odd_header[14] = 8;  // a header size no bitmap has
    bad.push_back(odd_header);
    // A few bytes of run-length data describing a picture far larger than any texture.
    BmpLayout bomb{.width = 5000, .height = 5000, .bits = 8, .compression = testing::kBiRle8,
                 .palette = {0, 0xFFFFFF}};
    bomb.data = {0, 1};
    bad.push_back(BuildBmp(bomb));
    // A PNG named .bmp is not a Windows bitmap.
    bad.push_back({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'});

    for (size_t i = 0; i < bad.size(); ++i) {
        const std::string path = Write("bad" + std::to_string(i) + ".bmp", bad[i]);
        try {
            Load555(path);
            ADD_FAILURE() << "case " << i << " loaded";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), kErrInvalidFormat) << "case " << i;
            EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
        }
    }
}

TEST_F(BitmapTest, FolderIsNotABitmap) {
    try {
        Load555(dir_.path().toStdString());
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(e.description().find(dir_.path().toStdString()), std::string::npos);
    }
}

}  // namespace
}  // namespace plovant::dx7
