// FillColor and FillDepth: rectangles limited to the target.
#include <algorithm>
#include <cstdint>

#include "platform/dx7/raster/rasteriser.h"

namespace plovant::raster {
namespace {

// Limits [x1, x2) × [y1, y2) to [0, width) × [0, height); false when empty.
bool LimitRect(int width, int height, int& x1, int& y1, int& x2, int& y2) {
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, width);
    y2 = std::min(y2, height);
    return x1 < x2 && y1 < y2;
}

}  // namespace

void FillColor(const Target& target, int x1, int y1, int x2, int y2, uint32_t color) {
    if (target.color == nullptr) return;
    if (!LimitRect(target.width, target.height, x1, y1, x2, y2)) return;
    for (int y = y1; y < y2; ++y) {
        uint32_t* row = target.color + static_cast<ptrdiff_t>(y) * target.color_pitch;
        std::fill(row + x1, row + x2, color);
    }
}

void FillDepth(const Target& target, int x1, int y1, int x2, int y2, uint16_t depth) {
    if (target.depth == nullptr) return;
    if (!LimitRect(target.width, target.height, x1, y1, x2, y2)) return;
    for (int y = y1; y < y2; ++y) {
        uint16_t* row = target.depth + static_cast<ptrdiff_t>(y) * target.depth_pitch;
        std::fill(row + x1, row + x2, depth);
    }
}

}  // namespace plovant::raster
