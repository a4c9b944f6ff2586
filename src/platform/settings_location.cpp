#include "platform/settings_location.h"

#include <QStandardPaths>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "app/settings.h"
#include "model/binary_file.h"

namespace plovant {
namespace {

namespace fs = std::filesystem;

fs::path NativePath(const std::string& path) {
#ifdef _WIN32
    return fs::u8path(path);
#else
    return fs::path(path);
#endif
}

// A name in `folder` that no file has yet, for a temporary file.
fs::path UnusedName(const fs::path& folder, const std::string& stem) {
    std::random_device entropy;
    std::mt19937_64 random(entropy());
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random()));
    return folder / NativePath(stem + suffix);
}

bool IsRegularFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// Copies `from` to `to` through a temporary file beside `to`, so that `to` is either
// whole or missing. Failures leave nothing behind and are not reported: the copy is
// only a starting point.
void CopyWhole(const fs::path& from, const fs::path& to) {
    const fs::path temporary = UnusedName(to.parent_path(), PathText(to.filename()));
    std::error_code ec;
    fs::copy_file(from, temporary, fs::copy_options::none, ec);
    if (!ec) fs::rename(temporary, to, ec);
    if (ec) fs::remove(temporary, ec);
}

}  // namespace

bool IsFolderWritable(const std::string& folder) {
    const fs::path path = NativePath(folder.empty() ? std::string(".") : folder);
    std::error_code ec;
    if (!fs::is_directory(path, ec)) return false;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const fs::path probe = UnusedName(path, ".plovant-write-test");
        FilePtr file = OpenBinaryFile(probe, "wbx");  // fails if the name is taken
        if (!file) {
            if (errno == EEXIST) continue;
            return false;
        }
        file.reset();
        fs::remove(probe, ec);
        return true;
    }
    return false;
}

std::string UserSettingsFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty()) return {};
    return (base + "/plovant").toStdString();
}

std::string ChooseSettingsFile(const std::string& program_folder, const std::string& user_folder,
                               const FolderWritableTest& writable) {
    const std::string program_file = SettingsFilePath(program_folder);
    if (user_folder.empty() || writable(program_folder)) return program_file;

    const std::string user_file = SettingsFilePath(user_folder);
    const fs::path user_path = NativePath(user_file);
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(user_path, ec))) {
        fs::create_directories(NativePath(user_folder), ec);
        const fs::path program_path = NativePath(program_file);
        if (!ec && IsRegularFile(program_path)) CopyWhole(program_path, user_path);
    }
    return user_file;
}

std::string FindSettingsFile(const std::string& program_folder, const std::string& user_folder,
                             const FolderWritableTest& writable) {
    const std::string program_file = SettingsFilePath(program_folder);
    if (user_folder.empty() || writable(program_folder)) return program_file;
    const std::string user_file = SettingsFilePath(user_folder);
    return IsRegularFile(NativePath(user_file)) ? user_file : program_file;
}

}  // namespace plovant
