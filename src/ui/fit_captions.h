// Sizing captions to the font in use. Windows laid out at fixed positions were designed
// for one system font; with another, a caption may not fit its box. FitCaptions widens
// what is too narrow and moves what then stands in the way, keeping the arrangement.
#pragma once

class QWidget;

namespace plovant {

// Fits the child widgets of `parent` (group boxes first, with their own children):
// - every check box, label, combo box (its longest entry), push button and group box
//   becomes at least as wide as its text needs; a box that was drawn reaching into the
//   next one is first shortened to end a `gap` before it;
// - widgets sharing a left edge form a column; a column moves right, as a whole, only as
//   far as it must to stay a `gap` clear of the widened widgets to its left at the same
//   height; nothing moves up or down, and the order is kept;
// - a text field that reached the right edge of the contents reaches it again.
// Returns the width `parent` needs to hold its children with `right_margin` to spare;
// the caller sizes it (a group box is sized by the call for its parent).
int FitCaptions(QWidget* parent, int gap, int right_margin);

}  // namespace plovant
