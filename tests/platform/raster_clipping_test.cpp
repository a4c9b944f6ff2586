// Clipping: the near and far planes, triangles behind the eye, the guard band, and
// coordinates that must be rejected without harm.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "platform/dx7/raster/rasteriser.h"
#include "raster_test_canvas.h"

namespace plovant::raster {
namespace {

using testing::Canvas;
using testing::CoverageCounts;
using testing::PlainState;
using testing::WithColor;

constexpr int kSize = 64;

// A left-handed perspective projection with a 90° field of view: the view-space point
// (x, y, z) goes to clip space (x, y, (z − near) · far / (far − near), z).
struct Camera {
    float near = 1.0f, far = 100.0f;
    Vertex Clip(float x, float y, float z) const {
        Vertex v;
        v.x = x;
        v.y = y;
        v.z = (z - near) * far / (far - near);
        v.w = z;
        return WithColor(v, 0xFF8000);
    }
    // The view direction through the centre of pixel (px, py).
    static void Ray(int px, int py, double& dx, double& dy) {
        dx = (px - kSize / 2.0) / (kSize / 2.0);
        dy = (kSize / 2.0 - py) / (kSize / 2.0);
    }
};

// 1 inside, 0 outside, −1 within `margin` of an edge of the triangle (a, b, c) in the
// x-z plane.
int InsideXZ(double x, double z, const double a[2], const double b[2], const double c[2],
             double margin) {
    auto side = [&](const double p[2], const double q[2]) {
        const double ex = q[0] - p[0], ez = q[1] - p[1];
        return (ex * (z - p[1]) - ez * (x - p[0])) / std::hypot(ex, ez);
    };
    const double s0 = side(a, b), s1 = side(b, c), s2 = side(c, a);
    const double lo = std::min({s0, s1, s2}), hi = std::max({s0, s1, s2});
    if (lo > margin || hi < -margin) return 1;  // all on one side
    if (std::fabs(lo) <= margin || std::fabs(hi) <= margin) return -1;
    return 0;
}

// A floor triangle at height y = −0.5 with corners (x, z) given; compares every pixel
// with the analytic picture: drawn where its ray meets the triangle between the near
// and far planes. Pixels within a small margin of any boundary are not judged.
void ExpectFloorTriangle(const Camera& cam, const double a[2], const double b[2],
                         const double c[2]) {
    Canvas canvas(kSize, kSize);
    const State state = PlainState(kSize, kSize);
    const std::vector<Vertex> tri = {cam.Clip(a[0], -0.5f, a[1]), cam.Clip(b[0], -0.5f, b[1]),
                                     cam.Clip(c[0], -0.5f, c[1])};
    DrawTriangleList(state, canvas.target(), tri.data(), 3);
    int drawn = 0;
    for (int py = 0; py < kSize; ++py) {
        for (int px = 0; px < kSize; ++px) {
            double dx, dy;
            Camera::Ray(px, py, dx, dy);
            // 1 drawn, 0 not drawn, −1 too close to a boundary to judge.
            int expected = 0;
            if (dy < 0) {
                const double z = -0.5 / dy;  // where the ray meets the floor
                const int in_triangle = InsideXZ(z * dx, z, a, b, c, 0.03 * z);
                int in_depth = -1;
                if (z > cam.near * 1.03 && z < cam.far * 0.97) in_depth = 1;
                if (z < cam.near * 0.97 || z > cam.far * 1.03) in_depth = 0;
                if (in_triangle == 0 || in_depth == 0) {
                    expected = 0;
                } else {
                    expected = (in_triangle == 1 && in_depth == 1) ? 1 : -1;
                }
            }
            if (expected == -1) continue;
            EXPECT_EQ(canvas.touched(px, py), expected == 1) << px << "," << py;
            drawn += expected;
        }
    }
    EXPECT_TRUE(canvas.padding_untouched());
    EXPECT_GT(drawn, 200);  // the picture is not trivially empty
    // The depth written lies in range: the near plane maps to 0, the far one to 65535.
    for (int py = 0; py < kSize; ++py) {
        for (int px = 0; px < kSize; ++px) {
            if (canvas.touched(px, py)) {
                EXPECT_LT(canvas.depth(px, py), 65535);
            }
        }
    }
}

TEST(RasterClipping, TriangleCrossingTheNearPlaneIsCut) {
    // One corner lies behind the eye (w < 0): unclipped, its projection would flip to
    // the other side of the screen. The near plane (z = 1) crosses the view at row 48.
    const Camera cam;
    const double a[2] = {-1.5, 4.0}, b[2] = {1.5, 4.0}, c[2] = {0.0, -2.0};
    ExpectFloorTriangle(cam, a, b, c);
}

TEST(RasterClipping, TriangleCrossingTheFarPlaneIsCut) {
    Camera cam;
    cam.far = 10.0f;
    const double a[2] = {-3.0, 2.0}, b[2] = {3.0, 2.0}, c[2] = {0.0, 30.0};
    ExpectFloorTriangle(cam, a, b, c);
}

TEST(RasterClipping, TrianglesBehindOrBeforeTheNearPlaneDrawNothing) {
    Canvas canvas(kSize, kSize);
    const State state = PlainState(kSize, kSize);
    const Camera cam;
    const std::vector<std::vector<Vertex>> hidden = {
        // Behind the eye (w < 0), in line with the view.
        {cam.Clip(-1, -1, -3), cam.Clip(1, -1, -3), cam.Clip(0, 1, -2)},
        // Between the eye and the near plane.
        {cam.Clip(-0.1f, -0.1f, 0.5f), cam.Clip(0.1f, -0.1f, 0.5f), cam.Clip(0, 0.1f, 0.9f)},
        // On the eye plane itself (w = 0).
        {cam.Clip(-1, -1, 0), cam.Clip(1, -1, 0), cam.Clip(0, 1, 0)},
        // Beyond the far plane.
        {cam.Clip(-50, -50, 200), cam.Clip(50, -50, 200), cam.Clip(0, 50, 300)},
        // Wholly to the left of the view.
        {cam.Clip(-9, -1, 3), cam.Clip(-4, -1, 3), cam.Clip(-6, 1, 3)},
    };
    for (size_t i = 0; i < hidden.size(); ++i) {
        DrawTriangleList(state, canvas.target(), hidden[i].data(), 3);
        EXPECT_EQ(canvas.count_touched(), 0) << i;
    }
}

TEST(RasterClipping, ClippedMeshStillCoversEachPixelOnce) {
    // A floor grid that reaches behind the eye: the pieces left by the near plane must
    // still tile the visible floor.
    Canvas canvas(40, 40);
    const State state = PlainState(40, 40);
    const Camera cam;
    std::vector<Vertex> tris;
    const int n = 8;
    auto p = [&](int i, int j) {
        return cam.Clip(-6.0f + 12.0f * i / n, -0.5f, -3.0f + 13.0f * j / n);
    };
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            tris.insert(tris.end(), {p(i, j), p(i + 1, j), p(i + 1, j + 1)});
            tris.insert(tris.end(), {p(i, j), p(i + 1, j + 1), p(i, j + 1)});
        }
    const auto counts = CoverageCounts(state, canvas, tris);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const int c = counts[static_cast<size_t>(y * 40 + x)];
            ASSERT_LE(c, 1) << x << "," << y;
            // Rows 22..29 see the floor between the horizon and the near plane (row 30).
            if (y >= 22 && y < 30) {
                EXPECT_EQ(c, 1) << x << "," << y;
            }
            if (y < 20) {
                EXPECT_EQ(c, 0) << x << "," << y;  // above the far edge
            }
        }
}

TEST(RasterClipping, GuardBandKeepsFarVerticesExact) {
    // Vertices a million viewport widths away: the visible part is the half plane above
    // the line y = 0.3 + 0.5 x (in normalised device coordinates).
    Canvas canvas(kSize, kSize);
    const State state = PlainState(kSize, kSize);
    for (float w : {1.0f, 1e-3f, 250.0f}) {
        auto v = [&](float x, float y) {
            Vertex out;
            out.x = x * w;
            out.y = y * w;
            out.z = 0.5f * w;
            out.w = w;
            return out;
        };
        const std::vector<Vertex> tri = {v(-1e6f, 0.3f - 0.5e6f), v(1e6f, 0.3f + 0.5e6f),
                                         v(-1e6f, 1e7f)};
        canvas.clear();
        DrawTriangleList(state, canvas.target(), tri.data(), 3);
        for (int py = 0; py < kSize; ++py)
            for (int px = 0; px < kSize; ++px) {
                double dx, dy;
                Camera::Ray(px, py, dx, dy);
                const double above = dy - (0.3 + 0.5 * dx);
                if (std::fabs(above) < 0.05) continue;
                EXPECT_EQ(canvas.touched(px, py), above > 0) << px << "," << py << " w " << w;
            }
    }
}

TEST(RasterClipping, WildCoordinatesNeverWriteOutsideTheViewport) {
    const float kNaN = std::numeric_limits<float>::quiet_NaN();
    const float kInf = std::numeric_limits<float>::infinity();
    const float specials[] = {kNaN,   kInf,   -kInf, 0.0f,  -0.0f,  1e38f,   -1e38f,
                              1e-38f, 1e-45f, 1e30f, 3e30f, -1e20f, 1e-9f,   0.5f,
                              -1.0f,  1.0f,   2.0f,  1e5f,  -7e6f,  65536.0f};
    std::mt19937 rng(12345);
    std::uniform_int_distribution<size_t> pick(0, std::size(specials) - 1);
    std::uniform_real_distribution<float> ordinary(-2.0f, 2.0f);
    std::vector<Vertex> vertices;
    for (int i = 0; i < 30000; ++i) {
        Vertex v;
        float* f = &v.x;
        for (int k = 0; k < 10; ++k) f[k] = (rng() % 3 == 0) ? specials[pick(rng)] : ordinary(rng);
        vertices.push_back(v);
    }
    Canvas canvas(48, 48);
    State state = PlainState(48, 48);
    state.viewport = Viewport{8, 8, 32, 32, 0.0f, 1.0f};
    const std::vector<uint32_t> tex_texels = {0xFF112233u, 0x00445566u, 0xFF778899u, 0xFFAABBCCu};
    Texture tex{tex_texels.data(), 2, 2, 2};
    for (FillMode fill : {FillMode::Solid, FillMode::Wireframe, FillMode::Point}) {
        for (bool textured : {false, true}) {
            state.fill = fill;
            state.texture = textured ? &tex : nullptr;
            state.color_op = textured ? ColorOp::Modulate : ColorOp::Diffuse;
            state.mag_filter = textured ? Filter::Linear : Filter::Point;
            state.color_key = textured;
            DrawTriangleList(state, canvas.target(), vertices.data(), vertices.size());
        }
    }
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 48; ++x) {
            if (x < 8 || x >= 40 || y < 8 || y >= 40) {
                ASSERT_FALSE(canvas.touched(x, y)) << x << "," << y;
            }
        }
    }
    EXPECT_TRUE(canvas.padding_untouched());
    EXPECT_GT(canvas.count_touched(), 0);  // the ordinary triangles among them did draw
}

TEST(RasterClipping, TriangleWithANonFiniteVertexIsRejected) {
    Canvas canvas(16, 16);
    const State state = PlainState(16, 16);
    const Camera cam;
    for (float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        for (int corner = 0; corner < 3; ++corner) {
            for (int coordinate = 0; coordinate < 4; ++coordinate) {
                std::vector<Vertex> tri = {cam.Clip(-2, -2, 3), cam.Clip(2, -2, 3),
                                           cam.Clip(0, 2, 3)};
                (&tri[static_cast<size_t>(corner)].x)[coordinate] = bad;
                DrawTriangleList(state, canvas.target(), tri.data(), 3);
                EXPECT_EQ(canvas.count_touched(), 0) << corner << " " << coordinate;
            }
        }
    }
}

}  // namespace
}  // namespace plovant::raster
