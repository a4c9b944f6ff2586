#include "archive/data_location.h"

#include <cctype>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "archive/archive_location.h"
#include "archive/folder_location.h"

namespace plovant {
namespace {

bool HasGrfEnding(const std::string& path) {
    if (path.size() < 4) return false;
    std::string end = path.substr(path.size() - 4);
    for (char& c : end) c = char(std::tolower(static_cast<unsigned char>(c)));
    return end == ".grf";
}

// The archive opened last, kept while its file is unchanged: the viewer opens one model
// after another from the same archive, and reading a large table each time would be slow.
struct OpenedArchive {
    std::string path;
    uintmax_t size = 0;
    std::filesystem::file_time_type changed;
    std::shared_ptr<const GrfArchive> archive;
};

std::shared_ptr<const GrfArchive> OpenArchiveCached(const std::string& path, uintmax_t size,
                                                    std::filesystem::file_time_type changed) {
    static std::mutex mutex;
    static OpenedArchive last;
    std::lock_guard lock(mutex);
    if (last.archive && last.path == path && last.size == size && last.changed == changed) {
        return last.archive;
    }
    auto archive = std::make_shared<const GrfArchive>(path);
    last = OpenedArchive{path, size, changed, archive};
    return archive;
}

}  // namespace

bool NamesArchive(const std::string& path) {
    if (!HasGrfEnding(path)) return false;
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::u8path(path), error);
}

std::shared_ptr<const DataLocation> OpenDataLocation(const std::string& path) {
    if (!NamesArchive(path)) return std::make_shared<FolderLocation>(path);
    std::error_code error;
    const std::filesystem::path file = std::filesystem::u8path(path);
    const uintmax_t size = std::filesystem::file_size(file, error);
    const auto changed = std::filesystem::last_write_time(file, error);
    return std::make_shared<ArchiveLocation>(OpenArchiveCached(path, size, changed));
}

}  // namespace plovant
