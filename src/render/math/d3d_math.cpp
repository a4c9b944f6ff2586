#include "render/math/d3d_math.h"

#include <cmath>

#include "errors/error.h"

// FaceNormal rounds every difference and product to float as it goes; a fused
// multiply-add would skip one rounding and change the last bit of a normal.
#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#endif

namespace plovant {

namespace {

// Three components in double, for the camera matrix where rounding to float once at the
// end keeps the rows orthonormal to float precision.
struct Vec3 {
    double x, y, z;
};

Vec3 Widen(const D3DVECTOR& v) { return {v.x, v.y, v.z}; }

Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

double MaxAbs(const Vec3& v) { return std::fmax(std::fabs(v.x), std::fmax(std::fabs(v.y), std::fabs(v.z))); }

// Unit vector along v, which must not be zero. Dividing by the largest component first
// keeps the squares away from overflow and underflow.
Vec3 Normalised(const Vec3& v) {
    const double m = MaxAbs(v);
    const Vec3 s{v.x / m, v.y / m, v.z / m};
    const double length = std::sqrt(Dot(s, s));
    return {s.x / length, s.y / length, s.z / length};
}

// Directions whose size is at most this share of the size of the numbers they were
// formed from are treated as rounding noise, not as directions.
constexpr double kNoiseShare = 1e-6;

// The right-hand axis of a camera whose look direction `z` (unit) is parallel to its up
// vector: the world axis least aligned with z, made perpendicular to z.
Vec3 FallbackRightAxis(const Vec3& z) {
    const double ax = std::fabs(z.x), ay = std::fabs(z.y), az = std::fabs(z.z);
    Vec3 axis{0, 0, 1};
    if (ax <= ay && ax <= az) {
        axis = {1, 0, 0};
    } else if (ay <= az) {
        axis = {0, 1, 0};
    }
    const double along = Dot(axis, z);
    // |along| <= 1/sqrt(3), so what remains has length at least sqrt(2/3).
    return Normalised({axis.x - along * z.x, axis.y - along * z.y, axis.z - along * z.z});
}

}  // namespace

D3DVECTOR FaceNormal(const D3DVECTOR& a, const D3DVECTOR& b, const D3DVECTOR& c) {
    const D3DVECTOR n = FaceNormalUnchecked(a, b, c);
    // Infinity and NaN propagate through every step, so checking the result catches an
    // overflow or a non-number anywhere on the way.
    if (!std::isfinite(n.x) || !std::isfinite(n.y) || !std::isfinite(n.z)) {
        throw Error(kErrOverflow,
                    "Overflow: the normal of a face cannot be computed because its vertex "
                    "coordinates are too large or are not numbers.");
    }
    return n;
}

void IdentityMatrix(D3DMATRIX& dest) {
    dest = D3DMATRIX{};
    dest._11 = dest._22 = dest._33 = dest._44 = 1.0f;
}

void RotateXMatrix(D3DMATRIX& dest, float radians) {
    const float c = static_cast<float>(std::cos(static_cast<double>(radians)));
    const float s = static_cast<float>(std::sin(static_cast<double>(radians)));
    IdentityMatrix(dest);
    dest._22 = c;
    dest._23 = s;
    dest._32 = 0.0f - s;  // never −0 for angle 0, so the identity comes out exactly
    dest._33 = c;
}

void RotateZMatrix(D3DMATRIX& dest, float radians) {
    const float c = static_cast<float>(std::cos(static_cast<double>(radians)));
    const float s = static_cast<float>(std::sin(static_cast<double>(radians)));
    IdentityMatrix(dest);
    dest._11 = c;
    dest._12 = s;
    dest._21 = 0.0f - s;
    dest._22 = c;
}

void MatrixMultiply(D3DMATRIX& dest, const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX product;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            product.at(i, j) = a.at(i, 0) * b.at(0, j) + a.at(i, 1) * b.at(1, j) +
                               a.at(i, 2) * b.at(2, j) + a.at(i, 3) * b.at(3, j);
        }
    }
    dest = product;
}

void ViewMatrix(D3DMATRIX& dest, const D3DVECTOR& eye, const D3DVECTOR& target,
                const D3DVECTOR& up, float roll) {
    const Vec3 from = Widen(eye);
    const Vec3 to = Widen(target);
    const Vec3 look{to.x - from.x, to.y - from.y, to.z - from.z};  // exact in double

    Vec3 zaxis{0, 0, 1};  // a camera without a look direction looks along +Z
    // The floor of 1 covers an eye at the origin, where a target formed with
    // trigonometry (10 · sin π ≈ 1e-15) would otherwise pass as a direction.
    const double scale = std::fmax(1.0, std::fmax(MaxAbs(from), MaxAbs(to)));
    if (MaxAbs(look) > kNoiseShare * scale) {
        zaxis = Normalised(look);
    }

    const Vec3 upward = Widen(up);
    const Vec3 right = Cross(upward, zaxis);
    const Vec3 xaxis = MaxAbs(right) > kNoiseShare * MaxAbs(upward) ? Normalised(right)
                                                                     : FallbackRightAxis(zaxis);
    const Vec3 yaxis = Cross(zaxis, xaxis);

    dest._11 = static_cast<float>(xaxis.x);
    dest._12 = static_cast<float>(yaxis.x);
    dest._13 = static_cast<float>(zaxis.x);
    dest._14 = 0.0f;
    dest._21 = static_cast<float>(xaxis.y);
    dest._22 = static_cast<float>(yaxis.y);
    dest._23 = static_cast<float>(zaxis.y);
    dest._24 = 0.0f;
    dest._31 = static_cast<float>(xaxis.z);
    dest._32 = static_cast<float>(yaxis.z);
    dest._33 = static_cast<float>(zaxis.z);
    dest._34 = 0.0f;
    // 0.0 - dot rather than -dot: an eye at the origin gives +0, not −0.
    dest._41 = static_cast<float>(0.0 - Dot(xaxis, from));
    dest._42 = static_cast<float>(0.0 - Dot(yaxis, from));
    dest._43 = static_cast<float>(0.0 - Dot(zaxis, from));
    dest._44 = 1.0f;

    if (roll != 0.0f) {
        D3DMATRIX turn;
        RotateZMatrix(turn, roll);
        MatrixMultiply(dest, dest, turn);
    }
}

void ProjectionMatrix(D3DMATRIX& dest, float near_plane, float far_plane, float fov) {
    const double half = static_cast<double>(fov) / 2.0;
    const double scale = std::cos(half) / std::sin(half);
    const double n = near_plane;
    const double f = far_plane;
    const double q = f / (f - n);
    dest = D3DMATRIX{};
    dest._11 = static_cast<float>(scale);
    dest._22 = static_cast<float>(scale);
    dest._33 = static_cast<float>(q);
    dest._34 = 1.0f;
    dest._43 = static_cast<float>(-n * q);
}

}  // namespace plovant
