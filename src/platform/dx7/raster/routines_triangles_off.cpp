// Triangle routines without a depth test; and SelectRoutines itself.
#include "platform/dx7/raster/routine_tables.h"

namespace plovant::raster::detail {

void SelectTrianglesDepthOff(const RoutineChoice& choice, DrawContext& ctx) {
    FillTable<TriangleRoutines, DepthMode::Off, false>(choice, ctx);
}

void SelectRoutines(const RoutineChoice& choice, DrawContext& ctx) {
    switch (choice.depth) {
        case DepthMode::Off:
            SelectTrianglesDepthOff(choice, ctx);
            break;
        case DepthMode::LessEqual:
            SelectTrianglesLessEqual(choice, ctx);
            break;
        case DepthMode::Masked:
            SelectTrianglesMasked(choice, ctx);
            break;
    }
    SelectLines(choice, ctx);
}

}  // namespace plovant::raster::detail
