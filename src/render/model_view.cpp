// The pieces of opening a model as the viewer does.
#include "render/model_view.h"

#include <algorithm>

#include "device/texture_loader.h"
#include "model/model_signature.h"

namespace plovant {

OpenedModel ReadViewModel(const std::filesystem::path& path) {
    OpenedModel opened;
    try {
        LoadRsm(path, opened.model);
    } catch (const Error& failure) {
        // A file that is not a model, or one of another version, is called so first.
        throw ExplainModelReadFailure(path, failure);
    }
    opened.extent = CenterRootMesh(opened.model);
    return opened;
}

OpenedModel ReadViewModel(std::span<const uint8_t> bytes, const std::string& name) {
    OpenedModel opened;
    try {
        LoadRsmFromMemory(bytes, name, opened.model);
    } catch (const Error& failure) {
        throw ExplainModelReadFailure(bytes, name, failure);
    }
    opened.extent = CenterRootMesh(opened.model);
    return opened;
}

std::string TexturePath(const std::string& data_path, const Text40& name) {
    return data_path + "\\texture\\" + std::string(TextOf(name));
}

std::vector<dx7::SurfacePtr> LoadViewTextures(DeviceState& device, const RsmModel& model,
                                              const std::string& data_path,
                                              const std::string& standby_folder,
                                              std::vector<std::string>* missing) {
    // A folder loads each texture from TexturePath(data_path, name) as always; a path
    // naming a .grf file reads them out of the archive.
    const std::shared_ptr<const DataLocation> location = OpenDataLocation(data_path);
    return LoadModelTextures(device, model, *location, standby_folder, missing);
}

}  // namespace plovant
