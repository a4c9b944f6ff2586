// plovant-cli scene FILE [--json]: the node tree of a model of any RSM version.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include <memory>

#include "archive/grf_archive.h"
#include "cli/archive_models.h"
#include "cli/cli_support.h"
#include "cli/command.h"
#include "model/code_page.h"
#include "scene/scene_reader.h"

namespace plovant::cli {
namespace {

constexpr const char* kHelp =
    "Usage: plovant-cli scene FILE [--json]\n"
    "       plovant-cli scene --grf ARCHIVE NAME [--json]\n"
    "\n"
    "Reads the model FILE (RSM versions 1.1 to 1.6, 2.2 and 2.3) and prints its node tree:\n"
    "each node indented under its parent, with its vertex, face and key counts and its\n"
    "textures. Names are decoded from the game's code page (CP949) to UTF-8.\n"
    "Faults the file was read past (a missing parent, faces out of range, ...) are\n"
    "written to stderr as warnings.\n"
    "\n"
    "  --json   print one JSON object instead, with the keys, in this order:\n"
    "           version, animation_length, fps (null before 2.2), shade_type, alpha\n"
    "           (null before 1.4), textures, root_nodes, nodes (name, parent, textures,\n"
    "           vertices, texture_vertices, faces, rotation_keys, position_keys,\n"
    "           scale_keys, texture_animations; in file order), volume_boxes.\n"
    "  --grf ARCHIVE\n"
    "           NAME is a model inside the GRF archive ARCHIVE (letter case and \"\\\" or\n"
    "           \"/\" do not matter); a pattern with \"*\" and \"?\" prints every model it\n"
    "           matches, one after the other\n";

// A JSON string of UTF-8 text: quotes, backslashes and control characters escaped.
void AppendJsonString(std::string& out, const std::string& text) {
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void AppendJsonNames(std::string& out, const std::vector<std::string>& names) {
    out += '[';
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i) out += ',';
        AppendJsonString(out, DecodeGameText(names[i]));
    }
    out += ']';
}

// The shortest text that reads back as the same float; null where JSON has no number.
std::string JsonNumber(float value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string SceneJson(const scene::Scene& s) {
    std::string out = "{\"version\":";
    AppendJsonString(out, s.version.Text());
    out += ",\"animation_length\":" + std::to_string(s.animation_length);
    out += ",\"fps\":" + (s.fps ? JsonNumber(*s.fps) : std::string("null"));
    out += ",\"shade_type\":" + std::to_string(s.shade_type);
    out += ",\"alpha\":" + (s.alpha ? std::to_string(*s.alpha) : std::string("null"));
    out += ",\"textures\":";
    AppendJsonNames(out, s.textures);
    out += ",\"root_nodes\":";
    AppendJsonNames(out, s.root_nodes);
    out += ",\"nodes\":[";
    for (std::size_t i = 0; i < s.nodes.size(); ++i) {
        const scene::Node& n = s.nodes[i];
        out += i ? ",{\"name\":" : "{\"name\":";
        AppendJsonString(out, DecodeGameText(n.name));
        out += ",\"parent\":";
        AppendJsonString(out, DecodeGameText(n.parent));
        out += ",\"textures\":";
        AppendJsonNames(out, n.textures);
        out += ",\"vertices\":" + std::to_string(n.vertices.size());
        out += ",\"texture_vertices\":" + std::to_string(n.texture_vertices.size());
        out += ",\"faces\":" + std::to_string(n.faces.size());
        out += ",\"rotation_keys\":" + std::to_string(n.rotation_keys.size());
        out += ",\"position_keys\":" + std::to_string(n.position_keys.size());
        out += ",\"scale_keys\":" + std::to_string(n.scale_keys.size());
        out += ",\"texture_animations\":" + std::to_string(n.texture_animations.size());
        out += '}';
    }
    out += "],\"volume_boxes\":" + std::to_string(s.volume_boxes.size()) + "}\n";
    return out;
}

std::string Plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

void AppendNode(std::string& out, const scene::Scene& s, std::size_t index, std::size_t depth) {
    const scene::Node& n = s.nodes[index];
    const std::string indent(2 * depth, ' ');
    out += indent + "\"" + DecodeGameText(n.name) + "\"";
    if (int32_t(index) == s.main_node) out += " (main)";
    out += ": " + Plural(n.vertices.size(), "vertex", "vertices") + ", " +
           Plural(n.texture_vertices.size(), "texture vertex", "texture vertices") + ", " +
           Plural(n.faces.size(), "face", "faces");
    const std::pair<std::size_t, const char*> keys[] = {
        {n.rotation_keys.size(), "rotation key"},
        {n.position_keys.size(), "position key"},
        {n.scale_keys.size(), "scale key"},
        {n.texture_animations.size(), "texture animation"}};
    for (const auto& [count, kind] : keys) {
        if (count != 0) out += ", " + std::to_string(count) + " " + kind + (count == 1 ? "" : "s");
    }
    out += "\n";
    if (!n.textures.empty()) {
        out += indent + "  textures:";
        for (const std::string& t : n.textures) out += " \"" + DecodeGameText(t) + "\"";
        out += "\n";
    }
}

// Every node under its parent, roots in file order; walked with a stack of its own, as a
// file may chain thousands of nodes.
void AppendNodeTree(std::string& out, const scene::Scene& s) {
    std::vector<std::vector<std::size_t>> children(s.nodes.size());
    std::vector<std::pair<std::size_t, std::size_t>> stack;  // node, depth
    for (std::size_t i = s.nodes.size(); i-- > 0;) {
        const int32_t p = s.nodes[i].parent_index;
        if (p >= 0 && std::size_t(p) < s.nodes.size()) {
            children[std::size_t(p)].push_back(i);  // in reverse file order
        } else {
            stack.emplace_back(i, 1);
        }
    }
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        AppendNode(out, s, node, depth);
        for (const std::size_t c : children[node]) stack.emplace_back(c, depth + 1);
    }
}

std::string SceneText(const scene::Scene& s, const std::string& path) {
    std::string out = path + ": RSM " + s.version.Text() + ", animation " +
                      std::to_string(s.animation_length) + (s.version.IsV2() ? " frames" : " ms");
    if (s.fps) out += " at " + JsonNumber(*s.fps) + " frames per second";
    out += ", shade type " + std::to_string(s.shade_type);
    if (s.alpha) out += ", alpha " + std::to_string(*s.alpha);
    out += "\n";
    if (!s.version.AtLeast(2, 3)) {
        out += Plural(s.textures.size(), "texture", "textures") + "\n";
        for (const std::string& t : s.textures) out += "  \"" + DecodeGameText(t) + "\"\n";
    }
    out += Plural(s.nodes.size(), "node", "nodes") + "\n";
    AppendNodeTree(out, s);
    if (!s.model_keys.empty()) out += Plural(s.model_keys.size(), "model key", "model keys") + "\n";
    out += Plural(s.volume_boxes.size(), "volume box", "volume boxes") + "\n";
    return out;
}

// scene --grf ARCHIVE NAME: each model NAME names inside the archive, read from its bytes.
int RunSceneInArchive(const std::string& archive_path, const std::string& name, bool json) {
    int status = kExitSuccess;
    try {
        const auto archive = std::make_shared<const GrfArchive>(archive_path);
        for (const ModelInput& input : ExpandArchiveModels(archive, {name})) {
            scene::Scene scene;
            try {
                scene = scene::ReadScene(input.Read(), input.name);
            } catch (const Error& e) {
                PrintError(e.description());
                status = kExitFailure;
                continue;
            }
            for (const std::string& w : scene.warnings) PrintError("warning: " + input.name + ": " + w);
            WriteOut(json ? SceneJson(scene) : SceneText(scene, input.name));
        }
    } catch (const Error& e) {
        PrintError(e.description());
        return kExitFailure;
    }
    return status;
}

int RunScene(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitSuccess;
    }
    bool json = false;
    std::string path;
    std::string archive_path;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--grf") {
            if (i + 1 == args.size() || args[i + 1].empty()) return UsageError("scene", "--grf needs an archive");
            archive_path = args[++i];
        } else if (a.starts_with('-') && a.size() > 1) {
            return UsageError("scene", "unknown option " + a);
        } else if (!path.empty()) {
            return UsageError("scene", "scene takes one FILE");
        } else {
            path = a;
        }
    }
    if (path.empty()) return UsageError("scene", "scene needs one FILE");
    if (!archive_path.empty()) return RunSceneInArchive(archive_path, path, json);

    scene::Scene scene;
    try {
        scene = scene::LoadScene(std::filesystem::u8path(path));
    } catch (const Error& e) {
        PrintError(e.description());
        return kExitFailure;
    }
    for (const std::string& w : scene.warnings) PrintError("warning: " + path + ": " + w);
    WriteOut(json ? SceneJson(scene) : SceneText(scene, path));
    return kExitSuccess;
}

const CommandRegistration kRegistered{"scene", "print the node tree of a model of any RSM version",
                                      &RunScene};

}  // namespace
}  // namespace plovant::cli
