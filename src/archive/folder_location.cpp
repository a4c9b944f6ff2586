#include "archive/folder_location.h"

#include "model/binary_file.h"
#include "platform/file_lookup.h"

namespace plovant {

std::optional<std::string> FolderLocation::FindTexture(std::string_view name) const {
    const size_t nul = name.find('\0');
    if (nul != std::string_view::npos) name = name.substr(0, nul);
    if (name.empty()) return std::nullopt;
    return FindNormalFile(folder_ + "\\texture\\" + std::string(name));
}

std::optional<std::vector<uint8_t>> FolderLocation::ReadTexture(std::string_view name) const {
    const std::optional<std::string> found = FindTexture(name);
    if (!found) return std::nullopt;
    return ReadBinaryFile(*found);
}

}  // namespace plovant
