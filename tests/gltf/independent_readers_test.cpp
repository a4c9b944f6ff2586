// Every sample model, crafted files of every RSM version and the interop files, exported
// in both forms and checked by two readers that are not ours: the Khronos glTF validator
// (0 errors and 0 warnings) and assimp (the node and mesh counts we wrote).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <regex>

#include "gltf/gltf_test_support.h"
#include "model/binary_file.h"

namespace plovant {
namespace {

using namespace gltf_test;

const fs::path kSourceDir = fs::path(PLOVANT_SAMPLES_DIR).parent_path();

struct CommandRun {
    int status = -1;
    std::string output;
};

CommandRun RunCommand(const std::string& command) {
    CommandRun run;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) run.output.append(chunk, n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// A model of version 2.2 with two roots, for the readers' handling of several roots.
scene::Scene TwoRoots() {
    scene::Scene s = CraftedScene({2, 2});
    scene::Node second = SquareNode("second root", "");
    second.texture_ids = {0};
    second.offset = {-5, 0, 0};
    s.nodes.push_back(second);
    s.root_nodes = {"root", "second root"};
    return s;
}

class IndependentReaders : public ::testing::Test {
protected:
    // Exports every model into out/, as GLB and as .gltf.
    static void SetUpTestSuite() {
        root_ = fs::temp_directory_path() /
                ("plovant-gltf-independent-readers-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "in");
        fs::create_directories(root_ / "out");
        const fs::path data = MakeDataFolder(root_);

        std::vector<std::pair<fs::path, fs::path>> inputs;  // (model, data location)
        for (const auto& e : fs::directory_iterator(fs::path(PLOVANT_SAMPLES_DIR) / "data")) {
            if (e.path().extension() == ".rsm") {
                inputs.emplace_back(e.path(), fs::path(PLOVANT_SAMPLES_DIR) / "data");
            }
        }
        for (const scene::Version v : AllVersions()) {
            const fs::path file =
                root_ / "in" / ("crafted-" + v.Text() + (v.IsV2() ? ".rsm2" : ".rsm"));
            WriteFile(file, testing::WriteRsmScene(CraftedScene(v)));
            inputs.emplace_back(file, data);
        }
        WriteFile(root_ / "in" / "two-roots.rsm2", testing::WriteRsmScene(TwoRoots()));
        inputs.emplace_back(root_ / "in" / "two-roots.rsm2", data);
        for (const auto& e : fs::directory_iterator(kSourceDir / "tests" / "data" / "interop")) {
            const std::string ext = e.path().extension().string();
            if (ext == ".rsm" || ext == ".rsm2") {
                inputs.emplace_back(
                    e.path(), kSourceDir / "tests" / "data" / "interop" / "korangar-textures.grf");
            }
        }
        for (const auto& [model, location] : inputs) {
            for (const char* ext : {".glb", ".gltf"}) {
                gltf::ExportJob job;
                job.name = model.string();
                job.read = [path = model] { return ReadBinaryFile(path); };
                job.output = root_ / "out" / (model.stem().string() + ext);
                job.format = gltf::FormatForPath(job.output);
                const gltf::ExportOutcome outcome = gltf::ExportOne(job, SettingsFor(location));
                if (!outcome.written) failures_ += job.name + ": " + outcome.messages.at(0) + "\n";
                outputs_.push_back(job.output);
            }
        }
    }
    static void TearDownTestSuite() { fs::remove_all(root_); }

    static fs::path root_;
    static std::vector<fs::path> outputs_;
    static std::string failures_;
};
fs::path IndependentReaders::root_;
std::vector<fs::path> IndependentReaders::outputs_;
std::string IndependentReaders::failures_;

TEST_F(IndependentReaders, EveryModelIsExported) {
    EXPECT_EQ(failures_, "");
    EXPECT_GE(outputs_.size(), 2u * (4 + 9 + 5));
}

TEST_F(IndependentReaders, KhronosValidatorFindsNoErrorAndNoWarning) {
    const fs::path script = kSourceDir / "tests" / "gltf" / "validator" / "validate.js";
    ASSERT_TRUE(fs::exists(script.parent_path() / "node_modules" / "gltf-validator"))
        << "the validator is not installed: run scripts/setup.sh (npm ci in "
        << script.parent_path() << ")";
    const CommandRun run = RunCommand("node " + Quoted(script) + " " + Quoted(root_ / "out"));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(std::to_string(outputs_.size()) + " file(s) validated, 0 error(s)"),
              std::string::npos)
        << run.output;
}

TEST_F(IndependentReaders, AssimpReadsTheNodeAndMeshCounts) {
    for (const fs::path& output : outputs_) {
        tinygltf::TinyGLTF loader;
        tinygltf::Model model;
        std::string err, warn;
        const bool binary = output.extension() == ".glb";
        ASSERT_TRUE(binary ? loader.LoadBinaryFromFile(&model, &err, &warn, output.string())
                           : loader.LoadASCIIFromFile(&model, &err, &warn, output.string()))
            << output << ": " << err;
        std::size_t primitives = 0;
        for (const tinygltf::Mesh& m : model.meshes) primitives += m.primitives.size();
        // assimp makes one mesh of each primitive, and a node above several roots.
        const std::size_t nodes = model.nodes.size() + (model.scenes[0].nodes.size() > 1 ? 1 : 0);

        // -r: a raw import, without the steps that merge identical meshes.
        const CommandRun run = RunCommand("assimp info " + Quoted(output) + " -r");
        ASSERT_EQ(run.status, 0) << output << "\n" << run.output;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(run.output, m, std::regex(R"(\nNodes:\s+(\d+))")))
            << run.output;
        EXPECT_EQ(std::stoul(m[1]), nodes) << output;
        ASSERT_TRUE(std::regex_search(run.output, m, std::regex(R"(\nMeshes:\s+(\d+))")))
            << run.output;
        EXPECT_EQ(std::stoul(m[1]), primitives) << output;
    }
}

}  // namespace
}  // namespace plovant
