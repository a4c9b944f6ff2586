// The software rasteriser under our Direct3D subset. It knows nothing of render-state
// numbers: the device translates its states once into a RasterState, and hands over
// vertices already transformed into clip space and lit. Everything here is plain data.
#pragma once

#include <cstddef>
#include <cstdint>

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
};
inline constexpr uint32_t kOpaqueTexelMask = 0xFF000000u;

// The surfaces drawn into: 32-bit X8R8G8B8 colour and an optional 16-bit depth buffer
// (0 = near, 65535 = far). Pitches are in pixels.
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
void DrawTriangleList(const State& state, const Target& target, const Vertex* vertices,
                      size_t count);

// Fills the rectangle [x1, x2) × [y1, y2), limited to the target, with a colour or a depth.
void FillColor(const Target& target, int x1, int y1, int x2, int y2, uint32_t color);
void FillDepth(const Target& target, int x1, int y1, int x2, int y2, uint16_t depth);

}  // namespace plovant::raster
