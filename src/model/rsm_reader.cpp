// Reading an RSM model file: a 31-byte header, a table of texture names, then mesh
// blocks until the look-ahead finds 8 zero bytes or the end of the file.
//
// Every count is checked against the bytes that remain before its array is sized,
// so the reader never allocates more than the file can hold, and every field of a
// mesh block must lie inside the file. The result is built in a local model and
// handed over only when the whole file was read.
#include "model/rsm_reader.h"

#include <cerrno>
#include <climits>
#include <string>
#include <system_error>
#include <utility>

#include "errors/error.h"
#include "model/binary_file.h"

namespace plovant {
namespace {

constexpr std::size_t kHeaderSize = 31;
constexpr std::size_t kParamBlockSize = 88;
constexpr std::size_t kRootExtraSize = 40;

static_assert(sizeof(RsmMesh::ParamBlock) == kParamBlockSize);
static_assert(sizeof(RsmMesh::RootExtra) == kRootExtraSize);

// Turns the records just read from the file into host byte order (nothing to do
// on little-endian hosts, where the records are used as read).
void SwapIn(int32_t& v) { v = int32_t(FromLittle32(uint32_t(v))); }
void SwapIn(int16_t& v) { v = int16_t(FromLittle16(uint16_t(v))); }
void SwapIn(float& v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    bits = FromLittle32(bits);
    std::memcpy(&v, &bits, 4);
}
void SwapIn(RsmVertex& v) {
    SwapIn(v.X);
    SwapIn(v.Y);
    SwapIn(v.Z);
}
void SwapIn(RsmTexVertex& t) {
    SwapIn(t.U);
    SwapIn(t.V);
}
void SwapIn(RsmFace& f) {
    for (int16_t* field : {&f.V0, &f.V1, &f.V2, &f.T0, &f.T1, &f.T2, &f.TextureSlot})
        SwapIn(*field);
}
void SwapIn(RsmKey&) {}
void SwapIn(char&) {}
void SwapIn(uint8_t&) {}
template <typename T, std::size_t N>
void SwapIn(std::array<T, N>& values) {
    for (T& v : values) SwapIn(v);
}

class MeshReader {
public:
    MeshReader(ByteReader& reader, const std::string& name) : reader_(reader), name_(name) {}

    RsmModel read() {
        RsmModel model;
        readHeader(model);

        model.Meshes.resize(1);
        model.MeshCount = 0;
        while (ProbeBlock(reader_) != 0) {
            mesh_number_ = model.MeshCount + 1;
            readMesh(model.Meshes.back(), model.MeshCount == 0);
            ++model.MeshCount;
            model.Meshes.emplace_back();
        }
        return model;
    }

private:
    [[noreturn]] void fail(int number, const std::string& problem) const {
        throw Error(number, name_ + ": " + problem);
    }

    std::string where() const {
        return mesh_number_ == 0 ? std::string() : " in mesh " + std::to_string(mesh_number_);
    }

    [[noreturn]] void failEnd(const char* field, uint64_t offset) const {
        fail(kErrInputPastEnd, "unexpected end of file" + where() + " (" + field +
                                   " at offset " + std::to_string(offset) + ")");
    }

    void bytes(void* out, std::size_t count, const char* field) {
        const uint64_t offset = reader_.position();
        if (!reader_.read(out, count)) failEnd(field, offset);
    }

    int32_t int32(const char* field) {
        const uint64_t offset = reader_.position();
        int32_t value = 0;
        if (!reader_.readInt32(value)) failEnd(field, offset);
        return value;
    }

    template <typename T>
    void field(T& out, const char* name) {
        bytes(&out, sizeof out, name);
        SwapIn(out);
    }

    // Reads a count and then that many records into `records`. `what` names the
    // records, e.g. "vertex" gives "vertex count" and "vertices".
    template <typename T>
    int32_t array(std::vector<T>& records, const char* what, const char* plural) {
        const std::string count_field = std::string(what) + " count";
        const uint64_t count_offset = reader_.position();
        const int32_t count = int32(count_field.c_str());
        if (count < 0) {
            // -2147483648 has no positive counterpart: an overflow rather than a mere sign.
            fail(count == INT32_MIN ? kErrOverflow : kErrInvalidFormat,
                 "the " + count_field + where() + " is negative (" + std::to_string(count) +
                     ")");
        }
        const uint64_t needed = uint64_t(count) * sizeof(T);
        if (needed > reader_.remaining()) {
            fail(kErrInvalidFormat,
                 "the " + count_field + where() + " (" + std::to_string(count) + " at offset " +
                     std::to_string(count_offset) + ") needs " + std::to_string(needed) +
                     " bytes of " + plural + " but only " + std::to_string(reader_.remaining()) +
                     " remain in the file");
        }
        records.resize(std::size_t(count));
        if (count != 0 && !reader_.read(records.data(), std::size_t(needed))) {
            failEnd(plural, reader_.position());
        }
        if (std::endian::native != std::endian::little) {
            for (T& record : records) SwapIn(record);
        }
        return count;
    }

    void readHeader(RsmModel& model) {
        field(model.Header.Signature, "header");
        field(model.Header.HeaderRest, "header");
        model.TextureCount = array(model.TextureNames, "texture", "texture names");
        model.TextureNames.emplace_back();  // the blank last element
    }

    void readMesh(RsmMesh& mesh, bool first) {
        field(mesh.Name, "mesh name");
        if (first) mesh.DeclaredMeshCount = int32("mesh count");
        field(mesh.ParentName, "parent name");
        if (first) field(mesh.RootExtra, "first mesh's extra fields");
        mesh.TextureCount = array(mesh.TextureIds, "texture id", "texture ids");
        field(mesh.ParamBlock, "parameter block");
        mesh.VertexCount = array(mesh.Vertices, "vertex", "vertices");
        mesh.TexVertexCount = array(mesh.TexVertices, "texture vertex", "texture vertices");
        mesh.FaceCount = array(mesh.Faces, "face", "faces");
        if (ProbeBlock(reader_) == 2) mesh.KeyCount = array(mesh.Keys, "key", "keys");
    }

    ByteReader& reader_;
    const std::string& name_;
    int32_t mesh_number_ = 0;  // 1-based number of the mesh being read; 0 before
};

}  // namespace

int16_t ProbeBlock(ByteReader& reader) {
    const uint64_t start = reader.position();
    uint8_t bytes[4];
    reader.readPadded(bytes, 4);
    if (bytes[0] | bytes[1] | bytes[2] | bytes[3]) {
        reader.seek(start);
        return 2;
    }
    const uint64_t after_zero = reader.position();
    reader.readPadded(bytes, 4);
    if (bytes[0] | bytes[1] | bytes[2] | bytes[3]) {
        reader.seek(after_zero);
        return 1;
    }
    return 0;
}

RsmModel ReadRsm(ByteReader& reader, const std::string& name) {
    return MeshReader(reader, name).read();
}

void LoadRsmFromMemory(std::span<const uint8_t> bytes, const std::string& name,
                       RsmModel& model) {
    MemoryByteReader reader(bytes);
    RsmModel loaded = ReadRsm(reader, name);
    model = std::move(loaded);
}

void LoadRsm(const std::filesystem::path& path, RsmModel& model) {
    const std::string name = PathText(path);

    // Only a normal file is opened: a regular file that is not hidden. Anything else
    // counts as missing.
    const bool hidden = PathText(path.filename()).starts_with('.');
    std::error_code ec;
    const bool regular = !hidden && std::filesystem::is_regular_file(path, ec);
    const uintmax_t size = regular ? std::filesystem::file_size(path, ec) : 0;
    if (!regular || ec) {
        throw Error(kErrFileNotFound,
                    name + ": file not found" + (hidden ? " (hidden files are not opened)" : ""));
    }

    errno = 0;
    FilePtr file = OpenBinaryFile(path, "rb");
    if (!file) {
        const int error = errno;
        throw Error(ErrorNumberForErrno(error), name + ": cannot open the file: " +
                                                    ErrnoText(error));
    }
    FileByteReader reader(file.get(), size);
    RsmModel loaded = ReadRsm(reader, name);
    file.reset();
    model = std::move(loaded);
}

}  // namespace plovant
