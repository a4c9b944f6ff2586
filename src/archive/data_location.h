// Where the game's data is: a folder (as the viewer has always used) or a GRF archive.
// Textures are looked up through this one interface by the viewer, render, render --scene
// and export alike.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plovant {

class DataLocation {
public:
    virtual ~DataLocation() = default;

    // The bytes of the texture a model names `name` (code-page bytes, used up to the
    // first NUL, "\" or "/" between folders), looked up under the location's texture
    // folder: a folder's "texture" subfolder (stored, CP949-decoded and case-insensitive
    // names, as FindNormalFile), an archive's "data\texture\" (case-insensitive).
    // Nothing when no such file exists; an Error naming it when it exists but cannot be
    // read. Safe to call from several threads at once.
    virtual std::optional<std::vector<uint8_t>> ReadTexture(std::string_view name) const = 0;

    // The location as the user named it, for messages.
    virtual const std::string& Path() const = 0;
};

// The data location `path` names: an archive when it names an existing file ending in
// ".grf" (any case), else a folder. A folder is not checked here (the viewer's data
// folder may be missing: every texture then is not found). Throws an Error naming the
// archive when it cannot be opened.
std::shared_ptr<const DataLocation> OpenDataLocation(const std::string& path);

// True when `path` names an existing file ending in ".grf" (any case): an archive.
bool NamesArchive(const std::string& path);

}  // namespace plovant
