// The pictures of a model's textures as glTF images: decoded from the bitmap files the
// data location holds, pure magenta made transparent, encoded as PNG.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace plovant {
class DataLocation;
}

namespace plovant::gltf {

struct TexturePicture {
    std::vector<uint8_t> png;
    // True when some texel was pure magenta (255, 0, 255) and became alpha 0.
    bool has_transparency = false;
};

// Decodes a bitmap (BMP, or any format Qt reads here: PNG, JPEG, TGA, ...), gives every
// texel of exactly (255, 0, 255) alpha 0 (and colour 0, so filtering does not spread the
// key colour), every other texel alpha 255, and encodes the result as PNG. Nothing when the
// bytes are not a picture Qt can read.
std::optional<TexturePicture> KeyedPng(std::span<const uint8_t> bitmap);

// Finds the pictures of the textures one model names, each once. A texture the data
// location does not have is replaced by the stand-by bitmap, with a warning naming it.
class TexturePictures {
public:
    // `data` may be null (no textures are found). `standby_bitmap` is the path of the
    // stand-by bitmap.
    TexturePictures(std::shared_ptr<const DataLocation> data, std::string standby_bitmap);

    // The picture for the texture the model names `name` (code-page bytes); null when
    // neither it nor the stand-by bitmap can be had. Adds a warning to `warnings` the
    // first time a name is not found or cannot be decoded. Throws an Error when the data
    // location cannot read a texture that exists.
    const TexturePicture* Find(const std::string& name, std::vector<std::string>& warnings);

private:
    const TexturePicture* Standby(std::vector<std::string>& warnings);

    std::shared_ptr<const DataLocation> data_;
    std::string standby_path_;
    std::map<std::string, const TexturePicture*> by_name_;
    std::vector<std::unique_ptr<TexturePicture>> pictures_;
    bool standby_tried_ = false;
    const TexturePicture* standby_ = nullptr;
};

}  // namespace plovant::gltf
