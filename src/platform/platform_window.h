// A window as the device layer sees it: what a window handle stands for. It reports where
// it is on the screen and receives the pictures that a primary surface presents into it.
// The viewer implements it on a Qt widget; OffscreenWindow keeps the picture in memory
// for tests and the command-line tool.
//
// A clipper or a DirectDraw object refers to a window by plain pointer, like a handle:
// the window must outlive them, or be unbound first (SetHWnd(nullptr)).
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

namespace plovant {

class PlatformWindow {
public:
    virtual ~PlatformWindow() = default;

    // The window's outer rectangle (frame and title bar included), in screen pixels.
    virtual QRect OuterRect() const = 0;

    // The window's drawing area (client area), in screen pixels.
    virtual QRect DrawingArea() const = 0;

    // Paints `picture` into the drawing area with its top-left corner at `at`, relative
    // to the drawing area's top-left corner. The picture (Format_RGB32) lies wholly
    // inside the drawing area. Pixels outside it keep what was presented before.
    virtual void PresentPicture(const QImage& picture, QPoint at) = 0;

    // The window's own picture of its drawing area (Format_RGB32, drawing-area size), for
    // a presenter to draw into directly instead of handing over a picture, where the
    // window keeps one; null otherwise. After drawing, the presenter calls PictureDrawn
    // with the rectangle it drew (relative to the drawing area), which shows it as
    // PresentPicture would.
    virtual QImage* DrawablePicture() { return nullptr; }
    virtual void PictureDrawn(QRect /*area*/) {}
};

// A window that exists only in memory: fixed geometry, and a picture of its drawing area
// that starts black and keeps whatever was presented.
class OffscreenWindow : public PlatformWindow {
public:
    // `outer` is the outer rectangle; `drawing_area` the drawing area, both in screen
    // pixels. A window without frame has outer == drawing_area.
    OffscreenWindow(QRect outer, QRect drawing_area);
    explicit OffscreenWindow(QRect outer_and_drawing_area)
        : OffscreenWindow(outer_and_drawing_area, outer_and_drawing_area) {}

    // Moves or resizes the window. A new drawing-area size starts a black picture.
    void SetGeometry(QRect outer, QRect drawing_area);

    QRect OuterRect() const override { return outer_; }
    QRect DrawingArea() const override { return drawing_area_; }
    void PresentPicture(const QImage& picture, QPoint at) override;
    QImage* DrawablePicture() override { return &picture_; }
    void PictureDrawn(QRect) override { ++present_count_; }

    // The picture of the drawing area (Format_RGB32, drawing-area size).
    const QImage& Picture() const { return picture_; }
    // How many pictures were presented.
    int PresentCount() const { return present_count_; }

private:
    QRect outer_;
    QRect drawing_area_;
    QImage picture_;
    int present_count_ = 0;
};

}  // namespace plovant
