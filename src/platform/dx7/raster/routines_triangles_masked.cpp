// Triangle routines with the other depth tests (through the draw's pass mask), with and
// without depth writes.
#include "platform/dx7/raster/routine_tables.h"

namespace plovant::raster::detail {

void SelectTrianglesMasked(const RoutineChoice& choice, DrawContext& ctx) {
    if (choice.depth_write)
        FillTable<TriangleRoutines, DepthMode::Masked, true>(choice, ctx);
    else
        FillTable<TriangleRoutines, DepthMode::Masked, false>(choice, ctx);
}

}  // namespace plovant::raster::detail
