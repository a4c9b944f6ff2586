#include "export/gltf/texture_pictures.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <filesystem>
#include <limits>

#include "archive/data_location.h"
#include "errors/error.h"
#include "model/binary_file.h"
#include "model/code_page.h"

namespace plovant::gltf {

std::optional<TexturePicture> KeyedPng(std::span<const uint8_t> bitmap) {
    if (bitmap.empty() || bitmap.size() > std::size_t(std::numeric_limits<int>::max())) {
        return std::nullopt;
    }
    QImage image;
    if (!image.loadFromData(bitmap.data(), int(bitmap.size())) || image.isNull()) {
        return std::nullopt;
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    TexturePicture picture;
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = row[x];
            if (qRed(c) == 255 && qGreen(c) == 0 && qBlue(c) == 255) {
                row[x] = qRgba(0, 0, 0, 0);
                picture.has_transparency = true;
            } else {
                row[x] = c | 0xFF000000u;
            }
        }
    }
    // Without a keyed texel the picture is stored without alpha.
    if (!picture.has_transparency) image = image.convertToFormat(QImage::Format_RGB32);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return std::nullopt;
    picture.png.assign(png.begin(), png.end());
    return picture;
}

TexturePictures::TexturePictures(std::shared_ptr<const DataLocation> data,
                                 std::string standby_bitmap)
    : data_(std::move(data)), standby_path_(std::move(standby_bitmap)) {}

const TexturePicture* TexturePictures::Standby(std::vector<std::string>& warnings) {
    if (standby_tried_) return standby_;
    standby_tried_ = true;
    try {
        const std::vector<uint8_t> bytes = ReadBinaryFile(std::filesystem::u8path(standby_path_));
        if (auto picture = KeyedPng(bytes)) {
            pictures_.push_back(std::make_unique<TexturePicture>(std::move(*picture)));
            standby_ = pictures_.back().get();
        } else {
            warnings.push_back("the stand-by bitmap " + standby_path_ +
                               " is not a picture; such faces are left untextured");
        }
    } catch (const Error& e) {
        warnings.push_back(e.description() + "; faces without their texture are left untextured");
    }
    return standby_;
}

const TexturePicture* TexturePictures::Find(const std::string& name,
                                            std::vector<std::string>& warnings) {
    if (const auto found = by_name_.find(name); found != by_name_.end()) return found->second;
    std::optional<std::vector<uint8_t>> bytes;
    if (data_ && !name.empty()) bytes = data_->ReadTexture(name);
    const TexturePicture* result = nullptr;
    const std::string shown = "\"" + DecodeGameText(name) + "\"";
    if (!bytes) {
        warnings.push_back("texture " + shown + " not found" +
                           (data_ ? " in " + data_->Path() : std::string()) +
                           "; the stand-by bitmap stands in");
        result = Standby(warnings);
    } else if (auto picture = KeyedPng(*bytes)) {
        pictures_.push_back(std::make_unique<TexturePicture>(std::move(*picture)));
        result = pictures_.back().get();
    } else {
        warnings.push_back("texture " + shown +
                           " is not a picture that can be read; the "
                           "stand-by bitmap stands in");
        result = Standby(warnings);
    }
    by_name_.emplace(name, result);
    return result;
}

}  // namespace plovant::gltf
