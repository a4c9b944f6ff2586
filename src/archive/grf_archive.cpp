#include "archive/grf_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

#include "archive/grf_names.h"
#include "errors/error.h"
#include "model/code_page.h"
#include "platform/file_lookup.h"

namespace plovant {
namespace {

// True when `text` is well-formed UTF-8 (names typed by a user rather than read from a
// model, which stores CP949).
bool IsUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t n = c < 0x80                ? 1
                         : c >= 0xC2 && c < 0xE0 ? 2
                         : c >= 0xE0 && c < 0xF0 ? 3
                         : c >= 0xF0 && c < 0xF5 ? 4
                                                 : 0;
        if (n == 0 || n > text.size() - i) return false;
        for (size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += n;
    }
    return true;
}

}  // namespace

GrfArchive::GrfArchive(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        throw Error(error == ENOENT ? kErrFileNotFound : kErrPathFileAccess,
                    path + ": cannot open the archive: " + std::strerror(error));
    }
    try {
        struct stat info {};
        if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
            throw Error(kErrPathFileAccess, path + ": cannot open the archive: not a file");
        }
        size_ = uint64_t(info.st_size);
        uint8_t header[kGrfHeaderSize] = {};
        if (size_ >= kGrfHeaderSize) ReadBytes(0, header);
        header_ = ParseGrfHeader(header, size_, path_);
        entries_ = ReadGrfTable(
            header_, size_,
            [this](uint64_t offset, std::span<uint8_t> out) { ReadBytes(offset, out); }, path_);
    } catch (...) {
        ::close(fd_);
        throw;
    }
}

GrfArchive::~GrfArchive() {
    if (fd_ >= 0) ::close(fd_);
}

void GrfArchive::ReadBytes(uint64_t offset, std::span<uint8_t> out) const {
    if (offset > size_ || out.size() > size_ - offset) {
        throw Error(kErrInputPastEnd, path_ + ": reading past the end of the archive");
    }
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t got =
            ::pread(fd_, out.data() + done, out.size() - done, off_t(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            throw Error(kErrPathFileAccess,
                        path_ + ": cannot read the archive: " +
                            (got < 0 ? std::strerror(errno) : "it became shorter"));
        }
        done += size_t(got);
    }
}

const GrfEntry* GrfArchive::Find(std::string_view name) const {
    std::call_once(index_once_, [this] {
        index_.reserve(entries_.size());
        for (size_t i = 0; i < entries_.size(); ++i) {
            index_[FoldName(entries_[i].display_name)] = i;  // the last of equal names wins
        }
    });
    // A model's CP949 bytes first; a user's UTF-8 text when that finds nothing.
    auto found = index_.find(FoldName(IsAscii(name) ? std::string(name) : DecodeGameText(name)));
    if (found == index_.end() && !IsAscii(name) && IsUtf8(name))
        found = index_.find(FoldName(name));
    return found == index_.end() ? nullptr : &entries_[found->second];
}

std::vector<const GrfEntry*> GrfArchive::Match(std::string_view pattern) const {
    std::vector<const GrfEntry*> matches;
    for (const GrfEntry& e : entries_) {
        if (MatchesPattern(pattern, e.display_name)) matches.push_back(&e);
    }
    return matches;
}

std::vector<uint8_t> GrfArchive::Read(const GrfEntry& entry) const {
    const auto fail = [&](const std::string& problem) -> Error {
        return Error(kErrInvalidFormat, path_ + ": " + entry.display_name + ": " + problem);
    };
    if (entry.compressed_size == 0) {
        if (entry.real_size != 0) {
            throw fail("no stored bytes for " + std::to_string(entry.real_size) +
                       " bytes of content");
        }
        return {};
    }
    // Scrambled entries are stored in whole blocks: the aligned size is read.
    uint64_t stored = entry.compressed_size;
    if (entry.cipher != EntryCipher::kNone) {
        if (entry.aligned_size < entry.compressed_size) {
            throw fail("its aligned size " + std::to_string(entry.aligned_size) +
                       " is smaller than its compressed size " +
                       std::to_string(entry.compressed_size));
        }
        stored = entry.aligned_size;
    }
    if (entry.offset > size_ || stored > size_ - entry.offset) {
        throw fail("its " + std::to_string(stored) + " bytes at offset " +
                   std::to_string(entry.offset) + " lie outside the archive");
    }
    if (entry.real_size > uint64_t(entry.compressed_size) * kMaxInflateRatio + 64) {
        throw fail("its size " + std::to_string(entry.real_size) + " cannot come from " +
                   std::to_string(entry.compressed_size) + " compressed bytes");
    }
    std::vector<uint8_t> packed(stored);
    ReadBytes(entry.offset, packed);
    UnscrambleEntry(packed, entry.cipher, entry.compressed_size);

    std::vector<uint8_t> content(entry.real_size);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) throw fail("cannot start inflating");
    z.next_in = packed.data();
    z.avail_in = entry.compressed_size;
    // One byte more than expected, so content longer than the table says is noticed.
    uint8_t extra = 0;
    z.next_out = content.empty() ? &extra : content.data();
    z.avail_out = uInt(content.size());
    int result = inflate(&z, Z_FINISH);
    if (result != Z_STREAM_END && z.avail_out == 0 && result != Z_DATA_ERROR) {
        z.next_out = &extra;
        z.avail_out = 1;
        result = inflate(&z, Z_FINISH);
    }
    const uint64_t produced = z.total_out;
    const char* message = z.msg;
    inflateEnd(&z);
    if (result == Z_STREAM_END && produced == entry.real_size) return content;
    if (result == Z_STREAM_END || (result == Z_BUF_ERROR && z.avail_out == 0)) {
        throw fail("it inflates to " + std::string(produced > entry.real_size ? "more than " : "") +
                   std::to_string(produced) + " bytes, not the " + std::to_string(entry.real_size) +
                   " its table gives");
    }
    throw fail(std::string("it does not inflate (") +
               (message                 ? message
                : result == Z_BUF_ERROR ? "the stream is cut off"
                                        : zError(result)) +
               ")");
}

}  // namespace plovant
