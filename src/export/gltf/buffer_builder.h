// Appending typed arrays to the one binary buffer of a glTF model, each in its own
// buffer view, as the accessors that describe them.
#pragma once

#include <tiny_gltf.h>

#include <cstdint>
#include <glm/gtc/quaternion.hpp>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <span>
#include <string>
#include <vector>

namespace plovant::gltf {

class BufferBuilder {
public:
    // Works on model.buffers[0], which it creates when the model has no buffer.
    explicit BufferBuilder(tinygltf::Model& model);

    // Each returns the index of the new accessor. Vertex attributes and indices get a
    // buffer-view target; animation data none. `with_bounds` writes min and max.
    int AddVec3(std::span<const glm::vec3> values, bool vertex_attribute, bool with_bounds);
    int AddVec2(std::span<const glm::vec2> values);
    int AddIndices(std::span<const uint32_t> indices);
    int AddTimes(std::span<const float> seconds);        // always with min and max
    int AddQuats(std::span<const glm::quat> rotations);  // x, y, z, w

    // Makes room for `bytes` more bytes at once, so the buffer is not copied as it grows.
    void Reserve(std::size_t bytes);

    // A buffer view holding `bytes` (an image); returns its index.
    int AddBytes(std::span<const uint8_t> bytes);

private:
    int AddView(const void* data, std::size_t size, int target);
    int AddAccessor(int view, int component_type, int type, std::size_t count);

    tinygltf::Model& model_;
};

}  // namespace plovant::gltf
