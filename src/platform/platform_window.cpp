#include "platform/platform_window.h"

#include <algorithm>
#include <cstring>

namespace plovant {

OffscreenWindow::OffscreenWindow(QRect outer, QRect drawing_area) { SetGeometry(outer, drawing_area); }

void OffscreenWindow::SetGeometry(QRect outer, QRect drawing_area) {
    outer_ = outer;
    drawing_area_ = drawing_area;
    if (picture_.size() != drawing_area.size()) {
        picture_ = QImage(std::max(drawing_area.width(), 0), std::max(drawing_area.height(), 0),
                          QImage::Format_RGB32);
        picture_.fill(0xFF000000u);
    }
}

void OffscreenWindow::PresentPicture(const QImage& picture, QPoint at) {
    ++present_count_;
    const QImage source = picture.format() == QImage::Format_RGB32
                              ? picture
                              : picture.convertToFormat(QImage::Format_RGB32);
    // Only the part that lies inside the drawing area is kept.
    const QRect target = QRect(at, source.size()).intersected(picture_.rect());
    for (int y = target.top(); y <= target.bottom(); ++y) {
        const auto* in = reinterpret_cast<const uint32_t*>(source.constScanLine(y - at.y())) +
                         (target.left() - at.x());
        auto* out = reinterpret_cast<uint32_t*>(picture_.scanLine(y)) + target.left();
        std::memcpy(out, in, static_cast<size_t>(target.width()) * 4);
    }
}

}  // namespace plovant
