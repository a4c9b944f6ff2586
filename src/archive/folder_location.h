// The data location of an extracted folder: textures lie in its "texture" subfolder.
#pragma once

#include "archive/data_location.h"

namespace plovant {

class FolderLocation final : public DataLocation {
public:
    explicit FolderLocation(std::string folder) : folder_(std::move(folder)) {}

    // Looks up folder + "\texture\" + name with FindNormalFile and reads the whole file.
    std::optional<std::vector<uint8_t>> ReadTexture(std::string_view name) const override;

    // The full path of the texture as FindNormalFile finds it, or nothing.
    std::optional<std::string> FindTexture(std::string_view name) const;

    const std::string& Path() const override { return folder_; }

private:
    std::string folder_;
};

}  // namespace plovant
