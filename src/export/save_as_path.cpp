#include "export/save_as_path.h"

#include <filesystem>
#include <system_error>

namespace plovant {

std::string SaveAsPath(const std::string& chosen) {
    if (chosen.ends_with(".3ds")) return chosen;
    return chosen + ".3ds";
}

bool SaveAsReplacesUnchosenFile(const std::string& chosen) {
    const std::string path = SaveAsPath(chosen);
    if (path == chosen) return false;
#ifdef _WIN32
    const std::filesystem::path target = std::filesystem::u8path(path);
#else
    const std::filesystem::path target(path);
#endif
    // A link counts as something there, even one that leads nowhere: writing would
    // replace what it names.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::symlink_status(target, ec);
    return !ec && std::filesystem::exists(status);
}

}  // namespace plovant
