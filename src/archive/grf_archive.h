// A GRF archive opened for reading: its file table parsed once at open, entries read on
// demand with positioned reads, so any number of threads may read one archive at once.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/grf_table.h"

namespace plovant {

class GrfArchive {
public:
    // Opens the archive at `path` (UTF-8) and reads its table. Throws an Error naming the
    // archive when it cannot be opened or its header or table is not readable; nothing
    // large is allocated before the table's sizes are checked against the file.
    explicit GrfArchive(const std::string& path);
    ~GrfArchive();
    GrfArchive(const GrfArchive&) = delete;
    GrfArchive& operator=(const GrfArchive&) = delete;

    const std::string& Path() const { return path_; }
    uint32_t Version() const { return header_.version; }
    uint64_t Size() const { return size_; }

    // The file entries in table order (folders left out).
    const std::vector<GrfEntry>& Entries() const { return entries_; }

    // The entry named `name` (CP949 bytes as a model stores them, or UTF-8), compared
    // without ASCII case and with "/" equal to "\"; when several match, the last in table
    // order. Null when there is none.
    const GrfEntry* Find(std::string_view name) const;

    // The entries whose UTF-8 names match `pattern` (see MatchesPattern), in table order.
    std::vector<const GrfEntry*> Match(std::string_view pattern) const;

    // The content of `entry` (one of Entries()). Throws an Error naming the archive and the
    // entry when its bytes lie outside the archive, do not inflate, or inflate to another
    // size than the table says; the archive stays usable.
    std::vector<uint8_t> Read(const GrfEntry& entry) const;

    // Reads `out.size()` bytes at `offset`; throws an Error when they are not all there.
    void ReadBytes(uint64_t offset, std::span<uint8_t> out) const;

private:
    std::string path_;
    int fd_ = -1;
    uint64_t size_ = 0;
    GrfHeader header_;
    std::vector<GrfEntry> entries_;
    // Folded name to entry index, built on the first lookup.
    mutable std::once_flag index_once_;
    mutable std::unordered_map<std::string, size_t> index_;
};

}  // namespace plovant
