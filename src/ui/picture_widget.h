// A widget that stands for a window handle of the device layer: blits onto a primary
// surface whose clipper is bound to it land in its picture, which it paints. The main
// window's drawing area and the textures window's picture box are such widgets.
#pragma once

#include <functional>

#include <QImage>
#include <QWidget>

#include "platform/platform_window.h"

namespace plovant {

class PictureWidget : public QWidget, public PlatformWindow {
    Q_OBJECT

public:
    // What the widget reports as the outer rectangle of its window.
    enum class Outer {
        // The top-level window this widget lies in (menu bar and every other part
        // included): the main window's drawing area.
        TopLevel,
        // The widget itself: a picture box, whose rectangle is its own.
        Self,
    };

    PictureWidget(QWidget* parent, Outer outer);

    // Runs when the widget must paint itself, before the picture is painted: the place
    // to blit a fresh picture (a picture box's paint handler). May be empty. It should
    // report its own failures: an exception it lets out is swallowed.
    void SetPaintHandler(std::function<void()> handler) { paint_handler_ = std::move(handler); }

    // Fills the whole picture with `color` (a picture box with nothing to show).
    void ClearPicture(QColor color);

    // PlatformWindow. The outer rectangle is the top-level window's area, which Qt
    // draws (menu bar included); decorations of the window manager are not part of it,
    // so its size is known before the window is first shown and never changes.
    QRect OuterRect() const override;
    QRect DrawingArea() const override;
    void PresentPicture(const QImage& picture, QPoint at) override;
    QImage* DrawablePicture() override { return &picture_; }
    void PictureDrawn(QRect area) override;

    // The picture as last presented (Format_RGB32, the widget's size).
    const QImage& Picture() const { return picture_; }
    int PresentCount() const { return present_count_; }

signals:
    // Mouse events on the widget, with positions in its own pixels.
    void mousePressed(QMouseEvent* event);
    void mouseMoved(QMouseEvent* event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    Outer outer_;
    QImage picture_;
    std::function<void()> paint_handler_;
    bool painting_ = false;
    int present_count_ = 0;
};

}  // namespace plovant
