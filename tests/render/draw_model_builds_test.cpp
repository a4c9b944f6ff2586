// DrawModel builds its lists with the SSE2 or the AVX2 build of its face loop, whichever
// the processor runs: both must hand the device the same vertices, bit for bit, for sound
// meshes and for damaged ones (bad indices, corners that are huge, infinite or NaN), and a
// mesh drawn after a larger one with the same buffers must not see the larger one's
// copied corners.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/dx7/raster/instruction_set.h"
#include "recording_device.h"
#include "render/draw_model.h"

namespace plovant {
namespace {

using test_support::DeviceCall;
using test_support::RecordingDevice;

// A grid mesh of n × n quads with two slots and some damage spread through it.
RsmMesh DamagedGrid(int n, uint32_t seed) {
    RsmMesh mesh;
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            mesh.Vertices.push_back({static_cast<float>(i) * 0.7f, static_cast<float>(j) * 0.3f,
                                     static_cast<float>((i * 7 + j * 3) % 5)});
            RsmTexVertex t;
            t.U = static_cast<float>(i) / static_cast<float>(n);
            t.V = static_cast<float>(j) / static_cast<float>(n);
            mesh.TexVertices.push_back(t);
        }
    }
    const auto at = [n](int i, int j) { return static_cast<int16_t>(j * (n + 1) + i); };
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            RsmFace a, b;
            a.V0 = a.T0 = at(i, j);
            a.V1 = a.T1 = at(i + 1, j);
            a.V2 = a.T2 = at(i, j + 1);
            b.V0 = b.T0 = at(i + 1, j);
            b.V1 = b.T1 = at(i + 1, j + 1);
            b.V2 = b.T2 = at(i, j + 1);
            a.TextureSlot = static_cast<int16_t>((i + j) % 2);
            b.TextureSlot = static_cast<int16_t>((i * j) % 3 == 0 ? 1 : 0);
            mesh.Faces.push_back(a);
            mesh.Faces.push_back(b);
        }
    }
    uint32_t state = seed;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    const float wild[] = {std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity(), 1e18f, -3e19f, 2e38f, 9e17f};
    for (int k = 0; k < 12; ++k) {
        RsmVertex& v = mesh.Vertices[next() % mesh.Vertices.size()];
        (&v.X)[next() % 3] = wild[next() % 6];
    }
    mesh.TexVertices[next() % mesh.TexVertices.size()].V = std::numeric_limits<float>::infinity();
    mesh.Faces[next() % mesh.Faces.size()].V1 = static_cast<int16_t>(mesh.Vertices.size());
    mesh.Faces[next() % mesh.Faces.size()].T2 = -4;
    mesh.Faces[next() % mesh.Faces.size()].TextureSlot = 7;
    mesh.VertexCount = static_cast<int32_t>(mesh.Vertices.size());
    mesh.TexVertexCount = static_cast<int32_t>(mesh.TexVertices.size());
    mesh.FaceCount = static_cast<int32_t>(mesh.Faces.size());
    mesh.TextureIds = {0, 1};
    mesh.TextureCount = 2;
    return mesh;
}

// The vertices of every DrawPrimitive call, one list per call, for the model drawn with
// `buffers`.
std::vector<std::vector<D3DVERTEX>> Lists(const RsmModel& model, DrawBuffers& buffers) {
    RecordingDevice device;
    const std::vector<dx7::SurfacePtr> textures;
    DrawModel(device, model, textures, true, &buffers);
    std::vector<std::vector<D3DVERTEX>> lists;
    for (const DeviceCall& call : device.calls)
        if (call.kind == DeviceCall::Kind::DrawPrimitive) lists.push_back(call.vertices);
    return lists;
}

bool SameBits(const std::vector<std::vector<D3DVERTEX>>& a,
              const std::vector<std::vector<D3DVERTEX>>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].size() != b[i].size()) return false;
        if (!a[i].empty() &&
            std::memcmp(a[i].data(), b[i].data(), a[i].size() * sizeof(D3DVERTEX)) != 0)
            return false;
    }
    return true;
}

TEST(DrawModelBuilds, BothInstructionSetsHandOverTheSameListsForDamagedMeshes) {
    using raster::InstructionSet;
    const InstructionSet before = raster::CurrentInstructionSet();
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        RsmModel model;
        model.Meshes = {DamagedGrid(9, seed), DamagedGrid(4, seed + 100)};
        model.MeshCount = 2;
        DrawBuffers sse2_buffers, avx2_buffers;
        raster::UseInstructionSet(InstructionSet::Sse2);
        const auto sse2 = Lists(model, sse2_buffers);
        raster::UseInstructionSet(InstructionSet::Avx2);  // SSE2 again where AVX2 is missing
        const auto avx2 = Lists(model, avx2_buffers);
        ASSERT_EQ(sse2.size(), 4u);
        EXPECT_GT(sse2[0].size() + sse2[1].size(), 300u) << "seed " << seed;
        EXPECT_TRUE(SameBits(sse2, avx2)) << "seed " << seed;
    }
    raster::UseInstructionSet(before);
}

TEST(DrawModelBuilds, ASmallerMeshAfterALargerOneDrawsAsWithFreshBuffers) {
    RsmModel large;
    large.Meshes = {DamagedGrid(12, 5)};
    large.MeshCount = 1;
    RsmModel small;
    small.Meshes = {DamagedGrid(3, 9)};
    small.MeshCount = 1;
    // Faces of the small mesh that point past its arrays, where the large mesh's corners
    // were copied.
    small.Meshes[0].Faces[0].V2 = 40;
    small.Meshes[0].Faces[1].T0 = 41;
    DrawBuffers reused, fresh;
    Lists(large, reused);
    const auto after_large = Lists(small, reused);
    const auto alone = Lists(small, fresh);
    EXPECT_TRUE(SameBits(after_large, alone));
}

}  // namespace
}  // namespace plovant
