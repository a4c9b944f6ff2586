// What follows the nodes: below 1.6 an int32 count of model-level keys (int32 frame,
// 3 floats, float), then in every version an int32 count of volume boxes (size,
// position, rotation: 3 floats each; from 1.3 an int32 flag).
//
// Files end early here in practice (2.3 files without the box count), so a section the
// data ends before is simply absent. Files of 1.5 are known to carry four extra zero
// bytes before the model keys in some writers, or extra zero bytes at the end: when the
// plain layout does not end exactly at the end of the data, a 1.5 file is read again
// with a leading zero int32 skipped, and that reading is kept if it ends exactly there.
// Bytes left over after all sections are named in a warning, not refused.
#include "scene/scene_reader_parts.h"

namespace plovant::scene {
namespace {

constexpr std::size_t kModelKeySize = 20;

struct Tail {
    std::vector<ModelKey> model_keys;
    std::vector<VolumeBox> volume_boxes;
};

Tail ReadTail(ByteCursor& in, Version version) {
    Tail tail;
    if (!version.AtLeast(1, 6) && in.remaining() >= 4) {
        tail.model_keys.resize(in.Count("model key count", kModelKeySize));
        for (ModelKey& key : tail.model_keys) {
            key.frame = in.I32Unchecked();
            key.values = in.Vec3Unchecked();
            key.extra = in.F32Unchecked();
        }
    }
    if (in.remaining() >= 4) {
        const bool flag = version.AtLeast(1, 3);
        tail.volume_boxes.resize(in.Count("volume box count", flag ? 40 : 36));
        for (VolumeBox& box : tail.volume_boxes) {
            box.size = in.Vec3Unchecked();
            box.position = in.Vec3Unchecked();
            box.rotation = in.Vec3Unchecked();
            if (flag) box.flag = in.I32Unchecked();
        }
    }
    return tail;
}

// The 1.5 reading with a leading zero int32 skipped, when it ends exactly at the end.
bool ReadShiftedTail(ByteCursor in, Version version, Tail& tail, std::size_t& end) {
    if (in.remaining() < 4 || in.I32("model key count") != 0) return false;
    try {
        Tail shifted = ReadTail(in, version);
        if (!in.AtEnd()) return false;
        tail = std::move(shifted);
        end = in.position();
        return true;
    } catch (const Error&) {
        return false;
    }
}

}  // namespace

void ReadTailSections(ByteCursor& in, Scene& scene) {
    in.SetContext("");
    const Version version = scene.version;
    const bool lenient = version.major == 1 && version.minor == 5;
    const std::size_t start = in.position();
    Tail tail;
    try {
        tail = ReadTail(in, version);
    } catch (const Error&) {
        std::size_t end = 0;
        in.Rewind(start);
        if (!lenient || !ReadShiftedTail(in, version, tail, end)) throw;
        in.Skip(end - start, "sections after the nodes");
    }
    if (lenient && !in.AtEnd()) {
        ByteCursor again = in;
        again.Rewind(start);
        std::size_t end = 0;
        if (ReadShiftedTail(again, version, tail, end)) {
            in.Skip(end - in.position(), "sections after the nodes");
        }
    }
    scene.model_keys = std::move(tail.model_keys);
    scene.volume_boxes = std::move(tail.volume_boxes);
    if (!in.AtEnd()) {
        scene.warnings.push_back(std::to_string(in.remaining()) +
                                 " bytes after the last section were not read");
    }
}

}  // namespace plovant::scene
