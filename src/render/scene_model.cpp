// A scene turned into the viewer's model, and the open that falls back to it.
#include "render/scene_model.h"

#include <cmath>
#include <cstring>
#include <glm/vec4.hpp>
#include <limits>
#include <unordered_map>

#include "errors/error.h"
#include "model/binary_file.h"
#include "scene/placement.h"
#include "scene/scene_reader.h"

namespace plovant {
namespace {

void PutInt32(uint8_t* out, int32_t value) {
    const uint32_t bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

void PutFloat(uint8_t* out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    PutInt32(out, static_cast<int32_t>(bits));
}

// The header as the file lays it out, so the model mirrors the file: "GRSM", major,
// minor, animation length, shade type, then alpha (from 1.4) and frames per second (2.x).
RsmHeader MakeHeader(const scene::Scene& scene) {
    RsmHeader header;
    std::memcpy(header.Signature.data(), "GRSM", 4);
    uint8_t* rest = header.HeaderRest.data();
    rest[0] = scene.version.major;
    rest[1] = scene.version.minor;
    PutInt32(rest + 2, scene.animation_length);
    PutInt32(rest + 6, scene.shade_type);
    if (scene.alpha) rest[10] = *scene.alpha;
    if (scene.fps) PutFloat(rest + 11, *scene.fps);
    return header;
}

// The twenty-two floats after a node's texture ids describe its transform (matrix,
// offset, position, rotation angle and axis, scale). The adapted vertices already stand
// where that transform puts them, so the block describes the identity.
std::array<float, 22> IdentityParamBlock() {
    std::array<float, 22> block{};
    block[0] = block[4] = block[8] = 1.0f;     // the 3×3 matrix
    block[19] = block[20] = block[21] = 1.0f;  // the scale
    return block;
}

// Texture tables: before 2.3 the file's own, with the node's ids as stored; in 2.3 the
// distinct names of the nodes' slots in first-use order.
struct TextureTable {
    std::vector<std::string> names;
    std::vector<std::vector<int32_t>> node_ids;  // per node, per slot
};

TextureTable MakeTextureTable(const scene::Scene& scene) {
    TextureTable table;
    table.node_ids.reserve(scene.nodes.size());
    if (!scene.version.AtLeast(2, 3)) {
        table.names = scene.textures;
        for (const scene::Node& node : scene.nodes) table.node_ids.push_back(node.texture_ids);
        return table;
    }
    std::unordered_map<std::string, int32_t> index_of;
    for (const scene::Node& node : scene.nodes) {
        std::vector<int32_t>& ids = table.node_ids.emplace_back();
        ids.reserve(node.textures.size());
        for (const std::string& name : node.textures) {
            const auto [it, added] =
                index_of.try_emplace(name, static_cast<int32_t>(table.names.size()));
            if (added) table.names.push_back(name);
            ids.push_back(it->second);
        }
    }
    return table;
}

RsmVertex Placed(const glm::mat4& matrix, const glm::vec3& v) {
    const glm::vec4 p = matrix * glm::vec4(v, 1.0f);
    return RsmVertex{p.x, p.y, p.z};
}

RsmTexVertex MakeTexVertex(const scene::TexVertex& t) {
    RsmTexVertex out;
    for (int i = 0; i < 4; ++i) out.Extra[i] = static_cast<uint8_t>(t.colour >> (8 * i));
    out.U = t.u;
    out.V = t.v;
    return out;
}

// The face as the file lays it out: indices and slot (read as signed 16-bit numbers, so
// 32768 and above are out of every array), two bytes of padding, the two-sided flag and
// the smoothing group.
RsmFace MakeFace(const scene::Face& f) {
    RsmFace out;
    out.V0 = static_cast<int16_t>(f.vertices[0]);
    out.V1 = static_cast<int16_t>(f.vertices[1]);
    out.V2 = static_cast<int16_t>(f.vertices[2]);
    out.T0 = static_cast<int16_t>(f.texture_vertices[0]);
    out.T1 = static_cast<int16_t>(f.texture_vertices[1]);
    out.T2 = static_cast<int16_t>(f.texture_vertices[2]);
    out.TextureSlot = static_cast<int16_t>(f.texture_slot);
    PutInt32(out.FaceTail.data() + 2, f.two_sided ? 1 : 0);
    PutInt32(out.FaceTail.data() + 6, f.smoothing_group);
    return out;
}

int32_t CountOf(std::size_t size) {
    // Arrays read from a file stay far below this; the cap keeps a count honest anyway.
    return size > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())
               ? std::numeric_limits<int32_t>::max()
               : static_cast<int32_t>(size);
}

RsmMesh MakeMesh(const scene::Node& node, const glm::mat4& matrix, std::vector<int32_t> ids) {
    RsmMesh mesh;
    mesh.Name = MakeText40(node.name);
    mesh.ParentName = MakeText40(node.parent);
    mesh.TextureIds = std::move(ids);
    mesh.TextureCount = CountOf(mesh.TextureIds.size());
    mesh.ParamBlock = IdentityParamBlock();
    mesh.Vertices.reserve(node.vertices.size());
    for (const glm::vec3& v : node.vertices) mesh.Vertices.push_back(Placed(matrix, v));
    mesh.VertexCount = CountOf(mesh.Vertices.size());
    mesh.TexVertices.reserve(node.texture_vertices.size());
    for (const scene::TexVertex& t : node.texture_vertices) {
        mesh.TexVertices.push_back(MakeTexVertex(t));
    }
    mesh.TexVertexCount = CountOf(mesh.TexVertices.size());
    mesh.Faces.reserve(node.faces.size());
    for (const scene::Face& f : node.faces) mesh.Faces.push_back(MakeFace(f));
    mesh.FaceCount = CountOf(mesh.Faces.size());
    return mesh;
}

[[noreturn]] void Overflow() { throw Error(kErrOverflow, "Overflow while centring the model"); }

bool Finite(const RsmVertex& v) {
    return std::isfinite(v.X) && std::isfinite(v.Y) && std::isfinite(v.Z);
}

// `description` without a leading "<file>: ", which the message around it already names.
std::string WithoutFileName(const std::string& description, const std::string& file) {
    const std::string prefix = file + ": ";
    return description.starts_with(prefix) ? description.substr(prefix.size()) : description;
}

}  // namespace

RsmModel SceneToModel(const scene::Scene& scene, double time_ms) {
    const scene::ScenePose pose = scene::PoseAt(scene, time_ms);
    TextureTable table = MakeTextureTable(scene);

    RsmModel model;
    model.Header = MakeHeader(scene);
    model.Meshes.reserve(scene.nodes.size() + 1);
    for (std::size_t i = 0; i < scene.nodes.size(); ++i) {
        model.Meshes.push_back(
            MakeMesh(scene.nodes[i], pose.NodeMatrix(i), std::move(table.node_ids[i])));
    }
    model.MeshCount = CountOf(scene.nodes.size());
    if (!scene.nodes.empty()) model.Meshes[0].DeclaredMeshCount = model.MeshCount;
    model.Meshes.emplace_back();  // the blank last mesh

    model.TextureNames.reserve(table.names.size() + 1);
    for (const std::string& name : table.names) model.TextureNames.push_back(MakeText40(name));
    model.TextureCount = CountOf(table.names.size());
    model.TextureNames.emplace_back();  // the blank last name
    return model;
}

float CenterWholeModel(RsmModel& model) {
    const std::size_t mesh_count = std::min<std::size_t>(
        static_cast<std::size_t>(std::max(model.MeshCount, 0)), model.Meshes.size());
    constexpr float kInf = std::numeric_limits<float>::infinity();
    float min_x = kInf, min_y = kInf, min_z = kInf;
    float max_x = -kInf, max_y = -kInf, max_z = -kInf;
    bool any = false;
    for (std::size_t m = 0; m < mesh_count; ++m) {
        for (const RsmVertex& v : model.Meshes[m].Vertices) {
            if (!Finite(v)) continue;
            any = true;
            min_x = std::min(min_x, v.X);
            min_y = std::min(min_y, v.Y);
            min_z = std::min(min_z, v.Z);
            max_x = std::max(max_x, v.X);
            max_y = std::max(max_y, v.Y);
            max_z = std::max(max_z, v.Z);
        }
    }
    if (!any) return 0.0f;

    // The middle as min + side / 2 never overflows where the side does not.
    const float side_x = max_x - min_x, side_y = max_y - min_y, side_z = max_z - min_z;
    if (!std::isfinite(side_x) || !std::isfinite(side_y) || !std::isfinite(side_z)) Overflow();
    const float mid_x = min_x + side_x / 2, mid_y = min_y + side_y / 2, mid_z = min_z + side_z / 2;
    // Every moved finite coordinate lies within the box's side of the middle, so none
    // overflows; non-finite ones stay as they are (the drawing leaves their faces out).
    for (std::size_t m = 0; m < mesh_count; ++m) {
        for (RsmVertex& v : model.Meshes[m].Vertices) {
            v.X -= mid_x;
            v.Y -= mid_y;
            v.Z -= mid_z;
        }
    }
    return std::max(side_x, std::max(side_y, side_z));
}

bool HasRsm2Ending(const std::string& name) {
    if (name.size() < 4) return false;
    std::string ending = name.substr(name.size() - 4);
    for (char& c : ending) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return ending == "rsm2";
}

namespace {

OpenedModel SceneViewModel(const scene::Scene& scene) {
    OpenedModel opened;
    opened.model = SceneToModel(scene, 0.0);
    opened.extent = CenterWholeModel(opened.model);
    return opened;
}

// The rule of ReadAnyViewModel, for a file called `name` read by `first` (the first
// reader) and `second` (the scene layer).
template <typename First, typename Second>
OpenedModel ReadEither(const std::string& name, First first, Second second) {
    // The first reader knows one layout of the ".rsm" files; what it made of a ".rsm2"
    // file the scene layer refuses (a 2.x file cut short, say) would be a wrong model.
    if (HasRsm2Ending(name)) return second();
    try {
        return first();
    } catch (const Error& first_failure) {
        // A file that is not there is missing for both readers: said once, as always.
        if (first_failure.number() == kErrFileNotFound) throw;
        try {
            return second();
        } catch (const Error& second_failure) {
            throw Error(first_failure.number(),
                        first_failure.description() + "\nRead as an RSM file of any version: " +
                            WithoutFileName(second_failure.description(), name));
        }
    }
}

}  // namespace

OpenedModel ReadSceneViewModel(const std::filesystem::path& path) {
    return SceneViewModel(scene::LoadScene(path));
}

OpenedModel ReadAnyViewModel(const std::filesystem::path& path) {
    return ReadEither(
        PathText(path), [&] { return ReadViewModel(path); },
        [&] { return ReadSceneViewModel(path); });
}

OpenedModel ReadAnyViewModel(std::span<const uint8_t> bytes, const std::string& name) {
    return ReadEither(
        name, [&] { return ReadViewModel(bytes, name); },
        [&] { return SceneViewModel(scene::ReadScene(bytes, name)); });
}

}  // namespace plovant
