// FillColor and FillDepth: rectangles limited to the target.
#include <algorithm>
#include <cstdint>

#include "platform/dx7/raster/rasteriser.h"
#include "platform/dx7/raster/simd.h"

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

// Stores `count` copies of the 16 bytes of `pattern` (the value repeated) from `row` on,
// 16 bytes at a time, then the remaining values one at a time. The compiler does not
// vectorise a plain fill at -O2, and the frame's clear is two full-target fills.
template <typename T>
void FillRow(T* row, int count, T value) {
    int i = 0;
#if defined(PLOVANT_RASTER_SSE2)
    constexpr int kPerVector = 16 / sizeof(T);
    const __m128i pattern = sizeof(T) == 4 ? _mm_set1_epi32(static_cast<int>(value))
                                           : _mm_set1_epi16(static_cast<short>(value));
    for (; i + kPerVector <= count; i += kPerVector) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), pattern);
    }
#endif
    for (; i < count; ++i) row[i] = value;
}

}  // namespace

void FillColor(const Target& target, int x1, int y1, int x2, int y2, uint32_t color) {
    if (target.color == nullptr) return;
    if (!LimitRect(target.width, target.height, x1, y1, x2, y2)) return;
    for (int y = y1; y < y2; ++y) {
        uint32_t* row = target.color + static_cast<ptrdiff_t>(y) * target.color_pitch;
        FillRow(row + x1, x2 - x1, color);
    }
}

void FillDepth(const Target& target, int x1, int y1, int x2, int y2, uint16_t depth) {
    if (target.depth == nullptr) return;
    if (!LimitRect(target.width, target.height, x1, y1, x2, y2)) return;
    for (int y = y1; y < y2; ++y) {
        uint16_t* row = target.depth + static_cast<ptrdiff_t>(y) * target.depth_pitch;
        FillRow(row + x1, x2 - x1, depth);
    }
}

}  // namespace plovant::raster
