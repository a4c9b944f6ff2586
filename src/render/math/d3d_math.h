// Vector, matrix and vertex operations in the Direct3D 7 conventions: left-handed
// coordinates, points as row vectors, a point p transformed by M as p · M (so the
// translation sits in row 4 and A · B applies A first, then B).
//
// Everything here is a pure function of its arguments: no state, no allocation. The
// matrix builders take their destination first and overwrite all sixteen entries.
#pragma once

#include "render/math/d3d_types.h"

namespace plovant {

// The vector (x, y, z), components copied unchanged.
constexpr D3DVECTOR MakeVector(float x, float y, float z) {
    D3DVECTOR v;
    v.x = x;
    v.y = y;
    v.z = z;
    return v;
}

// The normal of a face, not normalised: with e1 = b − a and e2 = c − a (each of the six
// differences rounded to float, formed in the order e1.x, e1.y, e1.z, e2.x, e2.y, e2.z),
// the cross product e2 × e1. Its length is twice the triangle's area; a degenerate
// triangle gives (0, 0, 0).
//
// For a triangle P0, P1, P2 call FaceNormal(P1, P0, P2): the result is
// (P1 − P0) × (P2 − P0), the normal in the order the vertices are listed.
//
// Throws plovant::Error with number kErrOverflow when a component of the result is not
// a finite number (coordinates so large that the arithmetic overflows, or coordinates
// that are themselves infinite or not numbers).
D3DVECTOR FaceNormal(const D3DVECTOR& a, const D3DVECTOR& b, const D3DVECTOR& c);

// The arithmetic of FaceNormal without its check of the result, for callers that know
// their coordinates cannot overflow (the per-frame mesh drawing). Each difference and
// product is rounded to float in the stated order; the results are bit for bit those of
// FaceNormal.
inline D3DVECTOR FaceNormalUnchecked(const D3DVECTOR& a, const D3DVECTOR& b,
                                     const D3DVECTOR& c) {
    const float e1x = b.x - a.x;
    const float e1y = b.y - a.y;
    const float e1z = b.z - a.z;
    const float e2x = c.x - a.x;
    const float e2y = c.y - a.y;
    const float e2z = c.z - a.z;
    D3DVECTOR n;
    n.x = e2y * e1z - e1y * e2z;
    n.y = e2z * e1x - e2x * e1z;
    n.z = e2x * e1y - e2y * e1x;
    return n;
}

// dest = the identity.
void IdentityMatrix(D3DMATRIX& dest);

// dest = rotation about the X axis by `radians`: _22 = cos, _23 = sin, _32 = −sin,
// _33 = cos, the rest as in the identity. Angle 0 gives exactly the identity.
void RotateXMatrix(D3DMATRIX& dest, float radians);

// dest = rotation about the Z axis by `radians`: _11 = cos, _12 = sin, _21 = −sin,
// _22 = cos, the rest as in the identity. Angle π/2 maps (1, 0, 0) to (0, 1, 0).
void RotateZMatrix(D3DMATRIX& dest, float radians);

// dest = a · b. dest may be the same object as a or b.
void MatrixMultiply(D3DMATRIX& dest, const D3DMATRIX& a, const D3DMATRIX& b);

// dest = the left-handed look-at matrix of a camera at `eye` looking at `target`, with
// `up` giving the picture's upward direction:
//   zaxis = normalise(target − eye), xaxis = normalise(up × zaxis), yaxis = zaxis × xaxis,
//   rows (xaxis.x, yaxis.x, zaxis.x, 0), (xaxis.y, yaxis.y, zaxis.y, 0),
//        (xaxis.z, yaxis.z, zaxis.z, 0), (−xaxis·eye, −yaxis·eye, −zaxis·eye, 1).
// `roll` then turns the picture about the view axis: view-space points are rotated by
// `roll` radians from +x towards +y (roll 0 adds nothing).
//
// Degenerate input never yields infinities or NaN (for finite input):
// - When target and eye coincide, or differ only by rounding noise (no component of
//   target − eye exceeds 1e-6 times the largest of 1 and the coordinates of both
//   points), the camera looks along +Z, its direction at rest: the matrix is then the
//   translation by −eye when up = +Y.
// - When the look direction is parallel to `up` (or `up` is zero), xaxis is the world
//   axis least aligned with the look direction (X first on ties) with its part along the
//   look direction removed. A camera looking straight up or down with up = +Y thus keeps
//   +X as its right-hand direction: the limit when approaching from the +Z side.
void ViewMatrix(D3DMATRIX& dest, const D3DVECTOR& eye, const D3DVECTOR& target,
                const D3DVECTOR& up, float roll);

// dest = the left-handed perspective projection with a square aspect, for the near and
// far planes and the vertical field of view `fov` (radians). With c = cos(fov/2),
// s = sin(fov/2), the non-zero entries are _11 = _22 = c/s, _33 = far/(far − near),
// _34 = 1, _43 = −near·far/(far − near). Needs near ≠ far and 0 < fov < π.
void ProjectionMatrix(D3DMATRIX& dest, float near_plane, float far_plane, float fov);

// Fills `v` with position, normal and texture coordinates in argument order.
constexpr void CreateD3DVertex(float x, float y, float z, float nx, float ny, float nz, float tu,
                               float tv, D3DVERTEX& v) {
    v.x = x;
    v.y = y;
    v.z = z;
    v.nx = nx;
    v.ny = ny;
    v.nz = nz;
    v.tu = tu;
    v.tv = tv;
}

}  // namespace plovant
