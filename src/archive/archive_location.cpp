#include "archive/archive_location.h"

namespace plovant {

std::string ArchiveTextureName(std::string_view name) {
    const size_t nul = name.find('\0');
    if (nul != std::string_view::npos) name = name.substr(0, nul);
    if (name.empty()) return {};
    return "data\\texture\\" + std::string(name);
}

std::optional<std::vector<uint8_t>> ArchiveLocation::ReadTexture(std::string_view name) const {
    const std::string entry_name = ArchiveTextureName(name);
    if (entry_name.empty()) return std::nullopt;
    const GrfEntry* entry = archive_->Find(entry_name);
    if (!entry) return std::nullopt;
    return archive_->Read(*entry);
}

}  // namespace plovant
