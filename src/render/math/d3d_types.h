// The vector, matrix and vertex records handed to the device, laid out exactly as
// Direct3D 7 lays them out: left-handed coordinates, points as row vectors (p · M).
#pragma once

#include <cstdint>

namespace plovant {

struct D3DVECTOR {
    float x = 0, y = 0, z = 0;
};
static_assert(sizeof(D3DVECTOR) == 12);

// Sixteen floats stored row by row; row 4 (_41, _42, _43) holds a translation.
struct D3DMATRIX {
    float _11 = 0, _12 = 0, _13 = 0, _14 = 0;
    float _21 = 0, _22 = 0, _23 = 0, _24 = 0;
    float _31 = 0, _32 = 0, _33 = 0, _34 = 0;
    float _41 = 0, _42 = 0, _43 = 0, _44 = 0;

    // Entry (row, column), both 0-based.
    float& at(int row, int column) { return (&_11)[row * 4 + column]; }
    float at(int row, int column) const { return (&_11)[row * 4 + column]; }
};
static_assert(sizeof(D3DMATRIX) == 64);

// Untransformed, unlit vertex: position, one normal, one pair of texture coordinates.
struct D3DVERTEX {
    float x = 0, y = 0, z = 0;
    float nx = 0, ny = 0, nz = 0;
    float tu = 0, tv = 0;
};
static_assert(sizeof(D3DVERTEX) == 32);

// Flexible vertex format of D3DVERTEX: D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1.
inline constexpr uint32_t D3DFVF_VERTEX = 0x112;

}  // namespace plovant
