// DrawModel: per mesh and texture slot, bind the slot's texture and draw the slot's faces
// as one triangle list with flat face normals.
#include "render/draw_model.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "errors/error.h"
#include "platform/dx7/direct3d_device7.h"
#include "platform/dx7/raster/instruction_set.h"
#include "render/math/d3d_math.h"

// SSE2 is part of every x86-64 target.
#if defined(__SSE2__) || defined(_M_X64)
#define PLOVANT_DRAW_SSE2 1
#include <emmintrin.h>
#endif

// Functions kept out of line: the loop over the faces then has the registers to itself.
// GCC is also told not to specialise the rare path for its caller's values (which it
// would keep alive, in memory, across the loop).
#if defined(__GNUC__) && !defined(__clang__)
#define PLOVANT_OUT_OF_LINE __attribute__((noinline))
#define PLOVANT_RARE_PATH __attribute__((noipa))
#elif defined(__clang__)
#define PLOVANT_OUT_OF_LINE __attribute__((noinline))
#define PLOVANT_RARE_PATH __attribute__((noinline))
#elif defined(_MSC_VER)
#define PLOVANT_OUT_OF_LINE __declspec(noinline)
#define PLOVANT_RARE_PATH __declspec(noinline)
#else
#define PLOVANT_OUT_OF_LINE
#define PLOVANT_RARE_PATH
#endif

// The loop over the faces is also built for AVX2 (chosen at run time, as the rasteriser's
// routines are), whose three-operand forms save the register copies of the SSE2 build.
// The operations, and so the vertices written, are the same.
#if defined(PLOVANT_DRAW_SSE2) && (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define PLOVANT_DRAW_AVX2 1
#define PLOVANT_DRAW_TARGET_AVX2 __attribute__((target("avx2")))
#define PLOVANT_DRAW_INLINE inline __attribute__((always_inline))
#else
#define PLOVANT_DRAW_INLINE inline
#endif

namespace plovant {
namespace {

// Below this magnitude the differences and cross products of FaceNormal cannot overflow
// float (2e18 squared, twice, stays below 3.4e38), so it is called without a handler.
constexpr float kSafeCoordinate = 1e18f;

// A face's TextureSlot is an int16_t, so no face uses a slot from 32768 on.
constexpr int32_t kSlotLimit = 32768;

// What a vertex's position allows, as bits: kFinite when all three coordinates are
// finite, kSmall (with kFinite) when all three are below kSafeCoordinate in magnitude.
// A face is classed by the AND of its three vertices' bits.
constexpr uint8_t kFinite = 1;
constexpr uint8_t kSmall = 2;

// A count of the model as an array bound: never negative, never past the array.
template <typename T>
size_t Bound(int32_t count, const std::vector<T>& array) {
    return count <= 0 ? 0 : std::min(static_cast<size_t>(count), array.size());
}

// The magnitude of a float as the bits of its absolute value: for every float, NaN and
// infinities included, |a| < |b| as floats exactly when these bits compare so, as long
// as b is finite (NaN has the largest bits of all).
uint32_t MagnitudeBits(float v) { return std::bit_cast<uint32_t>(v) & 0x7FFFFFFFu; }

constexpr uint32_t kSafeBits = std::bit_cast<uint32_t>(kSafeCoordinate);
constexpr uint32_t kInfinityBits = 0x7F800000u;

uint8_t ClassOf(const RsmVertex& v) {
    const uint32_t largest =
        std::max(std::max(MagnitudeBits(v.X), MagnitudeBits(v.Y)), MagnitudeBits(v.Z));
    // Below kSafeCoordinate in every component: small (and finite); below infinity: finite.
    return largest < kSafeBits ? kSmall | kFinite : (largest < kInfinityBits ? kFinite : 0);
}

// A texture vertex is usable (both bits, so that it takes nothing away from the class of
// a face's positions) when both coordinates are finite.
uint8_t UsableOf(const RsmTexVertex& t) {
    return std::max(MagnitudeBits(t.U), MagnitudeBits(t.V)) < kInfinityBits ? kFinite | kSmall : 0;
}

D3DVECTOR ToVector(const RsmVertex& v) { return MakeVector(v.X, v.Y, v.Z); }

#if defined(PLOVANT_DRAW_SSE2)
// The three vertices of a face with small corners at positions p0, p1 and p2 (x, y, z, 0),
// written as FaceNormalUnchecked(P1, P0, P2) and CreateD3DVertex would write them. The
// cross product is taken lane by lane with the same differences and products (a
// product's operands swapped at most), so the normal has the same bits.
PLOVANT_DRAW_INLINE void WriteSmallFace(__m128 b, __m128 a, __m128 c, const float* t0,
                                        const float* t1, const float* t2, D3DVERTEX* list) {
    const __m128 e1 = _mm_sub_ps(b, a);  // e1x e1y e1z 0
    const __m128 e2 = _mm_sub_ps(c, a);  // e2x e2y e2z 0
    // (e2y·e1z − e1y·e2z, e2z·e1x − e1z·e2x, e2x·e1y − e1x·e2y)
    const __m128 lhs = _mm_mul_ps(_mm_shuffle_ps(e2, e2, _MM_SHUFFLE(3, 0, 2, 1)),
                                  _mm_shuffle_ps(e1, e1, _MM_SHUFFLE(3, 1, 0, 2)));
    const __m128 rhs = _mm_mul_ps(_mm_shuffle_ps(e1, e1, _MM_SHUFFLE(3, 0, 2, 1)),
                                  _mm_shuffle_ps(e2, e2, _MM_SHUFFLE(3, 1, 0, 2)));
    const __m128 normal = _mm_sub_ps(lhs, rhs);  // nx ny nz 0
    const __m128 nyz = _mm_shuffle_ps(normal, normal, _MM_SHUFFLE(3, 3, 2, 1));
    // (0, 0, 0, nx): OR-ed into a position, whose fourth lane is +0, it gives (x, y, z, nx).
    const __m128 nx_last = _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(normal), 12));
    // A D3DVERTEX is (x, y, z, nx) then (ny, nz, tu, tv).
    const auto write = [&](__m128 p, const float* t, D3DVERTEX& out) {
        const __m128 uv = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(t)));
        _mm_storeu_ps(&out.x, _mm_or_ps(p, nx_last));
        _mm_storeu_ps(&out.ny, _mm_movelh_ps(nyz, uv));
    };
    write(b, t0, list[0]);
    write(a, t1, list[1]);
    write(c, t2, list[2]);
}
#endif

// The mesh's arrays and the classes of their elements, for building faces.
struct MeshView {
    const RsmVertex* vertices;
    const RsmTexVertex* tex_vertices;
    const uint8_t* classes;  // DrawBuffers::classes
    const float* corners;    // DrawBuffers::corners
};

// A face with a corner of magnitude 1e18 or more: its normal is computed with the
// overflow check, and the face is left out (false) when it overflows.
PLOVANT_RARE_PATH bool BuildLargeFace(const RsmVertex* vertices, const RsmTexVertex* tex_vertices,
                                      const RsmFace& face, D3DVERTEX* list) {
    const RsmVertex& p0 = vertices[face.V0];
    const RsmVertex& p1 = vertices[face.V1];
    const RsmVertex& p2 = vertices[face.V2];
    const RsmTexVertex& t0 = tex_vertices[face.T0];
    const RsmTexVertex& t1 = tex_vertices[face.T1];
    const RsmTexVertex& t2 = tex_vertices[face.T2];
    D3DVECTOR normal;
    try {
        normal = FaceNormal(ToVector(p1), ToVector(p0), ToVector(p2));
    } catch (const Error&) {
        return false;  // the normal overflows float
    }
    CreateD3DVertex(p0.X, p0.Y, p0.Z, normal.x, normal.y, normal.z, t0.U, t0.V, list[0]);
    CreateD3DVertex(p1.X, p1.Y, p1.Z, normal.x, normal.y, normal.z, t1.U, t1.V, list[1]);
    CreateD3DVertex(p2.X, p2.Y, p2.Z, normal.x, normal.y, normal.z, t2.U, t2.V, list[2]);
    return true;
}

// Writes the face's three vertices to list[0], list[1] and list[2] and returns true, or
// returns false (writing nothing) when the face cannot be drawn: an index outside its
// array, a position or texture coordinate that is not finite, or a normal that
// overflows. Taken by value, so that the pointers stay in registers across the stores.
PLOVANT_DRAW_INLINE bool BuildFace(const MeshView& mesh, const RsmFace& face, D3DVERTEX* list) {
    // Read as uint16_t, a negative index lands at 32768 or above, where every class is 0;
    // an index that passes the class test is its own value.
    const uint16_t v0 = static_cast<uint16_t>(face.V0), v1 = static_cast<uint16_t>(face.V1),
                   v2 = static_cast<uint16_t>(face.V2), i0 = static_cast<uint16_t>(face.T0),
                   i1 = static_cast<uint16_t>(face.T1), i2 = static_cast<uint16_t>(face.T2);
    const uint8_t* const classes = mesh.classes;
    const uint8_t* const tex_classes = classes + DrawBuffers::kTexClassOffset;
    const uint8_t face_class = classes[v0] & classes[v1] & classes[v2] & tex_classes[i0] &
                               tex_classes[i1] & tex_classes[i2];
    if (face_class != (kSmall | kFinite)) {
        if (!(face_class & kFinite)) return false;
        // Small corners cannot overflow, so the unchecked arithmetic below is safe; others
        // take the checked path.
        return BuildLargeFace(mesh.vertices, mesh.tex_vertices, face, list);
    }
#if defined(PLOVANT_DRAW_SSE2)
    const float* const corners = mesh.corners;
    const float* const uvs = corners + DrawBuffers::kTexCoordOffset;
    WriteSmallFace(_mm_loadu_ps(corners + 4 * size_t{v0}), _mm_loadu_ps(corners + 4 * size_t{v1}),
                   _mm_loadu_ps(corners + 4 * size_t{v2}), uvs + 2 * size_t{i0},
                   uvs + 2 * size_t{i1}, uvs + 2 * size_t{i2}, list);
#else
    const RsmVertex& p0 = mesh.vertices[v0];
    const RsmVertex& p1 = mesh.vertices[v1];
    const RsmVertex& p2 = mesh.vertices[v2];
    const RsmTexVertex& t0 = mesh.tex_vertices[i0];
    const RsmTexVertex& t1 = mesh.tex_vertices[i1];
    const RsmTexVertex& t2 = mesh.tex_vertices[i2];
    const D3DVECTOR normal = FaceNormalUnchecked(ToVector(p1), ToVector(p0), ToVector(p2));
    CreateD3DVertex(p0.X, p0.Y, p0.Z, normal.x, normal.y, normal.z, t0.U, t0.V, list[0]);
    CreateD3DVertex(p1.X, p1.Y, p1.Z, normal.x, normal.y, normal.z, t1.U, t1.V, list[1]);
    CreateD3DVertex(p2.X, p2.Y, p2.Z, normal.x, normal.y, normal.z, t2.U, t2.V, list[2]);
#endif
    return true;
}

// Appends each face whose slot is below `slot_limit` to its slot's list at next[slot],
// in Faces order.
PLOVANT_DRAW_INLINE void FillSlotListsBody(const MeshView& view, const RsmFace* faces,
                                           size_t face_count, int32_t slot_limit,
                                           D3DVERTEX** next) {
    const uint32_t limit = static_cast<uint32_t>(slot_limit);
    for (const RsmFace* face = faces; face != faces + face_count; ++face) {
        // A negative slot converts to a huge value and fails the one comparison.
        const uint32_t slot = static_cast<uint32_t>(int32_t{face->TextureSlot});
        if (slot >= limit) continue;
        D3DVERTEX* const place = next[slot];
        if (BuildFace(view, *face, place)) next[slot] = place + 3;
    }
}

PLOVANT_OUT_OF_LINE void FillSlotListsDefault(const MeshView& view, const RsmFace* faces,
                                              size_t face_count, int32_t slot_limit,
                                              D3DVERTEX** next) {
    FillSlotListsBody(view, faces, face_count, slot_limit, next);
}

#if defined(PLOVANT_DRAW_AVX2)
PLOVANT_OUT_OF_LINE PLOVANT_DRAW_TARGET_AVX2 void FillSlotListsAvx2(const MeshView& view,
                                                                    const RsmFace* faces,
                                                                    size_t face_count,
                                                                    int32_t slot_limit,
                                                                    D3DVERTEX** next) {
    FillSlotListsBody(view, faces, face_count, slot_limit, next);
}
#endif

void FillSlotLists(const MeshView& view, const RsmFace* faces, size_t face_count, int32_t slot_limit,
                   D3DVERTEX** next) {
#if defined(PLOVANT_DRAW_AVX2)
    if (raster::CurrentInstructionSet() == raster::InstructionSet::Avx2) {
        FillSlotListsAvx2(view, faces, face_count, slot_limit, next);
        return;
    }
#endif
    FillSlotListsDefault(view, faces, face_count, slot_limit, next);
}

// Fills table[i] = class_of(array[i]) and copies array[i] with copy(array[i], i) for the
// indices a face can reach (0 … 32767), and clears the classes an earlier mesh left
// beyond them.
template <typename T, typename ClassOfFn, typename CopyFn>
void FillClasses(const std::vector<T>& array, ClassOfFn class_of, CopyFn copy, uint8_t* table,
                 size_t& used) {
    const size_t n = std::min(array.size(), size_t{32768});
    for (size_t i = 0; i < n; ++i) {
        table[i] = class_of(array[i]);
        copy(array[i], i);
    }
    if (used > n) std::fill(table + n, table + used, uint8_t{0});
    used = n;
}

// Builds the lists of every slot of `mesh` in one pass over its faces: slot j's list
// starts at slot_start[j] (room for all faces of the slot) and holds slot_size[j]
// vertices, its drawable faces in Faces order.
void BuildSlotLists(const RsmMesh& mesh, size_t face_count, int32_t slot_limit,
                    DrawBuffers& buffers) {
    constexpr size_t kIndexCount = 65536;  // every uint16_t
    if (buffers.classes.size() < 2 * kIndexCount) buffers.classes.assign(2 * kIndexCount, 0);
    if (!buffers.corners) buffers.corners.reset(new float[DrawBuffers::kTexCoordOffset + 2 * 32768]);
    float* const corners = buffers.corners.get();
    float* const uvs = corners + DrawBuffers::kTexCoordOffset;
    FillClasses(
        mesh.Vertices, ClassOf,
        [corners](const RsmVertex& v, size_t i) {
            float* out = corners + 4 * i;
            out[0] = v.X;
            out[1] = v.Y;
            out[2] = v.Z;
            out[3] = 0.0f;
        },
        buffers.classes.data(), buffers.vertex_class_used);
    FillClasses(
        mesh.TexVertices, UsableOf,
        [uvs](const RsmTexVertex& t, size_t i) {
            uvs[2 * i] = t.U;
            uvs[2 * i + 1] = t.V;
        },
        buffers.classes.data() + DrawBuffers::kTexClassOffset, buffers.tex_vertex_class_used);
    const MeshView view{mesh.Vertices.data(), mesh.TexVertices.data(), buffers.classes.data(),
                        corners};

    const size_t slots = static_cast<size_t>(slot_limit);
    if (buffers.slot_start.size() < slots) {
        buffers.slot_start.resize(slots);
        buffers.slot_size.resize(slots);
    }
    int32_t* start = buffers.slot_start.data();
    int32_t* size = buffers.slot_size.data();
    const RsmFace* faces = mesh.Faces.data();
    // Faces whose slot is negative or not below the slot count are never drawn.
    const auto slot_of = [slot_limit](const RsmFace& face) -> int32_t {
        return static_cast<uint32_t>(face.TextureSlot) < static_cast<uint32_t>(slot_limit)
                   ? face.TextureSlot
                   : -1;
    };
    if (slot_limit == 1) {
        start[0] = 0;
    } else {
        std::fill(size, size + slots, 0);
        for (size_t k = 0; k < face_count; ++k) {
            const int32_t slot = slot_of(faces[k]);
            if (slot >= 0) size[slot] += 3;
        }
        int32_t next = 0;
        for (size_t j = 0; j < slots; ++j) {
            start[j] = next;
            next += size[j];
        }
    }
    // Each slot's next free place; a face that cannot be drawn does not move it.
    D3DVERTEX* const list = buffers.vertices.data();
    if (buffers.slot_next.size() < slots) buffers.slot_next.resize(slots);
    D3DVERTEX** const next = buffers.slot_next.data();
    for (size_t j = 0; j < slots; ++j) next[j] = list + start[j];
    FillSlotLists(view, faces, face_count, slot_limit, next);
    for (size_t j = 0; j < slots; ++j) size[j] = static_cast<int32_t>(next[j] - (list + start[j]));
}

}  // namespace

void DrawModel(dx7::Direct3DDevice7& device, const RsmModel& model,
               const std::vector<dx7::SurfacePtr>& texture_surfaces, bool textured,
               DrawBuffers* buffers) {
    DrawBuffers local;
    DrawBuffers& store = buffers ? *buffers : local;
    std::vector<D3DVERTEX>& list = store.vertices;

    const size_t mesh_count = Bound(model.MeshCount, model.Meshes);
    for (size_t i = 0; i < mesh_count; ++i) {
        const RsmMesh& mesh = model.Meshes[i];
        const size_t face_count = Bound(mesh.FaceCount, mesh.Faces);
        const int32_t slot_count = std::max<int32_t>(mesh.TextureCount, 0);
        if (slot_count == 0) continue;
        if (list.size() < 3 * face_count + 1) list.resize(3 * face_count + 1);
        const int32_t slot_limit = std::min(slot_count, kSlotLimit);
        BuildSlotLists(mesh, face_count, slot_limit, store);

        for (int32_t j = 0; j < slot_count; ++j) {
            dx7::SurfacePtr texture;
            if (textured && static_cast<size_t>(j) < mesh.TextureIds.size()) {
                const int32_t id = mesh.TextureIds[j];
                if (id >= 0 && static_cast<size_t>(id) < texture_surfaces.size()) {
                    texture = texture_surfaces[id];
                }
            }
            device.SetTexture(0, std::move(texture));
            const bool has_list = j < slot_limit;
            const int32_t n = has_list ? store.slot_size[static_cast<size_t>(j)] : 0;
            D3DVERTEX* first =
                list.data() + (has_list ? store.slot_start[static_cast<size_t>(j)] : 0);
            device.DrawPrimitive(dx7::D3DPT_TRIANGLELIST, D3DFVF_VERTEX, first, n, 0);
        }
    }
}

}  // namespace plovant
