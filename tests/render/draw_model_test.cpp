// DrawModel's draw calls, recorded through a device that only records: the per-slot
// binding and triangle lists, their contents and order, and the faces left out.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "recording_device.h"
#include "render/draw_model.h"

namespace plovant {
namespace {

using test_support::DeviceCall;
using test_support::RecordingDevice;
using Kind = DeviceCall::Kind;

RsmTexVertex TexVertex(float u, float v) {
    RsmTexVertex t;
    t.U = u;
    t.V = v;
    return t;
}

RsmFace Face(int16_t v0, int16_t v1, int16_t v2, int16_t slot, int16_t t0 = 0, int16_t t1 = 1,
             int16_t t2 = 2) {
    RsmFace f;
    f.V0 = v0;
    f.V1 = v1;
    f.V2 = v2;
    f.T0 = t0;
    f.T1 = t1;
    f.T2 = t2;
    f.TextureSlot = slot;
    return f;
}

// A mesh with four vertices, three texture vertices, the given slots and faces.
RsmMesh Mesh(std::vector<int32_t> texture_ids, std::vector<RsmFace> faces) {
    RsmMesh mesh;
    mesh.Vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 2}};
    mesh.VertexCount = 4;
    mesh.TexVertices = {TexVertex(0, 0), TexVertex(1, 0), TexVertex(0.5f, 1)};
    mesh.TexVertexCount = 3;
    mesh.TextureIds = std::move(texture_ids);
    mesh.TextureCount = static_cast<int32_t>(mesh.TextureIds.size());
    mesh.Faces = std::move(faces);
    mesh.FaceCount = static_cast<int32_t>(mesh.Faces.size());
    return mesh;
}

// A model as the reader leaves it: a blank mesh after the last one.
RsmModel Model(std::vector<RsmMesh> meshes, int32_t texture_count) {
    RsmModel model;
    model.MeshCount = static_cast<int32_t>(meshes.size());
    model.Meshes = std::move(meshes);
    model.Meshes.emplace_back();
    model.TextureCount = texture_count;
    model.TextureNames.resize(texture_count + 1);
    return model;
}

// Distinct texture objects standing for loaded surfaces (the recorder never looks inside).
std::vector<dx7::SurfacePtr> Surfaces(int count) {
    std::vector<dx7::SurfacePtr> surfaces;
    for (int i = 0; i < count; ++i) {
        surfaces.push_back(test_support::MakeRenderTarget(2, 2));
    }
    surfaces.emplace_back();  // the empty last element
    return surfaces;
}

void ExpectVertex(const D3DVERTEX& v, D3DVECTOR p, D3DVECTOR n, float tu, float tv) {
    EXPECT_EQ(v.x, p.x);
    EXPECT_EQ(v.y, p.y);
    EXPECT_EQ(v.z, p.z);
    EXPECT_EQ(v.nx, n.x);
    EXPECT_EQ(v.ny, n.y);
    EXPECT_EQ(v.nz, n.z);
    EXPECT_EQ(v.tu, tu);
    EXPECT_EQ(v.tv, tv);
}

// Every call of `device` in kinds only (SetTexture / DrawPrimitive alternate).
std::vector<Kind> Kinds(const RecordingDevice& device) {
    std::vector<Kind> kinds;
    for (const DeviceCall& c : device.calls) kinds.push_back(c.kind);
    return kinds;
}

TEST(DrawModel, BindsAndDrawsEachSlotOfEachMeshInOrder) {
    // Mesh 0: slots using textures 1 and 0; faces alternate between the slots.
    // Mesh 1: one slot using texture 2 and the same vertices: drawn at the same place.
    RsmMesh mesh0 = Mesh({1, 0}, {Face(0, 1, 2, 1), Face(0, 1, 3, 0), Face(1, 2, 3, 1, 2, 1, 0)});
    RsmMesh mesh1 = Mesh({2}, {Face(0, 1, 2, 0)});
    const RsmModel model = Model({mesh0, mesh1}, 3);
    const auto surfaces = Surfaces(3);

    RecordingDevice device;
    DrawModel(device, model, surfaces, true);

    ASSERT_EQ(Kinds(device), (std::vector<Kind>{Kind::SetTexture, Kind::DrawPrimitive,
                                                Kind::SetTexture, Kind::DrawPrimitive,
                                                Kind::SetTexture, Kind::DrawPrimitive}));
    const auto textures = device.Calls(Kind::SetTexture);
    EXPECT_EQ(textures[0].a, 0);
    EXPECT_EQ(textures[0].texture, surfaces[1]);
    EXPECT_EQ(textures[1].texture, surfaces[0]);
    EXPECT_EQ(textures[2].texture, surfaces[2]);

    const auto draws = device.Calls(Kind::DrawPrimitive);
    for (const DeviceCall& d : draws) {
        EXPECT_EQ(d.a, dx7::D3DPT_TRIANGLELIST);
        EXPECT_EQ(d.value, 0x112u);
        EXPECT_EQ(d.color, 0u);  // flags
    }
    // Slot 0 of mesh 0 (texture 1): face 1 (0, 1, 3): (1, 0, 0) × (0, 0, 2) = (0, −2, 0).
    ASSERT_EQ(draws[0].vertices.size(), 3u);
    const D3DVECTOR m{0, -2, 0};
    ExpectVertex(draws[0].vertices[0], {0, 0, 0}, m, 0, 0);
    ExpectVertex(draws[0].vertices[1], {1, 0, 0}, m, 1, 0);
    ExpectVertex(draws[0].vertices[2], {0, 0, 2}, m, 0.5f, 1);
    // Slot 1 of mesh 0 (texture 0): faces 0 and 2, in Faces order.
    ASSERT_EQ(draws[1].vertices.size(), 6u);
    const D3DVECTOR z1{0, 0, 1};
    ExpectVertex(draws[1].vertices[0], {0, 0, 0}, z1, 0, 0);
    ExpectVertex(draws[1].vertices[1], {1, 0, 0}, z1, 1, 0);
    ExpectVertex(draws[1].vertices[2], {0, 1, 0}, z1, 0.5f, 1);
    // Face (1, 2, 3): (P1 − P0) × (P2 − P0) = (−1, 1, 0) × (−1, 0, 2) = (2, 2, 1).
    const D3DVECTOR n{2, 2, 1};
    ExpectVertex(draws[1].vertices[3], {1, 0, 0}, n, 0.5f, 1);
    ExpectVertex(draws[1].vertices[4], {0, 1, 0}, n, 1, 0);
    ExpectVertex(draws[1].vertices[5], {0, 0, 2}, n, 0, 0);
    // Mesh 1 shares mesh 0's coordinates and is not offset.
    ASSERT_EQ(draws[2].vertices.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(draws[2].vertices[i].x, draws[1].vertices[i].x);
        EXPECT_EQ(draws[2].vertices[i].y, draws[1].vertices[i].y);
        EXPECT_EQ(draws[2].vertices[i].z, draws[1].vertices[i].z);
    }
}

TEST(DrawModel, TexturedOffBindsNoTextureAndKeepsTheSameCallsAndLists) {
    RsmMesh mesh = Mesh({0, 1}, {Face(0, 1, 2, 1), Face(0, 1, 3, 0)});
    const RsmModel model = Model({mesh}, 2);
    const auto surfaces = Surfaces(2);

    RecordingDevice on, off;
    DrawModel(on, model, surfaces, true);
    DrawModel(off, model, surfaces, false);

    ASSERT_EQ(Kinds(on), Kinds(off));
    for (const DeviceCall& c : off.Calls(Kind::SetTexture)) EXPECT_EQ(c.texture, nullptr);
    const auto a = on.Calls(Kind::DrawPrimitive), b = off.Calls(Kind::DrawPrimitive);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].vertices.size(), b[i].vertices.size());
        for (size_t k = 0; k < a[i].vertices.size(); ++k) {
            EXPECT_EQ(0, std::memcmp(&a[i].vertices[k], &b[i].vertices[k], sizeof(D3DVERTEX)));
        }
    }
}

TEST(DrawModel, SlotsThatNoFaceUsesStillBindAndDrawZeroVertices) {
    // Three slots; only slot 1 is used. A mesh without faces draws 0 for its slot too.
    RsmMesh used = Mesh({0, 1, 2}, {Face(0, 1, 2, 1)});
    RsmMesh empty = Mesh({2}, {});
    const RsmModel model = Model({used, empty}, 3);
    const auto surfaces = Surfaces(3);

    RecordingDevice device;
    DrawModel(device, model, surfaces, true);

    const auto draws = device.Calls(Kind::DrawPrimitive);
    ASSERT_EQ(draws.size(), 4u);
    EXPECT_EQ(draws[0].vertices.size(), 0u);
    EXPECT_EQ(draws[1].vertices.size(), 3u);
    EXPECT_EQ(draws[2].vertices.size(), 0u);
    EXPECT_EQ(draws[3].vertices.size(), 0u);
    const auto textures = device.Calls(Kind::SetTexture);
    ASSERT_EQ(textures.size(), 4u);
    EXPECT_EQ(textures[0].texture, surfaces[0]);
    EXPECT_EQ(textures[2].texture, surfaces[2]);
    EXPECT_EQ(textures[3].texture, surfaces[2]);
}

TEST(DrawModel, MeshesWithoutSlotsAndTheBlankLastMeshDrawNothing) {
    RsmMesh no_slots = Mesh({}, {Face(0, 1, 2, 0)});
    RsmModel model = Model({no_slots, no_slots}, 0);
    // The blank element after the last mesh is never drawn, even when it has content.
    model.Meshes.back() = Mesh({0}, {Face(0, 1, 2, 0)});
    RecordingDevice device;
    DrawModel(device, model, Surfaces(1), true);
    EXPECT_TRUE(device.calls.empty());
}

TEST(DrawModel, FacesWithSlotsOutsideTheMeshAreNeverDrawn) {
    RsmMesh mesh = Mesh({0}, {Face(0, 1, 2, -1), Face(0, 1, 2, 1), Face(0, 1, 3, 0),
                              Face(0, 1, 2, 32767)});
    RecordingDevice device;
    DrawModel(device, Model({mesh}, 1), Surfaces(1), true);
    const auto draws = device.Calls(Kind::DrawPrimitive);
    ASSERT_EQ(draws.size(), 1u);
    ASSERT_EQ(draws[0].vertices.size(), 3u);
    EXPECT_EQ(draws[0].vertices[2].z, 2.0f);
}

TEST(DrawModel, BadFacesAreSkippedAndEverythingElseIsDrawn) {
    RsmMesh mesh = Mesh({0}, {});
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    mesh.Vertices.push_back({nan, 0, 0});   // 4
    mesh.Vertices.push_back({0, inf, 0});   // 5
    mesh.Vertices.push_back({3e30f, 0, 0});    // 6: finite, but the normal overflows
    mesh.Vertices.push_back({0, 3e30f, 0});    // 7
    mesh.Vertices.push_back({1e18f, 0, 0});    // 8: large, normal still finite
    mesh.VertexCount = static_cast<int32_t>(mesh.Vertices.size());
    mesh.TexVertices.push_back(TexVertex(nan, 0));  // 3
    mesh.TexVertices.push_back(TexVertex(0, -inf));  // 4
    mesh.TexVertexCount = static_cast<int32_t>(mesh.TexVertices.size());
    mesh.Faces = {
        Face(0, 1, 2, 0),           // good
        Face(0, 1, 9, 0),           // vertex index past the end
        Face(-1, 1, 2, 0),          // negative vertex index
        Face(0, 1, 2, 0, 0, 1, 5),  // texture-vertex index past the end
        Face(0, 1, 2, 0, -3, 1, 2), // negative texture-vertex index
        Face(0, 4, 2, 0),           // NaN position
        Face(5, 1, 2, 0),           // infinite position
        Face(0, 1, 2, 0, 3, 1, 2),  // NaN texture coordinate
        Face(0, 1, 2, 0, 0, 4, 2),  // infinite texture coordinate
        Face(0, 6, 7, 0),           // normal overflows
        Face(0, 8, 2, 0),           // good, large
        Face(0, 1, 3, 0),           // good
    };
    mesh.FaceCount = static_cast<int32_t>(mesh.Faces.size());
    RecordingDevice device;
    DrawModel(device, Model({mesh}, 1), Surfaces(1), true);

    const auto draws = device.Calls(Kind::DrawPrimitive);
    ASSERT_EQ(draws.size(), 1u);
    ASSERT_EQ(draws[0].vertices.size(), 9u);
    EXPECT_EQ(draws[0].vertices[1].x, 1.0f);
    EXPECT_EQ(draws[0].vertices[4].x, 1e18f);
    EXPECT_EQ(draws[0].vertices[8].z, 2.0f);
    for (const D3DVERTEX& v : draws[0].vertices) {
        EXPECT_TRUE(std::isfinite(v.nx) && std::isfinite(v.ny) && std::isfinite(v.nz));
    }
}

TEST(DrawModel, TextureIdsOutsideTheLoadedTexturesDrawUntextured) {
    RsmMesh mesh = Mesh({0, 7, -1, 1}, {Face(0, 1, 2, 1), Face(0, 1, 2, 2)});
    const auto surfaces = Surfaces(2);
    RecordingDevice device;
    DrawModel(device, Model({mesh}, 2), surfaces, true);
    const auto textures = device.Calls(Kind::SetTexture);
    ASSERT_EQ(textures.size(), 4u);
    EXPECT_EQ(textures[0].texture, surfaces[0]);
    EXPECT_EQ(textures[1].texture, nullptr);
    EXPECT_EQ(textures[2].texture, nullptr);
    EXPECT_EQ(textures[3].texture, surfaces[1]);
    const auto draws = device.Calls(Kind::DrawPrimitive);
    EXPECT_EQ(draws[1].vertices.size(), 3u);
    EXPECT_EQ(draws[2].vertices.size(), 3u);
    // No textures loaded at all (nothing opened yet): every slot draws untextured.
    RecordingDevice bare;
    DrawModel(bare, Model({mesh}, 2), {}, true);
    for (const DeviceCall& c : bare.Calls(Kind::SetTexture)) EXPECT_EQ(c.texture, nullptr);
    EXPECT_EQ(bare.Calls(Kind::DrawPrimitive).size(), 4u);
}

TEST(DrawModel, DegenerateFacesAreDrawnWithAZeroNormal) {
    RsmMesh mesh = Mesh({0}, {Face(0, 0, 1, 0), Face(0, 1, 1, 0)});
    RecordingDevice device;
    DrawModel(device, Model({mesh}, 1), Surfaces(1), true);
    const auto draws = device.Calls(Kind::DrawPrimitive);
    ASSERT_EQ(draws[0].vertices.size(), 6u);
    for (const D3DVERTEX& v : draws[0].vertices) {
        EXPECT_EQ(v.nx, 0.0f);
        EXPECT_EQ(v.ny, 0.0f);
        EXPECT_EQ(v.nz, 0.0f);
    }
}

TEST(DrawModel, ReusedBuffersNeverChangeWhatIsDrawn) {
    RsmMesh big = Mesh({0, 1}, {Face(0, 1, 2, 0), Face(0, 1, 3, 0), Face(1, 2, 3, 1)});
    RsmMesh small = Mesh({0}, {Face(1, 2, 3, 0)});
    RsmModel model = Model({big, small}, 2);
    const auto surfaces = Surfaces(2);
    DrawBuffers buffers;

    RecordingDevice first;
    DrawModel(first, model, surfaces, true, &buffers);
    // The model changes between frames: the next frame shows the change.
    model.Meshes[1].Vertices[3].Z = 5;
    RecordingDevice second;
    DrawModel(second, model, surfaces, true, &buffers);
    RecordingDevice fresh;
    DrawModel(fresh, model, surfaces, true);

    const auto a = second.Calls(Kind::DrawPrimitive), b = fresh.Calls(Kind::DrawPrimitive);
    ASSERT_EQ(a.size(), 3u);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].vertices.size(), b[i].vertices.size());
        for (size_t k = 0; k < a[i].vertices.size(); ++k) {
            EXPECT_EQ(0, std::memcmp(&a[i].vertices[k], &b[i].vertices[k], sizeof(D3DVERTEX)));
        }
    }
    EXPECT_EQ(a[2].vertices[2].z, 5.0f);
    EXPECT_EQ(first.Calls(Kind::DrawPrimitive)[2].vertices[2].z, 2.0f);
}

TEST(DrawModel, DeviceFailureStopsAtOnceWithItsResultCode) {
    RsmMesh mesh = Mesh({0, 1}, {Face(0, 1, 2, 0), Face(0, 1, 3, 1)});
    RecordingDevice device;
    device.FailAtCall(1, dx7::D3DERR_INVALIDVERTEXTYPE);  // the first DrawPrimitive
    try {
        DrawModel(device, Model({mesh}, 2), Surfaces(2), true);
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), dx7::D3DERR_INVALIDVERTEXTYPE);
    }
    EXPECT_EQ(device.calls.size(), 2u);
}

}  // namespace
}  // namespace plovant
