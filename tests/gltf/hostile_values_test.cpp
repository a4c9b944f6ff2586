// Files whose numbers are extreme (not a number, infinite, the largest float, the largest
// integers) still export to documents tinygltf reads back, with finite transforms.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "errors/error.h"
#include "gltf/gltf_test_support.h"

namespace plovant {
namespace {

using namespace gltf_test;

bool AllFinite(const std::vector<double>& values) {
    for (const double v : values) {
        if (!std::isfinite(v)) return false;
    }
    return true;
}

// Every 4-byte word of crafted files of every version, in turn, replaced by each hostile
// value: the reader refuses the file, or the export reads back with finite node values.
TEST(GltfHostileValues, EveryWordReplacedStillExportsSoundlyOrIsRefused) {
    TempFolder folder;
    const gltf::ExportSettings settings;  // no textures: the numbers are what is tested
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float big = std::numeric_limits<float>::max();
    uint32_t hostile[5];
    std::memcpy(&hostile[0], &nan, 4);
    std::memcpy(&hostile[1], &inf, 4);
    std::memcpy(&hostile[2], &big, 4);
    hostile[3] = 0x7FFFFFFF;  // the largest int32
    hostile[4] = 0x80000000;  // the smallest int32
    std::size_t exported = 0;
    for (const scene::Version v :
         {scene::Version{1, 6}, scene::Version{2, 2}, scene::Version{2, 3}}) {
        const std::vector<uint8_t> original = testing::WriteRsmScene(CraftedScene(v));
        for (std::size_t at = 6; at + 4 <= original.size(); at += 4) {
            for (const uint32_t word : hostile) {
                std::vector<uint8_t> bytes = original;
                std::memcpy(&bytes[at], &word, 4);
                scene::Scene s;
                try {
                    s = scene::ReadScene(bytes, "hostile.rsm");
                } catch (const Error&) {
                    continue;  // refused by the reader: nothing to export
                }
                std::vector<std::string> warnings;
                gltf::GltfDocument doc;
                try {
                    doc = gltf::SceneToGltf(s, "hostile.rsm", settings, warnings);
                } catch (const Error&) {
                    continue;
                }
                const fs::path out = folder.path() / "hostile.glb";
                gltf::WriteGltf(std::move(doc), out, gltf::GltfFormat::kBinary);
                tinygltf::TinyGLTF loader;
                tinygltf::Model model;
                std::string err, warn;
                ASSERT_TRUE(loader.LoadBinaryFromFile(&model, &err, &warn, out.string()))
                    << "version " << v.Text() << ", word at " << at << ": " << err;
                for (const tinygltf::Node& n : model.nodes) {
                    ASSERT_TRUE(AllFinite(n.translation) && AllFinite(n.rotation) &&
                                AllFinite(n.scale))
                        << "version " << v.Text() << ", word at " << at;
                }
                for (std::size_t i = 0; i < model.accessors.size(); ++i) {
                    const tinygltf::Accessor& a = model.accessors[i];
                    ASSERT_TRUE(AllFinite(a.minValues) && AllFinite(a.maxValues))
                        << "version " << v.Text() << ", word at " << at;
                    if (a.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT) continue;
                    for (const float f : Floats(model, int(i))) {
                        ASSERT_TRUE(std::isfinite(f))
                            << "version " << v.Text() << ", word at " << at << ", accessor " << i;
                    }
                }
                ++exported;
            }
        }
    }
    EXPECT_GT(exported, 100u);
}

}  // namespace
}  // namespace plovant
