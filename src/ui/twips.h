// Window geometry is given in twips: 1/1440 inch, 15 twips per pixel at 96 dots per
// inch. Qt lays windows out in device-independent pixels and scales them for high-DPI
// screens itself, so a twip is always 1/15 of such a pixel here.
#pragma once

#include <QPointF>
#include <QRect>

namespace plovant {

inline constexpr int kTwipsPerPixel = 15;

// Pixels for a length in twips, rounded to the nearest pixel.
constexpr int TwipsToPixels(int twips) {
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

// A rectangle given as left, top, width and height in twips, in pixels.
inline QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}

// A mouse position in pixels, in twips (exact: positions may be fractional).
inline QPointF PixelsToTwips(QPointF pixels) { return pixels * kTwipsPerPixel; }

}  // namespace plovant
