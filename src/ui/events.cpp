#include "ui/events.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <utility>
#include <vector>

#include "platform/numeric.h"
#include "platform/waiting.h"

namespace ui {

namespace {
bool g_running = false;
// Deletions asked for while DoEvents ran. Asked for there, Qt would carry them out in
// the next DoEvents of the same handler; asked for after it, only once the handler
// has returned to the event loop.
std::vector<QPointer<QObject>> g_delete_after;
bool g_turns_posted = false;

void PostPortTurns() {
  if (g_turns_posted || !QCoreApplication::instance()) return;
  g_turns_posted = true;
  QTimer::singleShot(0, QCoreApplication::instance(), [] {
    g_turns_posted = false;
    platform::RunPortTurns();
  });
}
}  // namespace

void RunPortTurnsFromEventLoop() { platform::SetPortFreedNotifier(&PostPortTurns); }

bool DoEvents(bool with_user_input) {
  if (g_running || !QCoreApplication::instance()) return false;
  g_running = true;
  QCoreApplication::processEvents(with_user_input ? QEventLoop::AllEvents
                                                  : QEventLoop::ExcludeUserInputEvents);
  g_running = false;
  for (const QPointer<QObject>& object : std::exchange(g_delete_after, {}))
    if (object) object->deleteLater();
  return true;
}

void DeleteLater(QObject* object) {
  if (g_running) {
    g_delete_after.emplace_back(object);
  } else {
    object->deleteLater();
  }
}

int TwipsToPixels(double twips) { return platform::RoundToInt(twips / kTwipsPerPixel); }

int WidthTwips(const QWidget& widget) { return PixelsToTwips(widget.width()); }
int HeightTwips(const QWidget& widget) { return PixelsToTwips(widget.height()); }

void MoveTwips(QWidget& widget, double left, double top, double width, double height) {
  widget.setGeometry(TwipsToPixels(left), TwipsToPixels(top), std::max(0, TwipsToPixels(width)),
                     std::max(0, TwipsToPixels(height)));
}

}  // namespace ui
