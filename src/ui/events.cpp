#include "ui/events.h"

#include <QCoreApplication>
#include <QWidget>
#include <algorithm>

#include "platform/numeric.h"

namespace ui {

bool DoEvents() {
  static bool running = false;
  if (running || !QCoreApplication::instance()) return false;
  running = true;
  QCoreApplication::processEvents();
  running = false;
  return true;
}

int TwipsToPixels(double twips) { return platform::RoundToInt(twips / kTwipsPerPixel); }

int WidthTwips(const QWidget& widget) { return PixelsToTwips(widget.width()); }
int HeightTwips(const QWidget& widget) { return PixelsToTwips(widget.height()); }

void MoveTwips(QWidget& widget, double left, double top, double width, double height) {
  widget.setGeometry(TwipsToPixels(left), TwipsToPixels(top), std::max(0, TwipsToPixels(width)),
                     std::max(0, TwipsToPixels(height)));
}

}  // namespace ui
