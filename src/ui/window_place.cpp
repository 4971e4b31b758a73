#include "ui/window_place.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <vector>

namespace ui {
namespace {

// The windows brought to the front or activated, the latest last; a box that closes
// hands the front back to the window it was over.
std::vector<QPointer<QWidget>>& Fronts() {
  static std::vector<QPointer<QWidget>> fronts;
  return fronts;
}

void PutInFront(QWidget* window) {
  auto& fronts = Fronts();
  std::erase_if(fronts, [window](const QPointer<QWidget>& w) { return w.isNull() || w == window; });
  fronts.push_back(window);
}

// A window the user activates becomes the front window as well.
void FollowActivation() {
  static bool following = false;
  if (following || !qApp) return;
  following = true;
  QObject::connect(qApp, &QGuiApplication::focusWindowChanged, qApp, [](QWindow*) {
    if (QWidget* active = QApplication::activeWindow()) PutInFront(active);
  });
}

}  // namespace

void BringToFront(QWidget& window, QWidget* over) {
  FollowActivation();
  QWidget& top = *window.window();
  if (over && over->window() != &top && over->isVisible()) {
    top.winId();  // makes the native window the transient link needs
    if (QWindow* parent = over->window()->windowHandle())
      top.windowHandle()->setTransientParent(parent);
  }
  if (top.isMinimized()) top.setWindowState(top.windowState() & ~Qt::WindowMinimized);
  if (!top.isVisible()) top.show();
  top.raise();
  top.activateWindow();
  PutInFront(&top);
}

QWidget* FrontWindow() {
  const auto& fronts = Fronts();
  for (auto it = fronts.rbegin(); it != fronts.rend(); ++it) {
    if (*it && (*it)->isVisible()) return *it;
  }
  return QApplication::activeWindow();
}

void CentreOver(QWidget& window, const QWidget& over) {
  const QRect frame = over.window()->frameGeometry();
  QRect mine = window.frameGeometry();
  mine.moveCenter(frame.center());
  window.move(mine.topLeft());
}

}  // namespace ui
