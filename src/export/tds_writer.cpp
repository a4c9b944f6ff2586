// Writing a model's first mesh as a 3DS file.
//
// The file is a tree of chunks (a 16-bit id, a 32-bit length that counts the 6-byte
// header, then data and sub-chunks). It is written in one forward pass: a chunk
// whose length is not known yet is begun with the placeholder 65535, and its length
// is written back when it is closed. Writing goes through a small buffer; a length
// that lies in the part already handed to the file is patched there with a seek.
//
// Everything that can be checked beforehand (a mesh to write, counts within 16 bits,
// a writable target) is checked before the first byte is written, and the bytes go
// to a temporary file beside the target that replaces it only when complete.
#include "export/tds_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "errors/error.h"
#include "model/binary_file.h"

namespace plovant {
namespace {

constexpr uint32_t kPlaceholderLength = 0xFFFF;
constexpr uint16_t kFaceFlags = 0x000F;
constexpr std::size_t kBufferSize = 1 << 16;
constexpr char kObjectName[] = "Rar01";  // written with its NUL

class ChunkFile {
public:
    ChunkFile(std::FILE* file, const std::string& name)
        : file_(file), name_(name), buffer_(kBufferSize) {}

    uint64_t offset() const { return buffer_start_ + used_; }

    void bytes(const void* data, std::size_t count) {
        const auto* p = static_cast<const uint8_t*>(data);
        while (count != 0) {
            if (used_ == kBufferSize) flush();
            const std::size_t part = std::min(count, kBufferSize - used_);
            std::memcpy(buffer_.data() + used_, p, part);
            used_ += part;
            p += part;
            count -= part;
        }
    }

    void u16(uint16_t v) {
        const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
        bytes(b, 2);
    }
    void u32(uint32_t v) {
        const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        bytes(b, 4);
    }
    void f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        u32(bits);
    }

    // A chunk of known length, header only; its data follows.
    void header(uint16_t id, uint32_t length) {
        u16(id);
        u32(length);
    }

    // Begins a chunk whose length is written when it is closed.
    void begin(uint16_t id) {
        open_.push_back(offset());
        header(id, kPlaceholderLength);
    }

    void end() {
        const uint64_t start = open_.back();
        open_.pop_back();
        const uint32_t length = uint32_t(offset() - start);
        const uint8_t b[4] = {uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16),
                              uint8_t(length >> 24)};
        patch(start + 2, b, 4);
    }

    // Overwrites bytes already written at `at`.
    void patch(uint64_t at, const void* data, std::size_t count) {
        if (at >= buffer_start_) {
            std::memcpy(buffer_.data() + (at - buffer_start_), data, count);
            return;
        }
        flush();
        if (!seek(at) || std::fwrite(data, 1, count, file_) != count || !seek(buffer_start_)) {
            failWrite();
        }
    }

    void finish() {
        flush();
        if (std::fflush(file_) != 0) failWrite();
    }

private:
    void flush() {
        if (used_ == 0) return;
        if (std::fwrite(buffer_.data(), 1, used_, file_) != used_) failWrite();
        buffer_start_ += used_;
        used_ = 0;
    }

    bool seek(uint64_t at) {
#ifdef _WIN32
        return _fseeki64(file_, int64_t(at), SEEK_SET) == 0;
#else
        return fseeko(file_, off_t(at), SEEK_SET) == 0;
#endif
    }

    [[noreturn]] void failWrite() {
        const int error = errno;
        throw Error(ErrorNumberForErrno(error),
                    name_ + ": cannot write the file: " + ErrnoText(error));
    }

    std::FILE* file_;
    const std::string& name_;
    std::vector<uint8_t> buffer_;  // kBufferSize bytes, the first used_ of them written
    std::size_t used_ = 0;
    uint64_t buffer_start_ = 0;
    std::vector<uint64_t> open_;
};

void WriteMaterial(ChunkFile& out, int32_t slot) {
    const std::array<char, 12> name = MaterialName(slot);
    out.header(kMatName, 6 + 12);
    out.bytes(name.data(), name.size());
    out.header(kMatFacemap, 6);
    out.header(kMatDiffuse, 24);
    out.header(kColor24, 9);
    out.bytes("\x00\x00\xFF", 3);
    out.header(kLinColor24, 9);
    out.bytes("\x0F\x41\xFF", 3);
}

void WriteMesh(ChunkFile& out, const RsmMesh& mesh) {
    const int32_t n = mesh.TextureCount;

    out.begin(kM3dMagic);
    out.header(kM3dVersion, 10);
    out.u32(3);
    out.begin(kMData);
    out.header(kMeshVersion, 10);
    out.u32(3);

    out.begin(kMatEntry);
    for (int32_t k = 0; k < n; ++k) WriteMaterial(out, k);
    out.header(kMasterScale, 10);
    out.f32(1.0f);
    out.end();

    out.begin(kNamedObject);
    out.bytes(kObjectName, sizeof kObjectName);
    out.begin(kNTriObject);

    out.begin(kPointArray);
    out.u16(uint16_t(mesh.Vertices.size()));
    if (std::endian::native == std::endian::little) {
        static_assert(sizeof(RsmVertex) == 12);
        out.bytes(mesh.Vertices.data(), mesh.Vertices.size() * sizeof(RsmVertex));
    } else {
        for (const RsmVertex& v : mesh.Vertices) {
            out.f32(v.X);
            out.f32(v.Y);
            out.f32(v.Z);
        }
    }
    out.end();

    out.begin(kFaceArray);
    out.u16(uint16_t(mesh.Faces.size()));
    for (const RsmFace& f : mesh.Faces) {
        const uint16_t record[4] = {uint16_t(f.V0), uint16_t(f.V1), uint16_t(f.V2), kFaceFlags};
        if (std::endian::native == std::endian::little) {
            out.bytes(record, sizeof record);
        } else {
            for (uint16_t value : record) out.u16(value);
        }
    }
    out.end();

    // Group k lists, in ascending order, the faces whose slot is k. The faces are
    // bucketed by slot once (a counting sort), so the groups cost F + n rather than
    // n scans of F faces; the bytes are the same.
    std::vector<uint32_t> first(std::size_t(n) + 1, 0);  // bucket k: first[k]..first[k+1]
    for (const RsmFace& f : mesh.Faces) {
        if (f.TextureSlot >= 0 && f.TextureSlot < n) ++first[std::size_t(f.TextureSlot) + 1];
    }
    for (std::size_t k = 1; k < first.size(); ++k) first[k] += first[k - 1];
    std::vector<uint16_t> grouped(first.back());
    {
        std::vector<uint32_t> next(first.begin(), first.end() - 1);
        for (std::size_t i = 0; i < mesh.Faces.size(); ++i) {
            const int16_t slot = mesh.Faces[i].TextureSlot;
            if (slot >= 0 && slot < n) grouped[next[std::size_t(slot)]++] = uint16_t(i);
        }
    }
    for (int32_t k = 0; k < n; ++k) {
        const std::array<char, 12> name = MaterialName(k);
        const uint32_t begin = first[std::size_t(k)], end = first[std::size_t(k) + 1];
        out.begin(kMshMatGroup);
        out.bytes(name.data(), name.size());
        out.u16(uint16_t(end - begin));
        if (std::endian::native == std::endian::little) {
            out.bytes(grouped.data() + begin, (end - begin) * sizeof(uint16_t));
        } else {
            for (uint32_t i = begin; i < end; ++i) out.u16(grouped[i]);
        }
        out.end();
    }

    out.begin(kTexVerts);
    out.u16(uint16_t(mesh.TexVertices.size()));
    for (const RsmTexVertex& t : mesh.TexVertices) {
        if (std::endian::native == std::endian::little) {
            out.bytes(&t.U, 8);  // U and V stand side by side, as in the file
        } else {
            out.f32(t.U);
            out.f32(t.V);
        }
    }
    out.end();

    out.end();  // N_TRI_OBJECT
    out.end();  // NAMED_OBJECT
    out.end();  // MDATA
    out.end();  // M3DMAGIC
    out.finish();
}

// Checks what would make the file impossible to write, before anything is written.
void CheckMesh(const RsmModel& model, const std::string& name) {
    if (model.Meshes.empty()) {
        throw Error(kErrSubscriptOutOfRange, name + ": there is no model to export");
    }
    const RsmMesh& mesh = model.Meshes[0];
    struct Count {
        const char* what;
        int32_t count;
        std::size_t records;
    };
    const Count counts[] = {{"vertex", mesh.VertexCount, mesh.Vertices.size()},
                            {"face", mesh.FaceCount, mesh.Faces.size()},
                            {"texture-vertex", mesh.TexVertexCount, mesh.TexVertices.size()}};
    for (const Count& c : counts) {
        if (c.count < 0 || std::size_t(c.count) != c.records) {
            throw Error(kErrInvalidFormat, name + ": the first mesh's " + c.what + " count " +
                                               std::to_string(c.count) + " does not match its " +
                                               std::to_string(c.records) + " records");
        }
        if (c.count > kMax3dsCount) {
            throw Error(kErrOverflow, name + ": the first mesh's " + c.what + " count " +
                                          std::to_string(c.count) +
                                          " is above 32767, the most a 3DS file can hold");
        }
    }
    if (mesh.TextureCount < 0) {
        throw Error(kErrInvalidFormat, name + ": the first mesh's texture count is negative");
    }
    // The whole file's length must fit its 32-bit length field.
    uint64_t grouped = 0;
    for (const RsmFace& f : mesh.Faces) grouped += f.TextureSlot >= 0 && f.TextureSlot < mesh.TextureCount;
    const uint64_t size = 90 + 68 * uint64_t(mesh.TextureCount) + 12 * uint64_t(mesh.VertexCount) +
                          8 * uint64_t(mesh.FaceCount) + 8 * uint64_t(mesh.TexVertexCount) +
                          2 * grouped;
    if (size > UINT32_MAX) {
        throw Error(kErrOverflow, name + ": the first mesh has too many texture slots (" +
                                      std::to_string(mesh.TextureCount) + ") for a 3DS file");
    }
}

std::string RandomSuffix() {
    static std::mt19937_64 engine{std::random_device{}()};
    const uint64_t value = engine();
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// Creates a new file beside `target` that no other program is using.
FilePtr CreateTemporary(const std::filesystem::path& target, const std::string& name,
                        std::filesystem::path& temporary) {
    const std::filesystem::path folder = target.parent_path();
    const std::string base = "." + PathText(target.filename()) + ".tmp-";
    int error = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        temporary = folder / std::filesystem::u8path(base + RandomSuffix());
        errno = 0;
        FilePtr file = OpenBinaryFile(temporary, "wbx");
        if (file) return file;
        error = errno;
        if (error != EEXIST) break;
    }
    throw Error(ErrorNumberForErrno(error),
                name + ": cannot create a file in its folder: " + ErrnoText(error));
}

// An existing target must be a file that may be replaced.
void CheckTarget(const std::filesystem::path& target, const std::string& name) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(target, ec);
    if (!std::filesystem::exists(status)) return;
    if (std::filesystem::is_directory(status)) {
        throw Error(kErrPathFileAccess, name + ": a folder of that name exists");
    }
    if ((status.permissions() & std::filesystem::perms::owner_write) ==
        std::filesystem::perms::none) {
        throw Error(kErrPermissionDenied, name + ": the file is read-only");
    }
}

}  // namespace

std::array<char, 12> MaterialName(int32_t slot) {
    const std::string number = std::to_string(slot);
    std::string prefix = "Vidozore ";
    const std::size_t room = 11 - 1 - number.size();  // 11 characters and the NUL
    if (prefix.size() > room) prefix.resize(room);
    const std::string text = prefix + "#" + number;
    std::array<char, 12> field{};
    std::memcpy(field.data(), text.data(), text.size());
    return field;
}

void Write3DS(const std::filesystem::path& path, const RsmModel& model) {
    const std::string name = PathText(path);
    CheckMesh(model, name);
    CheckTarget(path, name);

    std::filesystem::path temporary;
    FilePtr file = CreateTemporary(path, name, temporary);
    try {
        ChunkFile out(file.get(), name);
        WriteMesh(out, model.Meshes[0]);
        if (std::fclose(file.release()) != 0) {
            const int error = errno;
            throw Error(ErrorNumberForErrno(error),
                        name + ": cannot write the file: " + ErrnoText(error));
        }
        std::error_code ec;
        std::filesystem::rename(temporary, path, ec);
        if (ec) {
            throw Error(ErrorNumberForErrno(ec.value()),
                        name + ": cannot replace the file: " + ec.message());
        }
    } catch (...) {
        file.reset();
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw;
    }
}

}  // namespace plovant
