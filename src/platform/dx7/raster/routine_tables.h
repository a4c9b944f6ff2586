// The template that fills a routine table for one depth mode; included by the
// routines_*.cpp files, each of which instantiates it for its own modes.
//
// A flat diffuse colour other than white is drawn by the Gouraud routines (equal
// colours interpolate to themselves); flat white under modulation is the texel alone.
#pragma once

#include "platform/dx7/raster/instruction_set.h"
#include "platform/dx7/raster/line_walk.h"
#include "platform/dx7/raster/routines.h"
#include "platform/dx7/raster/triangle_walk.h"

namespace plovant::raster::detail {

struct TriangleRoutines {
    template <class P>
    static void Set(DrawContext& ctx, int variant, int filter) {
#if defined(PLOVANT_RASTER_AVX2_PATH)
        if (CurrentInstructionSet() == InstructionSet::Avx2) {
            ctx.triangle_fns[variant][filter] = &DrawTriangleAvx2<RowWalkOf<P>>;
            ctx.batch_fns[variant][filter] = &DrawBatchAvx2<P>;
            return;
        }
#endif
        ctx.triangle_fns[variant][filter] = &DrawTriangle<RowWalkOf<P>>;
        ctx.batch_fns[variant][filter] = &DrawBatch<P>;
    }
};

struct LineRoutines {
    template <class P>
    static void Set(DrawContext& ctx, int variant, int filter) {
        ctx.line_fns[variant][filter] = &DrawLine<P>;
    }
};

template <class Kind, DepthMode kDepth, bool kWrite, bool kPow2, bool kKey>
void FillTexturedTable(const RoutineChoice& choice, DrawContext& ctx) {
    using Point = TextureSampler<false, kPow2, kKey>;
    using Bilinear = TextureSampler<true, kPow2, kKey>;
    using PlainPoint = PixelPipeline<kDepth, kWrite, Shade::Texture, Point>;
    using PlainBilinear = PixelPipeline<kDepth, kWrite, Shade::Texture, Bilinear>;
    for (int variant = 0; variant < kColorVariantCount; ++variant) {
        if (!choice.modulate || variant == kColorWhite) {
            Kind::template Set<PlainPoint>(ctx, variant, 0);
            Kind::template Set<PlainBilinear>(ctx, variant, 1);
        } else {
            Kind::template Set<PixelPipeline<kDepth, kWrite, Shade::TextureGouraud, Point>>(
                ctx, variant, 0);
            Kind::template Set<PixelPipeline<kDepth, kWrite, Shade::TextureGouraud, Bilinear>>(
                ctx, variant, 1);
        }
    }
}

template <class Kind, DepthMode kDepth, bool kWrite>
void FillTable(const RoutineChoice& choice, DrawContext& ctx) {
    if (!choice.textured) {
        using Flat = PixelPipeline<kDepth, kWrite, Shade::Flat, NoSampler>;
        using Gouraud = PixelPipeline<kDepth, kWrite, Shade::Gouraud, NoSampler>;
        for (int filter = 0; filter < 2; ++filter) {
            Kind::template Set<Flat>(ctx, kColorFlat, filter);
            Kind::template Set<Flat>(ctx, kColorWhite, filter);
            Kind::template Set<Gouraud>(ctx, kColorGouraud, filter);
        }
        return;
    }
    // The power-of-two routines sample bilinear footprints from the texel quads.
    if (choice.pow2_wrap && ctx.texture.quads != nullptr) {
        if (choice.color_key)
            FillTexturedTable<Kind, kDepth, kWrite, true, true>(choice, ctx);
        else
            FillTexturedTable<Kind, kDepth, kWrite, true, false>(choice, ctx);
    } else {
        if (choice.color_key)
            FillTexturedTable<Kind, kDepth, kWrite, false, true>(choice, ctx);
        else
            FillTexturedTable<Kind, kDepth, kWrite, false, false>(choice, ctx);
    }
}

}  // namespace plovant::raster::detail
