// Opening a model as the viewer does: reading and centring, the texture paths, loading
// every texture name with the stand-by bitmap for missing files, and failures that leave
// the caller's model and textures alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform_window.h"
#include "render/model_view.h"

namespace plovant {
namespace {

namespace fs = std::filesystem;
const std::string kData = std::string(PLOVANT_SAMPLES_DIR) + "/data";

struct Device {
    Device() : window(QRect(0, 0, 32, 32)) { InitDirect3D(state, &window); }
    OffscreenWindow window;
    DeviceState state;
};

// A temporary data folder with a "texture" subfolder.
struct DataFolder {
    DataFolder() {
        path = fs::temp_directory_path() /
               ("plovant_model_view_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(path / "texture");
    }
    ~DataFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path / "texture" / name, std::ios::binary) << bytes;
    }
    fs::path path;
};

QSize SurfaceSize(const dx7::SurfacePtr& s) { return QSize(s->Width(), s->Height()); }

QSize BitmapSize(const fs::path& path) { return QImage(QString::fromStdString(path.string())).size(); }

TEST(ModelView, TexturePathJoinsDataFolderTextureAndNameUpToItsNul) {
    Text40 name = MakeText40("wall.bmp");
    name[20] = 'x';  // bytes after the first NUL do not count
    EXPECT_EQ(TexturePath("C:\\Data", name), "C:\\Data\\texture\\wall.bmp");
    Text40 full;
    full.fill('a');
    EXPECT_EQ(TexturePath("", full), "\\texture\\" + std::string(40, 'a'));
}

TEST(ModelView, ReadViewModelReadsAndCentresTheFirstMesh) {
    const OpenedModel opened = ReadViewModel(kData + "/house.rsm");
    ASSERT_GE(opened.model.MeshCount, 1);
    EXPECT_GT(opened.extent, 0.0f);
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    for (const RsmVertex& v : opened.model.Meshes[0].Vertices) {
        const float c[3] = {v.X, v.Y, v.Z};
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::min(lo[i], c[i]);
            hi[i] = std::max(hi[i], c[i]);
        }
    }
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(lo[i] + hi[i], 0.0f, 1e-4f * opened.extent);
    EXPECT_FLOAT_EQ(std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]}), opened.extent);
}

TEST(ModelView, ReadViewModelFailureNamesTheFile) {
    try {
        ReadViewModel(kData + "/no such model.rsm");
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_NE(e.description().find("no such model.rsm"), std::string::npos) << e.description();
    }
}

TEST(ModelView, EveryTextureNameIsLoadedInOrderWithTheStandByForMissingFiles) {
    Device device;
    const OpenedModel windmill = ReadViewModel(kData + "/windmill.rsm");
    const auto textures = LoadViewTextures(device.state, windmill.model, kData, PLOVANT_BIN_DIR);
    ASSERT_EQ(textures.size(), static_cast<size_t>(windmill.model.TextureCount) + 1);
    EXPECT_EQ(textures.back(), nullptr);
    const QSize standby = BitmapSize(fs::path(PLOVANT_BIN_DIR) / "blank.bmp");
    int missing = 0;
    for (int i = 0; i < windmill.model.TextureCount; ++i) {
        ASSERT_NE(textures[i], nullptr);
        const fs::path file = fs::path(kData) / "texture" / std::string(TextOf(windmill.model.TextureNames[i]));
        if (fs::exists(file)) {
            EXPECT_EQ(SurfaceSize(textures[i]), BitmapSize(file)) << file;
        } else {
            ++missing;
            EXPECT_EQ(SurfaceSize(textures[i]), standby);
        }
        // 16-bit textures with the magenta key.
        EXPECT_EQ(textures[i]->PixelFormat().dwRGBBitCount, 16u);
    }
    EXPECT_EQ(missing, 1);  // the windmill's sails
}

TEST(ModelView, ANameThatStandsTwiceIsLoadedTwice) {
    Device device;
    RsmModel model;
    model.TextureCount = 3;
    model.TextureNames = {MakeText40("house_wall.bmp"), MakeText40("house_wall.bmp"),
                          MakeText40("house_roof.bmp"), Text40{}};
    const auto textures = LoadViewTextures(device.state, model, kData, PLOVANT_BIN_DIR);
    ASSERT_EQ(textures.size(), 4u);
    EXPECT_NE(textures[0], textures[1]);
    EXPECT_EQ(SurfaceSize(textures[0]), SurfaceSize(textures[1]));
    EXPECT_EQ(SurfaceSize(textures[0]), BitmapSize(fs::path(kData) / "texture/house_wall.bmp"));
    EXPECT_EQ(SurfaceSize(textures[2]), BitmapSize(fs::path(kData) / "texture/house_roof.bmp"));
}

TEST(ModelView, AnUnreadableBitmapFailsNamingItAndLeavesTheCallersTexturesAlone) {
    Device device;
    DataFolder data;
    data.Write("good.bmp", "");
    fs::copy_file(fs::path(kData) / "texture/house_wall.bmp", data.path / "texture/good.bmp",
                  fs::copy_options::overwrite_existing);
    data.Write("broken.bmp", "BM this is not a bitmap");
    RsmModel model;
    model.TextureCount = 2;
    model.TextureNames = {MakeText40("good.bmp"), MakeText40("broken.bmp"), Text40{}};

    const OpenedModel house = ReadViewModel(kData + "/house.rsm");
    std::vector<dx7::SurfacePtr> textures =
        LoadViewTextures(device.state, house.model, kData, PLOVANT_BIN_DIR);
    const std::vector<dx7::SurfacePtr> before = textures;
    try {
        textures = LoadViewTextures(device.state, model, data.path.string(), PLOVANT_BIN_DIR);
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_NE(e.description().find("broken.bmp"), std::string::npos) << e.description();
    }
    EXPECT_EQ(textures, before);
}

}  // namespace
}  // namespace plovant
