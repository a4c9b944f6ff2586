// Picks, once per draw call, the routines that draw triangles and lines for a state:
// one per colour variant and texture filter, so the per-triangle choice is an index.
#pragma once

#include "platform/dx7/raster/pixel_pipeline.h"
#include "platform/dx7/raster/raster_internal.h"

namespace plovant::raster::detail {

struct RoutineChoice {
    DepthMode depth = DepthMode::Off;
    bool depth_write = false;
    bool textured = false;
    bool modulate = false;   // texture × diffuse (else the texture alone)
    bool pow2_wrap = false;  // both axes wrap and both sizes are powers of two
    bool color_key = false;
};

// Fills ctx.triangle_fns and ctx.line_fns.
void SelectRoutines(const RoutineChoice& choice, DrawContext& ctx);

// The pieces of SelectRoutines, each in its own source file because each instantiates
// many templates. Lines treat less-or-equal as one of the masked tests: wireframe is
// not the case to optimise, and this halves what has to be compiled.
void SelectTrianglesDepthOff(const RoutineChoice& choice, DrawContext& ctx);
void SelectTrianglesLessEqual(const RoutineChoice& choice, DrawContext& ctx);
void SelectTrianglesMasked(const RoutineChoice& choice, DrawContext& ctx);
void SelectLines(const RoutineChoice& choice, DrawContext& ctx);

}  // namespace plovant::raster::detail
