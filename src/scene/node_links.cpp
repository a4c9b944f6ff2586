// The links between nodes, worked out once every node is read.
//
// Parents are found by name, byte for byte (letter case counts, as in the readers that
// look names up in a map); of nodes sharing a name, the first in the file is the one
// found. A parent not found, or a node naming itself, leaves the node a root. A parent
// chain that loops is cut at the repeat: walking up from each node in file order, the
// node whose parent is already on the walk becomes a root.
//
// The main node is the first of Scene::root_nodes that names a node, else the first
// node. In 1.x files it is always a root, as the game draws the tree from it: a parent it
// names is ignored (with a warning).
#include <unordered_map>

#include "model/code_page.h"
#include "scene/scene_reader_parts.h"

namespace plovant::scene {
namespace {

std::string Quoted(const std::string& name) { return "\"" + DecodeGameText(name) + "\""; }

void ResolveTextures(Scene& scene) {
    if (scene.version.AtLeast(2, 3)) return;  // names are in the nodes already
    for (std::size_t i = 0; i < scene.nodes.size(); ++i) {
        Node& node = scene.nodes[i];
        node.textures.clear();
        std::size_t outside = 0;
        for (const int32_t id : node.texture_ids) {
            const bool known = id >= 0 && std::size_t(id) < scene.textures.size();
            node.textures.push_back(known ? scene.textures[std::size_t(id)] : std::string());
            if (!known) ++outside;
        }
        if (outside != 0) {
            scene.warnings.push_back(NodeLabel(i, node.name) + ": " + std::to_string(outside) +
                                     " texture ids are outside the texture table");
        }
    }
}

void CountFacesOutOfRange(Scene& scene) {
    for (std::size_t i = 0; i < scene.nodes.size(); ++i) {
        const Node& node = scene.nodes[i];
        std::size_t outside = 0;
        for (const Face& face : node.faces) outside += FaceInRange(node, face) ? 0 : 1;
        if (outside != 0) {
            scene.warnings.push_back(NodeLabel(i, node.name) + ": " + std::to_string(outside) +
                                     " of " + std::to_string(node.faces.size()) +
                                     " faces refer to vertices or texture vertices past the "
                                     "end of their lists and are not drawn");
        }
    }
}

void CutLoops(Scene& scene) {
    const std::size_t count = scene.nodes.size();
    enum : uint8_t { kTodo, kOnWalk, kDone };
    std::vector<uint8_t> state(count, kTodo);
    std::vector<std::size_t> walk;
    for (std::size_t start = 0; start < count; ++start) {
        std::size_t i = start;
        while (state[i] == kTodo) {
            state[i] = kOnWalk;
            walk.push_back(i);
            const int32_t parent = scene.nodes[i].parent_index;
            if (parent < 0) break;
            if (state[std::size_t(parent)] == kOnWalk) {
                scene.warnings.push_back(NodeLabel(i, scene.nodes[i].name) +
                                         ": its parent chain loops back to it; read as a root");
                scene.nodes[i].parent_index = -1;
                break;
            }
            i = std::size_t(parent);
        }
        for (const std::size_t n : walk) state[n] = kDone;
        walk.clear();
    }
}

}  // namespace

void LinkNodes(Scene& scene) {
    ResolveTextures(scene);

    std::unordered_map<std::string, int32_t> by_name;
    for (std::size_t i = 0; i < scene.nodes.size(); ++i) {
        const auto [found, added] = by_name.emplace(scene.nodes[i].name, int32_t(i));
        if (!added) {
            scene.warnings.push_back(NodeLabel(i, scene.nodes[i].name) +
                                     ": the same name as node " + std::to_string(found->second) +
                                     ", which is the one that name finds");
        }
    }

    for (std::size_t i = 0; i < scene.nodes.size(); ++i) {
        Node& node = scene.nodes[i];
        node.parent_index = -1;
        if (node.parent.empty()) continue;
        const auto found = by_name.find(node.parent);
        if (found == by_name.end()) {
            scene.warnings.push_back(NodeLabel(i, node.name) + ": its parent " +
                                     Quoted(node.parent) + " is not in the file; read as a root");
        } else if (std::size_t(found->second) == i) {
            scene.warnings.push_back(NodeLabel(i, node.name) +
                                     ": it names itself as its parent; read as a root");
        } else {
            node.parent_index = found->second;
        }
    }

    scene.main_node = scene.nodes.empty() ? -1 : 0;
    for (const std::string& root : scene.root_nodes) {
        const auto found = by_name.find(root);
        if (found != by_name.end()) {
            scene.main_node = found->second;
            break;
        }
    }
    if (!scene.nodes.empty() && !scene.version.IsV2()) {
        const std::string& named = scene.root_nodes.empty() ? std::string() : scene.root_nodes[0];
        if (!by_name.contains(named)) {
            scene.warnings.push_back("the main node " + Quoted(named) +
                                     " is not in the file; the first node is taken");
        }
        Node& main = scene.nodes[std::size_t(scene.main_node)];
        if (main.parent_index >= 0) {
            scene.warnings.push_back(NodeLabel(std::size_t(scene.main_node), main.name) +
                                     ": the main node names the parent " + Quoted(main.parent) +
                                     "; read as a root");
            main.parent_index = -1;
        }
    }

    CutLoops(scene);
    CountFacesOutOfRange(scene);
}

}  // namespace plovant::scene
