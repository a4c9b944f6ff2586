// The AVX2 build draws the queued pixels of a batch two at a time where the pipeline is
// the common one: a textured pixel, depth-tested (less or equal) or not, from a wrapped
// power-of-two texture (bilinearly from its quads, or the nearest texel), not
// modulated. Each 128-bit half of a 256-bit register carries one pixel through the
// operations of the one-pixel path (PixelPipeline::Run with TextureSampler), lane for
// lane, so the two give the same pixels.
//
// A pair is drawn together only when nothing in it depends on the other pixel or skips
// a write: both pass the depth test, they are not the same pixel, and (with the colour
// key) no texel of either footprint is keyed. Otherwise the two are drawn one after the
// other by the one-pixel path, which decides everything afresh (nothing is written
// before the decision).
#pragma once

#include "platform/dx7/raster/pixel_batch.h"
#include "platform/dx7/raster/pixel_pipeline.h"
#include "platform/dx7/raster/raster_internal.h"
#include "platform/dx7/raster/simd.h"
#include "platform/dx7/raster/texture_sampling.h"

#if defined(PLOVANT_RASTER_AVX2_PATH)
#include <immintrin.h>

#include <bit>
#include <cstdint>

namespace plovant::raster::detail {

// Whether DrawPairsAvx2 can draw the pixels of pipeline P.
template <class P>
constexpr bool DrawsPairs() {
    if constexpr (!P::kTextured) {
        return false;
    } else {
        using S = typename P::Sampler;
        return P::kShade == Shade::Texture && S::kPow2Wrap &&
               (P::kDepth == DepthMode::LessEqual || P::kDepth == DepthMode::Off);
    }
}

template <class P>
PLOVANT_RASTER_TARGET_AVX2 void DrawPairsAvx2(const DrawContext& ctx, PixelBatch& batch) {
    static_assert(DrawsPairs<P>());
    const TextureInfo texture = ctx.texture;
    const auto* quads = reinterpret_cast<const uint8_t*>(texture.quads);
    const int count = batch.count;

    // A footprint's quad lies at byte 16 · (x + y · width) for the whole column and row of
    // its first texel, masked to the texture: shifted into place lane by lane.
    const __m256i masks = _mm256_setr_epi32(texture.width_mask, texture.height_mask, 0, 0,
                                            texture.width_mask, texture.height_mask, 0, 0);
    const int row_shift = 4 + std::countr_zero(static_cast<unsigned>(texture.width));
    const __m256i shifts = _mm256_setr_epi32(4, row_shift, 0, 0, 4, row_shift, 0, 0);
    const __m256i from_centres = _mm256_set1_epi32(128);
    // The nearest texel lies at x + y · pitch.
    const __m256i pitches = _mm256_setr_epi32(1, texture.pitch, 0, 0, 1, texture.pitch, 0, 0);
    // The 8-bit fractions as 16-bit lanes: fx (byte 0 of u) and fy (byte 4, of v) eight
    // times each, picked by byte shuffles whose every other byte (0x80) gives a zero. The
    // weights are those of BilinearWeights: 256 − fy and fy for the vertical pass,
    // (256 − fx four times, fx four times) for the horizontal one.
    const __m256i fx_bytes = _mm256_set1_epi16(static_cast<int16_t>(0x8000));
    const __m256i fy_bytes = _mm256_set1_epi16(static_cast<int16_t>(0x8004));
    const __m256i w256 = _mm256_set1_epi16(256);
    const __m256i wx_sign =
        _mm256_setr_epi16(-1, -1, -1, -1, 1, 1, 1, 1, -1, -1, -1, -1, 1, 1, 1, 1);
    const __m256i wx_base =
        _mm256_setr_epi16(256, 256, 256, 256, 0, 0, 0, 0, 256, 256, 256, 256, 0, 0, 0, 0);
    const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i zero = _mm256_setzero_si256();

    int k = 0;
    for (; k + 1 < count; k += 2) {
        const TriangleSlot& t0 = batch.triangles[batch.triangle[k]];
        const TriangleSlot& t1 = batch.triangles[batch.triangle[k + 1]];
        const __m256 lo =
            _mm256_insertf128_ps(_mm256_castps128_ps256(t0.bounds.lo.v), t1.bounds.lo.v, 1);
        const __m256 hi =
            _mm256_insertf128_ps(_mm256_castps128_ps256(t0.bounds.hi.v), t1.bounds.hi.v, 1);
        const __m256 attr = _mm256_loadu_ps(reinterpret_cast<const float*>(batch.attr + k));
        const int c0 = batch.color_index[k], c1 = batch.color_index[k + 1];
        bool together = c0 != c1;

        // Depth: lanes 2 and 6.
        uint16_t* d0 = nullptr;
        uint16_t* d1 = nullptr;
        uint32_t z0 = 0, z1 = 0;
        if constexpr (P::kUsesDepth) {
            const __m256i z = _mm256_cvttps_epi32(_mm256_max_ps(_mm256_min_ps(attr, hi), lo));
            z0 = static_cast<uint32_t>(_mm256_extract_epi32(z, 2));
            z1 = static_cast<uint32_t>(_mm256_extract_epi32(z, 6));
            d0 = ctx.depth + batch.depth_index[k];
            d1 = ctx.depth + batch.depth_index[k + 1];
            together = together & (z0 <= *d0) & (z1 <= *d1);
        }

        // Texel coordinates: lanes 0 and 1 of each half.
        const __m256 w = _mm256_permute_ps(attr, _MM_SHUFFLE(3, 3, 3, 3));
        const __m256i uv =
            _mm256_cvttps_epi32(_mm256_max_ps(_mm256_min_ps(_mm256_div_ps(attr, w), hi), lo));
        __m256i c = uv;                   // bilinear: from texel centres
        __m256i four = zero;              // bilinear: the two footprints
        uint32_t texel0 = 0, texel1 = 0;  // nearest texel
        if constexpr (P::Sampler::kBilinear) {
            c = _mm256_sub_epi32(uv, from_centres);
            __m256i at = _mm256_sllv_epi32(
                _mm256_and_si256(_mm256_srai_epi32(c, kTexelFractionBits), masks), shifts);
            at = _mm256_add_epi32(at, _mm256_shuffle_epi32(at, _MM_SHUFFLE(1, 1, 1, 1)));
            const uint32_t q0 = static_cast<uint32_t>(_mm256_cvtsi256_si32(at));
            const uint32_t q1 = static_cast<uint32_t>(_mm256_extract_epi32(at, 4));
            four = _mm256_inserti128_si256(
                _mm256_castsi128_si256(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(quads + q0))),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(quads + q1)), 1);
            if constexpr (P::Sampler::kColorKey) {
                const int alpha_zero = _mm256_movemask_epi8(_mm256_cmpeq_epi8(four, zero));
                together = together & ((alpha_zero & static_cast<int>(0x88888888u)) == 0);
            }
        } else {
            // Texel x + y · pitch of the masked column and row.
            __m256i at = _mm256_mullo_epi32(
                _mm256_and_si256(_mm256_srai_epi32(uv, kTexelFractionBits), masks), pitches);
            at = _mm256_add_epi32(at, _mm256_shuffle_epi32(at, _MM_SHUFFLE(1, 1, 1, 1)));
            texel0 = texture.texels[_mm256_cvtsi256_si32(at)];
            texel1 = texture.texels[_mm256_extract_epi32(at, 4)];
            if constexpr (P::Sampler::kColorKey) {
                together = together & !IsKeyed(texel0) & !IsKeyed(texel1);
            }
        }
        if (!together) {
            DrawQueuedPixel<P>(ctx, texture, batch, k);
            DrawQueuedPixel<P>(ctx, texture, batch, k + 1);
            continue;
        }

        if constexpr (P::Sampler::kBilinear) {
            const __m256i fx = _mm256_shuffle_epi8(c, fx_bytes);
            const __m256i fy = _mm256_shuffle_epi8(c, fy_bytes);
            const __m256i wx = _mm256_add_epi16(_mm256_sign_epi16(fx, wx_sign), wx_base);
            const __m256i top = _mm256_unpacklo_epi8(four, zero);
            const __m256i bottom = _mm256_unpackhi_epi8(four, zero);
            __m256i v = _mm256_add_epi16(_mm256_mullo_epi16(top, _mm256_sub_epi16(w256, fy)),
                                         _mm256_mullo_epi16(bottom, fy));
            v = _mm256_srli_epi16(v, 8);
            __m256i h = _mm256_mullo_epi16(v, wx);
            h = _mm256_srli_epi16(_mm256_add_epi16(h, _mm256_bsrli_epi128(h, 8)), 8);
            const __m256i out = _mm256_or_si256(_mm256_packus_epi16(h, h), opaque);
            ctx.color[c0] = static_cast<uint32_t>(_mm256_cvtsi256_si32(out));
            ctx.color[c1] = static_cast<uint32_t>(_mm256_extract_epi32(out, 4));
        } else {
            ctx.color[c0] = texel0 | 0xFF000000u;
            ctx.color[c1] = texel1 | 0xFF000000u;
        }
        if constexpr (P::kUsesDepth && P::kDepthWrite) {
            *d0 = static_cast<uint16_t>(z0);
            *d1 = static_cast<uint16_t>(z1);
        }
    }
    if (k < count) DrawQueuedPixel<P>(ctx, texture, batch, k);
    batch.Empty();
}

}  // namespace plovant::raster::detail
#endif
