// The parts of the scene reader, each in its own file: one node, the sections after
// the nodes, and the links between nodes once all are read.
#pragma once

#include <cstddef>
#include <string>

#include "scene/byte_cursor.h"
#include "scene/scene.h"

namespace plovant::scene {

// The smallest number of bytes a node of `version` can take, for checking the node count.
std::size_t SmallestNodeSize(Version version);

// Reads node number `index` (counted from 0) of a file of `version`.
Node ReadNode(ByteCursor& in, Version version, std::size_t index);

// Reads what follows the nodes: the model-level keys (below 1.6) and the volume boxes.
// Sections the data ends before are left empty; bytes left over are named in a warning.
void ReadTailSections(ByteCursor& in, Scene& scene);

// Resolves texture names, parents and the main node, and lists the softer faults in
// Scene::warnings (missing parents, self-parents and loops, duplicate names, texture ids
// outside the table, faces with indices out of range).
void LinkNodes(Scene& scene);

// "node 2 \"mast\"" (the name decoded for reading), for messages.
std::string NodeLabel(std::size_t index, const std::string& name);

}  // namespace plovant::scene
