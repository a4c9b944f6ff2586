// Centring the first mesh on the origin. All arithmetic is float32, as the model's
// own values are: the bounds start at -9999 and 9999 and are only replaced by
// coordinates strictly beyond them, so they take part in the result.
#include <cmath>

#include "errors/error.h"
#include "model/rsm_model.h"

namespace plovant {
namespace {

struct Bounds {
    float max_x = -9999.0f, max_y = -9999.0f, max_z = -9999.0f;
    float min_x = 9999.0f, min_y = 9999.0f, min_z = 9999.0f;
};

[[noreturn]] void Overflow() {
    throw Error(kErrOverflow, "Overflow while centring the first mesh");
}

// A float32 result that overflowed (finite inputs gave an infinite result, or an
// infinite coordinate took part).
void CheckFinite(float value) {
    if (std::isinf(value)) Overflow();
}

}  // namespace

float CenterRootMesh(RsmModel& model) {
    if (model.Meshes.empty()) return 0.0f;
    std::vector<RsmVertex>& vertices = model.Meshes[0].Vertices;

    Bounds b;
    for (const RsmVertex& v : vertices) {
        if (v.X > b.max_x) b.max_x = v.X;
        if (v.Y > b.max_y) b.max_y = v.Y;
        if (v.Z > b.max_z) b.max_z = v.Z;
        if (v.X < b.min_x) b.min_x = v.X;
        if (v.Y < b.min_y) b.min_y = v.Y;
        if (v.Z < b.min_z) b.min_z = v.Z;
    }

    // Each step is a separate float32 operation so that no wider intermediate is kept.
    const float sum_x = b.max_x + b.min_x;
    const float sum_y = b.max_y + b.min_y;
    const float sum_z = b.max_z + b.min_z;
    const float shift_x = sum_x / 2.0f;
    const float shift_y = sum_y / 2.0f;
    const float shift_z = sum_z / 2.0f;
    const float side_x = b.max_x - b.min_x;
    const float side_y = b.max_y - b.min_y;
    const float side_z = b.max_z - b.min_z;
    for (float value : {sum_x, sum_y, sum_z, side_x, side_y, side_z}) CheckFinite(value);

    // Check every moved coordinate before any is stored, so that an overflow leaves
    // the mesh as it was.
    for (const RsmVertex& v : vertices) {
        CheckFinite(v.X - shift_x);
        CheckFinite(v.Y - shift_y);
        CheckFinite(v.Z - shift_z);
    }
    for (RsmVertex& v : vertices) {
        v.X = v.X - shift_x;
        v.Y = v.Y - shift_y;
        v.Z = v.Z - shift_z;
    }

    float extent = side_x;
    if (side_y > extent) extent = side_y;
    if (side_z > extent) extent = side_z;
    return extent;
}

}  // namespace plovant
