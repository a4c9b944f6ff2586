// The pieces of opening a model as the viewer does.
#include "render/model_view.h"

#include <algorithm>

#include "device/texture_loader.h"

namespace plovant {

OpenedModel ReadViewModel(const std::filesystem::path& path) {
    OpenedModel opened;
    LoadRsm(path, opened.model);
    opened.extent = CenterRootMesh(opened.model);
    return opened;
}

std::string TexturePath(const std::string& data_path, const Text40& name) {
    return data_path + "\\texture\\" + std::string(TextOf(name));
}

std::vector<dx7::SurfacePtr> LoadViewTextures(DeviceState& device, const RsmModel& model,
                                              const std::string& data_path,
                                              const std::string& standby_folder) {
    const size_t count = model.TextureCount <= 0
                             ? 0
                             : std::min(static_cast<size_t>(model.TextureCount),
                                        model.TextureNames.size());
    std::vector<dx7::SurfacePtr> surfaces(count + 1);
    for (size_t i = 0; i < count; ++i) {
        const std::string path = TexturePath(data_path, model.TextureNames[i]);
        surfaces[i] = standby_folder.empty() ? LoadTexture(device, path)
                                             : LoadTexture(device, path, standby_folder);
    }
    return surfaces;
}

}  // namespace plovant
