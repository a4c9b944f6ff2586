// plovant-cli grf list|extract: the files of a GRF archive, listed or written to a folder.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "archive/grf_archive.h"
#include "archive/grf_names.h"
#include "cli/cli_support.h"
#include "cli/command.h"
#include "model/binary_file.h"

namespace plovant::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHelp =
    "Usage: plovant-cli grf list ARCHIVE\n"
    "       plovant-cli grf extract ARCHIVE -d DIR [PATTERN...]\n"
    "\n"
    "Reads GRF archives of versions 0x102, 0x103, 0x200 and 0x300.\n"
    "\n"
    "list     one line per file of the archive, in the order of its table: the size in\n"
    "         bytes, a tab and the name (UTF-8, \"\\\" between folders as stored)\n"
    "extract  writes the files whose names match a PATTERN (every file without one) below\n"
    "         DIR, \"\\\" becoming folders. Patterns match the whole name without letter\n"
    "         case; \"*\" stands for any characters, \"?\" for one; \"/\" equals \"\\\".\n"
    "         A name that is absolute or has a \"..\" component is refused and nothing is\n"
    "         written for it; each file is written to a temporary file first and renamed.\n"
    "         Files that fail are reported and the others written; the exit code is then 1.\n";

int Usage(const std::string& message) { return UsageError("grf", message); }

int RunList(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].starts_with('-')) {
        return Usage(args.empty() ? "grf list needs one ARCHIVE" : "grf list takes one ARCHIVE");
    }
    const GrfArchive archive(args[0]);
    std::string out;
    for (const GrfEntry& e : archive.Entries()) {
        out += std::to_string(e.real_size);
        out += '\t';
        out += e.display_name;
        out += '\n';
        if (out.size() > (1 << 16)) {
            WriteOut(out);
            out.clear();
        }
    }
    WriteOut(out);
    return kExitSuccess;
}

// Writes `bytes` to `target` through a temporary file beside it, renamed into place.
void WriteFileAtomically(const fs::path& target, const std::vector<uint8_t>& bytes) {
    static std::atomic<unsigned> counter{0};
    const fs::path temp = target.parent_path() /
                          fs::u8path("." + PathText(target.filename()) + ".part-" +
                                     std::to_string(::getpid()) + "-" + std::to_string(counter++));
    const auto fail = [&](const std::string& problem) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw Error(kErrPathFileAccess, PathText(target) + ": cannot write: " + problem);
    };
    {
        FilePtr file = OpenBinaryFile(temp, "wbx");
        if (!file) fail(ErrnoText(errno));
        if (!bytes.empty() &&
            std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
            fail(ErrnoText(errno));
        }
        if (std::fclose(file.release()) != 0) fail(ErrnoText(errno));
    }
    std::error_code error;
    fs::rename(temp, target, error);
    if (error) fail(error.message());
}

// The first folder below `root` on the way to `relative` that is a symbolic link: files
// are never written through one, as it could lead outside the folder.
std::optional<fs::path> LinkOnTheWay(const fs::path& root, const fs::path& relative) {
    fs::path folder = root;
    for (const fs::path& part : relative.parent_path()) {
        folder /= part;
        std::error_code error;
        if (fs::is_symlink(folder, error)) return folder;
    }
    return std::nullopt;
}

int RunExtract(const std::vector<std::string>& args) {
    std::string archive_path, folder;
    std::vector<std::string> patterns;
    bool only_names = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!only_names && a == "--") {
            only_names = true;
        } else if (!only_names && a == "-d") {
            if (i + 1 == args.size()) return Usage("-d needs a folder");
            folder = args[++i];
            if (folder.empty()) return Usage("-d needs a folder");
        } else if (!only_names && a.starts_with('-') && a.size() > 1) {
            return Usage("unknown option " + a);
        } else if (archive_path.empty()) {
            archive_path = a;
        } else {
            patterns.push_back(a);
        }
    }
    if (archive_path.empty()) return Usage("grf extract needs an ARCHIVE");
    if (folder.empty()) return Usage("grf extract needs -d DIR");

    const GrfArchive archive(archive_path);
    std::vector<bool> pattern_used(patterns.size(), false);
    bool failed = false;
    const fs::path root = fs::u8path(folder);
    for (const GrfEntry& e : archive.Entries()) {
        bool wanted = patterns.empty();
        for (size_t p = 0; p < patterns.size(); ++p) {
            if (MatchesPattern(patterns[p], e.display_name)) {
                wanted = true;
                pattern_used[p] = true;
            }
        }
        if (!wanted) continue;
        std::string reason;
        const std::optional<fs::path> relative = ExtractionPath(e.display_name, reason);
        if (!relative) {
            PrintError(archive_path + ": " + e.display_name + ": not extracted: " + reason);
            failed = true;
            continue;
        }
        try {
            const std::vector<uint8_t> bytes = archive.Read(e);
            const fs::path target = root / *relative;
            if (const std::optional<fs::path> link = LinkOnTheWay(root, *relative)) {
                throw Error(kErrPathFileAccess, archive_path + ": " + e.display_name +
                                                    ": not extracted: " + PathText(*link) +
                                                    " is a symbolic link, which could lead "
                                                    "out of the folder");
            }
            std::error_code error;
            fs::create_directories(target.parent_path(), error);
            if (error) {
                throw Error(kErrPathFileAccess, archive_path + ": " + e.display_name +
                                                    ": not extracted: cannot make the folder " +
                                                    PathText(target.parent_path()) + ": " +
                                                    error.message());
            }
            WriteFileAtomically(target, bytes);
        } catch (const Error& error) {
            PrintError(error.description());
            failed = true;
        }
    }
    for (size_t p = 0; p < patterns.size(); ++p) {
        if (!pattern_used[p]) {
            PrintError(archive_path + ": no file matches " + patterns[p]);
            failed = true;
        }
    }
    return failed ? kExitFailure : kExitSuccess;
}

int RunGrf(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitSuccess;
    }
    if (args.empty()) return Usage("grf needs list or extract");
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    try {
        if (args[0] == "list") return RunList(rest);
        if (args[0] == "extract") return RunExtract(rest);
    } catch (const Error& e) {
        PrintError(e.description());
        return kExitFailure;
    }
    return Usage("unknown grf command " + args[0] + " (list or extract)");
}

const CommandRegistration kRegistered{"grf", "list or extract the files of a GRF archive", &RunGrf};

}  // namespace
}  // namespace plovant::cli
