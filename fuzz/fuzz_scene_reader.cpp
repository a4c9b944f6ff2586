// libFuzzer target for the scene reader: any bytes must be read or refused with a
// plovant::Error, never crash, overrun or allocate beyond the input. A scene that is
// read is then posed at a few times, and the links the reader promises are checked.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "errors/error.h"
#include "scene/placement.h"
#include "scene/scene_reader.h"

namespace {

void Check(const plovant::scene::Scene& scene) {
    const std::size_t count = scene.nodes.size();
    if (count == 0 ? scene.main_node != -1
                   : (scene.main_node < 0 || std::size_t(scene.main_node) >= count)) {
        std::abort();
    }
    for (std::size_t i = 0; i < count; ++i) {
        // Every parent link is in range, and following them from any node ends at a root
        // within `count` steps (no loops).
        std::size_t steps = 0;
        for (int32_t p = scene.nodes[i].parent_index; p != -1;
             p = scene.nodes[std::size_t(p)].parent_index) {
            if (p < -1 || std::size_t(p) >= count || ++steps > count) std::abort();
        }
        const plovant::scene::Node& node = scene.nodes[i];
        if (!scene.version.AtLeast(2, 3) && node.textures.size() != node.texture_ids.size()) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    plovant::scene::Scene scene;
    try {
        scene = plovant::scene::ReadScene(std::span<const uint8_t>(data, size), "fuzz.rsm");
    } catch (const plovant::Error&) {
        return 0;
    }
    Check(scene);
    for (const double t : {0.0, 333.0, 1e9, -5.0}) {
        const plovant::scene::ScenePose pose = plovant::scene::PoseAt(scene, t);
        if (pose.nodes.size() != scene.nodes.size()) std::abort();
        for (std::size_t i = 0; i < pose.nodes.size(); ++i) (void)pose.NodeMatrix(i);
    }
    return 0;
}
