// A small render target for the rasteriser tests, and helpers that place vertices by
// their screen position.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/dx7/raster/rasteriser.h"

namespace plovant::raster::testing {

inline constexpr uint32_t kBackground = 0x00123456u;
inline constexpr uint16_t kFarDepth = 0xFFFF;

// Colour and depth buffers, with pitches wider than the image so that a write past the
// end of a row shows up in the padding.
class Canvas {
public:
    static constexpr int kPad = 3;

    Canvas(int width, int height)
        : width_(width),
          height_(height),
          color_(static_cast<size_t>((width + kPad) * height), kBackground),
          depth_(static_cast<size_t>((width + kPad) * height), kFarDepth) {}

    Target target(bool with_depth = true) {
        Target t;
        t.color = color_.data();
        t.color_pitch = width_ + kPad;
        t.depth = with_depth ? depth_.data() : nullptr;
        t.depth_pitch = width_ + kPad;
        t.width = width_;
        t.height = height_;
        return t;
    }

    int width() const { return width_; }
    int height() const { return height_; }

    // The colour at (x, y) without its unused top byte.
    uint32_t rgb(int x, int y) const { return raw(x, y) & 0x00FFFFFFu; }
    uint32_t raw(int x, int y) const { return color_[index(x, y)]; }
    uint16_t depth(int x, int y) const { return depth_[index(x, y)]; }
    bool touched(int x, int y) const { return raw(x, y) != kBackground; }

    void set_depth(int x, int y, uint16_t d) { depth_[index(x, y)] = d; }

    void clear(uint32_t color = kBackground, uint16_t depth = kFarDepth) {
        std::fill(color_.begin(), color_.end(), color);
        std::fill(depth_.begin(), depth_.end(), depth);
    }

    int count_touched() const {
        int n = 0;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) n += touched(x, y) ? 1 : 0;
        return n;
    }

    // True when no pixel of the padding columns was written.
    bool padding_untouched() const {
        for (int y = 0; y < height_; ++y)
            for (int x = width_; x < width_ + kPad; ++x)
                if (color_[static_cast<size_t>(y * (width_ + kPad) + x)] != kBackground)
                    return false;
        return true;
    }

private:
    size_t index(int x, int y) const { return static_cast<size_t>(y * (width_ + kPad) + x); }

    int width_, height_;
    std::vector<uint32_t> color_;
    std::vector<uint16_t> depth_;
};

// A state that draws everything: whole target as viewport, no culling, depth
// less-or-equal, untextured.
inline State PlainState(int width, int height) {
    State s;
    s.viewport = Viewport{0, 0, width, height, 0.0f, 1.0f};
    s.cull = CullMode::None;
    s.color_op = ColorOp::Diffuse;
    return s;
}

// A vertex whose screen position is (sx, sy) in the viewport `vp`, with depth z in 0..1
// and clip w (the clip coordinates are scaled by w, which leaves the screen position).
inline Vertex At(const Viewport& vp, float sx, float sy, float z = 0.5f, float w = 1.0f) {
    Vertex v;
    v.x = ((sx - static_cast<float>(vp.x)) / (0.5f * static_cast<float>(vp.width)) - 1.0f) * w;
    v.y = (1.0f - (sy - static_cast<float>(vp.y)) / (0.5f * static_cast<float>(vp.height))) * w;
    v.z = z * w;
    v.w = w;
    return v;
}

inline Vertex WithColor(Vertex v, uint32_t rgb) {
    v.r = static_cast<float>((rgb >> 16) & 255u) / 255.0f;
    v.g = static_cast<float>((rgb >> 8) & 255u) / 255.0f;
    v.b = static_cast<float>(rgb & 255u) / 255.0f;
    return v;
}

inline Vertex WithUv(Vertex v, float u, float tv) {
    v.u = u;
    v.v = tv;
    return v;
}

// A texture kept alive with its texels.
struct TestTexture {
    std::vector<uint32_t> texels;
    Texture texture;

    TestTexture(int width, int height, std::vector<uint32_t> t) : texels(std::move(t)) {
        texture.texels = texels.data();
        texture.width = width;
        texture.height = height;
        texture.pitch = width;
    }
};

// How many of the triangles cover each pixel (index y · width + x): each one is drawn
// alone onto a cleared canvas and the touched pixels are counted.
inline std::vector<int> CoverageCounts(const State& state, Canvas& canvas,
                                       const std::vector<Vertex>& triangles) {
    std::vector<int> counts(static_cast<size_t>(canvas.width() * canvas.height()), 0);
    for (size_t i = 0; i + 3 <= triangles.size(); i += 3) {
        canvas.clear();
        DrawTriangleList(state, canvas.target(), &triangles[i], 3);
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x)
                if (canvas.touched(x, y)) ++counts[static_cast<size_t>(y * canvas.width() + x)];
    }
    return counts;
}

}  // namespace plovant::raster::testing
