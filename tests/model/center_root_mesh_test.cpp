// Centring the first mesh: float32 arithmetic with the bounds starting at ±9999.
#include <gtest/gtest.h>

#include <cfloat>

#include "errors/error.h"
#include "model/rsm_model.h"

namespace plovant {
namespace {

RsmModel WithFirstMesh(std::vector<RsmVertex> vertices) {
    RsmModel model;
    model.MeshCount = 1;
    model.Meshes.resize(2);
    model.Meshes[0].VertexCount = int32_t(vertices.size());
    model.Meshes[0].Vertices = std::move(vertices);
    return model;
}

void ExpectVertex(const RsmVertex& v, float x, float y, float z) {
    EXPECT_EQ(v.X, x);
    EXPECT_EQ(v.Y, y);
    EXPECT_EQ(v.Z, z);
}

TEST(CenterRootMesh, CentresTheBoundingBoxAndReturnsTheLargestSide) {
    RsmModel model = WithFirstMesh({{1, 2, 3}, {3, 6, 11}});
    EXPECT_EQ(CenterRootMesh(model), 8.0f);
    ExpectVertex(model.Meshes[0].Vertices[0], -1, -2, -4);
    ExpectVertex(model.Meshes[0].Vertices[1], 1, 2, 4);
}

TEST(CenterRootMesh, TheStartValuesTakePartInTheBounds) {
    // X all above 9999: MinX stays 9999, so the shift is 10000.5 and the side 3.
    RsmModel above = WithFirstMesh({{10000, 0, 0}, {10002, 1, 1}});
    EXPECT_EQ(CenterRootMesh(above), 3.0f);
    ExpectVertex(above.Meshes[0].Vertices[0], -0.5f, -0.5f, -0.5f);
    ExpectVertex(above.Meshes[0].Vertices[1], 1.5f, 0.5f, 0.5f);

    // X all below -9999: MaxX stays -9999.
    RsmModel below = WithFirstMesh({{-10000, 0, 0}, {-10000, 2, 0}});
    EXPECT_EQ(CenterRootMesh(below), 2.0f);
    EXPECT_EQ(below.Meshes[0].Vertices[0].X, -0.5f);

    // No vertices at all: the bounds stay at their start values.
    RsmModel empty = WithFirstMesh({});
    EXPECT_EQ(CenterRootMesh(empty), -19998.0f);
}

TEST(CenterRootMesh, RoundsEveryStepToFloat32) {
    // 2^24 + 1 is not a float32: the sum of the bounds rounds to 2^24, so the shift is
    // 2^23, not 2^23 + 0.5 as wider arithmetic would give.
    RsmModel model = WithFirstMesh({{16777216.0f, 0, 0}, {1.0f, 0, 0}});
    EXPECT_EQ(CenterRootMesh(model), 16777215.0f);
    EXPECT_EQ(model.Meshes[0].Vertices[0].X, 8388608.0f);
    EXPECT_EQ(model.Meshes[0].Vertices[1].X, -8388607.0f);
}

TEST(CenterRootMesh, MovesOnlyTheFirstMesh) {
    RsmModel model = WithFirstMesh({{2, 2, 2}, {4, 4, 4}});
    model.MeshCount = 2;
    model.Meshes.resize(3);
    model.Meshes[1].VertexCount = 1;
    model.Meshes[1].Vertices = {{7.25f, -3.5f, 100.0f}};
    CenterRootMesh(model);
    ExpectVertex(model.Meshes[1].Vertices[0], 7.25f, -3.5f, 100.0f);
    ExpectVertex(model.Meshes[0].Vertices[0], -1, -1, -1);
}

TEST(CenterRootMesh, AnOverflowIsAnErrorThatChangesNothing) {
    RsmModel model = WithFirstMesh({{3e38f, 0, 0}, {-3e38f, 0, 0}});
    try {
        CenterRootMesh(model);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrOverflow);
    }
    EXPECT_EQ(model.Meshes[0].Vertices[0].X, 3e38f);
    EXPECT_EQ(model.Meshes[0].Vertices[1].X, -3e38f);

    // The shift itself is finite here, but moving one vertex overflows.
    RsmModel moved = WithFirstMesh({{FLT_MAX, 0, 0}, {-FLT_MAX, 0, 0}, {FLT_MAX, 0, 0}});
    EXPECT_THROW(CenterRootMesh(moved), Error);
    EXPECT_EQ(moved.Meshes[0].Vertices[0].X, FLT_MAX);
}

TEST(CenterRootMesh, AModelWithoutMeshesIsLeftAlone) {
    RsmModel model;
    EXPECT_EQ(CenterRootMesh(model), 0.0f);
}

}  // namespace
}  // namespace plovant
