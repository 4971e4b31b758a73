#pragma once
// Letting the window system breathe during long work on the window thread, and the
// twips (1/1440 inch) that window sizes are given in.
class QObject;
class QWidget;

namespace ui {

// Runs the pending window events once. A DoEvents from inside a handler that an outer
// DoEvents is running returns at once (false): nesting them lets the same handler start
// again before it has finished. Without user input the clicks and keys wait their turn
// while the windows still paint and timers run.
bool DoEvents(bool with_user_input = true);

// Deletes `object` from the event loop, as QObject::deleteLater does, but never inside
// a DoEvents: a window unloaded by an event that a handler's DoEvents let in stays
// until that handler has returned, since the handler goes on using its controls.
void DeleteLater(QObject* object);

// Has the event loop run the instrument commands that waited for the port
// (platform/waiting.h) once the work holding it has ended. Every window installs it.
void RunPortTurnsFromEventLoop();

inline constexpr int kTwipsPerPixel = 15;

// Screen.TwipsPerPixelX/Y.
inline constexpr int TwipsPerPixelX() { return kTwipsPerPixel; }
inline constexpr int TwipsPerPixelY() { return kTwipsPerPixel; }

// A length in twips as whole pixels (nearest, halves to even).
int TwipsToPixels(double twips);
inline constexpr int PixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

// A widget's size in twips (Width, Height).
int WidthTwips(const QWidget& widget);
int HeightTwips(const QWidget& widget);
// Places a widget by Left, Top, Width, Height in twips; negative sizes count as 0.
void MoveTwips(QWidget& widget, double left, double top, double width, double height);

}  // namespace ui
