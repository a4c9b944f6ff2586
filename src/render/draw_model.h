// DrawModel: the meshes of a model as Direct3D draw calls, one texture binding and one
// triangle list per texture slot of each mesh.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "model/rsm_model.h"
#include "platform/dx7/dx7_types.h"
#include "render/math/d3d_types.h"

namespace plovant {

// Storage for the vertex lists of DrawModel, kept by the caller so that frames after the
// first allocate nothing. It holds no state between calls: every list is rebuilt from the
// model each time.
struct DrawBuffers {
    std::vector<D3DVERTEX> vertices;    // the lists of all slots of one mesh, one after another
    std::vector<int32_t> slot_start;    // per slot: where its list starts in `vertices`
    std::vector<int32_t> slot_size;     // per slot: how many vertices its list holds
    std::vector<D3DVERTEX*> slot_next;  // per slot: where its next face goes while building
    // Indexed by a face's index read as uint16_t (negative ones land at 32768 and above):
    // what the vertex there allows (0 for an index outside the mesh's array), and from
    // kTexClassOffset on, whether the texture vertex there is usable. Entries past the
    // `*_used` counts are 0.
    std::vector<uint8_t> classes;
    size_t vertex_class_used = 0;
    size_t tex_vertex_class_used = 0;
    // What the faces read, copied so that they read it in one load: the positions as
    // (x, y, z, 0), four floats per vertex, then from kTexCoordOffset on the texture
    // coordinates (u, v), two floats per texture vertex. Entries whose class is 0 are not
    // used.
    // Allocated once, at its full size, and not cleared: only what a mesh fills is read.
    std::unique_ptr<float[]> corners;
    static constexpr size_t kTexClassOffset = 65536;
    static constexpr size_t kTexCoordOffset = 4 * 32768;
};

// Draws every mesh of `model` (meshes 0 to MeshCount − 1, in order), as they stand in
// their Vertices arrays, with no per-mesh transform. For each texture slot j of a mesh,
// in order:
//   1. SetTexture(0, texture_surfaces[TextureIds[j]]) when `textured`, SetTexture(0, null)
//      otherwise;
//   2. DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, list, n, 0) where the list holds
//      the faces whose TextureSlot is j, in Faces order, three vertices each (positions,
//      texture coordinates U and V, and the same normal FaceNormal(P1, P0, P2) on all
//      three). The call is made also when no face uses the slot (n = 0).
// Faces whose slot is negative or not below the mesh's TextureCount are never drawn.
//
// Bad model data never stops the drawing: a face with a vertex or texture-vertex index
// outside its array, or whose positions or texture coordinates are not finite, or whose
// normal overflows, is left out; a slot whose texture id lies outside
// `texture_surfaces` is drawn with no texture bound. Everything else is drawn.
//
// Must run inside a scene. Device failures are raised as plovant::Error with the
// device's result code; the slot in progress then draws nothing. `buffers` may be null
// (then a fresh list is made for this call).
void DrawModel(dx7::Direct3DDevice7& device, const RsmModel& model,
               const std::vector<dx7::SurfacePtr>& texture_surfaces, bool textured,
               DrawBuffers* buffers = nullptr);

}  // namespace plovant
