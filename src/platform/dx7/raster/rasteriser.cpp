// DrawTriangleList: the per-draw set-up, the per-triangle path (trivial accept or
// reject, clipping, divide by w, culling, choice of routine) and the fill modes.
#include "platform/dx7/raster/rasteriser.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "platform/dx7/raster/clipping.h"
#include "platform/dx7/raster/instruction_set.h"
#include "platform/dx7/raster/pixel_batch.h"
#include "platform/dx7/raster/raster_internal.h"
#include "platform/dx7/raster/routines.h"

// Keeps the rare general path out of the per-triangle loop.
#if defined(__GNUC__) || defined(__clang__)
#define PLOVANT_RASTER_NOINLINE __attribute__((noinline))
#elif defined(_MSC_VER)
#define PLOVANT_RASTER_NOINLINE __declspec(noinline)
#else
#define PLOVANT_RASTER_NOINLINE
#endif

namespace plovant::raster {
namespace detail {
namespace {

// Screen coordinates stay within this many pixels of the viewport's centre; the guard
// band is sized per draw so that they do.
constexpr float kGuardPixels = 8192.0f;
// Twice the screen area below which a triangle is taken as degenerate (no pixel is
// drawn for it; its gradients would not be finite).
constexpr float kMinArea2 = 1e-20f;

bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

float FiniteOr(float value, float fallback) { return std::isfinite(value) ? value : fallback; }

// Fills the context from the state and the target; false when nothing can be drawn.
bool BuildContext(const State& state, const Target& target, DrawContext& ctx) {
    if (target.color == nullptr || target.width <= 0 || target.height <= 0) return false;
    const Viewport& vp = state.viewport;
    if (vp.width <= 0 || vp.height <= 0) return false;

    // Pixels: viewport ∩ target (64-bit sums: the viewport is not trusted).
    auto clamp = [](int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : (v > hi ? hi : v); };
    ctx.clip_x0 = static_cast<int>(clamp(vp.x, 0, target.width));
    ctx.clip_y0 = static_cast<int>(clamp(vp.y, 0, target.height));
    ctx.clip_x1 = static_cast<int>(clamp(int64_t{vp.x} + vp.width, 0, target.width));
    ctx.clip_y1 = static_cast<int>(clamp(int64_t{vp.y} + vp.height, 0, target.height));
    if (ctx.clip_x0 >= ctx.clip_x1 || ctx.clip_y0 >= ctx.clip_y1) return false;
    // Pixels are found by int indices from the start of the target and of the depth
    // buffer (a row's index plus a column, and up to four columns beyond its span).
    auto indices_fit = [&](int pitch) {
        const int64_t last_row = std::abs(int64_t{ctx.clip_y1} * pitch);
        return last_row + ctx.clip_x1 + 4 <= std::numeric_limits<int32_t>::max();
    };
    if (!indices_fit(target.color_pitch) || !indices_fit(target.depth_pitch)) return false;
    ctx.inside_x0 = static_cast<float>(ctx.clip_x0) - 0.5f;
    ctx.inside_x1 = static_cast<float>(ctx.clip_x1) - 0.5f;

    ctx.scale_x = 0.5f * static_cast<float>(vp.width);
    ctx.scale_y = 0.5f * static_cast<float>(vp.height);
    ctx.centre_x = static_cast<float>(vp.x) + ctx.scale_x;
    ctx.centre_y = static_cast<float>(vp.y) + ctx.scale_y;
    const float larger = ctx.scale_x > ctx.scale_y ? ctx.scale_x : ctx.scale_y;
    ctx.guard = kGuardPixels / larger > 1.0f ? kGuardPixels / larger : 1.0f;

    float min_z = FiniteOr(vp.min_z, 0.0f);
    float max_z = FiniteOr(vp.max_z, 1.0f);
    min_z = min_z < 0.0f ? 0.0f : (min_z > 1.0f ? 1.0f : min_z);
    max_z = max_z < 0.0f ? 0.0f : (max_z > 1.0f ? 1.0f : max_z);
    // Depth = min_z + z/w · (max_z − min_z) in buffer units, +0.5 so truncation rounds.
    ctx.z_scale = (max_z - min_z) * kDepthUnits;
    ctx.z_offset = min_z * kDepthUnits + 0.5f;
    ctx.project_scale = Vec4::Set(ctx.scale_x, -ctx.scale_y, ctx.z_scale, 0.0f);
    ctx.project_offset = Vec4::Set(ctx.centre_x, ctx.centre_y, ctx.z_offset, 0.0f);

    ctx.color = target.color;
    ctx.color_pitch = target.color_pitch;

    RoutineChoice choice;
    const bool depth_on = state.z_enable && target.depth != nullptr;
    if (depth_on) {
        ctx.depth = target.depth;
        ctx.depth_pitch = target.depth_pitch;
        constexpr uint32_t kLess = 1, kEqual = 2, kGreater = 4;
        switch (state.z_func) {
            case CompareFunc::Never:
                return false;
            case CompareFunc::Less:
                ctx.depth_pass_mask = kLess;
                break;
            case CompareFunc::Equal:
                ctx.depth_pass_mask = kEqual;
                break;
            case CompareFunc::LessEqual:
                ctx.depth_pass_mask = kLess | kEqual;
                break;
            case CompareFunc::Greater:
                ctx.depth_pass_mask = kGreater;
                break;
            case CompareFunc::NotEqual:
                ctx.depth_pass_mask = kLess | kGreater;
                break;
            case CompareFunc::GreaterEqual:
                ctx.depth_pass_mask = kGreater | kEqual;
                break;
            case CompareFunc::Always:
                ctx.depth_pass_mask = kLess | kEqual | kGreater;
                break;
        }
        choice.depth_write = state.z_write;
        if (state.z_func == CompareFunc::LessEqual) {
            choice.depth = DepthMode::LessEqual;
        } else if (state.z_func == CompareFunc::Always && !state.z_write) {
            choice.depth = DepthMode::Off;  // nothing to test, nothing to write
        } else {
            choice.depth = DepthMode::Masked;
        }
    }

    const Texture* tex = state.texture;
    ctx.textured = state.color_op != ColorOp::Diffuse && tex != nullptr && tex->texels != nullptr &&
                   tex->width > 0 && tex->height > 0 && tex->pitch >= tex->width;
    ctx.uses_diffuse = !ctx.textured || state.color_op == ColorOp::Modulate;
    if (ctx.textured) {
        TextureInfo& info = ctx.texture;
        info.texels = tex->texels;
        info.width = tex->width;
        info.height = tex->height;
        info.pitch = tex->pitch;
        info.quads = tex->quads;
        info.width_mask = tex->width - 1;
        info.height_mask = tex->height - 1;
        info.wrap_u = state.address_u == Address::Wrap;
        info.wrap_v = state.address_v == Address::Wrap;
        ctx.u_scale = static_cast<float>(tex->width) * kTexelScale;
        ctx.v_scale = static_cast<float>(tex->height) * kTexelScale;
        ctx.texel_scale = Vec4::Set(ctx.u_scale, ctx.v_scale, 0.0f, 0.0f);
        ctx.mag_filter = state.mag_filter == Filter::Linear ? 1 : 0;
        ctx.min_filter = state.min_filter == Filter::Linear ? 1 : 0;
        ctx.choose_filter = ctx.mag_filter != ctx.min_filter;
        choice.textured = true;
        choice.modulate = state.color_op == ColorOp::Modulate;
        choice.pow2_wrap =
            info.wrap_u && info.wrap_v && IsPowerOfTwo(info.width) && IsPowerOfTwo(info.height);
        choice.color_key = state.color_key && tex->has_keyed_texels;
    }
    ctx.cull = state.cull;
    ctx.fill = state.fill;
    SelectRoutines(choice, ctx);
    return true;
}

// A pixel row limited to the clip rows.
inline int ClipRow(const DrawContext& ctx, int row) {
    return row < ctx.clip_y0 ? ctx.clip_y0 : (row > ctx.clip_y1 ? ctx.clip_y1 : row);
}

// Divide by w and viewport mapping. The vertex has passed the w and guard-band tests.
// The colour vector is filled only when asked for (Gouraud routines read it).
#if defined(PLOVANT_RASTER_SSE2)
inline void ProjectColor(const Vertex& v, ScreenVertex& s) {
    const __m128 rgba = _mm_loadu_ps(&v.r);
    s.color.v = _mm_add_ps(_mm_mul_ps(_mm_shuffle_ps(rgba, rgba, _MM_SHUFFLE(3, 0, 1, 2)),
                                      _mm_setr_ps(255.0f, 255.0f, 255.0f, 0.0f)),
                           _mm_setr_ps(0.5f, 0.5f, 0.5f, 255.5f));
}

inline void Project(const DrawContext& ctx, const Vertex& v, ScreenVertex& s, bool with_color) {
    const __m128 p = _mm_loadu_ps(&v.x);  // x y z w
    const __m128 rw = _mm_div_ps(_mm_set1_ps(1.0f), _mm_shuffle_ps(p, p, _MM_SHUFFLE(3, 3, 3, 3)));
    // (x, y, z)/w mapped to the screen: (x, y, depth, 0).
    const __m128 screen =
        _mm_add_ps(_mm_mul_ps(_mm_mul_ps(p, rw), ctx.project_scale.v), ctx.project_offset.v);
    const __m128 uv = _mm_mul_ps(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(&v.u))),
                                 ctx.texel_scale.v);                              // us vs 0 0
    const __m128 depth_rw = _mm_shuffle_ps(screen, rw, _MM_SHUFFLE(0, 0, 2, 2));  // z z rw rw
    s.attr.v = _mm_shuffle_ps(_mm_mul_ps(uv, rw), depth_rw, _MM_SHUFFLE(2, 0, 1, 0));
    s.range.v = _mm_shuffle_ps(uv, screen, _MM_SHUFFLE(3, 2, 1, 0));
    _mm_storel_pi(reinterpret_cast<__m64*>(&s.x), screen);
    // ceil of the screen lanes (bounded, so truncation is defined): truncate, then add 1
    // where that went down.
    const __m128i t = _mm_cvttps_epi32(screen);
    const __m128i up = _mm_castps_si128(_mm_cmplt_ps(_mm_cvtepi32_ps(t), screen));
    s.row = ClipRow(ctx,
                    _mm_cvtsi128_si32(_mm_shuffle_epi32(_mm_sub_epi32(t, up), _MM_SHUFFLE(1, 1, 1, 1))));
    if (with_color) ProjectColor(v, s);
}

// The three vertices carry the same diffuse colour (r, g, b; alpha is not drawn).
inline bool SameColor(const Vertex& a, const Vertex& b, const Vertex& c) {
    const __m128 ca = _mm_loadu_ps(&a.r);
    const __m128 eq =
        _mm_and_ps(_mm_cmpeq_ps(ca, _mm_loadu_ps(&b.r)), _mm_cmpeq_ps(ca, _mm_loadu_ps(&c.r)));
    return (_mm_movemask_ps(eq) & 7) == 7;
}
#else
inline void ProjectColor(const Vertex& v, ScreenVertex& s) {
    s.color = Vec4::Set(v.b * 255.0f + 0.5f, v.g * 255.0f + 0.5f, v.r * 255.0f + 0.5f, 255.5f);
}

inline void Project(const DrawContext& ctx, const Vertex& v, ScreenVertex& s, bool with_color) {
    const float rw = 1.0f / v.w;
    s.x = ctx.centre_x + (v.x * rw) * ctx.scale_x;
    s.y = ctx.centre_y - (v.y * rw) * ctx.scale_y;
    const float z = ctx.z_offset + (v.z * rw) * ctx.z_scale;
    const float us = v.u * ctx.u_scale;
    const float vs = v.v * ctx.v_scale;
    s.attr = Vec4::Set(us * rw, vs * rw, z, rw);
    s.range = Vec4::Set(us, vs, z, 0.0f);
    const int row = static_cast<int>(s.y);  // bounded
    s.row = ClipRow(ctx, row + (static_cast<float>(row) < s.y ? 1 : 0));
    if (with_color) ProjectColor(v, s);
}

inline bool SameColor(const Vertex& a, const Vertex& b, const Vertex& c) {
    return a.r == b.r && a.r == c.r && a.g == b.g && a.g == c.g && a.b == b.b && a.b == c.b;
}
#endif

inline float Area2(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c) {
    return (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
}

// With y pointing down, a positive Area2 means the vertices run clockwise on screen.
inline bool Culled(CullMode cull, float area2) {
    switch (cull) {
        case CullMode::None:
            return false;
        case CullMode::Clockwise:
            return area2 > 0.0f;
        case CullMode::CounterClockwise:
            return area2 < 0.0f;
    }
    return false;
}

inline uint32_t Channel(float c) {
    c = c * 255.0f + 0.5f;
    c = c < 255.0f ? c : 255.0f;  // NaN → 255
    c = c > 0.0f ? c : 0.0f;
    return static_cast<uint32_t>(c);
}

// Flat when the three diffuse colours are equal (alpha is not drawn), with the flat
// values filled into `info`.
inline int ChooseColorVariant(const DrawContext& ctx, const Vertex& a, const Vertex& b,
                              const Vertex& c, TriangleInfo& info) {
    if (!ctx.uses_diffuse) return kColorWhite;
    if (!SameColor(a, b, c)) return kColorGouraud;
    const uint32_t r = Channel(a.r), g = Channel(a.g), bl = Channel(a.b);
    if (ctx.textured && r == 255 && g == 255 && bl == 255) return kColorWhite;
    info.flat_color = 0xFF000000u | (r << 16) | (g << 8) | bl;
    return kColorFlat;
}

// The routines for Gouraud shading read the colour vectors; so do those for a flat
// colour under modulation (see routine_tables.h).
inline bool NeedsColorVector(const DrawContext& ctx, int variant) {
    return variant == kColorGouraud || (variant == kColorFlat && ctx.textured);
}

// Twice the area a triangle covers in the texture, in texels².
inline float TexelArea2(const DrawContext& ctx, const Vertex& a, const Vertex& b, const Vertex& c) {
    const float area = (b.u - a.u) * (c.v - a.v) - (c.u - a.u) * (b.v - a.v);
    return std::fabs(area) * static_cast<float>(ctx.texture.width) *
           static_cast<float>(ctx.texture.height);
}

// Area2 of the screen vertices and, beside it, the same expression on the vertices'
// (u, v), from which TexelArea2 scales: the differences and products of Area2 and
// TexelArea2, the products' operands at most swapped.
struct Areas {
    float screen;
    float uv;
};
inline Areas AreasOf(const ScreenVertex* s, const Vertex& a, const Vertex& b, const Vertex& c) {
#if defined(PLOVANT_RASTER_SSE2)
    // (x, y, u, v) of each vertex.
    const auto load = [](const ScreenVertex& sv, const Vertex& v) {
        return _mm_movelh_ps(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(&sv.x))),
                             _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(&v.u))));
    };
    const __m128 p0 = load(s[0], a);
    const __m128 d1 = _mm_sub_ps(load(s[1], b), p0);
    const __m128 d2 = _mm_sub_ps(load(s[2], c), p0);
    // (d1x·d2y, d1y·d2x, d1u·d2v, d1v·d2u), then lanes 0 − 1 and 2 − 3.
    const __m128 products = _mm_mul_ps(d1, _mm_shuffle_ps(d2, d2, _MM_SHUFFLE(2, 3, 0, 1)));
    const __m128 diff =
        _mm_sub_ps(products, _mm_shuffle_ps(products, products, _MM_SHUFFLE(2, 3, 0, 1)));
    return {_mm_cvtss_f32(diff), _mm_cvtss_f32(_mm_movehl_ps(diff, diff))};
#else
    return {Area2(s[0], s[1], s[2]), (b.u - a.u) * (c.v - a.v) - (c.u - a.u) * (b.v - a.v)};
#endif
}

// The filter for a triangle: minification when it covers more texels than pixels. The
// choice is made per triangle, from its average texel-to-pixel ratio.
inline int ChooseFilter(const DrawContext& ctx, float texel_area2, float pixel_area2) {
    return texel_area2 > std::fabs(pixel_area2) ? ctx.min_filter : ctx.mag_filter;
}

// The last flat-colour choice, keyed by the (r, g, b) it was made for: the triangles of
// a model lit in one colour (white, most often) skip the conversion of the channels.
struct FlatColorCache {
    // Empty: NaN, which equals no colour.
    float r = std::numeric_limits<float>::quiet_NaN(), g = r, b = r;
    int variant = kColorWhite;
    // The flat colour the variant drew with (the default of TriangleInfo when it needs none).
    uint32_t flat_color = TriangleInfo{}.flat_color;
};

// ChooseColorVariant through the cache: the same variant and flat colour. Equal (r, g, b)
// give equal channels (+0 and −0 included); NaN never equals anything, so an empty cache
// never hits.
PLOVANT_RASTER_INLINE int ChooseColorVariantCached(const DrawContext& ctx, const Vertex& a,
                                                   const Vertex& b, const Vertex& c,
                                                   TriangleInfo& info, FlatColorCache& cache) {
    if (!ctx.uses_diffuse) return kColorWhite;
#if defined(PLOVANT_RASTER_SSE2)
    const __m128 cached = _mm_loadu_ps(&cache.r);  // r g b, then the variant's bits
    const __m128 eq = _mm_and_ps(_mm_and_ps(_mm_cmpeq_ps(cached, _mm_loadu_ps(&a.r)),
                                            _mm_cmpeq_ps(cached, _mm_loadu_ps(&b.r))),
                                 _mm_cmpeq_ps(cached, _mm_loadu_ps(&c.r)));
    const bool hit = (_mm_movemask_ps(eq) & 7) == 7;
#else
    const bool hit = SameColor(a, b, c) && a.r == cache.r && a.g == cache.g && a.b == cache.b;
#endif
    if (hit) {
        info.flat_color = cache.flat_color;
        return cache.variant;
    }
    const int variant = ChooseColorVariant(ctx, a, b, c, info);
    if (variant != kColorGouraud) {
        cache.r = a.r;
        cache.g = a.g;
        cache.b = a.b;
        cache.variant = variant;
        cache.flat_color = info.flat_color;
    }
    return variant;
}

// Draws a projected triangle in the draw's fill mode (a solid one is known not to be
// degenerate).
PLOVANT_RASTER_INLINE void DrawProjected(const DrawContext& ctx, const ScreenVertex (&s)[3],
                                         int variant, int filter, const TriangleInfo& info) {
    if (ctx.fill == FillMode::Solid) {
        ctx.triangle_fns[variant][filter](ctx, s[0], s[1], s[2], info,
                                          ctx.batch_fns[variant][filter]);
    } else if (ctx.fill == FillMode::Wireframe) {
        const LineFn line = ctx.line_fns[variant][filter];
        line(ctx, s[0], s[1], info);
        line(ctx, s[1], s[2], info);
        line(ctx, s[2], s[0], info);
    } else if (ctx.fill == FillMode::Point) {
        const LineFn line = ctx.line_fns[variant][filter];
        for (const ScreenVertex& v : s) line(ctx, v, v, info);
    }
}

// A triangle wholly inside the clip volume.
PLOVANT_RASTER_INLINE void DrawUnclipped(const DrawContext& ctx, const Vertex& a, const Vertex& b,
                                         const Vertex& c, FlatColorCache& cache) {
    TriangleInfo info;
    const int variant = ChooseColorVariantCached(ctx, a, b, c, info, cache);
    ScreenVertex s[3];
    Project(ctx, a, s[0], false);
    Project(ctx, b, s[1], false);
    Project(ctx, c, s[2], false);
    if (NeedsColorVector(ctx, variant)) {
        ProjectColor(a, s[0]);
        ProjectColor(b, s[1]);
        ProjectColor(c, s[2]);
    }
    const Areas areas = AreasOf(s, a, b, c);
    const float area2 = areas.screen;
    if (ctx.cull != CullMode::None && Culled(ctx.cull, area2)) return;
    if (ctx.fill == FillMode::Solid && !(std::fabs(area2) > kMinArea2)) return;
    int filter = ctx.mag_filter;
    if (ctx.choose_filter) {
        const float texel_area2 = std::fabs(areas.uv) * static_cast<float>(ctx.texture.width) *
                                  static_cast<float>(ctx.texture.height);
        filter = ChooseFilter(ctx, texel_area2, area2);
    }
    DrawProjected(ctx, s, variant, filter, info);
}

// A triangle that crosses a clip plane: clipped to a convex polygon, drawn as a fan.
void DrawClipped(const DrawContext& ctx, const Vertex& a, const Vertex& b, const Vertex& c,
                 uint32_t planes) {
    if (!PositionIsSane(a) || !PositionIsSane(b) || !PositionIsSane(c)) return;
    ClipPolygon poly;
    ClipTriangle(a, b, c, planes, ctx.guard, poly);
    const int n = poly.count;
    if (n < 3) return;

    TriangleInfo info;
    const int variant = ChooseColorVariant(ctx, a, b, c, info);
    ScreenVertex s[kMaxClipVertices];
    const bool with_color = NeedsColorVector(ctx, variant);
    // The clipped vertices lie in the guard band up to rounding; should rounding ever
    // have thrown one out of it (or made it NaN), the triangle is dropped rather than
    // handed on with coordinates the scan conversion cannot take.
    const float limit_x = ctx.guard * ctx.scale_x * 1.01f + 2.0f;
    const float limit_y = ctx.guard * ctx.scale_y * 1.01f + 2.0f;
    for (int i = 0; i < n; ++i) {
        Project(ctx, poly.vertices[i], s[i], with_color);
        if (!(std::fabs(s[i].x - ctx.centre_x) <= limit_x &&
              std::fabs(s[i].y - ctx.centre_y) <= limit_y)) {
            return;
        }
    }
    // The polygon's orientation, from its whole area: one cull decision for it all.
    float fan_area2[kMaxClipVertices];
    float area2 = 0.0f;
    for (int i = 1; i + 1 < n; ++i) {
        fan_area2[i] = Area2(s[0], s[i], s[i + 1]);
        area2 += fan_area2[i];
    }
    if (Culled(ctx.cull, area2)) return;

    int filter = ctx.mag_filter;
    if (ctx.choose_filter) {
        float texel_area2 = 0.0f;
        for (int i = 1; i + 1 < n; ++i) {
            texel_area2 +=
                TexelArea2(ctx, poly.vertices[0], poly.vertices[i], poly.vertices[i + 1]);
        }
        filter = ChooseFilter(ctx, texel_area2, area2);
    }
    switch (ctx.fill) {
        case FillMode::Solid: {
            const TriangleFn fn = ctx.triangle_fns[variant][filter];
            const BatchFn draw = ctx.batch_fns[variant][filter];
            for (int i = 1; i + 1 < n; ++i) {
                // A fan triangle turned the other way is a rounding sliver: skip it.
                const float f = fan_area2[i];
                if ((area2 > 0.0f) != (f > 0.0f) || std::fabs(f) <= kMinArea2) continue;
                fn(ctx, s[0], s[i], s[i + 1], info, draw);
            }
            break;
        }
        case FillMode::Wireframe: {
            const LineFn line = ctx.line_fns[variant][filter];
            for (int i = 0; i < n; ++i) {
                if (poly.edge_original[i]) line(ctx, s[i], s[i + 1 == n ? 0 : i + 1], info);
            }
            break;
        }
        case FillMode::Point: {
            const LineFn line = ctx.line_fns[variant][filter];
            for (int i = 0; i < n; ++i) {
                if (poly.vertex_original[i]) line(ctx, s[i], s[i], info);
            }
            break;
        }
    }
}

// One triangle by the general path: outcodes, trivial reject, clipping when needed.
PLOVANT_RASTER_NOINLINE void DrawGeneral(const DrawContext& ctx, const Vertex* v,
                                         FlatColorCache& cache) {
    const float guard = ctx.guard;
    const uint32_t c0 = Outcode(v[0], guard);
    const uint32_t c1 = Outcode(v[1], guard);
    const uint32_t c2 = Outcode(v[2], guard);
    if (c0 & c1 & c2) return;  // wholly outside one plane
    const uint32_t any = c0 | c1 | c2;
    if ((any & (kClipPlaneBits | kOutHuge)) == 0) {
        DrawUnclipped(ctx, v[0], v[1], v[2], cache);
    } else {
        DrawClipped(ctx, v[0], v[1], v[2], any & kClipPlaneBits);
    }
}

#if defined(PLOVANT_RASTER_SSE2)
// The per-draw values of the path for triangles inside the clip volume, one per lane.
struct InsideConstants {
    __m128 guard, min_w, max_w;
    __m128 scale_x, scale_y, scale_z;     // project_scale's lanes
    __m128 offset_x, offset_y, offset_z;  // project_offset's lanes
    __m128 u_scale, v_scale;              // texel_scale's lanes
    __m128i clip_y0, clip_y1;
    float texture_width, texture_height;
};

// Each lane of `a` limited to [lo, hi] (lo <= hi).
inline __m128i ClampEpi32(__m128i a, __m128i lo, __m128i hi) {
    const __m128i below = _mm_cmplt_epi32(a, lo);
    a = _mm_or_si128(_mm_and_si128(below, lo), _mm_andnot_si128(below, a));
    const __m128i above = _mm_cmpgt_epi32(a, hi);
    return _mm_or_si128(_mm_and_si128(above, hi), _mm_andnot_si128(above, a));
}

PLOVANT_RASTER_INLINE InsideConstants MakeInsideConstants(const DrawContext& ctx) {
    const __m128 scale = ctx.project_scale.v, offset = ctx.project_offset.v;
    const __m128 texel = ctx.texel_scale.v;
    return {_mm_set1_ps(ctx.guard),
            _mm_set1_ps(kMinW),
            _mm_set1_ps(kMaxCoordinate),
            _mm_shuffle_ps(scale, scale, _MM_SHUFFLE(0, 0, 0, 0)),
            _mm_shuffle_ps(scale, scale, _MM_SHUFFLE(1, 1, 1, 1)),
            _mm_shuffle_ps(scale, scale, _MM_SHUFFLE(2, 2, 2, 2)),
            _mm_shuffle_ps(offset, offset, _MM_SHUFFLE(0, 0, 0, 0)),
            _mm_shuffle_ps(offset, offset, _MM_SHUFFLE(1, 1, 1, 1)),
            _mm_shuffle_ps(offset, offset, _MM_SHUFFLE(2, 2, 2, 2)),
            _mm_shuffle_ps(texel, texel, _MM_SHUFFLE(0, 0, 0, 0)),
            _mm_shuffle_ps(texel, texel, _MM_SHUFFLE(1, 1, 1, 1)),
            _mm_set1_epi32(ctx.clip_y0),
            _mm_set1_epi32(ctx.clip_y1),
            static_cast<float>(ctx.texture.width),
            static_cast<float>(ctx.texture.height)};
}

inline __m128 AbsPs(__m128 a) {
    return _mm_and_ps(a, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)));
}

// A triangle wholly inside the clip planes, its three vertices worked on together, one per
// lane (lane 3 repeats vertex 0): X, Y, Z and W are their clip coordinates. The same
// operations as Project, Area2, TexelArea2 and DrawUnclipped, lane for lane, so the same
// screen vertices, areas and choices; the screen vertices are only built for a triangle
// that is drawn.
PLOVANT_RASTER_INLINE void DrawInside(const DrawContext& ctx, const InsideConstants& k,
                                      const Vertex* v, __m128 x, __m128 y, __m128 z, __m128 w,
                                      FlatColorCache& cache) {
    const __m128 rw = _mm_div_ps(_mm_set1_ps(1.0f), w);
    const __m128 sx = _mm_add_ps(_mm_mul_ps(_mm_mul_ps(x, rw), k.scale_x), k.offset_x);
    const __m128 sy = _mm_add_ps(_mm_mul_ps(_mm_mul_ps(y, rw), k.scale_y), k.offset_y);
    // (u, v) of the three vertices.
    const __m128 uv0 = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(&v[0].u)));
    const __m128 uv1 = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(&v[1].u)));
    const __m128 uv2 = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(&v[2].u)));
    const __m128 uv01 = _mm_unpacklo_ps(uv0, uv1);  // u0 u1 v0 v1
    const __m128 uv20 = _mm_unpacklo_ps(uv2, uv0);  // u2 u0 v2 v0
    const __m128 u = _mm_movelh_ps(uv01, uv20);
    const __m128 vv = _mm_movehl_ps(uv20, uv01);

    // The areas on screen and in (u, v): (d1x, d2x, d1u, d2u) · (d2y, d1y, d2v, d1v), then
    // lanes 0 − 1 and 2 − 3, where d1 = vertex 1 − vertex 0 and d2 = vertex 2 − vertex 0.
    const __m128 d_xu = _mm_sub_ps(_mm_shuffle_ps(sx, u, _MM_SHUFFLE(2, 1, 2, 1)),
                                   _mm_shuffle_ps(sx, u, _MM_SHUFFLE(0, 0, 0, 0)));
    const __m128 d_yv = _mm_sub_ps(_mm_shuffle_ps(sy, vv, _MM_SHUFFLE(1, 2, 1, 2)),
                                   _mm_shuffle_ps(sy, vv, _MM_SHUFFLE(0, 0, 0, 0)));
    const __m128 products = _mm_mul_ps(d_xu, d_yv);
    const __m128 areas =
        _mm_sub_ps(products, _mm_shuffle_ps(products, products, _MM_SHUFFLE(2, 3, 0, 1)));
    const float area2 = _mm_cvtss_f32(areas);
    if (ctx.cull != CullMode::None && Culled(ctx.cull, area2)) return;
    if (ctx.fill == FillMode::Solid && !(std::fabs(area2) > kMinArea2)) return;
    int filter = ctx.mag_filter;
    if (ctx.choose_filter) {
        const float texel_area2 =
            std::fabs(_mm_cvtss_f32(_mm_movehl_ps(areas, areas))) * k.texture_width * k.texture_height;
        filter = ChooseFilter(ctx, texel_area2, area2);
    }
    TriangleInfo info;
    const int variant = ChooseColorVariantCached(ctx, v[0], v[1], v[2], info, cache);

    // The screen vertices: attr (u·us/w, v·vs/w, depth, 1/w), range (u·us, v·vs, depth, 0),
    // x, y and the first row, ceil(y).
    const __m128 depth = _mm_add_ps(_mm_mul_ps(_mm_mul_ps(z, rw), k.scale_z), k.offset_z);
    const __m128 us = _mm_mul_ps(u, k.u_scale);
    const __m128 vs = _mm_mul_ps(vv, k.v_scale);
    ScreenVertex s[3];
    const __m128 a01 = _mm_unpacklo_ps(_mm_mul_ps(us, rw), _mm_mul_ps(vs, rw));
    const __m128 a20 = _mm_unpackhi_ps(_mm_mul_ps(us, rw), _mm_mul_ps(vs, rw));
    const __m128 b01 = _mm_unpacklo_ps(depth, rw);
    const __m128 b20 = _mm_unpackhi_ps(depth, rw);
    s[0].attr.v = _mm_movelh_ps(a01, b01);
    s[1].attr.v = _mm_movehl_ps(b01, a01);
    s[2].attr.v = _mm_movelh_ps(a20, b20);
    const __m128 r01 = _mm_unpacklo_ps(us, vs);
    const __m128 r20 = _mm_unpackhi_ps(us, vs);
    const __m128 z01 = _mm_unpacklo_ps(depth, _mm_setzero_ps());
    const __m128 z20 = _mm_unpackhi_ps(depth, _mm_setzero_ps());
    s[0].range.v = _mm_movelh_ps(r01, z01);
    s[1].range.v = _mm_movehl_ps(z01, r01);
    s[2].range.v = _mm_movelh_ps(r20, z20);
    const __m128 xy01 = _mm_unpacklo_ps(sx, sy);
    _mm_storel_pi(reinterpret_cast<__m64*>(&s[0].x), xy01);
    _mm_storeh_pi(reinterpret_cast<__m64*>(&s[1].x), xy01);
    _mm_storel_pi(reinterpret_cast<__m64*>(&s[2].x), _mm_unpackhi_ps(sx, sy));
    // ceil (bounded, so truncation is defined): truncate, then add 1 where that went down.
    // Then limited to the clip rows.
    const __m128i t = _mm_cvttps_epi32(sy);
    const __m128i rows = ClampEpi32(
        _mm_sub_epi32(t, _mm_castps_si128(_mm_cmplt_ps(_mm_cvtepi32_ps(t), sy))), k.clip_y0, k.clip_y1);
    s[0].row = _mm_cvtsi128_si32(rows);
    s[1].row = _mm_cvtsi128_si32(_mm_shuffle_epi32(rows, _MM_SHUFFLE(1, 1, 1, 1)));
    s[2].row = _mm_cvtsi128_si32(_mm_shuffle_epi32(rows, _MM_SHUFFLE(2, 2, 2, 2)));
    if (NeedsColorVector(ctx, variant)) {
        ProjectColor(v[0], s[0]);
        ProjectColor(v[1], s[1]);
        ProjectColor(v[2], s[2]);
    }

    DrawProjected(ctx, s, variant, filter, info);
}
#endif

// The triangles [v, end) in order.
PLOVANT_RASTER_INLINE void DrawTriangles(const DrawContext& ctx, const Vertex* v,
                                         const Vertex* end) {
    FlatColorCache cache;
#if defined(PLOVANT_RASTER_SSE2)
    const InsideConstants k = MakeInsideConstants(ctx);
    const __m128 zero = _mm_setzero_ps();
    const __m128 sign = _mm_castsi128_ps(_mm_set1_epi32(INT32_MIN));
#endif
    for (; v != end; v += 3) {
#if defined(PLOVANT_RASTER_SSE2)
        // Nearly every triangle of a model in view lies inside the clip planes: Outcode's
        // tests are made for the three vertices at once, one vertex per lane (lane 3
        // repeats vertex 0).
        const __m128 p0 = _mm_loadu_ps(&v[0].x), p1 = _mm_loadu_ps(&v[1].x);
        const __m128 p2 = _mm_loadu_ps(&v[2].x);
        const __m128 xy01 = _mm_unpacklo_ps(p0, p1);  // x0 x1 y0 y1
        const __m128 zw01 = _mm_unpackhi_ps(p0, p1);  // z0 z1 w0 w1
        const __m128 xy20 = _mm_unpacklo_ps(p2, p0);  // x2 x0 y2 y0
        const __m128 zw20 = _mm_unpackhi_ps(p2, p0);  // z2 z0 w2 w0
        const __m128 x = _mm_movelh_ps(xy01, xy20);
        const __m128 y = _mm_movehl_ps(xy20, xy01);
        const __m128 z = _mm_movelh_ps(zw01, zw20);
        const __m128 w = _mm_movehl_ps(zw20, zw01);
        // Inside every clip plane: kMinW <= w <= kMaxCoordinate, 0 <= z <= w and |x|, |y|
        // <= guard · w, all false for NaN. With w finite, each comparison has the result
        // of Outcode's "distance >= 0": a difference of two floats rounds to zero or keeps
        // its sign. Most triangles have every vertex inside the viewport too, |x|, |y| <=
        // w, which is inside the guard band (guard >= 1) and beyond no side of the viewport.
        const __m128 ax = AbsPs(x), ay = AbsPs(y);
        const __m128 depth_ok =
            _mm_and_ps(_mm_and_ps(_mm_cmple_ps(k.min_w, w), _mm_cmple_ps(w, k.max_w)),
                       _mm_and_ps(_mm_cmple_ps(zero, z), _mm_cmple_ps(z, w)));
        if (_mm_movemask_ps(_mm_and_ps(depth_ok, _mm_and_ps(_mm_cmple_ps(ax, w),
                                                            _mm_cmple_ps(ay, w)))) != 15) {
            const __m128 gw = _mm_mul_ps(w, k.guard);
            const __m128 inside =
                _mm_and_ps(depth_ok, _mm_and_ps(_mm_cmple_ps(ax, gw), _mm_cmple_ps(ay, gw)));
            if (_mm_movemask_ps(inside) != 15) {
                // Some vertex outside a clip plane, or NaN: the general path settles it.
                DrawGeneral(ctx, v, cache);
                continue;
            }
            // A vertex outside the viewport: is the triangle wholly beyond one of its
            // sides (Outcode's view bits)?
            const __m128 minus_w = _mm_xor_ps(w, sign);
            const __m128i left = _mm_castps_si128(_mm_cmplt_ps(x, minus_w));
            const __m128i right = _mm_castps_si128(_mm_cmplt_ps(w, x));
            const __m128i bottom = _mm_castps_si128(_mm_cmplt_ps(y, minus_w));
            const __m128i top = _mm_castps_si128(_mm_cmplt_ps(w, y));
            // One byte per vertex and side; a side whose four bytes are all set has every
            // vertex beyond it.
            const __m128i sides =
                _mm_packs_epi16(_mm_packs_epi32(left, right), _mm_packs_epi32(bottom, top));
            const __m128i all = _mm_cmpeq_epi32(sides, _mm_set1_epi32(-1));
            if (_mm_movemask_ps(_mm_castsi128_ps(all)) != 0) continue;
        }
        DrawInside(ctx, k, v, x, y, z, w, cache);
#else
        DrawGeneral(ctx, v, cache);
#endif
    }
}

void DrawTrianglesDefault(const DrawContext& ctx, const Vertex* v, const Vertex* end) {
    DrawTriangles(ctx, v, end);
}

#if defined(PLOVANT_RASTER_AVX2_PATH)
// The same source built for AVX2, whose three-operand instructions save the register
// copies of the SSE2 build; the operations, and so the results, are the same.
PLOVANT_RASTER_TARGET_AVX2 void DrawTrianglesAvx2(const DrawContext& ctx, const Vertex* v,
                                                  const Vertex* end) {
    DrawTriangles(ctx, v, end);
}
#endif

}  // namespace
}  // namespace detail

void DrawTriangleList(const State& state, const Target& target, const Vertex* vertices,
                      size_t count) {
    using namespace detail;
    if (vertices == nullptr || count < 3) return;
    DrawContext ctx;
    if (!BuildContext(state, target, ctx)) return;
    PixelBatch batch;
    ctx.batch = &batch;
    const Vertex* end = vertices + (count / 3) * 3;
#if defined(PLOVANT_RASTER_AVX2_PATH)
    if (CurrentInstructionSet() == InstructionSet::Avx2)
        DrawTrianglesAvx2(ctx, vertices, end);
    else
#endif
        DrawTrianglesDefault(ctx, vertices, end);
    // The pixels the triangle routines have left queued.
    if (batch.draw != nullptr) batch.draw(ctx, batch);
}

}  // namespace plovant::raster
