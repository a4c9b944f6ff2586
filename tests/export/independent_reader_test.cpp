// Every sample model, opened as the viewer opens it and exported, read back by
// independent 3DS readers: lib3ds (geometry through its file loader, the material
// groups through its chunk reader, since it attaches groups to faces only when they
// stand inside FACE_ARRAY) and, where installed, the assimp command-line tool.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "export/tds_writer.h"
#include "model/rsm_model.h"

#ifdef PLOVANT_HAVE_LIB3DS
#include <lib3ds/chunk.h>
#include <lib3ds/file.h>
#include <lib3ds/io.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>
#endif

namespace plovant {
namespace {

std::vector<std::filesystem::path> SampleModels() {
    std::vector<std::filesystem::path> models;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(PLOVANT_SAMPLES_DIR) / "data")) {
        if (entry.path().extension() == ".rsm") models.push_back(entry.path());
    }
    std::sort(models.begin(), models.end());
    return models;
}

// The faces of each texture slot 0..n-1, in ascending order.
std::vector<std::vector<uint16_t>> ExpectedGroups(const RsmMesh& mesh) {
    std::vector<std::vector<uint16_t>> groups(std::size_t(mesh.TextureCount));
    for (std::size_t i = 0; i < mesh.Faces.size(); ++i) {
        const int slot = mesh.Faces[i].TextureSlot;
        if (slot >= 0 && slot < mesh.TextureCount) groups[std::size_t(slot)].push_back(uint16_t(i));
    }
    return groups;
}

class IndependentReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("plovant-reader-test-" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path folder_;
};

TEST_F(IndependentReaderTest, SamplesExist) {
    // The generator wrote four models; at least three are needed by the checks.
    EXPECT_GE(SampleModels().size(), 3u);
}

#ifdef PLOVANT_HAVE_LIB3DS

struct FileIo {
    std::FILE* file;
    static Lib3dsBool Error(void* self) { return std::ferror(static_cast<FileIo*>(self)->file) != 0; }
    static long Seek(void* self, long offset, Lib3dsIoSeek origin) {
        const int whence = origin == LIB3DS_SEEK_SET ? SEEK_SET
                           : origin == LIB3DS_SEEK_CUR ? SEEK_CUR
                                                       : SEEK_END;
        return std::fseek(static_cast<FileIo*>(self)->file, offset, whence);
    }
    static long Tell(void* self) { return std::ftell(static_cast<FileIo*>(self)->file); }
    static size_t Read(void* self, void* buffer, size_t size) {
        return std::fread(buffer, 1, size, static_cast<FileIo*>(self)->file);
    }
    static size_t Write(void*, const void*, size_t) { return 0; }
};

struct Group {
    std::string name;
    std::vector<uint16_t> faces;
};

// Walks M3DMAGIC > MDATA > NAMED_OBJECT > N_TRI_OBJECT with lib3ds's chunk reader
// and returns the MSH_MAT_GROUP chunks found there.
std::vector<Group> ReadGroups(const std::filesystem::path& path) {
    std::vector<Group> groups;
    FileIo self{std::fopen(path.c_str(), "rb")};
    if (!self.file) return groups;
    Lib3dsIo* io = lib3ds_io_new(&self, &FileIo::Error, &FileIo::Seek, &FileIo::Tell,
                                 &FileIo::Read, &FileIo::Write);
    Lib3dsChunk magic, mdata, object, mesh, group;
    if (lib3ds_chunk_read_start(&magic, LIB3DS_M3DMAGIC, io)) {
        while (Lib3dsWord id = lib3ds_chunk_read_next(&magic, io)) {
            if (id != LIB3DS_MDATA) continue;
            lib3ds_chunk_read_reset(&magic, io);
            lib3ds_chunk_read_start(&mdata, LIB3DS_MDATA, io);
            while (Lib3dsWord m = lib3ds_chunk_read_next(&mdata, io)) {
                if (m != LIB3DS_NAMED_OBJECT) continue;
                lib3ds_chunk_read_reset(&mdata, io);
                lib3ds_chunk_read_start(&object, LIB3DS_NAMED_OBJECT, io);
                char name[64];
                lib3ds_io_read_string(io, name, sizeof name);
                lib3ds_chunk_read_tell(&object, io);
                while (Lib3dsWord o = lib3ds_chunk_read_next(&object, io)) {
                    if (o != LIB3DS_N_TRI_OBJECT) continue;
                    lib3ds_chunk_read_reset(&object, io);
                    lib3ds_chunk_read_start(&mesh, LIB3DS_N_TRI_OBJECT, io);
                    while (Lib3dsWord t = lib3ds_chunk_read_next(&mesh, io)) {
                        if (t != LIB3DS_MSH_MAT_GROUP) continue;
                        lib3ds_chunk_read_reset(&mesh, io);
                        lib3ds_chunk_read_start(&group, LIB3DS_MSH_MAT_GROUP, io);
                        Group g;
                        lib3ds_io_read_string(io, name, sizeof name);
                        g.name = name;
                        const Lib3dsWord count = lib3ds_io_read_word(io);
                        for (Lib3dsWord i = 0; i < count; ++i) g.faces.push_back(lib3ds_io_read_word(io));
                        groups.push_back(g);
                        lib3ds_chunk_read_end(&group, io);
                    }
                    lib3ds_chunk_read_end(&mesh, io);
                }
                lib3ds_chunk_read_end(&object, io);
            }
            lib3ds_chunk_read_end(&mdata, io);
        }
    }
    lib3ds_io_free(io);
    std::fclose(self.file);
    return groups;
}

// Reads `path` with lib3ds and compares everything with the first mesh of `model`.
void ExpectReadsBack(const std::filesystem::path& path, const RsmModel& model) {
    const RsmMesh& expected = model.Meshes[0];
    Lib3dsFile* file = lib3ds_file_load(path.c_str());
    ASSERT_NE(file, nullptr) << "lib3ds cannot read " << path;
    ASSERT_NE(file->meshes, nullptr);
    EXPECT_EQ(file->meshes->next, nullptr) << "more than one mesh";
    const Lib3dsMesh& mesh = *file->meshes;
    EXPECT_STREQ(mesh.name, "Rar01");
    ASSERT_EQ(mesh.points, expected.Vertices.size());
    ASSERT_EQ(mesh.faces, expected.Faces.size());
    ASSERT_EQ(mesh.texels, expected.TexVertices.size());
    for (std::size_t i = 0; i < expected.Vertices.size(); ++i) {
        ASSERT_EQ(mesh.pointL[i].pos[0], expected.Vertices[i].X) << i;
        ASSERT_EQ(mesh.pointL[i].pos[1], expected.Vertices[i].Y) << i;
        ASSERT_EQ(mesh.pointL[i].pos[2], expected.Vertices[i].Z) << i;
    }
    for (std::size_t i = 0; i < expected.Faces.size(); ++i) {
        ASSERT_EQ(mesh.faceL[i].points[0], uint16_t(expected.Faces[i].V0)) << i;
        ASSERT_EQ(mesh.faceL[i].points[1], uint16_t(expected.Faces[i].V1)) << i;
        ASSERT_EQ(mesh.faceL[i].points[2], uint16_t(expected.Faces[i].V2)) << i;
        ASSERT_EQ(mesh.faceL[i].flags, 15) << i;
    }
    for (std::size_t i = 0; i < expected.TexVertices.size(); ++i) {
        ASSERT_EQ(mesh.texelL[i][0], expected.TexVertices[i].U) << i;
        ASSERT_EQ(mesh.texelL[i][1], expected.TexVertices[i].V) << i;
    }
    // All materials stand in one MAT_ENTRY chunk, so lib3ds sees one material: the
    // last name given there.
    if (expected.TextureCount > 0) {
        ASSERT_NE(file->materials, nullptr);
        EXPECT_STREQ(file->materials->name, MaterialName(expected.TextureCount - 1).data());
    }
    EXPECT_FLOAT_EQ(file->master_scale, 1.0f);
    lib3ds_file_free(file);

    const std::vector<Group> groups = ReadGroups(path);
    const std::vector<std::vector<uint16_t>> wanted = ExpectedGroups(expected);
    ASSERT_EQ(groups.size(), wanted.size());
    for (std::size_t k = 0; k < groups.size(); ++k) {
        EXPECT_EQ(groups[k].name, std::string(MaterialName(int32_t(k)).data()));
        EXPECT_EQ(groups[k].faces, wanted[k]) << "group " << k;
    }
}

TEST_F(IndependentReaderTest, Lib3dsReadsBackEveryExportedSample) {
    for (const std::filesystem::path& sample : SampleModels()) {
        SCOPED_TRACE(sample.string());
        RsmModel model;
        LoadRsm(sample, model);
        CenterRootMesh(model);
        const std::filesystem::path out = folder_ / sample.filename().replace_extension(".3ds");
        Write3DS(out, model);
        ExpectReadsBack(out, model);
    }
}

TEST_F(IndependentReaderTest, Lib3dsReadsGroupsOfManySlotsAndSkipsSlotsOutOfRange) {
    RsmModel model;
    model.MeshCount = 1;
    model.Meshes.resize(2);
    RsmMesh& m = model.Meshes[0];
    m.TextureCount = 12;
    m.TextureIds.assign(12, 0);
    for (int i = 0; i < 6; ++i) m.Vertices.push_back({float(i), float(-i), 0.25f * float(i)});
    m.VertexCount = 6;
    m.TexVertices.resize(6);
    m.TexVertexCount = 6;
    for (int16_t slot : {11, 0, 12, -1, 10, 11, 5}) {
        RsmFace f;
        f.V0 = 0;
        f.V1 = 1;
        f.V2 = int16_t(2 + (slot & 3));
        f.TextureSlot = slot;
        m.Faces.push_back(f);
    }
    m.FaceCount = int32_t(m.Faces.size());
    const std::filesystem::path out = folder_ / "slots.3ds";
    Write3DS(out, model);
    ExpectReadsBack(out, model);
}

#else

TEST_F(IndependentReaderTest, Lib3dsReadsBackEveryExportedSample) {
    GTEST_SKIP() << "lib3ds is not installed (Debian: lib3ds-dev)";
}

#endif

// The assimp command-line tool imports each export: one mesh with all its faces.
TEST_F(IndependentReaderTest, AssimpImportsEveryExportedSample) {
    if (std::system("assimp version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "assimp is not installed (Debian: assimp-utils)";
    }
    for (const std::filesystem::path& sample : SampleModels()) {
        SCOPED_TRACE(sample.string());
        RsmModel model;
        LoadRsm(sample, model);
        CenterRootMesh(model);
        const std::filesystem::path out = folder_ / sample.filename().replace_extension(".3ds");
        Write3DS(out, model);
        const std::string command = "assimp info '" + out.string() + "' 2>&1";
        std::FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::map<std::string, std::string> fields;
        char line[512];
        while (std::fgets(line, sizeof line, pipe)) {
            const std::string text = line;
            const std::size_t colon = text.find(':');
            if (colon == std::string::npos) continue;
            const std::size_t value = text.find_first_not_of(' ', colon + 1);
            if (value == std::string::npos) continue;
            fields.emplace(text.substr(0, colon), text.substr(value, text.find('\n') - value));
        }
        EXPECT_EQ(pclose(pipe), 0);
        EXPECT_EQ(fields["Meshes"], "1");
        EXPECT_EQ(fields["Faces"], std::to_string(model.Meshes[0].FaceCount));
    }
}

}  // namespace
}  // namespace plovant
