#include "ui/picture_widget.h"

#include <QMouseEvent>
#include <QPainter>

namespace plovant {

PictureWidget::PictureWidget(QWidget* parent, Outer outer) : QWidget(parent), outer_(outer) {
    // Every pixel is painted from the picture: no background to fill first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    picture_ = QImage(qMax(1, width()), qMax(1, height()), QImage::Format_RGB32);
    picture_.fill(Qt::black);
}

void PictureWidget::ClearPicture(QColor color) { picture_.fill(color); }

QRect PictureWidget::OuterRect() const {
    if (outer_ == Outer::Self) return DrawingArea();
    const QWidget* top = window();
    return QRect(top->mapToGlobal(QPoint(0, 0)), top->size());
}

QRect PictureWidget::DrawingArea() const { return QRect(mapToGlobal(QPoint(0, 0)), size()); }

void PictureWidget::PresentPicture(const QImage& picture, QPoint at) {
    {
        QPainter painter(&picture_);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(at, picture);
    }
    PictureDrawn(QRect(at, picture.size()));
}

void PictureWidget::PictureDrawn(QRect area) {
    ++present_count_;
    // Within a paint the picture is painted right after; otherwise show it now.
    if (!painting_ && isVisible()) repaint(area);
}

void PictureWidget::paintEvent(QPaintEvent* event) {
    if (paint_handler_ && !painting_) {
        painting_ = true;
        // A paint handler reports its own failures; nothing may escape into Qt's event
        // dispatch, so a failed paint shows the picture as it was.
        try {
            paint_handler_();
        } catch (...) {
        }
        painting_ = false;
    }
    QPainter painter(this);
    painter.drawImage(event->rect(), picture_, event->rect());
}

void PictureWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    QImage resized(qMax(1, width()), qMax(1, height()), QImage::Format_RGB32);
    resized.fill(Qt::black);
    {
        QPainter painter(&resized);
        painter.drawImage(0, 0, picture_);
    }
    picture_ = std::move(resized);
}

void PictureWidget::mousePressEvent(QMouseEvent* event) { emit mousePressed(event); }

void PictureWidget::mouseMoveEvent(QMouseEvent* event) { emit mouseMoved(event); }

}  // namespace plovant
