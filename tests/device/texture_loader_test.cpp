// LoadTexture: format choice, colour key, stand-by bitmap, path lookup and failures.
#include <gtest/gtest.h>

#include <filesystem>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "device/texture_loader.h"
#include "platform/executable_folder.h"

namespace plovant {
namespace {

using namespace plovant::dx7;

// A 3 × 2 bitmap: magenta, white, dark grey / red, green, blue.
void WriteBitmap(const QString& path) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, 0xFFFF00FF);
    image.setPixel(1, 0, 0xFFFFFFFF);
    image.setPixel(2, 0, 0xFF081018);
    image.setPixel(0, 1, 0xFFFF0000);
    image.setPixel(1, 1, 0xFF00FF00);
    image.setPixel(2, 1, 0xFF0000FF);
    ASSERT_TRUE(image.save(path, "BMP"));
}

class TextureLoading : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(QDir(dir_.path()).mkpath("data/texture"));
        ASSERT_TRUE(QDir(dir_.path()).mkpath("program"));
        WriteBitmap(dir_.filePath("data/texture/Wall.bmp"));
        // The stand-by bitmap of the test's program folder: 2 × 2 grey.
        QImage blank(2, 2, QImage::Format_RGB32);
        blank.fill(0xFF808080);
        ASSERT_TRUE(blank.save(dir_.filePath("program/blank.bmp"), "BMP"));
        Init(DefaultSystemConfig());
    }

    void Init(const SystemConfig& config) {
        state_ = DeviceState{};
        state_.DX = std::make_shared<DirectX7>(config);
        InitDirect3D(state_, &window_);
    }

    std::string Path(const QString& relative) const { return dir_.filePath(relative).toStdString(); }
    std::string Program() const { return Path("program"); }

    QTemporaryDir dir_;
    OffscreenWindow window_{QRect(0, 0, 64, 64)};
    DeviceState state_;
};

TEST_F(TextureLoading, LoadsIntoX1R5G5B5WithTheMagentaKey) {
    const SurfacePtr texture = LoadTexture(state_, Path("data/texture/Wall.bmp"), Program());
    DDSURFACEDESC2 desc;
    texture->GetSurfaceDesc(desc);
    EXPECT_EQ(desc.ddpfPixelFormat, PixelFormatX1R5G5B5());
    EXPECT_EQ(desc.dwWidth, 3);  // the bitmap's own size, no power of two
    EXPECT_EQ(desc.dwHeight, 2);
    EXPECT_TRUE(desc.ddsCaps.dwCaps & DDSCAPS_TEXTURE);
    EXPECT_EQ(desc.ddsCaps.dwCaps2, DDSCAPS2_TEXTUREMANAGE);
    DDCOLORKEY key;
    texture->GetColorKey(DDCKEY_SRCBLT, key);
    EXPECT_EQ(key, (DDCOLORKEY{0x7C1F, 0x7C1F}));
    EXPECT_EQ(texture->GetPixel(0, 0), 0x7C1Fu);  // magenta is the key
    EXPECT_EQ(texture->GetPixel(1, 0), 0x7FFFu);
    EXPECT_EQ(texture->GetPixel(2, 0), 0x0443u);  // truncated
    EXPECT_EQ(texture->GetPixel(2, 1), 0x001Fu);

    // Two loads of one file are two surfaces.
    EXPECT_NE(LoadTexture(state_, Path("data/texture/Wall.bmp"), Program()), texture);
}

TEST_F(TextureLoading, MagentaTexelsAreTransparentWhenDrawn) {
    const SurfacePtr texture = LoadTexture(state_, Path("data/texture/Wall.bmp"), Program());
    Direct3DDevice7& device = *state_.D3DDevice;
    device.SetViewport(D3DVIEWPORT7{0, 0, 3, 2, 0, 1});
    device.SetTransform(D3DTRANSFORMSTATE_VIEW, D3DMATRIX{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    device.SetTransform(D3DTRANSFORMSTATE_PROJECTION, D3DMATRIX{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    device.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x000000FF, 1, 0);
    device.SetTexture(0, texture);
    const D3DVERTEX quad[6] = {{-1, 1, 0.5f, 0, 0, -1, 0, 0},  {1, 1, 0.5f, 0, 0, -1, 1, 0},
                               {-1, -1, 0.5f, 0, 0, -1, 0, 1}, {1, 1, 0.5f, 0, 0, -1, 1, 0},
                               {1, -1, 0.5f, 0, 0, -1, 1, 1},  {-1, -1, 0.5f, 0, 0, -1, 0, 1}};
    device.BeginScene();
    device.DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, quad, 6, 0);
    device.EndScene();
    EXPECT_EQ(state_.BackBuffer->GetPixel(0, 0) & 0xFFFFFF, 0x0000FFu);  // background
    EXPECT_EQ(state_.BackBuffer->GetPixel(1, 0) & 0xFFFFFF, 0xFFFFFFu);  // white, lit white
    EXPECT_EQ(state_.BackBuffer->GetPixel(0, 1) & 0xFFFFFF, 0xFF0000u);
}

TEST_F(TextureLoading, FirstSixteenBitFormatWithoutAlphaIsChosenAfresh) {
    SystemConfig config = DefaultSystemConfig();
    config.texture_formats = {PixelFormatA8R8G8B8(), PixelFormatR5G6B5(), PixelFormatX1R5G5B5()};
    Init(config);
    const SurfacePtr texture = LoadTexture(state_, Path("data/texture/Wall.bmp"), Program());
    EXPECT_EQ(texture->PixelFormat(), PixelFormatR5G6B5());
    EXPECT_EQ(texture->GetPixel(0, 0), 0xF81Fu);  // magenta is not the key 0x7C1F here
    EXPECT_EQ(texture->RasterTexture().texels[0], 0xFFFF00FFu);  // and so stays opaque

    // No acceptable format: the last one listed is used.
    config.texture_formats = {PixelFormatA1R5G5B5(), PixelFormatX8R8G8B8()};
    Init(config);
    EXPECT_EQ(LoadTexture(state_, Path("data/texture/Wall.bmp"), Program())->PixelFormat(),
              PixelFormatX8R8G8B8());

    // No formats at all: nothing usable, an error naming the file.
    config.texture_formats.clear();
    Init(config);
    try {
        LoadTexture(state_, Path("data/texture/Wall.bmp"), Program());
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), DDERR_INVALIDPIXELFORMAT);
        EXPECT_NE(e.description().find("Wall.bmp"), std::string::npos) << e.description();
    }
}

TEST_F(TextureLoading, MissingFileGivesTheStandbyBitmap) {
    const SurfacePtr texture = LoadTexture(state_, Path("data/texture/missing.bmp"), Program());
    EXPECT_EQ(texture->Width(), 2);
    EXPECT_EQ(texture->Height(), 2);
    EXPECT_EQ(texture->GetPixel(1, 1), 0x4210u);  // grey 128 → 16 in each 5-bit channel
    DDCOLORKEY key;
    texture->GetColorKey(DDCKEY_SRCBLT, key);
    EXPECT_EQ(key.dwColorSpaceLowValue, 0x7C1Fu);

    // A folder is not a normal file either; nor is an empty name.
    EXPECT_EQ(LoadTexture(state_, Path("data/texture"), Program())->Width(), 2);
    EXPECT_EQ(LoadTexture(state_, "", Program())->Width(), 2);
}

TEST_F(TextureLoading, MissingStandbyBitmapIsAnError) {
    try {
        LoadTexture(state_, Path("data/texture/missing.bmp"), Path("nowhere"));
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrFileNotFound);
        EXPECT_NE(e.description().find("blank.bmp"), std::string::npos) << e.description();
    }
}

TEST_F(TextureLoading, ThePathEndsAtItsFirstNul) {
    std::string padded = Path("data/texture/Wall.bmp");
    padded.append(40, '\0');
    padded += "garbage";
    EXPECT_EQ(LoadTexture(state_, padded, Program())->Width(), 3);
}

TEST_F(TextureLoading, WindowsStylePathsAreFound) {
    const std::string windows = dir_.path().toStdString() + "\\DATA\\Texture\\WALL.BMP";
    EXPECT_EQ(LoadTexture(state_, windows, Program())->Width(), 3);
}

TEST_F(TextureLoading, CorruptBitmapIsAnErrorNamingTheFile) {
    QFile file(dir_.filePath("data/texture/broken.bmp"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("BM this is not a bitmap at all");
    file.close();
    try {
        LoadTexture(state_, Path("data/texture/broken.bmp"), Program());
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrInvalidFormat);
        EXPECT_NE(e.description().find("broken.bmp"), std::string::npos) << e.description();
    }
}

TEST_F(TextureLoading, ShippedStandbyBitmapLiesBesideTheProgram) {
    // The build copies "blank.bmp" beside every program, this test included.
    EXPECT_TRUE(std::filesystem::equivalent(ExecutableFolder(), PLOVANT_BIN_DIR));
    const SurfacePtr texture = LoadTexture(state_, Path("data/texture/missing.bmp"));
    EXPECT_GT(texture->Width(), 0);
    EXPECT_EQ(texture->PixelFormat(), PixelFormatX1R5G5B5());
}

TEST_F(TextureLoading, NeedsTheDevice) {
    DeviceState empty;
    try {
        LoadTexture(empty, Path("data/texture/Wall.bmp"), Program());
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), DDERR_INVALIDOBJECT);
    }
}

}  // namespace
}  // namespace plovant
