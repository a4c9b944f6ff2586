// An RSM file of any version into a Scene. The header:
//   "GRSM", u8 major, u8 minor, int32 animation length, int32 shade type,
//   [from 1.4: u8 alpha], 1.x: 16 reserved bytes / 2.x: float frames per second,
//   below 2.3: int32 texture count + names (1.x: 40 bytes each; 2.2: counted),
//   1.x: the main node's name (40 bytes) / 2.x: int32 count + counted root names,
//   int32 node count, the nodes (node_reader.cpp), the sections after them
//   (tail_sections.cpp).
#include "scene/scene_reader.h"

#include <array>

#include "model/binary_file.h"
#include "scene/scene_reader_parts.h"

namespace plovant::scene {
namespace {

constexpr std::size_t kNameLength = 40;

constexpr std::array<Version, 8> kKnownVersions{
    {{1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6}, {2, 2}, {2, 3}}};

void ReadHeader(ByteCursor& in, Scene& scene) {
    in.Need(6, "header");
    if (in.U8("") != 'G' || in.U8("") != 'R' || in.U8("") != 'S' || in.U8("") != 'M') {
        in.Rewind(0);
        in.Fail(kErrInvalidFormat, "not an RSM file (it does not start with GRSM)");
    }
    scene.version.major = in.U8("version");
    scene.version.minor = in.U8("version");
    bool known = false;
    for (const Version v : kKnownVersions) {
        known = known || (v.major == scene.version.major && v.minor == scene.version.minor);
    }
    if (!known) {
        in.Fail(kErrInvalidFormat, "RSM version " + scene.version.Text() +
                                       " is not one this program reads (1.1 to 1.6, 2.2, 2.3)");
    }
    scene.animation_length = in.I32("animation length");
    scene.shade_type = in.I32("shade type");
    if (scene.version.AtLeast(1, 4)) scene.alpha = in.U8("alpha");
    if (scene.version.IsV2()) {
        scene.fps = in.F32("frames per second");
    } else {
        in.Skip(16, "reserved header bytes");
    }
}

void ReadNames(ByteCursor& in, Scene& scene) {
    const bool v2 = scene.version.IsV2();
    if (!scene.version.AtLeast(2, 3)) {
        scene.textures.resize(in.Count("texture count", v2 ? 4 : kNameLength));
        for (std::string& texture : scene.textures) {
            texture = v2 ? in.CountedText("texture name length")
                         : in.FixedText(kNameLength, "texture name");
        }
    }
    if (v2) {
        scene.root_nodes.resize(in.Count("root node count", 4));
        for (std::string& root : scene.root_nodes) root = in.CountedText("root node name length");
    } else {
        scene.root_nodes.push_back(in.FixedText(kNameLength, "main node name"));
    }
}

}  // namespace

Scene ReadScene(std::span<const uint8_t> bytes, const std::string& name) {
    ByteCursor in(bytes, name);
    Scene scene;
    ReadHeader(in, scene);
    ReadNames(in, scene);
    const std::size_t count = in.Count("node count", SmallestNodeSize(scene.version));
    for (std::size_t i = 0; i < count; ++i) scene.nodes.push_back(ReadNode(in, scene.version, i));
    ReadTailSections(in, scene);
    LinkNodes(scene);
    return scene;
}

Scene LoadScene(const std::filesystem::path& path) {
    const std::vector<uint8_t> bytes = ReadBinaryFile(path);
    return ReadScene(bytes, PathText(path));
}

}  // namespace plovant::scene
