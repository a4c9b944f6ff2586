// DrawModel builds the lists of all slots of a mesh in one pass over its faces, with the
// usable vertices looked up in tables kept in DrawBuffers: the lists must stay exactly
// the faces of each slot in Faces order, whatever the faces, slots and earlier meshes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "errors/error.h"
#include "recording_device.h"
#include "render/draw_model.h"
#include "render/math/d3d_math.h"

namespace plovant {
namespace {

using test_support::DeviceCall;
using test_support::RecordingDevice;
using Kind = DeviceCall::Kind;

RsmFace Face(int16_t v0, int16_t v1, int16_t v2, int16_t slot, int16_t t0 = 0, int16_t t1 = 0,
             int16_t t2 = 0) {
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

// A mesh of `vertex_count` vertices at (i, 2i, 3i) with one texture vertex per vertex at
// (i, −i), `slot_count` texture slots and the given faces.
RsmMesh Mesh(int vertex_count, int32_t slot_count, std::vector<RsmFace> faces) {
    RsmMesh mesh;
    for (int i = 0; i < vertex_count; ++i) {
        const float f = static_cast<float>(i);
        mesh.Vertices.push_back({f, 2 * f, 3 * f + (i % 2 ? 0.5f : 0.0f)});
        RsmTexVertex t;
        t.U = f;
        t.V = -f;
        mesh.TexVertices.push_back(t);
    }
    mesh.VertexCount = vertex_count;
    mesh.TexVertexCount = vertex_count;
    for (int32_t j = 0; j < slot_count; ++j) mesh.TextureIds.push_back(0);
    mesh.TextureCount = slot_count;
    mesh.Faces = std::move(faces);
    mesh.FaceCount = static_cast<int32_t>(mesh.Faces.size());
    return mesh;
}

RsmModel Model(std::vector<RsmMesh> meshes) {
    RsmModel model;
    model.MeshCount = static_cast<int32_t>(meshes.size());
    model.Meshes = std::move(meshes);
    model.Meshes.emplace_back();
    model.TextureCount = 1;
    model.TextureNames.resize(2);
    return model;
}

// The position indices of the faces a draw call holds, read back from its vertices
// (vertex i sits at x = i).
std::vector<int> FaceCorners(const DeviceCall& draw) {
    std::vector<int> corners;
    for (const D3DVERTEX& v : draw.vertices) corners.push_back(static_cast<int>(v.x));
    return corners;
}

TEST(DrawModelSlots, InterleavedSlotsWithBadFacesKeepEachSlotsFacesInOrder) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    RsmMesh mesh = Mesh(8, 3,
                        {
                            Face(0, 1, 2, 2),     // slot 2
                            Face(1, 2, 3, 0),     // slot 0
                            Face(2, 3, 9, 0),     // bad: index past the end
                            Face(3, 4, 5, 1),     // slot 1
                            Face(4, 5, 6, -1),    // never drawn: negative slot
                            Face(5, 6, 7, 0),     // slot 0
                            Face(6, 7, 0, 3),     // never drawn: slot past the count
                            Face(7, 0, 1, 2, 1),  // slot 2, texture vertex 1
                            Face(0, 2, 4, 0, 7),  // bad: NaN texture coordinate below
                            Face(1, 3, 5, 0),     // slot 0
                        });
    mesh.TexVertices[7].U = nan;
    const RsmModel model = Model({mesh});
    RecordingDevice device;
    DrawBuffers buffers;
    DrawModel(device, model, {}, true, &buffers);

    const auto draws = device.Calls(Kind::DrawPrimitive);
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(FaceCorners(draws[0]), (std::vector<int>{1, 2, 3, 5, 6, 7, 1, 3, 5}));
    EXPECT_EQ(FaceCorners(draws[1]), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(FaceCorners(draws[2]), (std::vector<int>{0, 1, 2, 7, 0, 1}));
    EXPECT_EQ(draws[2].vertices[3].tu, 1.0f);  // texture vertex 1 of face (7, 0, 1)
    EXPECT_EQ(draws[2].vertices[4].tu, 0.0f);

    // The same model drawn again with the same buffers, and without any, draws the same.
    for (DrawBuffers* b : {&buffers, static_cast<DrawBuffers*>(nullptr)}) {
        RecordingDevice again;
        DrawModel(again, model, {}, true, b);
        const auto repeat = again.Calls(Kind::DrawPrimitive);
        ASSERT_EQ(repeat.size(), draws.size());
        for (size_t i = 0; i < draws.size(); ++i) {
            ASSERT_EQ(repeat[i].vertices.size(), draws[i].vertices.size());
            EXPECT_EQ(0, std::memcmp(repeat[i].vertices.data(), draws[i].vertices.data(),
                                     draws[i].vertices.size() * sizeof(D3DVERTEX)));
        }
    }
}

TEST(DrawModelSlots, IndicesPastASmallerMeshAreSkippedAfterALargerOne) {
    // Mesh 0 has 40 vertices, mesh 1 only 4: faces of mesh 1 reaching indices 4 … 39 are
    // outside its arrays, whatever mesh 0 left in the reused buffers, in this frame and
    // in the next, after mesh 0 has grown.
    RsmModel model = Model({Mesh(40, 1, {Face(30, 35, 39, 0, 30, 35, 39)}),
                            Mesh(4, 1,
                                 {Face(0, 1, 2, 0), Face(0, 1, 30, 0), Face(0, 1, 2, 0, 0, 1, 35),
                                  Face(1, 2, 3, 0)})});
    DrawBuffers buffers;
    const auto expect_frame = [&](std::vector<int> mesh0) {
        RecordingDevice device;
        DrawModel(device, model, {}, true, &buffers);
        const auto draws = device.Calls(Kind::DrawPrimitive);
        ASSERT_EQ(draws.size(), 2u);
        EXPECT_EQ(FaceCorners(draws[0]), mesh0);
        EXPECT_EQ(FaceCorners(draws[1]), (std::vector<int>{0, 1, 2, 1, 2, 3}));
    };
    expect_frame({30, 35, 39});
    model.Meshes[0] = Mesh(60, 1, {Face(50, 55, 59, 0), Face(30, 35, 39, 0)});
    expect_frame({50, 55, 59, 30, 35, 39});

    // A vertex made unusable between frames is seen at once.
    model.Meshes[1].Vertices[3].Y = std::numeric_limits<float>::infinity();
    RecordingDevice device;
    DrawModel(device, model, {}, true, &buffers);
    EXPECT_EQ(FaceCorners(device.Calls(Kind::DrawPrimitive)[1]), (std::vector<int>{0, 1, 2}));
}

TEST(DrawModelSlots, NegativeIndicesNeverReachVerticesPast32767) {
    // A face index is an int16_t: −1 must not stand for vertex 65535, nor −32768 for
    // vertex 32768, in a mesh that has them; index 32767 is the last reachable vertex.
    RsmMesh mesh = Mesh(70000, 1,
                        {Face(-1, 1, 2, 0), Face(0, -32768, 2, 0), Face(0, 1, 2, 0, 0, -1, 0),
                         Face(32765, 32766, 32767, 0, 32765, 32766, 32767)});
    RecordingDevice device;
    DrawModel(device, Model({mesh}), {}, true);
    const auto draws = device.Calls(Kind::DrawPrimitive);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(FaceCorners(draws[0]), (std::vector<int>{32765, 32766, 32767}));
    EXPECT_EQ(draws[0].vertices[2].tv, -32767.0f);
}

// Counts the calls and keeps only the draws that hold vertices.
class CountingDevice : public dx7::Direct3DDevice7 {
public:
    CountingDevice() : Direct3DDevice7(test_support::MakeRenderTarget(4, 4)) {}
    void SetTexture(int32_t, dx7::SurfacePtr) override { ++textures; }
    void DrawPrimitive(int32_t, uint32_t, const D3DVERTEX* vertices, int32_t count,
                       uint32_t) override {
        if (count > 0) drawn.push_back({draws, std::vector<D3DVERTEX>(vertices, vertices + count)});
        ++draws;
    }
    int textures = 0, draws = 0;
    std::vector<std::pair<int, std::vector<D3DVERTEX>>> drawn;  // (call number, vertices)
};

TEST(DrawModelSlots, SlotsBeyondTheLastAFaceCanNameStillBindAndDrawNothing) {
    // TextureSlot is an int16_t, so slots 32767 and below can hold faces; the slots after
    // them are bound and drawn empty like any unused slot.
    RsmMesh mesh = Mesh(3, 32770, {Face(0, 1, 2, 32767), Face(2, 1, 0, 5)});
    CountingDevice device;
    DrawModel(device, Model({mesh}), {}, true);
    EXPECT_EQ(device.textures, 32770);
    EXPECT_EQ(device.draws, 32770);
    ASSERT_EQ(device.drawn.size(), 2u);
    EXPECT_EQ(device.drawn[0].first, 5);
    EXPECT_EQ(device.drawn[0].second[0].x, 2.0f);
    EXPECT_EQ(device.drawn[1].first, 32767);
    EXPECT_EQ(device.drawn[1].second[0].x, 0.0f);
}

TEST(DrawModelSlots, NormalsMatchFaceNormalAtEveryMagnitude) {
    // Small corners take the fast arithmetic, corners of 1e18 and beyond the checked
    // FaceNormal; both must give FaceNormal's bits, signed zeros included.
    const float values[] = {0.0f, -0.0f, 1e-40f, 3.25f, -7.5e5f, 9.9e17f, 1e18f, 3e18f, -2e19f};
    RsmMesh mesh = Mesh(3, 1, {Face(0, 1, 2, 0)});
    for (float a : values) {
        for (float b : values) {
            mesh.Vertices = {{a, b, 1}, {b, -a, 2}, {a + 1, 0.5f, b}};
            RecordingDevice device;
            DrawModel(device, Model({mesh}), {}, true);
            const auto draws = device.Calls(Kind::DrawPrimitive);
            ASSERT_EQ(draws.size(), 1u);
            const auto& p = mesh.Vertices;
            D3DVECTOR expected;
            try {
                expected = FaceNormal(MakeVector(p[1].X, p[1].Y, p[1].Z),
                                      MakeVector(p[0].X, p[0].Y, p[0].Z),
                                      MakeVector(p[2].X, p[2].Y, p[2].Z));
            } catch (const Error&) {
                EXPECT_TRUE(draws[0].vertices.empty()) << a << " " << b;  // overflows
                continue;
            }
            ASSERT_EQ(draws[0].vertices.size(), 3u) << a << " " << b;
            for (const D3DVERTEX& v : draws[0].vertices) {
                EXPECT_EQ(0, std::memcmp(&v.nx, &expected, sizeof expected)) << a << " " << b;
            }
        }
    }
}

}  // namespace
}  // namespace plovant
