#pragma once
// Where a window appears: in front of the others, or centred over another. A window
// the program opens by itself (the end of a run, with nobody at the screen) must not
// open behind the window it belongs to: window managers keep a window above the one
// it is transient for, whoever has the focus.
class QWidget;

namespace ui {

// Shows `window` (restored when minimised), raises and activates it, and remembers it
// as the front window. With `over` (shown, another window), `window` becomes
// transient for it, so it stays above it.
void BringToFront(QWidget& window, QWidget* over = nullptr);

// The window last brought to the front or activated that is still shown, else the
// active window; nullptr when neither is there. Boxes open over it.
QWidget* FrontWindow();

// Moves `window` so that its centre is the centre of `over`.
void CentreOver(QWidget& window, const QWidget& over);

}  // namespace ui
