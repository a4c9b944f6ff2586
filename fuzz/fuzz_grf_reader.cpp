// libFuzzer target for the GRF reader: any bytes as an archive must be opened or refused
// with a plovant::Error, and every entry of an opened archive read or refused with one;
// never a crash, an overrun, or an allocation beyond what the bytes can hold. The bytes
// are handed over as a memory file, so the reader's positioned reads run as on a disk file.
// Seeds: the archives in tests/data/interop/ and archives of each version made with
// BuildGrf.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "archive/grf_archive.h"
#include "errors/error.h"

namespace {

// Entries read per input: enough to reach every code path, few enough to stay fast.
constexpr size_t kMaxEntriesRead = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = memfd_create("grf", MFD_CLOEXEC);
    if (fd < 0) return 0;
    size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, data + written, size - written);
        if (n <= 0) break;
        written += size_t(n);
    }
    try {
        const plovant::GrfArchive archive("/proc/self/fd/" + std::to_string(fd));
        size_t read = 0;
        for (const plovant::GrfEntry& e : archive.Entries()) {
            if (read++ == kMaxEntriesRead) break;
            try {
                const std::vector<uint8_t> bytes = archive.Read(e);
                if (bytes.size() != e.real_size) std::abort();
            } catch (const plovant::Error&) {
            }
            if (archive.Find(e.name) == nullptr) std::abort();
        }
        archive.Match("data\\*.bmp");
    } catch (const plovant::Error&) {
    }
    close(fd);
    return 0;
}
