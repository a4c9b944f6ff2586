// Triangle routines with the less-or-equal depth test, with and without depth writes.
#include "platform/dx7/raster/routine_tables.h"

namespace plovant::raster::detail {

void SelectTrianglesLessEqual(const RoutineChoice& choice, DrawContext& ctx) {
    if (choice.depth_write)
        FillTable<TriangleRoutines, DepthMode::LessEqual, true>(choice, ctx);
    else
        FillTable<TriangleRoutines, DepthMode::LessEqual, false>(choice, ctx);
}

}  // namespace plovant::raster::detail
