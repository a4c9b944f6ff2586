#include "export/gltf/buffer_builder.h"

#include <cstring>
#include <limits>

namespace plovant::gltf {

BufferBuilder::BufferBuilder(tinygltf::Model& model) : model_(model) {
    if (model_.buffers.empty()) model_.buffers.emplace_back();
}

int BufferBuilder::AddView(const void* data, std::size_t size, int target) {
    std::vector<unsigned char>& bytes = model_.buffers[0].data;
    // Every view starts on a 4-byte boundary, as float and uint32 accessors need.
    bytes.resize((bytes.size() + 3) & ~std::size_t(3), 0);
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = bytes.size();
    view.byteLength = size;
    view.target = target;
    const std::size_t at = bytes.size();
    bytes.resize(at + size);
    if (size) std::memcpy(bytes.data() + at, data, size);
    model_.bufferViews.push_back(std::move(view));
    return int(model_.bufferViews.size() - 1);
}

int BufferBuilder::AddAccessor(int view, int component_type, int type, std::size_t count) {
    tinygltf::Accessor accessor;
    accessor.bufferView = view;
    accessor.byteOffset = 0;
    accessor.componentType = component_type;
    accessor.type = type;
    accessor.count = count;
    model_.accessors.push_back(std::move(accessor));
    return int(model_.accessors.size() - 1);
}

int BufferBuilder::AddVec3(std::span<const glm::vec3> values, bool vertex_attribute,
                           bool with_bounds) {
    static_assert(sizeof(glm::vec3) == 12);
    const int view = AddView(values.data(), values.size_bytes(),
                             vertex_attribute ? TINYGLTF_TARGET_ARRAY_BUFFER : 0);
    const int index =
        AddAccessor(view, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, values.size());
    if (with_bounds && !values.empty()) {
        glm::vec3 low = values[0], high = values[0];
        for (const glm::vec3& v : values) {
            low = glm::min(low, v);
            high = glm::max(high, v);
        }
        model_.accessors[std::size_t(index)].minValues = {low.x, low.y, low.z};
        model_.accessors[std::size_t(index)].maxValues = {high.x, high.y, high.z};
    }
    return index;
}

int BufferBuilder::AddVec2(std::span<const glm::vec2> values) {
    const int view = AddView(values.data(), values.size_bytes(), TINYGLTF_TARGET_ARRAY_BUFFER);
    return AddAccessor(view, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC2, values.size());
}

int BufferBuilder::AddIndices(std::span<const uint32_t> indices) {
    const int view =
        AddView(indices.data(), indices.size_bytes(), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    return AddAccessor(view, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR,
                       indices.size());
}

int BufferBuilder::AddTimes(std::span<const float> seconds) {
    const int view = AddView(seconds.data(), seconds.size_bytes(), 0);
    const int index =
        AddAccessor(view, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR, seconds.size());
    float low = std::numeric_limits<float>::infinity(), high = -low;
    for (const float t : seconds) {
        low = std::min(low, t);
        high = std::max(high, t);
    }
    model_.accessors[std::size_t(index)].minValues = {low};
    model_.accessors[std::size_t(index)].maxValues = {high};
    return index;
}

int BufferBuilder::AddQuats(std::span<const glm::quat> rotations) {
    std::vector<float> xyzw;
    xyzw.reserve(rotations.size() * 4);
    for (const glm::quat& q : rotations) xyzw.insert(xyzw.end(), {q.x, q.y, q.z, q.w});
    const int view = AddView(xyzw.data(), xyzw.size() * sizeof(float), 0);
    return AddAccessor(view, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC4, rotations.size());
}

void BufferBuilder::Reserve(std::size_t bytes) {
    std::vector<unsigned char>& data = model_.buffers[0].data;
    data.reserve(data.size() + bytes);
}

int BufferBuilder::AddBytes(std::span<const uint8_t> bytes) {
    return AddView(bytes.data(), bytes.size(), 0);
}

}  // namespace plovant::gltf
