// The 3DS writer: exact bytes, chunk lengths, material groups, limits and safe
// replacement of the target.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <set>

#include "errors/error.h"
#include "export/save_as_path.h"
#include "export/tds_file.h"
#include "export/tds_writer.h"
#include "model/rsm_model.h"

namespace plovant {
namespace {

using testing::Chunk;
using testing::F32At;
using testing::ParseFile;
using testing::ReadFileBytes;
using testing::U16At;
using testing::U32At;

std::vector<uint8_t> FromHex(const std::string& hex) {
    std::vector<uint8_t> out;
    std::string digits;
    for (char c : hex) {
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        out.push_back(uint8_t(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return out;
}

RsmFace Face(int16_t v0, int16_t v1, int16_t v2, int16_t slot) {
    RsmFace f;
    f.V0 = v0;
    f.V1 = v1;
    f.V2 = v2;
    f.T0 = 9;  // never written
    f.TextureSlot = slot;
    f.FaceTail.fill(0xEE);
    return f;
}

// A model whose first mesh has n texture slots, `vertices` vertices, the given faces
// and `tex_vertices` texture vertices.
RsmModel ModelOf(int32_t n, int32_t vertices, std::vector<RsmFace> faces, int32_t tex_vertices) {
    RsmModel model;
    model.MeshCount = 1;
    model.Meshes.resize(2);
    RsmMesh& m = model.Meshes[0];
    m.TextureCount = n;
    m.TextureIds.assign(std::size_t(n), 0);
    m.VertexCount = vertices;
    for (int32_t i = 0; i < vertices; ++i) m.Vertices.push_back({float(i), float(i) + 0.5f, -1.0f});
    m.FaceCount = int32_t(faces.size());
    m.Faces = std::move(faces);
    m.TexVertexCount = tex_vertices;
    for (int32_t i = 0; i < tex_vertices; ++i) {
        RsmTexVertex t;
        t.Extra = {1, 2, 3, 4};
        t.U = 0.25f * float(i);
        t.V = 1.0f - 0.125f * float(i);
        m.TexVertices.push_back(t);
    }
    return model;
}

class TdsWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("plovant-3ds-test-" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(folder_);
    }

    std::vector<uint8_t> Export(const RsmModel& model) {
        const std::filesystem::path path = folder_ / "out.3ds";
        Write3DS(path, model);
        return ReadFileBytes(path);
    }

    // Names in the folder: no temporary file may stay behind.
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    std::filesystem::path folder_;
};

TEST_F(TdsWriterTest, WritesTheWorkedExampleByteForByte) {
    RsmModel model;
    model.MeshCount = 1;
    model.Meshes.resize(2);
    RsmMesh& m = model.Meshes[0];
    m.TextureCount = 1;
    m.TextureIds = {5};
    m.VertexCount = 3;
    m.Vertices = {{1, 2, 3}, {-1, 0.5f, 0}, {0, 0, 2}};
    m.FaceCount = 1;
    m.Faces = {Face(0, 1, 2, 0)};
    m.TexVertexCount = 3;
    m.TexVertices.resize(3);
    m.TexVertices[1].U = 1;
    m.TexVertices[2].V = 1;

    const std::vector<uint8_t> expected = FromHex(
        "4D4D E4000000"                               // M3DMAGIC, 228
        "0200 0A000000 03000000"                      // M3D_VERSION 3
        "3D3D D4000000"                               // MDATA, 212
        "3E3D 0A000000 03000000"                      // MESH_VERSION 3
        "FFAF 40000000"                               // MAT_ENTRY, 64
        "00A0 12000000 5669646F7A6F7265202330 00"     // MAT_NAME "Vidozore #0"
        "88A0 06000000"                               // MAT_FACEMAP
        "20A0 18000000"                               // MAT_DIFFUSE
        "1100 09000000 0000FF"                        // COLOR_24
        "1200 09000000 0F41FF"                        // LIN_COLOR_24
        "0001 0A000000 0000803F"                      // MASTER_SCALE 1.0
        "0040 84000000 526172303100"                  // NAMED_OBJECT "Rar01", 132
        "0041 78000000"                               // N_TRI_OBJECT, 120
        "1041 2C000000 0300"                          // POINT_ARRAY, 44
        "0000803F 00000040 00004040"                  //   1, 2, 3
        "000080BF 0000003F 00000000"                  //   -1, 0.5, 0
        "00000000 00000000 00000040"                  //   0, 0, 2
        "2041 10000000 0100 0000 0100 0200 0F00"      // FACE_ARRAY, 16
        "3041 16000000 5669646F7A6F7265202330 00"     // MSH_MAT_GROUP, 22
        "0100 0000"                                   //   count 1, face 0
        "4041 20000000 0300"                          // TEX_VERTS, 32
        "00000000 00000000 0000803F 00000000 00000000 0000803F");
    ASSERT_EQ(expected.size(), 228u);
    EXPECT_EQ(Export(model), expected);
}

// 90 + 68·n + 12·V + 8·F + 8·T + 2·G
std::size_t ExpectedSize(int n, int v, int f, int t, int g) {
    return 90 + 68 * n + 12 * v + 8 * f + 8 * t + 2 * g;
}

TEST_F(TdsWriterTest, FollowsTheSizeFormulaAndNestsEveryChunk) {
    struct Case {
        int n, v, t;
        std::vector<RsmFace> faces;
        int grouped;
    };
    const std::vector<Case> cases = {
        {0, 0, 0, {}, 0},
        {0, 4, 4, {Face(0, 1, 2, 0), Face(0, 2, 3, 0)}, 0},
        {1, 3, 3, {Face(0, 1, 2, 0)}, 1},
        {3, 5, 2, {Face(0, 1, 2, 2), Face(1, 2, 3, 0), Face(2, 3, 4, 7), Face(0, 0, 0, -1)}, 2},
        {12, 6, 9, {Face(0, 1, 2, 11), Face(3, 4, 5, 10), Face(1, 1, 1, 11)}, 3},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> bytes =
            Export(ModelOf(c.n, c.v, c.faces, c.t));
        const int f = int(c.faces.size());
        ASSERT_EQ(bytes.size(), ExpectedSize(c.n, c.v, f, c.t, c.grouped)) << c.n;
        const Chunk root = ParseFile(bytes);
        ASSERT_EQ(root.id, 0x4D4D);
        ASSERT_EQ(root.children.size(), 2u);
        const Chunk& mdata = root.children[1];
        EXPECT_EQ(mdata.length, bytes.size() - 16);
        ASSERT_EQ(mdata.children.size(), 3u);
        const Chunk& materials = mdata.children[1];
        EXPECT_EQ(materials.id, 0xAFFF);
        EXPECT_EQ(materials.length, 16u + 48u * unsigned(c.n));
        EXPECT_EQ(materials.count(0xA000), c.n);
        EXPECT_EQ(materials.children.back().id, 0x0100);  // MASTER_SCALE last
        const Chunk* mesh = mdata.children[2].child(0x4100);
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->length, unsigned(30 + 12 * c.v + 8 * f + 20 * c.n + 2 * c.grouped + 8 * c.t));
        EXPECT_EQ(mesh->count(0x4130), c.n);
        EXPECT_EQ(mesh->children.front().id, 0x4110);
        EXPECT_EQ(mesh->children[1].id, 0x4120);
        EXPECT_EQ(mesh->children.back().id, 0x4140);
    }
}

TEST_F(TdsWriterTest, GroupsListFacesBySlotAndSkipSlotsOutOfRange) {
    const std::vector<RsmFace> faces = {Face(0, 1, 2, 2), Face(0, 1, 2, 0), Face(0, 1, 2, 3),
                                        Face(0, 1, 2, -1), Face(0, 1, 2, 2), Face(0, 1, 2, 0)};
    const std::vector<uint8_t> b = Export(ModelOf(3, 3, faces, 3));
    const Chunk root = ParseFile(b);
    const Chunk* mesh = root.children[1].children[2].child(0x4100);
    ASSERT_NE(mesh, nullptr);

    const Chunk* face_array = mesh->child(0x4120);
    ASSERT_EQ(U16At(b, face_array->data), 6);  // every face, also those in no group
    EXPECT_EQ(face_array->length, 8u + 8u * 6u);

    const std::vector<std::vector<uint16_t>> groups = {{1, 5}, {}, {0, 4}};
    for (int k = 0; k < 3; ++k) {
        const Chunk* group = mesh->child(0x4130, k);
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + group->data)),
                  "Vidozore #" + std::to_string(k));
        const uint16_t count = U16At(b, group->data + 12);
        ASSERT_EQ(count, groups[k].size()) << k;
        EXPECT_EQ(group->length, 20u + 2u * count);
        for (uint16_t i = 0; i < count; ++i) {
            EXPECT_EQ(U16At(b, group->data + 14 + 2 * i), groups[k][i]);
        }
    }
}

TEST_F(TdsWriterTest, CopiesPositionsIndicesAndTextureCoordinatesUnchanged) {
    // T differs from V; an index of V or more is copied as stored; V is not flipped.
    RsmModel model = ModelOf(1, 2, {Face(0, 1, 7, 0), Face(-2, 1, 0, 0)}, 5);
    model.Meshes[0].Vertices[1] = {-0.0f, 1e-30f, 3.5e20f};
    const std::vector<uint8_t> b = Export(model);
    const Chunk root = ParseFile(b);
    const Chunk* mesh = root.children[1].children[2].child(0x4100);
    const Chunk* points = mesh->child(0x4110);
    EXPECT_EQ(U16At(b, points->data), 2);
    EXPECT_EQ(U32At(b, points->data + 2 + 12), 0x80000000u);  // -0 kept bit for bit
    EXPECT_EQ(F32At(b, points->data + 2 + 16), 1e-30f);
    EXPECT_EQ(F32At(b, points->data + 2 + 20), 3.5e20f);
    const Chunk* faces = mesh->child(0x4120);
    EXPECT_EQ(U16At(b, faces->data + 2 + 4), 7);
    EXPECT_EQ(U16At(b, faces->data + 2 + 8), 0xFFFE);
    EXPECT_EQ(U16At(b, faces->data + 2 + 14), 15);
    const Chunk* uv = mesh->child(0x4140);
    EXPECT_EQ(U16At(b, uv->data), 5);
    EXPECT_EQ(uv->length, 8u + 8u * 5u);
    EXPECT_EQ(F32At(b, uv->data + 2 + 8 * 4), 1.0f);
    EXPECT_EQ(F32At(b, uv->data + 2 + 8 * 4 + 4), 0.5f);
}

TEST_F(TdsWriterTest, WritesOnlyTheFirstMesh) {
    RsmModel one = ModelOf(2, 4, {Face(0, 1, 2, 1)}, 4);
    RsmModel several = one;
    several.MeshCount = 3;
    several.Meshes.insert(several.Meshes.begin() + 1, ModelOf(1, 9, {Face(1, 2, 3, 0)}, 2).Meshes[0]);
    several.Meshes.insert(several.Meshes.begin() + 1, ModelOf(3, 1, {}, 0).Meshes[0]);
    EXPECT_EQ(Export(several), Export(one));
}

TEST_F(TdsWriterTest, ABlankFirstMeshGivesTheMinimalFile) {
    RsmModel model;
    model.Meshes.resize(1);  // as read from a file without mesh blocks
    EXPECT_EQ(Export(model).size(), 90u);
}

TEST_F(TdsWriterTest, NamesMaterialsOfSlotsTenAndAboveUniquely) {
    auto text = [](int32_t k) { return std::string(MaterialName(k).data()); };
    EXPECT_EQ(text(0), "Vidozore #0");
    EXPECT_EQ(text(9), "Vidozore #9");
    EXPECT_EQ(text(10), "Vidozore#10");
    EXPECT_EQ(text(99), "Vidozore#99");
    EXPECT_EQ(text(100), "Vidozor#100");
    EXPECT_EQ(text(12345), "Vidoz#12345");
    EXPECT_EQ(text(INT32_MAX), "#2147483647");
    std::set<std::string> seen;
    for (int32_t k = 0; k < 20000; ++k) {
        const std::array<char, 12> field = MaterialName(k);
        ASSERT_EQ(field[11], '\0') << k;
        ASSERT_TRUE(seen.insert(field.data()).second) << k;
    }

    // In the file, the material and its group carry the same field.
    const std::vector<uint8_t> b = Export(ModelOf(11, 3, {Face(0, 1, 2, 10)}, 3));
    const Chunk root = ParseFile(b);
    const Chunk* name = root.children[1].children[1].child(0xA000, 10);
    const Chunk* group = root.children[1].children[2].child(0x4100)->child(0x4130, 10);
    EXPECT_EQ(name->length, 18u);
    EXPECT_EQ(0, std::memcmp(b.data() + name->data, "Vidozore#10\0", 12));
    EXPECT_EQ(0, std::memcmp(b.data() + group->data, "Vidozore#10\0", 12));
    EXPECT_EQ(U16At(b, group->data + 12), 1);
}

TEST_F(TdsWriterTest, WritesCountsUpTo32767AndRefusesMore) {
    std::vector<RsmFace> max_faces(32767, Face(0, 1, 2, 0));
    const std::vector<uint8_t> b = Export(ModelOf(1, 32767, max_faces, 32767));
    EXPECT_EQ(b.size(), ExpectedSize(1, 32767, 32767, 32767, 32767));
    EXPECT_NO_THROW(ParseFile(b));

    const std::filesystem::path target = folder_ / "out.3ds";
    const std::vector<uint8_t> before = ReadFileBytes(target);
    struct Case {
        int v, f, t;
        const char* what;
    };
    for (const Case& c : {Case{32768, 1, 3, "vertex count 32768"},
                          Case{3, 32768, 3, "face count 32768"},
                          Case{3, 1, 32768, "texture-vertex count 32768"}}) {
        const RsmModel model = ModelOf(1, c.v, std::vector<RsmFace>(c.f, Face(0, 1, 2, 0)), c.t);
        try {
            Write3DS(target, model);
            ADD_FAILURE() << c.what << " was written";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), kErrOverflow);
            EXPECT_NE(e.description().find(c.what), std::string::npos) << e.description();
            EXPECT_NE(e.description().find("32767"), std::string::npos);
            EXPECT_NE(e.description().find(target.string()), std::string::npos);
        }
        EXPECT_EQ(ReadFileBytes(target), before) << "the existing file was changed";
        EXPECT_EQ(Files(), std::set<std::string>{"out.3ds"});
    }
}

TEST_F(TdsWriterTest, ReplacesALargerFileEntirely) {
    const std::filesystem::path target = folder_ / "out.3ds";
    std::ofstream(target, std::ios::binary) << std::string(5000, 'x');
    const std::vector<uint8_t> b = Export(ModelOf(1, 3, {Face(0, 1, 2, 0)}, 3));
    EXPECT_EQ(b.size(), 228u);
    EXPECT_EQ(U32At(b, 2), 228u);
    EXPECT_EQ(Files(), std::set<std::string>{"out.3ds"});
}

TEST_F(TdsWriterTest, FailsCleanlyWithoutAModelOrAWritablePlace) {
    RsmModel none;  // nothing opened
    EXPECT_THROW(Write3DS(folder_ / "none.3ds", none), Error);
    EXPECT_TRUE(Files().empty());

    const RsmModel model = ModelOf(1, 3, {Face(0, 1, 2, 0)}, 3);
    try {
        Write3DS(folder_ / "missing" / "out.3ds", model);
        ADD_FAILURE() << "written into a missing folder";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrPathNotFound);
        EXPECT_NE(e.description().find("missing/out.3ds"), std::string::npos) << e.description();
    }

    // A read-only target stays as it was.
    const std::filesystem::path locked = folder_ / "locked.3ds";
    std::ofstream(locked) << "keep";
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read);
    try {
        Write3DS(locked, model);
        ADD_FAILURE() << "a read-only file was replaced";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrPermissionDenied);
        EXPECT_NE(e.description().find("read-only"), std::string::npos);
    }
    EXPECT_EQ(ReadFileBytes(locked).size(), 4u);

    // A folder where the file should go.
    std::filesystem::create_directories(folder_ / "dir.3ds");
    EXPECT_THROW(Write3DS(folder_ / "dir.3ds", model), Error);
    EXPECT_EQ(Files(), (std::set<std::string>{"dir.3ds", "locked.3ds"}));
}

TEST_F(TdsWriterTest, AFolderThatCannotBeWrittenIsReported) {
    // Permissions do not bind the superuser; /sys takes no new files from anyone.
    std::filesystem::path folder = folder_;
    if (::geteuid() == 0) {
        folder = "/sys";
    } else {
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_read |
                                                  std::filesystem::perms::owner_exec);
    }
    try {
        Write3DS(folder / "out.3ds", ModelOf(0, 0, {}, 0));
        ADD_FAILURE() << "written into a read-only folder";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrPermissionDenied);
        EXPECT_NE(e.description().find("cannot create"), std::string::npos) << e.description();
    }
}

TEST(SaveAsPath, AppendsTheExtensionUnlessItEndsInExactlyDot3ds) {
    EXPECT_EQ(SaveAsPath("/home/u/model"), "/home/u/model.3ds");
    EXPECT_EQ(SaveAsPath("/home/u/model.3ds"), "/home/u/model.3ds");
    EXPECT_EQ(SaveAsPath("model.3DS"), "model.3DS.3ds");
    EXPECT_EQ(SaveAsPath("model.3Ds"), "model.3Ds.3ds");
    EXPECT_EQ(SaveAsPath("C:\\data\\x.rsm"), "C:\\data\\x.rsm.3ds");
    EXPECT_EQ(SaveAsPath(".3ds"), ".3ds");
    EXPECT_EQ(SaveAsPath("3ds"), "3ds.3ds");
    EXPECT_EQ(SaveAsPath(""), ".3ds");
}

}  // namespace
}  // namespace plovant
