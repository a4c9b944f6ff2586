#include "model/info_text.h"

#include <algorithm>

#include "model/code_page.h"

namespace plovant {
namespace {

class Lines {
public:
    void append(const std::string& line) {
        text_ += line;
        text_ += "\r\n";
    }

    // "label" + name; a field that fills all 40 bytes gets an empty line after it.
    void appendName(const std::string& label, const Text40& field) {
        append(label + DecodeGameText(TextOf(field)));
        if (!HasNul(field)) append("");
    }

    std::string take() { return std::move(text_); }

private:
    std::string text_;
};

}  // namespace

std::string BuildInfoText(const RsmModel& model, const std::string& path) {
    Lines lines;
    lines.append("Filepath: ");
    lines.append(path);
    lines.append("");
    lines.append("Meshes: " + std::to_string(model.MeshCount));
    lines.append("Textures: " + std::to_string(model.TextureCount));

    const std::size_t mesh_count =
        std::min<std::size_t>(std::max(model.MeshCount, 0), model.Meshes.size());
    for (std::size_t i = 0; i < mesh_count; ++i) {
        const RsmMesh& mesh = model.Meshes[i];
        lines.append("Mesh #" + std::to_string(i + 1));
        lines.appendName("Name: ", mesh.Name);
        lines.appendName("Parent Mesh: ", mesh.ParentName);
        lines.append("No. Textures: " + std::to_string(mesh.TextureCount));
        lines.append("No. Vertices: " + std::to_string(mesh.VertexCount));
        lines.append("No. Faces: " + std::to_string(mesh.FaceCount));
        lines.append("Texture Vertices: " + std::to_string(mesh.TexVertexCount));
        lines.append("");
    }

    lines.append("Textures loaded:");
    const std::size_t texture_count =
        std::min<std::size_t>(std::max(model.TextureCount, 0), model.TextureNames.size());
    for (std::size_t i = 0; i < texture_count; ++i) {
        lines.appendName("Texture " + std::to_string(i + 1) + ": ", model.TextureNames[i]);
    }
    return lines.take();
}

}  // namespace plovant
