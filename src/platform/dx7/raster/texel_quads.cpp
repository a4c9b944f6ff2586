// The footprints of bilinear sampling, laid out ahead of time for wrapped
// power-of-two textures.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/dx7/raster/rasteriser.h"

namespace plovant::raster {
namespace {

bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

}  // namespace

bool BuildTexelQuads(const Texture& texture, std::vector<uint32_t>& quads) {
    const int w = texture.width, h = texture.height;
    if (texture.texels == nullptr || !IsPowerOfTwo(w) || !IsPowerOfTwo(h) ||
        texture.pitch < w || static_cast<int64_t>(w) * h > kMaxQuadTexels) {
        quads.clear();
        return false;
    }
    quads.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    uint32_t* out = quads.data();
    for (int y = 0; y < h; ++y) {
        const uint32_t* row0 = texture.texels + static_cast<ptrdiff_t>(y) * texture.pitch;
        const uint32_t* row1 =
            texture.texels + static_cast<ptrdiff_t>((y + 1) & (h - 1)) * texture.pitch;
        for (int x = 0; x < w; ++x) {
            const int x1 = (x + 1) & (w - 1);
            out[0] = row0[x];
            out[1] = row0[x1];
            out[2] = row1[x];
            out[3] = row1[x1];
            out += 4;
        }
    }
    return true;
}

}  // namespace plovant::raster
