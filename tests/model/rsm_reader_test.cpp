// Reading RSM files: layout, look-ahead between blocks, and every way a file can be
// malformed or cut short.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "errors/error.h"
#include "model/rsm_model.h"
#include "model/rsm_reader.h"
#include "model/rsm_test_file.h"

namespace plovant {
namespace {

using testing::Face;
using testing::MeshSpec;
using testing::Quad;
using testing::RsmFile;

RsmModel Load(const std::vector<uint8_t>& bytes) {
    RsmModel model;
    LoadRsmFromMemory(bytes, "test.rsm", model);
    return model;
}

// The error thrown for `bytes`; fails the test when the file is read.
Error LoadError(const std::vector<uint8_t>& bytes) {
    RsmModel model;
    try {
        LoadRsmFromMemory(bytes, "test.rsm", model);
    } catch (const Error& e) {
        return e;
    }
    ADD_FAILURE() << "the file was read";
    return Error(0, "");
}

bool IsBlank(const RsmMesh& m) {
    return TextOf(m.Name).empty() && TextOf(m.ParentName).empty() && m.TextureCount == 0 &&
           m.VertexCount == 0 && m.TexVertexCount == 0 && m.FaceCount == 0 && m.KeyCount == 0 &&
           m.TextureIds.empty() && m.Vertices.empty() && m.TexVertices.empty() &&
           m.Faces.empty() && m.Keys.empty() && m.DeclaredMeshCount == 0;
}

RsmFile TwoTexturesOneMesh() {
    RsmFile f;
    f.header().textures({"wall.bmp", "roof.bmp"}).firstMesh(Quad("root", "root"));
    return f;
}

TEST(RsmReader, ReadsOneMeshWithEightZeroBytesAfterTheFaces) {
    RsmFile f = TwoTexturesOneMesh();
    f.zeros(8);
    const RsmModel m = Load(f.bytes);
    EXPECT_EQ(m.TextureCount, 2);
    ASSERT_EQ(m.TextureNames.size(), 3u);
    EXPECT_EQ(TextOf(m.TextureNames[0]), "wall.bmp");
    EXPECT_EQ(TextOf(m.TextureNames[1]), "roof.bmp");
    EXPECT_EQ(TextOf(m.TextureNames[2]), "");
    EXPECT_EQ(m.MeshCount, 1);
    ASSERT_EQ(m.Meshes.size(), 2u);
    EXPECT_TRUE(IsBlank(m.Meshes[1]));

    const RsmMesh& mesh = m.Meshes[0];
    EXPECT_EQ(mesh.TextureCount, 1);
    EXPECT_EQ(mesh.TextureIds, std::vector<int32_t>{0});
    EXPECT_EQ(mesh.ParamBlock[0], 0.5f);
    EXPECT_EQ(mesh.ParamBlock[21], 21.5f);
    ASSERT_EQ(mesh.VertexCount, 4);
    ASSERT_EQ(mesh.Vertices.size(), 4u);
    EXPECT_EQ(mesh.Vertices[2].X, 1.0f);
    EXPECT_EQ(mesh.Vertices[2].Y, 1.0f);
    ASSERT_EQ(mesh.TexVertexCount, 4);
    EXPECT_EQ(mesh.TexVertices[3].V, 1.0f);
    ASSERT_EQ(mesh.FaceCount, 2);
    EXPECT_EQ(mesh.Faces[1].V0, 0);
    EXPECT_EQ(mesh.Faces[1].V1, 2);
    EXPECT_EQ(mesh.Faces[1].V2, 3);
    EXPECT_EQ(mesh.Faces[1].T2, 3);
    EXPECT_EQ(mesh.KeyCount, 0);
    EXPECT_TRUE(mesh.Keys.empty());
}

TEST(RsmReader, ReadsTheSameWhenTheFileEndsRightAfterTheFaces) {
    RsmFile with_zeros = TwoTexturesOneMesh();
    with_zeros.zeros(8);
    const RsmModel a = Load(with_zeros.bytes);
    const RsmModel b = Load(TwoTexturesOneMesh().bytes);
    EXPECT_EQ(b.MeshCount, 1);
    ASSERT_EQ(b.Meshes.size(), 2u);
    EXPECT_EQ(b.Meshes[0].FaceCount, a.Meshes[0].FaceCount);
    EXPECT_EQ(0, std::memcmp(a.Meshes[0].Faces.data(), b.Meshes[0].Faces.data(),
                             a.Meshes[0].Faces.size() * sizeof(RsmFace)));
}

TEST(RsmReader, ConsumesAZeroInt32BeforeTheNextMesh) {
    RsmFile f;
    f.header().textures({"a.bmp"}).firstMesh(Quad("root", "root"));
    f.i32(0).mesh(Quad("child", "root")).zeros(8);
    const RsmModel m = Load(f.bytes);
    ASSERT_EQ(m.MeshCount, 2);
    EXPECT_EQ(m.Meshes[0].KeyCount, 0);
    EXPECT_EQ(TextOf(m.Meshes[1].Name), "child");
    EXPECT_EQ(TextOf(m.Meshes[1].ParentName), "root");
    EXPECT_EQ(m.Meshes[1].FaceCount, 2);
    EXPECT_TRUE(IsBlank(m.Meshes[2]));
}

TEST(RsmReader, ReadsAKeyBlockWhenTheCountIsNotZero) {
    RsmFile f;
    f.header().textures({"a.bmp"}).firstMesh(Quad("root", "root")).keys(3);
    f.mesh(Quad("child", "root")).keys(1);
    const RsmModel m = Load(f.bytes);
    ASSERT_EQ(m.MeshCount, 2);
    ASSERT_EQ(m.Meshes[0].KeyCount, 3);
    ASSERT_EQ(m.Meshes[0].Keys.size(), 3u);
    EXPECT_EQ(m.Meshes[0].Keys[0].Bytes[0], 1);
    EXPECT_EQ(m.Meshes[0].Keys[2].Bytes[19], 60);
    EXPECT_EQ(m.Meshes[1].KeyCount, 1);
}

TEST(RsmReader, DecidesFromTheDataAfterEightZeroBytes) {
    RsmFile more;
    more.header().textures({"a.bmp"}).firstMesh(Quad("root", "root"));
    more.zeros(8).mesh(Quad("child", "root"));
    EXPECT_EQ(Load(more.bytes).MeshCount, 2);

    // Eight zero bytes after the key probe's eight end the list.
    RsmFile end;
    end.header().textures({"a.bmp"}).firstMesh(Quad("root", "root"));
    end.zeros(16).mesh(Quad("ignored", "root"));
    EXPECT_EQ(Load(end.bytes).MeshCount, 1);

    // Four zero bytes and then data where a block could start: the zeros are skipped.
    RsmFile skip;
    skip.header().textures({"a.bmp"}).firstMesh(Quad("root", "root"));
    skip.zeros(8).i32(0).mesh(Quad("child", "root"));
    EXPECT_EQ(Load(skip.bytes).MeshCount, 2);
}

TEST(RsmReader, SkipsAZeroInt32BeforeTheFirstMesh) {
    RsmFile plain;
    plain.header().textures({"a.bmp"}).firstMesh(Quad("root", "root"));
    RsmFile skipped;
    skipped.header().textures({"a.bmp"}).i32(0).firstMesh(Quad("root", "root"));
    const RsmModel m = Load(skipped.bytes);
    ASSERT_EQ(m.MeshCount, 1);
    EXPECT_EQ(TextOf(m.Meshes[0].Name), "root");
    EXPECT_EQ(m.Meshes[0].FaceCount, Load(plain.bytes).Meshes[0].FaceCount);
}

TEST(RsmReader, AFileWithoutMeshBlocksHasNoMeshes) {
    for (std::size_t trailing : {0, 8, 20}) {
        RsmFile f;
        f.header().textures({"a.bmp"}).zeros(trailing);
        const RsmModel m = Load(f.bytes);
        EXPECT_EQ(m.MeshCount, 0) << trailing;
        ASSERT_EQ(m.Meshes.size(), 1u);
        EXPECT_TRUE(IsBlank(m.Meshes[0]));
        EXPECT_EQ(m.TextureCount, 1);
    }
    RsmFile no_textures;
    no_textures.header().textures({});
    const RsmModel m = Load(no_textures.bytes);
    EXPECT_EQ(m.TextureCount, 0);
    ASSERT_EQ(m.TextureNames.size(), 1u);
    EXPECT_EQ(m.MeshCount, 0);
}

TEST(RsmReader, StoresTheNamesOfTheFirstBlockAndOfLaterBlocks) {
    RsmFile f;
    f.header().textures({"a.bmp"}).firstMesh(Quad("main", "first"), 7).i32(0);
    f.mesh(Quad("second", "first")).zeros(8);
    const RsmModel m = Load(f.bytes);
    ASSERT_EQ(m.MeshCount, 2);
    EXPECT_EQ(TextOf(m.Meshes[0].Name), "main");
    EXPECT_EQ(m.Meshes[0].DeclaredMeshCount, 7);
    EXPECT_EQ(TextOf(m.Meshes[0].ParentName), "first");
    for (int i = 0; i < 10; ++i) EXPECT_EQ(m.Meshes[0].RootExtra[i], 100 + i);
    EXPECT_EQ(TextOf(m.Meshes[1].Name), "second");
    EXPECT_EQ(TextOf(m.Meshes[1].ParentName), "first");
    EXPECT_EQ(m.Meshes[1].DeclaredMeshCount, 0);
    for (int32_t v : m.Meshes[1].RootExtra) EXPECT_EQ(v, 0);
}

TEST(RsmReader, KeepsAllFortyBytesOfANameAndAnySignature) {
    RsmFile f;
    f.raw("ABCD", 4);
    for (int i = 0; i < 27; ++i) f.bytes.push_back(uint8_t(200 + i));
    f.i32(2);
    Text40 odd{};
    std::memcpy(odd.data(), "short.bmp", 9);
    odd[20] = 'x';  // bytes after the first NUL are kept
    f.raw(odd.data(), 40);
    f.raw(std::string(40, 'n').data(), 40);  // no NUL at all
    const RsmModel m = Load(f.bytes);
    EXPECT_EQ(std::string(m.Header.Signature.data(), 4), "ABCD");
    EXPECT_EQ(m.Header.HeaderRest[0], 200);
    EXPECT_EQ(m.Header.HeaderRest[26], 226);
    EXPECT_EQ(m.TextureNames[0], odd);
    EXPECT_EQ(TextOf(m.TextureNames[0]), "short.bmp");
    EXPECT_EQ(TextOf(m.TextureNames[1]), std::string(40, 'n'));
}

TEST(RsmReader, AcceptsCountsOfZero) {
    MeshSpec empty;
    empty.name = "empty";
    RsmFile f;
    f.header().textures({}).firstMesh(empty).i32(0).mesh(empty).zeros(8);
    const RsmModel m = Load(f.bytes);
    ASSERT_EQ(m.MeshCount, 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(m.Meshes[i].TextureCount, 0);
        EXPECT_EQ(m.Meshes[i].VertexCount, 0);
        EXPECT_EQ(m.Meshes[i].TexVertexCount, 0);
        EXPECT_EQ(m.Meshes[i].FaceCount, 0);
        EXPECT_TRUE(m.Meshes[i].Vertices.empty());
    }
}

// Replaces the int32 at `offset` of `bytes`.
std::vector<uint8_t> WithInt32(std::vector<uint8_t> bytes, std::size_t offset, int32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = uint8_t(uint32_t(value) >> (8 * i));
    return bytes;
}

TEST(RsmReader, RejectsNegativeAndOversizedCountsNamingTheFieldAndMesh) {
    // Mesh 2 of this file; offsets of its counts are found from the layout.
    RsmFile f;
    f.header().textures({"a.bmp"}).firstMesh(Quad("root", "root")).i32(0);
    const std::size_t mesh2 = f.bytes.size();
    f.mesh(Quad("child", "root")).keys(1);
    const std::size_t texture_count = mesh2 + 80;
    const std::size_t vertex_count = texture_count + 4 + 4 + 88;
    const std::size_t tex_vertex_count = vertex_count + 4 + 4 * 12;
    const std::size_t face_count = tex_vertex_count + 4 + 4 * 12;
    const std::size_t key_count = face_count + 4 + 2 * 24;
    ASSERT_EQ(key_count + 4 + 20, f.bytes.size());

    struct Case {
        std::size_t offset;
        const char* field;
    };
    for (const Case& c : {Case{31, "texture count"}, Case{texture_count, "texture id count"},
                          Case{vertex_count, "vertex count"},
                          Case{tex_vertex_count, "texture vertex count"},
                          Case{face_count, "face count"}, Case{key_count, "key count"}}) {
        const bool in_mesh = c.offset != 31;
        for (int32_t bad : {-1, INT32_MIN, INT32_MAX, 1 << 20}) {
            const Error e = LoadError(WithInt32(f.bytes, c.offset, bad));
            const std::string& text = e.description();
            EXPECT_NE(text.find(c.field), std::string::npos) << text;
            EXPECT_NE(text.find("test.rsm"), std::string::npos) << text;
            if (in_mesh) { EXPECT_NE(text.find("in mesh 2"), std::string::npos) << text; }
            if (bad == INT32_MIN) { EXPECT_EQ(e.number(), kErrOverflow) << text; }
            if (bad < 0) { EXPECT_NE(text.find("negative"), std::string::npos) << text; }
            if (bad > 0) { EXPECT_NE(text.find("remain in the file"), std::string::npos) << text; }
        }
    }
}

TEST(RsmReader, RejectsAFileTooShortForTheHeaderAndTextureCount) {
    RsmFile f;
    f.header().i32(0);
    EXPECT_EQ(Load(f.bytes).MeshCount, 0);
    for (std::size_t size = 0; size < f.bytes.size(); ++size) {
        const std::vector<uint8_t> cut(f.bytes.begin(), f.bytes.begin() + size);
        const Error e = LoadError(cut);
        EXPECT_EQ(e.number(), kErrInputPastEnd) << size;
        EXPECT_NE(e.description().find("unexpected end of file"), std::string::npos);
    }
}

TEST(RsmReader, EveryTruncationIsRejectedOrEndsAtABlockBoundary) {
    RsmFile f;
    f.header().textures({"a.bmp", "b.bmp"});
    const std::size_t names_end = f.bytes.size();
    f.firstMesh(Quad("m1", "m1"));
    const std::size_t m1_faces = f.bytes.size();
    f.keys(2);
    const std::size_t m1_keys = f.bytes.size();
    f.mesh(Quad("m2", "m1"));
    const std::size_t m2_faces = f.bytes.size();
    f.i32(0).mesh(Quad("m3", "m2"));
    const std::size_t m3_faces = f.bytes.size();
    f.zeros(8);

    auto expected_meshes = [&](std::size_t size) -> int {
        if (size == names_end) return 0;
        if (size == m1_faces || size == m1_keys) return 1;
        if (size >= m2_faces && size <= m2_faces + 4) return 2;
        if (size >= m3_faces) return 3;
        return -1;  // must be rejected
    };

    RsmModel previous;
    previous.MeshCount = 42;
    for (std::size_t size = 0; size <= f.bytes.size(); ++size) {
        // A fresh copy of exactly `size` bytes, so a read past its end is caught by the
        // address sanitizer.
        std::vector<uint8_t> cut(f.bytes.begin(), f.bytes.begin() + size);
        RsmModel model = previous;
        const int want = expected_meshes(size);
        if (want < 0) {
            EXPECT_THROW(LoadRsmFromMemory(cut, "cut.rsm", model), Error) << size;
            EXPECT_EQ(model.MeshCount, 42) << "a failed read changed the model, size " << size;
        } else {
            ASSERT_NO_THROW(LoadRsmFromMemory(cut, "cut.rsm", model)) << size;
            EXPECT_EQ(model.MeshCount, want) << size;
            EXPECT_EQ(model.Meshes.size(), std::size_t(want) + 1);
        }
    }
}

TEST(RsmReader, ReportsTheEndOfFileInsideAMeshBlock) {
    RsmFile f;
    f.header().textures({"a.bmp"}).firstMesh(Quad("m1", "m1")).i32(0);
    const std::size_t mesh2 = f.bytes.size();
    f.mesh(Quad("m2", "m1"));
    const std::vector<uint8_t> cut(f.bytes.begin(), f.bytes.begin() + mesh2 + 50);
    const Error e = LoadError(cut);
    EXPECT_EQ(e.number(), kErrInputPastEnd);
    EXPECT_NE(e.description().find("unexpected end of file in mesh 2"), std::string::npos)
        << e.description();

    // A key count cut short: its first byte is not zero, so a key block starts.
    const std::vector<uint8_t> keys = [&] {
        RsmFile k;
        k.header().textures({}).firstMesh(Quad("m1", "m1")).i16(3);
        return k.bytes;
    }();
    EXPECT_NE(LoadError(keys).description().find("key count"), std::string::npos);
}

class RsmFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("plovant-rsm-test-" + std::to_string(::testing::UnitTest::GetInstance()
                                                            ->random_seed()) +
                   "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::filesystem::path path = folder_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }

    std::filesystem::path folder_;
};

TEST_F(RsmFileTest, ReadsAFileLikeTheSameBytesInMemory) {
    RsmFile f;
    f.header().textures({"a.bmp"}).firstMesh(Quad("m1", "m1")).keys(2).mesh(Quad("m2", "m1"));
    RsmModel model;
    LoadRsm(write("model.rsm", f.bytes), model);
    const RsmModel memory = Load(f.bytes);
    ASSERT_EQ(model.MeshCount, 2);
    EXPECT_EQ(model.Meshes[0].Keys.size(), 2u);
    EXPECT_EQ(model.Meshes[1].Vertices[2].X, memory.Meshes[1].Vertices[2].X);
}

TEST_F(RsmFileTest, AMissingHiddenOrNonRegularFileIsNotFound) {
    RsmFile f;
    f.header().textures({});
    write(".hidden.rsm", f.bytes);
    std::filesystem::create_directories(folder_ / "folder.rsm");
    for (const char* name : {"missing.rsm", ".hidden.rsm", "folder.rsm"}) {
        RsmModel model;
        model.MeshCount = 5;
        try {
            LoadRsm(folder_ / name, model);
            ADD_FAILURE() << name << " was read";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), kErrFileNotFound);
            EXPECT_NE(e.description().find(name), std::string::npos) << e.description();
            EXPECT_NE(e.description().find("file not found"), std::string::npos);
        }
        EXPECT_EQ(model.MeshCount, 5);
    }
}

TEST_F(RsmFileTest, AFailedReadLeavesTheModelAsItWas) {
    RsmFile good;
    good.header().textures({"keep.bmp"}).firstMesh(Quad("keep", "keep"));
    RsmModel model;
    LoadRsm(write("good.rsm", good.bytes), model);
    RsmFile bad;
    bad.header().textures({"x.bmp"}).firstMesh(Quad("x", "x")).i16(7);
    EXPECT_THROW(LoadRsm(write("bad.rsm", bad.bytes), model), Error);
    EXPECT_EQ(TextOf(model.Meshes[0].Name), "keep");
    EXPECT_EQ(TextOf(model.TextureNames[0]), "keep.bmp");
}

TEST(ProbeBlock, LooksAheadWithoutReadingPastTheEnd) {
    struct Case {
        std::vector<uint8_t> bytes;
        int16_t result;
        uint64_t position;
    };
    const std::vector<Case> cases = {
        {{}, 0, 0},
        {{0, 0}, 0, 2},
        {{0, 0, 0, 0, 0, 0}, 0, 6},
        {{0, 0, 0, 0, 0, 0, 0, 0, 9}, 0, 8},
        {{0, 0, 0, 0, 0, 0, 0, 5}, 1, 4},
        {{0, 0, 0, 0, 7}, 1, 4},
        {{0, 0, 0, 1, 0, 0, 0, 0}, 2, 0},
        {{3}, 2, 0},
    };
    for (const Case& c : cases) {
        MemoryByteReader reader(c.bytes);
        EXPECT_EQ(ProbeBlock(reader), c.result) << c.bytes.size();
        EXPECT_EQ(reader.position(), c.position) << c.bytes.size();
    }
}

TEST(ByteReader, RefusesToReadPastItsEnd) {
    const std::vector<uint8_t> bytes = {1, 0, 0, 0, 2, 0};
    MemoryByteReader reader(bytes);
    int32_t v = 0;
    ASSERT_TRUE(reader.readInt32(v));
    EXPECT_EQ(v, 1);
    EXPECT_FALSE(reader.readInt32(v));
    EXPECT_EQ(reader.position(), 4u);  // a failed read reads nothing
    uint8_t padded[4] = {9, 9, 9, 9};
    EXPECT_EQ(reader.readPadded(padded, 4), 2u);
    EXPECT_EQ(padded[0], 2);
    EXPECT_EQ(padded[1], 0);
    EXPECT_EQ(padded[2], 0);
    EXPECT_EQ(padded[3], 0);
    EXPECT_EQ(reader.remaining(), 0u);
}

}  // namespace
}  // namespace plovant
