// The software rasteriser under our Direct3D subset. It knows nothing of render-state
// numbers: the device translates its states once into a RasterState, and hands over
// vertices already transformed into clip space and lit. Everything here is plain data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plovant::raster {

enum class CompareFunc : uint8_t { Never, Less, Equal, LessEqual, Greater, NotEqual, GreaterEqual, Always };
enum class FillMode : uint8_t { Point, Wireframe, Solid };
enum class CullMode : uint8_t { None, Clockwise, CounterClockwise };
enum class Filter : uint8_t { Point, Linear };
enum class Address : uint8_t { Wrap, Clamp };
// How the texture colour and the interpolated diffuse colour combine.
enum class ColorOp : uint8_t { Diffuse, Texture, Modulate };

// A texture as the rasteriser samples it: texels 0xAARRGGBB, rows top-down, pitch in
// texels. The device converts a texture surface into this form once per change of its
// contents. A texel whose raw value equals the surface's source colour key has alpha 0
// (kKeyedTexel); every other texel has alpha 0xFF.
struct Texture {
    const uint32_t* texels = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;
    // Optional, for power-of-two sizes (see BuildTexelQuads): at index 4 · (y · width + x),
    // the texels (x, y), (x + 1, y), (x, y + 1) and (x + 1, y + 1), wrapping at the
    // edges, so that bilinear sampling reads a whole footprint at once.
    const uint32_t* quads = nullptr;
    // False when no texel has alpha 0: colour keying then changes nothing, and the
    // routines without the key test are used.
    bool has_keyed_texels = true;
};
inline constexpr uint32_t kOpaqueTexelMask = 0xFF000000u;

// The surfaces drawn into: 32-bit X8R8G8B8 colour and an optional 16-bit depth buffer
// (0 = near, 65535 = far). Pitches are in pixels. A target whose pixels lie 2^31 or
// more apart is not drawn into (the device's surfaces are far smaller).
struct Target {
    uint32_t* color = nullptr;
    int color_pitch = 0;
    uint16_t* depth = nullptr;
    int depth_pitch = 0;
    int width = 0;
    int height = 0;
};

struct Viewport {
    int x = 0, y = 0, width = 0, height = 0;
    float min_z = 0.0f, max_z = 1.0f;
};

// Everything that picks a code path or a per-draw value; chosen once per draw call.
struct State {
    Viewport viewport;
    bool z_enable = true;
    bool z_write = true;
    CompareFunc z_func = CompareFunc::LessEqual;
    FillMode fill = FillMode::Solid;
    CullMode cull = CullMode::CounterClockwise;
    Filter mag_filter = Filter::Point;
    Filter min_filter = Filter::Point;
    Address address_u = Address::Wrap;
    Address address_v = Address::Wrap;
    ColorOp color_op = ColorOp::Diffuse;
    bool color_key = false;          // skip keyed texels (alpha 0) when set
    const Texture* texture = nullptr;  // null: untextured, drawn in the diffuse colour
};

// A vertex in clip space (after world · view · projection, before the divide by w),
// with its lit diffuse colour (components 0..1) and texture coordinates.
struct Vertex {
    float x = 0, y = 0, z = 0, w = 1;
    float r = 1, g = 1, b = 1, a = 1;
    float u = 0, v = 0;
};

// Draws count / 3 triangles (vertices 3i, 3i+1, 3i+2). Triangles are clipped against
// the near (z = 0) and far (z = w) planes and whatever else is needed so that no
// coordinate can overflow; pixels are limited to the viewport and the target. Never
// allocates on the heap.
//
// The conventions, those of Direct3D 7:
// - Screen: x right, y down; pixel (i, j) has its centre at (i, j). A clip-space vertex
//   maps to x = vp.x + (1 + x/w) · vp.width / 2, y = vp.y + (1 − y/w) · vp.height / 2,
//   depth = min_z + z/w · (max_z − min_z), stored as round(depth · 65535).
// - Fill rule: a pixel is drawn when its centre lies inside the triangle or on a left or
//   horizontal top edge, so triangles that share an edge cover each pixel once.
// - Culling by the winding on screen: Clockwise culls triangles whose vertices run
//   clockwise as seen on the screen, CounterClockwise (the default) the others. It
//   applies to every fill mode.
// - Clipping: besides the near and far planes, points with w < 1e-9 are cut away, and
//   points far outside the viewport's sides are cut at a guard band a few thousand
//   pixels out. A triangle with a NaN, infinite or larger than 1e30 x, y, z or w draws
//   nothing. NaN or huge colours and texture coordinates are clamped.
// - Depth: tested and written only when z_enable is set and the target has a depth
//   buffer; z_write false keeps the buffer; CompareFunc::Never draws nothing.
// - Texture coordinates are interpolated perspective-correctly (u/w, v/w and 1/w are
//   interpolated, and divided per pixel). Texel i of a texture of width W covers u in
//   [i/W, (i+1)/W]: nearest sampling takes texel floor(u · W), bilinear sampling blends
//   the four texels around u · W − 1/2 with 8-bit weights. Wrap repeats the texture,
//   Clamp repeats its edge texels.
// - Filter: min_filter for a triangle that covers more texels than pixels (judged once
//   per triangle from its areas in the texture and on screen), mag_filter otherwise.
// - Colour key (color_key set): a keyed texel (alpha 0) leaves the pixel untouched,
//   depth included. With bilinear sampling the texel nearest to the sample point
//   decides; keyed texels among the other three take that texel's colour before the
//   blend, so the key colour never bleeds into what is drawn.
// - Colour: Diffuse is the vertex colour interpolated linearly on screen (Gouraud);
//   Texture the texel; Modulate texel × diffuse per channel (white leaves the texel as
//   it is). Without a texture every op draws the diffuse colour. Colours are clamped to
//   0 … 1 before conversion. The unused top byte of every written pixel is 0xFF.
// - Wireframe draws the edges of each triangle (one pixel per step along the longer
//   axis, both end points included), depth-tested and shaded as solid fill would be;
//   edges made by clipping are not drawn. Point draws each vertex that survives
//   clipping as one pixel.
void DrawTriangleList(const State& state, const Target& target, const Vertex* vertices,
                      size_t count);

// The most texels a texture may have for BuildTexelQuads: 512 × 512 (its quads take four
// times the memory of its texels, 4 MB at most). Larger textures are sampled from their
// texels.
inline constexpr int kMaxQuadTexels = 1 << 18;

// Fills `quads` with the footprints of `texture` (see Texture::quads) and returns true,
// or empties it and returns false when the width or height is not a power of two or the
// texture has more than kMaxQuadTexels texels.
bool BuildTexelQuads(const Texture& texture, std::vector<uint32_t>& quads);

// Fills the rectangle [x1, x2) × [y1, y2), limited to the target, with a colour or a depth.
void FillColor(const Target& target, int x1, int y1, int x2, int y2, uint32_t color);
void FillDepth(const Target& target, int x1, int y1, int x2, int y2, uint16_t depth);

}  // namespace plovant::raster
