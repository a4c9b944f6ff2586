// Line routines (wireframe and point fill). The less-or-equal test goes through the
// masked routines, whose pass mask the draw sets for it.
#include "platform/dx7/raster/routine_tables.h"

namespace plovant::raster::detail {

void SelectLines(const RoutineChoice& choice, DrawContext& ctx) {
    if (choice.depth == DepthMode::Off) {
        FillTable<LineRoutines, DepthMode::Off, false>(choice, ctx);
    } else if (choice.depth_write) {
        FillTable<LineRoutines, DepthMode::Masked, true>(choice, ctx);
    } else {
        FillTable<LineRoutines, DepthMode::Masked, false>(choice, ctx);
    }
}

}  // namespace plovant::raster::detail
