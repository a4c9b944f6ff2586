#include "export/gltf/scene_to_gltf.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "errors/error.h"
#include "export/gltf/buffer_builder.h"
#include "export/gltf/node_geometry.h"
#include "export/gltf/node_transforms.h"
#include "export/gltf/texture_pictures.h"
#include "model/code_page.h"
#include "scene/placement.h"

namespace plovant::gltf {
namespace {

// RSM shade type whose faces are shaded smoothly within their smoothing groups.
constexpr int32_t kSmoothShading = 2;

// Parents before children: the order nodes are visited from the roots. A node whose
// parent chain loops (which the scene reader never produces) is taken as a root.
std::vector<int32_t> EffectiveParents(const scene::Scene& scene) {
    const std::size_t count = scene.nodes.size();
    std::vector<int32_t> parent(count, -1);
    for (std::size_t i = 0; i < count; ++i) {
        const int32_t p = scene.nodes[i].parent_index;
        if (p >= 0 && std::size_t(p) < count && std::size_t(p) != i) parent[i] = p;
    }
    // Cut loops: walk up from each node; a chain longer than the node count loops.
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t steps = 0;
        int32_t at = int32_t(i);
        while (at >= 0 && steps <= count) {
            at = parent[std::size_t(at)];
            ++steps;
        }
        if (at >= 0) parent[i] = -1;
    }
    return parent;
}

std::vector<std::size_t> TopDownOrder(const std::vector<int32_t>& parent,
                                      std::vector<std::vector<int>>& children) {
    const std::size_t count = parent.size();
    children.assign(count, {});
    std::vector<std::size_t> order;
    order.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (parent[i] < 0) {
            order.push_back(i);
        } else {
            children[std::size_t(parent[i])].push_back(int(i));
        }
    }
    for (std::size_t k = 0; k < order.size(); ++k) {
        for (const int c : children[order[k]]) order.push_back(std::size_t(c));
    }
    return order;
}

// The times (in the file's units: ms for 1.x, frames for 2.x) at which a track is written:
// its key frames, clamped to the animation's length as the pose is.
template <typename Key>
std::vector<double> TrackFrames(const std::vector<Key>& keys, double length) {
    std::vector<double> frames;
    frames.reserve(keys.size());
    for (const Key& k : keys) frames.push_back(std::clamp(double(k.frame), 0.0, length));
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    return frames;
}

class Builder {
public:
    Builder(const scene::Scene& scene, const std::string& name, const ExportSettings& settings,
            std::vector<std::string>& warnings)
        : scene_(scene),
          name_(name),
          settings_(settings),
          warnings_(warnings),
          pictures_(settings.data, settings.standby_bitmap),
          buffers_(doc_.model) {}

    GltfDocument Build() {
        if (scene_.nodes.empty()) {
            throw Error(kErrInvalidFormat, name_ + ": the model has no node to export");
        }
        tinygltf::Model& model = doc_.model;
        model.asset.version = "2.0";
        model.asset.generator = "Plovant";

        const std::vector<int32_t> parent = EffectiveParents(scene_);
        std::vector<std::vector<int>> children;
        const std::vector<std::size_t> order = TopDownOrder(parent, children);
        const scene::ScenePose pose = scene::PoseAt(scene_, settings_.time_ms);

        // At most one written vertex per face corner: position, normal, texture
        // coordinates and an index, plus four bytes of alignment per array.
        std::size_t corners = 0;
        for (const scene::Node& node : scene_.nodes) corners += node.faces.size() * 3;
        buffers_.Reserve(corners * (12 + 12 + 8 + 4) + 64 * scene_.nodes.size());

        model.nodes.resize(scene_.nodes.size());
        residual_.assign(scene_.nodes.size(), glm::mat4(1.0f));
        incoming_.assign(scene_.nodes.size(), glm::mat4(1.0f));
        const glm::mat4 upright_model = Upright(pose.model);
        tinygltf::Scene gltf_scene;
        for (const std::size_t i : order) {
            const scene::Node& node = scene_.nodes[i];
            tinygltf::Node& out = model.nodes[i];
            out.name = DecodeGameText(node.name);
            out.children = children[i];
            incoming_[i] = parent[i] < 0 ? upright_model : residual_[std::size_t(parent[i])];
            if (parent[i] < 0) gltf_scene.nodes.push_back(int(i));

            const glm::mat4 local = incoming_[i] * Upright(pose.nodes[i].local_to_parent);
            const TrsSplit split = SplitTrs(local);
            residual_[i] = split.residual;
            SetTrs(out, split.exact ? split.trs : ApproximateTrsIfAnimated(i, local, split));

            // Vertices: the residual, then the node's own part, in upright axes
            // (Upright(mesh) · F = F · mesh, and the vertices are the file's).
            glm::mat4 placement = residual_[i] * Upright(pose.nodes[i].mesh);
            placement[1] = -placement[1];
            AddMesh(i, placement);
        }
        model.scenes.push_back(std::move(gltf_scene));
        model.defaultScene = 0;
        AddAnimation(order);
        AddImages();
        if (std::any_of(scene_.nodes.begin(), scene_.nodes.end(),
                        [](const scene::Node& n) { return !n.texture_animations.empty(); })) {
            warnings_.push_back("texture animations were left out (glTF has no place for them)");
        }
        return std::move(doc_);
    }

private:
    bool Animates() const {
        if (scene_.animation_length <= 0) return false;
        if (!scene_.version.IsV2()) return true;
        const double fps = scene_.fps.value_or(0.0f);
        return std::isfinite(fps) && fps > 0;
    }
    bool TurnsOrScales(const scene::Node& node) const {
        return Animates() && (!node.rotation_keys.empty() || !node.scale_keys.empty());
    }

    // A node whose pose is not a TRS keeps only its translation in the node and passes
    // the rest down; an animated node cannot (its channels set rotation and scale), so it
    // gets the nearest TRS and nothing is passed down.
    // A node whose only keys are positions keeps the split: its translation is animated
    // and what it passes down does not change with time.
    Trs ApproximateTrsIfAnimated(std::size_t i, const glm::mat4& local, const TrsSplit& split) {
        if (!TurnsOrScales(scene_.nodes[i])) return split.trs;
        residual_[i] = glm::mat4(1.0f);
        WarnApproximated(i);
        return ApproximateTrs(local);
    }

    void WarnApproximated(std::size_t i) {
        if (approximated_.size() < scene_.nodes.size()) approximated_.resize(scene_.nodes.size());
        if (approximated_[i]) return;
        approximated_[i] = true;
        warnings_.push_back("node \"" + DecodeGameText(scene_.nodes[i].name) +
                            "\": its animated transform has shear or a mirror, which glTF "
                            "cannot animate; the nearest rotation and scale are written");
    }

    static void SetTrs(tinygltf::Node& out, const Trs& trs) {
        out.translation.clear();
        out.rotation.clear();
        out.scale.clear();
        if (trs.translation != glm::vec3(0.0f)) {
            out.translation = {trs.translation.x, trs.translation.y, trs.translation.z};
        }
        if (trs.rotation != glm::quat(1, 0, 0, 0)) {
            out.rotation = {trs.rotation.x, trs.rotation.y, trs.rotation.z, trs.rotation.w};
        }
        if (trs.scale != glm::vec3(1.0f)) out.scale = {trs.scale.x, trs.scale.y, trs.scale.z};
    }

    void AddMesh(std::size_t i, const glm::mat4& placement) {
        const scene::Node& node = scene_.nodes[i];
        NodeGeometry geometry =
            BuildNodeGeometry(node, placement, scene_.shade_type == kSmoothShading);
        if (geometry.skipped_faces) {
            warnings_.push_back("node \"" + DecodeGameText(node.name) +
                                "\": " + std::to_string(geometry.skipped_faces) +
                                " face(s) left out (an index out of range or a position that "
                                "is not a number)");
        }
        if (geometry.primitives.empty()) return;
        tinygltf::Mesh mesh;
        mesh.name = DecodeGameText(node.name);
        for (const PrimitiveData& data : geometry.primitives) {
            tinygltf::Primitive primitive;
            primitive.mode = TINYGLTF_MODE_TRIANGLES;
            primitive.attributes["POSITION"] = buffers_.AddVec3(data.positions, true, true);
            primitive.attributes["NORMAL"] = buffers_.AddVec3(data.normals, true, false);
            primitive.attributes["TEXCOORD_0"] = buffers_.AddVec2(data.uvs);
            primitive.indices = buffers_.AddIndices(data.indices);
            primitive.material = Material(data);
            mesh.primitives.push_back(std::move(primitive));
        }
        doc_.model.meshes.push_back(std::move(mesh));
        doc_.model.nodes[i].mesh = int(doc_.model.meshes.size() - 1);
    }

    int Material(const PrimitiveData& data) {
        const TexturePicture* picture =
            data.textured ? pictures_.Find(data.texture, warnings_) : nullptr;
        const auto key = std::make_tuple(data.textured, data.texture, data.two_sided);
        if (const auto found = materials_.find(key); found != materials_.end()) {
            return found->second;
        }
        tinygltf::Material material;
        material.name = data.textured ? DecodeGameText(data.texture) : "untextured";
        material.pbrMetallicRoughness.metallicFactor = 0.0;
        material.pbrMetallicRoughness.roughnessFactor = 1.0;
        material.doubleSided = data.two_sided;
        if (picture) {
            material.pbrMetallicRoughness.baseColorTexture.index = Texture(picture, material.name);
            if (picture->has_transparency) {
                material.alphaMode = "MASK";
                material.alphaCutoff = 0.5;
            }
        }
        doc_.model.materials.push_back(std::move(material));
        const int index = int(doc_.model.materials.size() - 1);
        materials_.emplace(key, index);
        return index;
    }

    int Texture(const TexturePicture* picture, const std::string& name) {
        if (const auto found = textures_.find(picture); found != textures_.end()) {
            return found->second;
        }
        tinygltf::Model& model = doc_.model;
        if (model.samplers.empty()) {
            tinygltf::Sampler sampler;
            sampler.magFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
            sampler.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_LINEAR;
            sampler.wrapS = TINYGLTF_TEXTURE_WRAP_REPEAT;
            sampler.wrapT = TINYGLTF_TEXTURE_WRAP_REPEAT;
            model.samplers.push_back(sampler);
        }
        tinygltf::Image image;
        image.name = name;
        image.mimeType = "image/png";
        model.images.push_back(std::move(image));
        picture_of_image_.push_back(picture);
        tinygltf::Texture texture;
        texture.sampler = 0;
        texture.source = int(model.images.size() - 1);
        model.textures.push_back(texture);
        const int index = int(model.textures.size() - 1);
        textures_.emplace(picture, index);
        return index;
    }

    void AddImages() {
        doc_.image_png.reserve(picture_of_image_.size());
        for (const TexturePicture* picture : picture_of_image_)
            doc_.image_png.push_back(picture->png);
    }

    // Time in seconds of a frame in the file's units.
    double Seconds(double frame) const {
        return scene_.version.IsV2() ? frame / double(*scene_.fps) : frame / 1000.0;
    }

    const scene::ScenePose& PoseAtFrame(double frame) {
        auto found = poses_.find(frame);
        if (found == poses_.end()) {
            found = poses_.emplace(frame, scene::PoseAt(scene_, Seconds(frame) * 1000.0)).first;
        }
        return found->second;
    }

    enum class Path { kTranslation, kRotation, kScale };

    void AddChannel(tinygltf::Animation& animation, std::size_t i,
                    const std::vector<double>& frames, Path path) {
        std::vector<float> times;
        std::vector<Trs> values;
        for (const double frame : frames) {
            const float t = float(Seconds(frame));
            // Times must increase strictly; frames that round to one time keep the first.
            if (!times.empty() && !(t > times.back())) continue;
            const glm::mat4 local =
                incoming_[i] * Upright(PoseAtFrame(frame).nodes[i].local_to_parent);
            const TrsSplit split = SplitTrs(local);
            times.push_back(t);
            if (split.exact || path == Path::kTranslation) {
                values.push_back(split.trs);  // the translation is exact either way
            } else {
                WarnApproximated(i);
                values.push_back(ApproximateTrs(local));
            }
        }
        tinygltf::AnimationSampler sampler;
        sampler.input = buffers_.AddTimes(times);
        sampler.interpolation = "LINEAR";
        std::vector<glm::vec3> vectors;
        std::vector<glm::quat> rotations;
        for (const Trs& v : values) {
            if (path == Path::kTranslation) vectors.push_back(v.translation);
            if (path == Path::kScale) vectors.push_back(v.scale);
            if (path == Path::kRotation) rotations.push_back(v.rotation);
        }
        // Consecutive rotations on the same side, so LINEAR (slerp) takes the short way
        // exactly as the keys do.
        for (std::size_t k = 1; k < rotations.size(); ++k) {
            if (glm::dot(rotations[k - 1], rotations[k]) < 0) rotations[k] = -rotations[k];
        }
        sampler.output = path == Path::kRotation ? buffers_.AddQuats(rotations)
                                                 : buffers_.AddVec3(vectors, false, false);
        animation.samplers.push_back(std::move(sampler));
        tinygltf::AnimationChannel channel;
        channel.sampler = int(animation.samplers.size() - 1);
        channel.target_node = int(i);
        channel.target_path = path == Path::kTranslation ? "translation"
                              : path == Path::kRotation  ? "rotation"
                                                         : "scale";
        animation.channels.push_back(std::move(channel));
    }

    void AddAnimation(const std::vector<std::size_t>& order) {
        if (!Animates()) return;
        const double length = scene_.animation_length;
        tinygltf::Animation animation;
        for (const std::size_t i : order) {
            const scene::Node& node = scene_.nodes[i];
            if (!node.position_keys.empty()) {
                AddChannel(animation, i, TrackFrames(node.position_keys, length),
                           Path::kTranslation);
            }
            if (!node.rotation_keys.empty()) {
                AddChannel(animation, i, TrackFrames(node.rotation_keys, length), Path::kRotation);
            }
            if (!node.scale_keys.empty()) {
                AddChannel(animation, i, TrackFrames(node.scale_keys, length), Path::kScale);
            }
        }
        if (!animation.channels.empty()) doc_.model.animations.push_back(std::move(animation));
    }

    const scene::Scene& scene_;
    const std::string& name_;
    const ExportSettings& settings_;
    std::vector<std::string>& warnings_;
    GltfDocument doc_;
    TexturePictures pictures_;
    BufferBuilder buffers_;
    std::vector<glm::mat4> residual_;  // what each node passes down to its mesh and children
    std::vector<glm::mat4> incoming_;  // what each node's parent passed down to it
    std::vector<bool> approximated_;
    std::map<std::tuple<bool, std::string, bool>, int> materials_;
    std::map<const TexturePicture*, int> textures_;
    std::vector<const TexturePicture*> picture_of_image_;
    std::map<double, scene::ScenePose> poses_;
};

}  // namespace

GltfDocument SceneToGltf(const scene::Scene& scene, const std::string& name,
                         const ExportSettings& settings, std::vector<std::string>& warnings) {
    return Builder(scene, name, settings, warnings).Build();
}

}  // namespace plovant::gltf
