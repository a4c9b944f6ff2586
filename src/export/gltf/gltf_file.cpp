#include "export/gltf/gltf_file.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <system_error>

#include "errors/error.h"
#include "export/gltf/buffer_builder.h"
#include "model/binary_file.h"

namespace plovant::gltf {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A name no other writer in this or another process picks at the same moment.
std::string UniqueSuffix() {
    static std::atomic<uint64_t> counter{0};
    static const uint64_t seed =
        std::random_device{}() ^
        uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    const uint64_t n = seed + 0x9E3779B97F4A7C15ull * ++counter;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(n));
    return text;
}

fs::path FolderOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// Percent-encodes everything but unreserved characters, so any file name is a valid
// relative URI.
std::string UriOf(const std::string& file_name) {
    static const char* kHex = "0123456789ABCDEF";
    std::string uri;
    for (const char ch : file_name) {
        const auto c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            uri += char(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

// Temporary files, removed unless committed.
class Staging {
public:
    ~Staging() {
        for (const fs::path& p : temporaries_) {
            std::error_code ignored;
            fs::remove(p, ignored);
        }
    }

    // Writes `bytes` to a new temporary file (beside `target`, or `at`) and remembers
    // the pair.
    void Add(const fs::path& target, const void* bytes, std::size_t size, fs::path at = {}) {
        const fs::path temporary =
            !at.empty() ? at
                        : FolderOf(target) / fs::u8path("." + PathText(target.filename()) +
                                                        ".part-" + UniqueSuffix());
        FilePtr file = OpenBinaryFile(temporary, "wbx");
        if (!file) Fail(target, errno);
        temporaries_.push_back(temporary);
        targets_.push_back(target);
        if (size && std::fwrite(bytes, 1, size, file.get()) != size) Fail(target, errno);
        if (std::fflush(file.get()) != 0) Fail(target, errno);
        if (std::fclose(file.release()) != 0) Fail(target, errno);
    }

    // Creates a new temporary file beside `target`, remembers the pair and lets `write`
    // fill it through a stream; `write` returns false when it could not.
    void AddStreamed(const fs::path& target, const std::function<bool(std::ostream&)>& write) {
        const fs::path temporary = FolderOf(target) / fs::u8path("." + PathText(target.filename()) +
                                                                 ".part-" + UniqueSuffix());
        FilePtr created = OpenBinaryFile(temporary, "wbx");
        if (!created) Fail(target, errno);
        created.reset();
        temporaries_.push_back(temporary);
        targets_.push_back(target);
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        errno = 0;
        if (!out || !write(out) || !out.flush()) Fail(target, errno ? errno : EIO);
        out.close();
        if (out.fail()) Fail(target, errno ? errno : EIO);
    }

    // Takes a complete file written by someone else as the temporary of `target`.
    void Adopt(const fs::path& temporary, const fs::path& target) {
        temporaries_.push_back(temporary);
        targets_.push_back(target);
    }

    // Renames every temporary file into place, in the order added. A target that is a
    // folder is refused before anything moves. Existing targets are first moved aside;
    // when a rename fails, the files already placed are taken back and the moved ones
    // restored, so the targets are all replaced or none. A single file is set aside too:
    // renaming straight over an existing file makes ext4 free the old file's blocks
    // while the folder is locked, which holds up every other thread of a batch writing
    // into that folder; removing the old file afterwards frees them outside the lock.
    void Commit() {
        for (const fs::path& target : targets_) {
            std::error_code ec;
            if (fs::is_directory(target, ec)) Fail(target, EISDIR);
        }
        std::vector<fs::path> aside(targets_.size());
        std::size_t placed = 0;
        int failure = 0;
        std::size_t failed = 0;
        for (std::size_t i = 0; i < targets_.size() && !failure; ++i) {
            std::error_code ec;
            if (fs::symlink_status(targets_[i], ec).type() != fs::file_type::not_found) {
                aside[i] =
                    FolderOf(targets_[i]) /
                    fs::u8path("." + PathText(targets_[i].filename()) + ".old-" + UniqueSuffix());
                fs::rename(targets_[i], aside[i], ec);
                if (ec) {
                    aside[i].clear();
                    failure = ec.value();
                    failed = i;
                    break;
                }
            }
            fs::rename(temporaries_[i], targets_[i], ec);
            if (ec) {
                failure = ec.value();
                failed = i;
                break;
            }
            placed = i + 1;
        }
        std::error_code ignored;
        if (failure) {
            for (std::size_t i = 0; i <= failed && i < targets_.size(); ++i) {
                if (i < placed) fs::remove(targets_[i], ignored);
                if (!aside[i].empty()) fs::rename(aside[i], targets_[i], ignored);
            }
            Fail(targets_[failed], failure);
        }
        for (const fs::path& old : aside) {
            if (!old.empty()) fs::remove(old, ignored);
        }
        temporaries_.clear();
    }

private:
    [[noreturn]] static void Fail(const fs::path& target, int error_number) {
        throw Error(ErrorNumberForErrno(error_number),
                    PathText(target) + ": cannot be written: " + ErrnoText(error_number));
    }

    std::vector<fs::path> temporaries_;
    std::vector<fs::path> targets_;
};

// A fresh folder beside `target` for its files while they are written; removed with
// whatever is left in it.
class StagingFolder {
public:
    explicit StagingFolder(const fs::path& target) {
        for (int attempt = 0; attempt < 16; ++attempt) {
            path_ = FolderOf(target) /
                    fs::u8path("." + PathText(target.filename()) + ".part-" + UniqueSuffix());
            std::error_code ec;
            if (fs::create_directory(path_, ec)) return;
            if (ec) {
                throw Error(ErrorNumberForErrno(ec.value()),
                            PathText(target) + ": cannot be written: " + ErrnoText(ec.value()));
            }
        }
        throw Error(kErrPathFileAccess, PathText(target) +
                                            ": cannot be written: no free "
                                            "temporary name beside it");
    }
    ~StagingFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

}  // namespace

GltfFormat FormatForPath(const fs::path& path) {
    return Lower(PathText(path.extension())) == ".gltf" ? GltfFormat::kText : GltfFormat::kBinary;
}

std::vector<fs::path> CompanionFiles(const fs::path& path, std::size_t image_count) {
    const fs::path folder = path.parent_path();
    const std::string stem = PathText(path.stem());
    std::vector<fs::path> files{folder / fs::u8path(stem + ".bin")};
    for (std::size_t i = 0; i < image_count; ++i) {
        files.push_back(folder / fs::u8path(stem + "_" + std::to_string(i + 1) + ".png"));
    }
    return files;
}

void WriteGltf(GltfDocument document, const fs::path& path, GltfFormat format) {
    tinygltf::Model& model = document.model;
    Staging staging;
    if (format == GltfFormat::kBinary) {
        if (!document.image_png.empty()) {
            BufferBuilder buffers(model);
            for (std::size_t i = 0; i < document.image_png.size(); ++i) {
                model.images[i].bufferView = buffers.AddBytes(document.image_png[i]);
            }
        }
        // Streamed straight to the file: the document is never copied whole in memory.
        staging.AddStreamed(path, [&](std::ostream& out) {
            tinygltf::TinyGLTF writer;
            writer.SetImageWriter(nullptr, nullptr);  // images are PNG bytes in the buffer
            return writer.WriteGltfSceneToStream(&model, out, false, true);
        });
        staging.Commit();
        return;
    }

    // tinygltf writes the .gltf and its buffer into a staging folder beside the target;
    // the pictures go there too; then each file is renamed into place.
    const std::vector<fs::path> companions = CompanionFiles(path, document.image_png.size());
    StagingFolder stage(path);
    for (std::size_t i = 0; i < document.image_png.size(); ++i) {
        const std::vector<uint8_t>& png = document.image_png[i];
        const fs::path staged = stage.Path() / fs::u8path(std::to_string(i + 1) + ".png");
        staging.Add(companions[i + 1], png.data(), png.size(), staged);
        model.images[i].uri = UriOf(PathText(companions[i + 1].filename()));
    }
    std::string bin_uri;
    if (!model.buffers.empty()) {
        bin_uri = UriOf(PathText(companions[0].filename()));
        model.buffers[0].uri = bin_uri;
    }
    const fs::path staged_json = stage.Path() / "document.gltf";
    tinygltf::TinyGLTF writer;
    writer.SetImageWriter(nullptr, nullptr);  // the pictures are written above, as PNG
    if (!writer.WriteGltfSceneToFile(&model, PathText(staged_json), false, false, true, false)) {
        throw Error(kErrPathFileAccess, PathText(path) +
                                            ": cannot be written (the glTF "
                                            "document or its buffer could not be saved)");
    }
    if (!bin_uri.empty()) staging.Adopt(stage.Path() / fs::u8path(bin_uri), companions[0]);
    staging.Adopt(staged_json, path);
    staging.Commit();
}

}  // namespace plovant::gltf
