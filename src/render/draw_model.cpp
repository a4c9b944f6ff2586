// DrawModel: per mesh and texture slot, bind the slot's texture and draw the slot's faces
// as one triangle list with flat face normals.
#include "render/draw_model.h"

#include <algorithm>
#include <cmath>

#include "errors/error.h"
#include "platform/dx7/direct3d_device7.h"
#include "render/math/d3d_math.h"

namespace plovant {
namespace {

// Below this magnitude the differences and cross products of FaceNormal cannot overflow
// float (2e18 squared, twice, stays below 3.4e38), so it is called without a handler.
constexpr float kSafeCoordinate = 1e18f;

// A count of the model as an array bound: never negative, never past the array.
template <typename T>
size_t Bound(int32_t count, const std::vector<T>& array) {
    return count <= 0 ? 0 : std::min(static_cast<size_t>(count), array.size());
}

// Finite and below kSafeCoordinate in every component (false for infinities and NaN).
bool Small(const RsmVertex& v) {
    return std::fabs(v.X) < kSafeCoordinate && std::fabs(v.Y) < kSafeCoordinate &&
           std::fabs(v.Z) < kSafeCoordinate;
}

bool Finite(const RsmVertex& v) {
    return std::isfinite(v.X) && std::isfinite(v.Y) && std::isfinite(v.Z);
}

bool Finite(const RsmTexVertex& t) { return std::isfinite(t.U) && std::isfinite(t.V); }

D3DVECTOR ToVector(const RsmVertex& v) { return MakeVector(v.X, v.Y, v.Z); }

// Writes the face's three vertices to list[0], list[1] and list[2] and returns true, or
// returns false (writing nothing) when the face cannot be drawn.
bool BuildFace(const RsmMesh& mesh, const RsmFace& face, D3DVERTEX* list) {
    const size_t vertex_count = mesh.Vertices.size();
    const size_t tex_count = mesh.TexVertices.size();
    // A negative index converts to a huge size_t and fails the one comparison.
    const auto in = [](int16_t index, size_t size) { return static_cast<size_t>(index) < size; };
    if (!in(face.V0, vertex_count) || !in(face.V1, vertex_count) || !in(face.V2, vertex_count) ||
        !in(face.T0, tex_count) || !in(face.T1, tex_count) || !in(face.T2, tex_count)) {
        return false;
    }
    const RsmVertex& p0 = mesh.Vertices[face.V0];
    const RsmVertex& p1 = mesh.Vertices[face.V1];
    const RsmVertex& p2 = mesh.Vertices[face.V2];
    const RsmTexVertex& t0 = mesh.TexVertices[face.T0];
    const RsmTexVertex& t1 = mesh.TexVertices[face.T1];
    const RsmTexVertex& t2 = mesh.TexVertices[face.T2];
    if (!Finite(t0) || !Finite(t1) || !Finite(t2)) return false;

    D3DVECTOR normal;
    if (Small(p0) && Small(p1) && Small(p2)) {
        // Small corners cannot overflow, so the unchecked arithmetic is safe here.
        normal = FaceNormalUnchecked(ToVector(p1), ToVector(p0), ToVector(p2));
    } else {
        if (!Finite(p0) || !Finite(p1) || !Finite(p2)) return false;
        try {
            normal = FaceNormal(ToVector(p1), ToVector(p0), ToVector(p2));
        } catch (const Error&) {
            return false;  // the normal overflows float
        }
    }
    CreateD3DVertex(p0.X, p0.Y, p0.Z, normal.x, normal.y, normal.z, t0.U, t0.V, list[0]);
    CreateD3DVertex(p1.X, p1.Y, p1.Z, normal.x, normal.y, normal.z, t1.U, t1.V, list[1]);
    CreateD3DVertex(p2.X, p2.Y, p2.Z, normal.x, normal.y, normal.z, t2.U, t2.V, list[2]);
    return true;
}

}  // namespace

void DrawModel(dx7::Direct3DDevice7& device, const RsmModel& model,
               const std::vector<dx7::SurfacePtr>& texture_surfaces, bool textured,
               DrawBuffers* buffers) {
    DrawBuffers local;
    std::vector<D3DVERTEX>& list = (buffers ? *buffers : local).vertices;

    const size_t mesh_count = Bound(model.MeshCount, model.Meshes);
    for (size_t i = 0; i < mesh_count; ++i) {
        const RsmMesh& mesh = model.Meshes[i];
        const size_t face_count = Bound(mesh.FaceCount, mesh.Faces);
        const int32_t slot_count = std::max<int32_t>(mesh.TextureCount, 0);
        if (slot_count > 0 && list.size() < 3 * face_count + 1) list.resize(3 * face_count + 1);

        for (int32_t j = 0; j < slot_count; ++j) {
            dx7::SurfacePtr texture;
            if (textured && static_cast<size_t>(j) < mesh.TextureIds.size()) {
                const int32_t id = mesh.TextureIds[j];
                if (id >= 0 && static_cast<size_t>(id) < texture_surfaces.size()) {
                    texture = texture_surfaces[id];
                }
            }
            device.SetTexture(0, std::move(texture));

            int32_t n = 0;
            for (size_t k = 0; k < face_count; ++k) {
                const RsmFace& face = mesh.Faces[k];
                if (face.TextureSlot != j) continue;
                if (BuildFace(mesh, face, list.data() + n)) n += 3;
            }
            device.DrawPrimitive(dx7::D3DPT_TRIANGLELIST, D3DFVF_VERTEX, list.data(), n, 0);
        }
    }
}

}  // namespace plovant
