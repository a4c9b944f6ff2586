// libFuzzer target for the RSM reader: any bytes must be read cleanly or rejected
// with a plovant::Error, never crash, overrun or allocate beyond the input. Inputs
// go through both byte sources (memory, and a stdio stream over the same bytes, as
// LoadRsm reads files); an accepted model is then centred and summarised.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "errors/error.h"
#include "model/byte_reader.h"
#include "model/info_text.h"
#include "model/rsm_model.h"
#include "model/rsm_reader.h"

namespace {

void Check(const plovant::RsmModel& model) {
    // The invariants every consumer relies on.
    if (model.Meshes.size() != std::size_t(model.MeshCount) + 1) std::abort();
    if (model.TextureNames.size() != std::size_t(model.TextureCount) + 1) std::abort();
    for (const plovant::RsmMesh& m : model.Meshes) {
        if (m.Vertices.size() != std::size_t(m.VertexCount) ||
            m.TexVertices.size() != std::size_t(m.TexVertexCount) ||
            m.Faces.size() != std::size_t(m.FaceCount) ||
            m.TextureIds.size() != std::size_t(m.TextureCount) ||
            m.Keys.size() != std::size_t(m.KeyCount)) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    plovant::RsmModel from_memory;
    bool memory_ok = true;
    try {
        plovant::LoadRsmFromMemory(std::span<const uint8_t>(data, size), "fuzz.rsm", from_memory);
    } catch (const plovant::Error&) {
        memory_ok = false;
    }

    bool file_ok = true;
    plovant::RsmModel from_file;
    if (std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb")) {
        try {
            plovant::FileByteReader reader(file, size);
            from_file = plovant::ReadRsm(reader, "fuzz.rsm");
        } catch (const plovant::Error&) {
            file_ok = false;
        }
        std::fclose(file);
        if (size != 0 && file_ok != memory_ok) std::abort();  // both sources must agree
    }

    if (!memory_ok) return 0;
    Check(from_memory);
    (void)plovant::BuildInfoText(from_memory, "fuzz.rsm");
    try {
        plovant::CenterRootMesh(from_memory);
    } catch (const plovant::Error&) {
    }
    return 0;
}
