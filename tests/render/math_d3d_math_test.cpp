// Vector, matrix and vertex operations: the facts the renderer and the camera rely on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>

#include "errors/error.h"
#include "render/math/d3d_math.h"

namespace plovant {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

struct Point4 {
    float x, y, z, w;
};

// The row vector (p, 1) times m.
Point4 Transform(const D3DVECTOR& p, const D3DMATRIX& m) {
    return {p.x * m._11 + p.y * m._21 + p.z * m._31 + m._41,
            p.x * m._12 + p.y * m._22 + p.z * m._32 + m._42,
            p.x * m._13 + p.y * m._23 + p.z * m._33 + m._43,
            p.x * m._14 + p.y * m._24 + p.z * m._34 + m._44};
}

D3DMATRIX Identity() {
    D3DMATRIX m;
    IdentityMatrix(m);
    return m;
}

D3DMATRIX Garbage() {
    D3DMATRIX m;
    for (int i = 0; i < 16; ++i) m.at(i / 4, i % 4) = 1234.5f + static_cast<float>(i);
    return m;
}

void ExpectMatrixNear(const D3DMATRIX& actual, const D3DMATRIX& expected, float tolerance) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(actual.at(r, c), expected.at(r, c), tolerance)
                << "entry _" << r + 1 << c + 1;
        }
    }
}

void ExpectAllFinite(const D3DMATRIX& m) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_TRUE(std::isfinite(m.at(i / 4, i % 4))) << "entry _" << i / 4 + 1 << i % 4 + 1;
    }
}

// The 3×3 part of a view matrix must be a rotation: orthonormal columns, determinant +1.
void ExpectRotationPart(const D3DMATRIX& m) {
    for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 3; ++b) {
            float dot = 0;
            for (int k = 0; k < 3; ++k) dot += m.at(k, a) * m.at(k, b);
            EXPECT_NEAR(dot, a == b ? 1.0f : 0.0f, 1e-5f) << "columns " << a << ", " << b;
        }
    }
    const float det = m._11 * (m._22 * m._33 - m._23 * m._32) -
                      m._12 * (m._21 * m._33 - m._23 * m._31) +
                      m._13 * (m._21 * m._32 - m._22 * m._31);
    EXPECT_NEAR(det, 1.0f, 1e-5f);
    EXPECT_EQ(m._14, 0.0f);
    EXPECT_EQ(m._24, 0.0f);
    EXPECT_EQ(m._34, 0.0f);
    EXPECT_EQ(m._44, 1.0f);
}

// --- records ----------------------------------------------------------------------------

TEST(MathRecords, VertexFillsTheFlexibleFormatLayoutInArgumentOrder) {
    // D3DFVF_VERTEX: position, normal, one pair of texture coordinates, packed floats.
    EXPECT_EQ(D3DFVF_VERTEX, 0x112u);
    EXPECT_EQ(offsetof(D3DVERTEX, x), 0u);
    EXPECT_EQ(offsetof(D3DVERTEX, nx), 12u);
    EXPECT_EQ(offsetof(D3DVERTEX, tu), 24u);
    EXPECT_EQ(offsetof(D3DMATRIX, _43), 56u);

    D3DVERTEX v;
    CreateD3DVertex(1, 2, 3, 4, 5, 6, 7, 8, v);
    float raw[8];
    std::memcpy(raw, &v, sizeof raw);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(raw[i], static_cast<float>(i + 1));

    const D3DVECTOR p = MakeVector(-1.5f, 0.25f, 3e38f);
    EXPECT_EQ(p.x, -1.5f);
    EXPECT_EQ(p.y, 0.25f);
    EXPECT_EQ(p.z, 3e38f);
}

// --- FaceNormal ---------------------------------------------------------------------------

TEST(MathFaceNormal, TriangleInListedOrderFacesPlusZ) {
    // The call made for P0 = (0,0,0), P1 = (1,0,0), P2 = (0,1,0): a = P1, b = P0, c = P2.
    const D3DVECTOR n =
        FaceNormal(MakeVector(1, 0, 0), MakeVector(0, 0, 0), MakeVector(0, 1, 0));
    EXPECT_EQ(n.x, 0.0f);
    EXPECT_EQ(n.y, 0.0f);
    EXPECT_EQ(n.z, 1.0f);

    // Listing the triangle the other way round turns the normal over.
    const D3DVECTOR reversed =
        FaceNormal(MakeVector(0, 1, 0), MakeVector(0, 0, 0), MakeVector(1, 0, 0));
    EXPECT_EQ(reversed.z, -1.0f);
}

TEST(MathFaceNormal, IsNotNormalisedAndMeasuresTwiceTheArea) {
    // P0 = (1,1,1), P1 = (1,4,1), P2 = (1,1,3): a right triangle of legs 3 and 2 in the
    // plane x = 1; (P1 − P0) × (P2 − P0) = (0,3,0) × (0,0,2) = (6,0,0).
    const D3DVECTOR p0 = MakeVector(1, 1, 1), p1 = MakeVector(1, 4, 1), p2 = MakeVector(1, 1, 3);
    const D3DVECTOR n = FaceNormal(p1, p0, p2);
    EXPECT_EQ(n.x, 6.0f);
    EXPECT_EQ(n.y, 0.0f);
    EXPECT_EQ(n.z, 0.0f);
}

TEST(MathFaceNormal, DegenerateTrianglesGiveZero) {
    const D3DVECTOR a = MakeVector(2, -3, 5);
    const D3DVECTOR b = MakeVector(4, 1, 9);
    const D3DVECTOR between = MakeVector(3, -1, 7);  // on the segment a–b
    for (const auto& n : {FaceNormal(a, a, b), FaceNormal(a, b, b), FaceNormal(a, b, between)}) {
        EXPECT_EQ(n.x, 0.0f);
        EXPECT_EQ(n.y, 0.0f);
        EXPECT_EQ(n.z, 0.0f);
    }
}

TEST(MathFaceNormal, LargeButRepresentableCoordinatesAreFine) {
    const D3DVECTOR n =
        FaceNormal(MakeVector(1e18f, 0, 0), MakeVector(0, 0, 0), MakeVector(0, 1e18f, 0));
    EXPECT_FLOAT_EQ(n.z, 1e36f);
}

TEST(MathFaceNormal, OverflowAndNonNumbersAreReportedAsOverflow) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const D3DVECTOR origin = MakeVector(0, 0, 0);
    const struct {
        D3DVECTOR a, b, c;
    } cases[] = {
        // A difference overflows: 3e38 − (−3e38).
        {MakeVector(-3e38f, 0, 0), MakeVector(3e38f, 0, 0), MakeVector(0, 1, 0)},
        // The differences are fine but a product overflows.
        {origin, MakeVector(1e20f, 0, 0), MakeVector(0, 1e20f, 0)},
        {origin, MakeVector(nan, 0, 0), MakeVector(0, 1, 0)},
        {origin, MakeVector(1, 0, 0), MakeVector(0, 0, inf)},
    };
    for (const auto& c : cases) {
        try {
            FaceNormal(c.a, c.b, c.c);
            ADD_FAILURE() << "no error for a non-finite normal";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), kErrOverflow);
            EXPECT_NE(e.description().find("normal"), std::string::npos);
        }
    }
}

// --- identity, rotations, product ------------------------------------------------------

TEST(MathMatrix, BuildersOverwriteEveryEntry) {
    D3DMATRIX m = Garbage();
    IdentityMatrix(m);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_EQ(m.at(r, c), r == c ? 1.0f : 0.0f);
    }
    D3DMATRIX x = Garbage(), z = Garbage(), p = Garbage(), v = Garbage();
    RotateXMatrix(x, 0.3f);
    RotateZMatrix(z, 0.3f);
    ProjectionMatrix(p, 1.0f, 100.0f, 1.0f);
    ViewMatrix(v, MakeVector(1, 2, 3), MakeVector(4, 5, 6), MakeVector(0, 1, 0), 0);
    for (const D3DMATRIX* built : {&x, &z, &p, &v}) {
        for (int i = 0; i < 16; ++i) EXPECT_LT(std::fabs(built->at(i / 4, i % 4)), 1000.0f);
    }
}

TEST(MathMatrix, RotationsByZeroAreExactlyTheIdentity) {
    D3DMATRIX x, z;
    RotateXMatrix(x, 0.0f);
    RotateZMatrix(z, 0.0f);
    const D3DMATRIX identity = Identity();
    EXPECT_EQ(std::memcmp(&x, &identity, sizeof x), 0);  // no −0 either
    EXPECT_EQ(std::memcmp(&z, &identity, sizeof z), 0);
}

TEST(MathMatrix, QuarterTurnsMoveAxesTheLeftHandedWay) {
    D3DMATRIX z;
    RotateZMatrix(z, kPi / 2);
    const Point4 p = Transform(MakeVector(1, 0, 0), z);
    EXPECT_NEAR(p.x, 0.0f, 1e-7f);
    EXPECT_NEAR(p.y, 1.0f, 1e-7f);
    EXPECT_EQ(p.z, 0.0f);
    EXPECT_EQ(p.w, 1.0f);

    D3DMATRIX x;
    RotateXMatrix(x, kPi / 2);
    const Point4 q = Transform(MakeVector(0, 1, 0), x);
    EXPECT_EQ(q.x, 0.0f);
    EXPECT_NEAR(q.y, 0.0f, 1e-7f);
    EXPECT_NEAR(q.z, 1.0f, 1e-7f);
}

TEST(MathMatrix, TiltOf120DegreesHasTheExpectedEntries) {
    D3DMATRIX x;
    RotateXMatrix(x, static_cast<float>(120.0 * std::numbers::pi / 180.0));
    D3DMATRIX expected = Identity();
    expected._22 = expected._33 = -0.5f;
    expected._23 = 0.8660254f;
    expected._32 = -0.8660254f;
    ExpectMatrixNear(x, expected, 1e-6f);
}

TEST(MathMatrix, ProductWithIdentityGivesTheOtherOperand) {
    D3DMATRIX a;
    for (int i = 0; i < 16; ++i) a.at(i / 4, i % 4) = static_cast<float>(i * i) - 7.5f;
    const D3DMATRIX identity = Identity();
    D3DMATRIX d = Garbage();
    MatrixMultiply(d, a, identity);
    EXPECT_EQ(std::memcmp(&d, &a, sizeof d), 0);
    d = Garbage();
    MatrixMultiply(d, identity, a);
    EXPECT_EQ(std::memcmp(&d, &a, sizeof d), 0);
}

TEST(MathMatrix, ProductAppliesTheLeftOperandFirst) {
    D3DMATRIX spin, move, both;
    RotateZMatrix(spin, kPi / 2);
    IdentityMatrix(move);
    move._41 = 10;
    MatrixMultiply(both, spin, move);
    // (1,0,0) turns to (0,1,0) first, then moves to (10,1,0).
    const Point4 p = Transform(MakeVector(1, 0, 0), both);
    EXPECT_NEAR(p.x, 10.0f, 1e-6f);
    EXPECT_NEAR(p.y, 1.0f, 1e-6f);
    // The other order moves first, then turns: (11,0,0) becomes (0,11,0).
    MatrixMultiply(both, move, spin);
    const Point4 q = Transform(MakeVector(1, 0, 0), both);
    EXPECT_NEAR(q.x, 0.0f, 1e-5f);
    EXPECT_NEAR(q.y, 11.0f, 1e-5f);
}

TEST(MathMatrix, ProductMayWriteOverAnOperand) {
    D3DMATRIX a, b, expected;
    RotateXMatrix(a, 0.7f);
    RotateZMatrix(b, -1.1f);
    b._42 = 3;
    MatrixMultiply(expected, a, b);
    D3DMATRIX left = a;
    MatrixMultiply(left, left, b);
    EXPECT_EQ(std::memcmp(&left, &expected, sizeof left), 0);
    D3DMATRIX right = b;
    MatrixMultiply(right, a, right);
    EXPECT_EQ(std::memcmp(&right, &expected, sizeof right), 0);
}

// --- ViewMatrix ----------------------------------------------------------------------------

TEST(MathView, CameraBehindTheOriginLookingAlongZ) {
    D3DMATRIX v = Garbage();
    ViewMatrix(v, MakeVector(0, 0, -30), MakeVector(0, 0, 0), MakeVector(0, 1, 0), 0);
    D3DMATRIX expected = Identity();
    expected._43 = 30;
    EXPECT_EQ(std::memcmp(&v, &expected, sizeof v), 0);
}

TEST(MathView, EyeGoesToTheOriginAndTargetOntoThePositiveZAxis) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-500.0f, 500.0f);
    const D3DVECTOR up = MakeVector(0, 1, 0);
    for (int i = 0; i < 200; ++i) {
        const D3DVECTOR eye = MakeVector(coordinate(random), coordinate(random), coordinate(random));
        const D3DVECTOR target =
            MakeVector(coordinate(random), coordinate(random), coordinate(random));
        D3DMATRIX v;
        ViewMatrix(v, eye, target, up, 0);
        ExpectRotationPart(v);

        const Point4 e = Transform(eye, v);
        EXPECT_NEAR(e.x, 0.0f, 1e-3f);
        EXPECT_NEAR(e.y, 0.0f, 1e-3f);
        EXPECT_NEAR(e.z, 0.0f, 1e-3f);

        const float distance = std::hypot(target.x - eye.x, target.y - eye.y, target.z - eye.z);
        const Point4 t = Transform(target, v);
        EXPECT_NEAR(t.x, 0.0f, 1e-3f);
        EXPECT_NEAR(t.y, 0.0f, 1e-3f);
        EXPECT_NEAR(t.z, distance, 1e-3f);

        // The picture's right-hand axis is level (no roll against the world's up), and
        // a point straight above the eye appears in the upper half of the picture.
        EXPECT_NEAR(v._21, 0.0f, 1e-6f);
        const Point4 above = Transform(MakeVector(eye.x, eye.y + 1, eye.z), v);
        EXPECT_GE(above.y, 0.0f);
    }
}

TEST(MathView, RollTurnsThePictureAboutTheViewAxis) {
    D3DMATRIX v;
    ViewMatrix(v, MakeVector(0, 0, -30), MakeVector(0, 0, 0), MakeVector(0, 1, 0), kPi / 2);
    // A point to the camera's right now lies above the view axis.
    const Point4 p = Transform(MakeVector(1, 0, 0), v);
    EXPECT_NEAR(p.x, 0.0f, 1e-6f);
    EXPECT_NEAR(p.y, 1.0f, 1e-6f);
    EXPECT_NEAR(p.z, 30.0f, 1e-6f);
}

TEST(MathView, TargetAtTheEyeLooksAlongPlusZ) {
    D3DMATRIX v;
    ViewMatrix(v, MakeVector(5, -2, -30), MakeVector(5, -2, -30), MakeVector(0, 1, 0), 0);
    D3DMATRIX expected = Identity();
    expected._41 = -5;
    expected._42 = 2;
    expected._43 = 30;
    ExpectMatrixNear(v, expected, 0.0f);
}

// The camera's look-at point as the per-frame camera update forms it: each component in
// double, then stored as float; the z component adds the two cosines.
D3DVECTOR LookAtPoint(const D3DVECTOR& pos, double yaw_degrees, double pitch_degrees) {
    const double yaw = yaw_degrees / 180 * std::numbers::pi;
    const double pitch = pitch_degrees / 180 * std::numbers::pi;
    return MakeVector(static_cast<float>(10 * std::sin(yaw) + pos.x),
                      static_cast<float>(10 * std::sin(pitch) + pos.y),
                      static_cast<float>((10 * std::cos(pitch) + pos.z) + 10 * std::cos(yaw)));
}

TEST(MathView, VanishingCameraDirectionsShowTheViewAlongPlusZ) {
    // yaw 180°, pitch 0° and yaw 0°, pitch 180° leave only trigonometric noise between
    // eye and target; the camera then looks along +Z from where it stands.
    for (const D3DVECTOR& eye :
         {MakeVector(0, 0, -15), MakeVector(0, 0, 0), MakeVector(2.5f, -1, 40)}) {
        for (const auto& [yaw, pitch] : {std::pair{180.0, 0.0}, std::pair{0.0, 180.0}}) {
            const D3DVECTOR target = LookAtPoint(eye, yaw, pitch);
            D3DMATRIX v;
            ViewMatrix(v, eye, target, MakeVector(0, 1, 0), 0);
            D3DMATRIX expected = Identity();
            expected._41 = 0.0f - eye.x;
            expected._42 = 0.0f - eye.y;
            expected._43 = 0.0f - eye.z;
            ExpectMatrixNear(v, expected, 1e-6f);
        }
    }
}

TEST(MathView, NearlyVanishingDirectionIsStillFollowed) {
    // Half a degree away from the vanishing yaw is a real direction, far above the noise.
    const D3DVECTOR eye = MakeVector(0, 0, -15);
    const D3DVECTOR target = LookAtPoint(eye, 179.5, 0);
    D3DMATRIX v;
    ViewMatrix(v, eye, target, MakeVector(0, 1, 0), 0);
    ExpectRotationPart(v);
    // The look direction is mostly sideways (+X), not +Z.
    EXPECT_GT(v._13, 0.99f);
}

TEST(MathView, LookingStraightDownOrUpKeepsPlusXToTheRight) {
    const D3DVECTOR up = MakeVector(0, 1, 0);
    D3DMATRIX down;
    ViewMatrix(down, MakeVector(0, 10, 0), MakeVector(0, -5, 0), up, 0);
    ExpectAllFinite(down);
    D3DMATRIX expected_down = Identity();  // x → x, z → y (up in the picture), y → −z
    expected_down._22 = 0;
    expected_down._23 = -1;
    expected_down._32 = 1;
    expected_down._33 = 0;
    expected_down._43 = 10;
    ExpectMatrixNear(down, expected_down, 1e-6f);

    D3DMATRIX upward;
    ViewMatrix(upward, MakeVector(0, 0, 0), MakeVector(0, 7, 0), up, 0);
    ExpectAllFinite(upward);
    ExpectRotationPart(upward);
    EXPECT_NEAR(upward._11, 1.0f, 1e-6f);  // right-hand axis is world +X
    EXPECT_NEAR(upward._23, 1.0f, 1e-6f);  // looking along world +Y
}

TEST(MathView, AnyUpParallelToTheViewOrZeroStillGivesARotation) {
    const D3DVECTOR eye = MakeVector(1, 2, 3);
    const D3DVECTOR directions[] = {MakeVector(1, 0, 0), MakeVector(0, 0, -1),
                                    MakeVector(1, 1, 1), MakeVector(-2, 0.5f, 3)};
    for (const D3DVECTOR& d : directions) {
        const D3DVECTOR target = MakeVector(eye.x + d.x, eye.y + d.y, eye.z + d.z);
        for (const D3DVECTOR& up : {d, MakeVector(-3 * d.x, -3 * d.y, -3 * d.z), MakeVector(0, 0, 0)}) {
            D3DMATRIX v;
            ViewMatrix(v, eye, target, up, 0);
            ExpectAllFinite(v);
            ExpectRotationPart(v);
            const Point4 t = Transform(target, v);
            EXPECT_NEAR(t.x, 0.0f, 1e-5f);
            EXPECT_NEAR(t.y, 0.0f, 1e-5f);
            EXPECT_GT(t.z, 0.0f);
        }
    }
}

// --- ProjectionMatrix -------------------------------------------------------------------

TEST(MathProjection, DeviceSetUpValues) {
    D3DMATRIX p;
    ProjectionMatrix(p, 1.0f, 100000.0f, kPi / 3);
    D3DMATRIX expected;
    expected._11 = expected._22 = 1.7320508f;
    expected._33 = 1.0000100f;
    expected._34 = 1.0f;
    expected._43 = -1.0000100f;
    ExpectMatrixNear(p, expected, 1e-6f);

    // Points on the near and far planes land at depth 0 and 1 after the divide by w,
    // and a point at the edge of the field of view lands at the edge of the picture.
    const Point4 near_point = Transform(MakeVector(0, 0, 1), p);
    EXPECT_NEAR(near_point.z / near_point.w, 0.0f, 1e-6f);
    const Point4 far_point = Transform(MakeVector(0, 0, 100000), p);
    EXPECT_NEAR(far_point.z / far_point.w, 1.0f, 1e-6f);
    const float edge = std::tan(kPi / 6) * 50;
    const Point4 top = Transform(MakeVector(edge, edge, 50), p);
    EXPECT_NEAR(top.x / top.w, 1.0f, 1e-6f);
    EXPECT_NEAR(top.y / top.w, 1.0f, 1e-6f);
}

}  // namespace
}  // namespace plovant
