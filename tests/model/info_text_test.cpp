// The information text: labels, counts, CR LF line ends and decoded names.
#include <gtest/gtest.h>

#include "model/info_text.h"
#include "model/rsm_model.h"

namespace plovant {
namespace {

RsmMesh Mesh(const std::string& name, const std::string& parent, int textures, int vertices,
             int faces, int tex_vertices) {
    RsmMesh m;
    m.Name = MakeText40(name);
    m.ParentName = MakeText40(parent);
    m.TextureCount = textures;
    m.TextureIds.resize(textures);
    m.VertexCount = vertices;
    m.Vertices.resize(vertices);
    m.FaceCount = faces;
    m.Faces.resize(faces);
    m.TexVertexCount = tex_vertices;
    m.TexVertices.resize(tex_vertices);
    return m;
}

RsmModel Model(std::vector<RsmMesh> meshes, std::vector<Text40> names) {
    RsmModel model;
    model.MeshCount = int32_t(meshes.size());
    model.Meshes = std::move(meshes);
    model.Meshes.emplace_back();
    model.TextureCount = int32_t(names.size());
    model.TextureNames = std::move(names);
    model.TextureNames.emplace_back();
    return model;
}

TEST(InfoText, ListsPathCountsMeshesAndTextures) {
    const RsmModel model = Model({Mesh("root", "root", 1, 8, 12, 8)}, {MakeText40("wall.bmp")});
    EXPECT_EQ(BuildInfoText(model, "/data/model/house.rsm"),
              "Filepath: \r\n"
              "/data/model/house.rsm\r\n"
              "\r\n"
              "Meshes: 1\r\n"
              "Textures: 1\r\n"
              "Mesh #1\r\n"
              "Name: root\r\n"
              "Parent Mesh: root\r\n"
              "No. Textures: 1\r\n"
              "No. Vertices: 8\r\n"
              "No. Faces: 12\r\n"
              "Texture Vertices: 8\r\n"
              "\r\n"
              "Textures loaded:\r\n"
              "Texture 1: wall.bmp\r\n");
}

TEST(InfoText, GivesEachMeshItsOwnBlock) {
    const RsmModel model = Model({Mesh("a", "a", 1, 3, 1, 3), Mesh("b", "a", 2, 5, 4, 6)}, {});
    const std::string text = BuildInfoText(model, "x.rsm");
    EXPECT_NE(text.find("Mesh #2\r\nName: b\r\nParent Mesh: a\r\nNo. Textures: 2\r\n"
                        "No. Vertices: 5\r\nNo. Faces: 4\r\nTexture Vertices: 6\r\n\r\n"),
              std::string::npos)
        << text;
    EXPECT_TRUE(text.ends_with("\r\n\r\nTextures loaded:\r\n")) << text;
    EXPECT_EQ(text.find("Mesh #3"), std::string::npos);
}

TEST(InfoText, AModelWithoutMeshesShowsCountsAndTextures) {
    const RsmModel model = Model({}, {MakeText40("a.bmp"), MakeText40("b.bmp")});
    EXPECT_EQ(BuildInfoText(model, "p"),
              "Filepath: \r\np\r\n\r\nMeshes: 0\r\nTextures: 2\r\nTextures loaded:\r\n"
              "Texture 1: a.bmp\r\nTexture 2: b.bmp\r\n");
}

TEST(InfoText, ANameWithoutNulIsFollowedByAnEmptyLine) {
    const std::string full(40, 'x');
    Text40 after_nul = MakeText40("abc");
    after_nul[10] = 'z';  // bytes after the first NUL are not shown
    const RsmModel model = Model({Mesh(full, "p", 0, 0, 0, 0)}, {MakeText40(full), after_nul});
    const std::string text = BuildInfoText(model, "p");
    EXPECT_NE(text.find("Name: " + full + "\r\n\r\nParent Mesh: p\r\n"), std::string::npos);
    EXPECT_NE(text.find("Texture 1: " + full + "\r\n\r\nTexture 2: abc\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("Texture 2: abc\r\n"));
}

TEST(InfoText, DecodesNamesFromTheGameCodePage) {
    // "풍차" (windmill) in CP949.
    const RsmModel model = Model({Mesh("\xC7\xB3\xC2\xF7", "root", 0, 0, 0, 0)},
                                 {MakeText40("\xC7\xB3\xC2\xF7.bmp")});
    const std::string text = BuildInfoText(model, "p");
    EXPECT_NE(text.find("Name: \xED\x92\x8D\xEC\xB0\xA8\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Texture 1: \xED\x92\x8D\xEC\xB0\xA8.bmp\r\n"), std::string::npos);
}

}  // namespace
}  // namespace plovant
