// The data location of a GRF archive: textures lie under its "data\texture\" folder.
#pragma once

#include <memory>

#include "archive/data_location.h"
#include "archive/grf_archive.h"

namespace plovant {

class ArchiveLocation final : public DataLocation {
public:
    explicit ArchiveLocation(std::shared_ptr<const GrfArchive> archive)
        : archive_(std::move(archive)) {}

    // Looks up "data\texture\" + name (up to its first NUL) in the archive, without ASCII
    // case and with "/" equal to "\", and reads the entry. Throws an Error naming the
    // archive and the entry when the entry exists but cannot be read.
    std::optional<std::vector<uint8_t>> ReadTexture(std::string_view name) const override;

    const std::string& Path() const override { return archive_->Path(); }

    const GrfArchive& Archive() const { return *archive_; }

private:
    std::shared_ptr<const GrfArchive> archive_;
};

// The entry name of texture `name` inside an archive: "data\texture\" + the name up to its
// first NUL; empty when the name is.
std::string ArchiveTextureName(std::string_view name);

}  // namespace plovant
