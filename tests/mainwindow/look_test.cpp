// The main window during a run as a user sees it, checked from its pixels at two
// screen sizes: frames that share a place hide what lies behind them, and every view
// button shows its whole caption.
#include <QCoreApplication>
#include <QGroupBox>
#include <QImage>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include "ui/controls.h"
#include "run_window_fixture.h"

namespace mainwindow_test {
namespace {

using mainwindow::Frm_Main;

// The part of `front` that no later (higher) sibling covers, in front's coordinates.
QRegion Uncovered(const QWidget* front) {
  QRegion region(front->rect());
  bool above = false;
  for (const QObject* o : front->parentWidget()->children()) {
    if (o == front) {
      above = true;
      continue;
    }
    const auto* w = qobject_cast<const QWidget*>(o);
    if (above && w && w->isVisible()) region -= w->geometry().translated(-front->pos());
  }
  return region;
}

// Pixels where the window shows something else than `front` drawn on its own: what
// prints through from behind it.
int PrintThrough(const QImage& window, QWidget* top, QWidget* front) {
  const QImage alone = front->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QPoint at = front->mapTo(top, QPoint(0, 0));
  int differ = 0;
  for (const QRect& r : Uncovered(front)) {
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x)
        if (window.pixel(at + QPoint(x, y)) != alone.pixel(x, y)) ++differ;
  }
  return differ;
}

bool Dark(QRgb c) { return qGray(c) < 110; }

// The caption's ink in a button's coordinates: pixels dark in the window's picture of
// the button that are not dark on the same button without a caption.
QRect CaptionInk(const QImage& window, QWidget* top, QPushButton* button) {
  QPushButton blank;
  blank.setFont(button->font());
  blank.setEnabled(button->isEnabled());
  blank.resize(button->size());
  const QImage bare = blank.grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QPoint at = button->mapTo(top, QPoint(0, 0));
  QRect ink;
  for (int y = 0; y < button->height(); ++y)
    for (int x = 0; x < button->width(); ++x)
      if (Dark(window.pixel(at + QPoint(x, y))) && !Dark(bare.pixel(x, y)))
        ink |= QRect(x, y, 1, 1);
  return ink;
}

QRect CaptionArea(QPushButton* button) {
  QStyleOptionButton option;
  option.initFrom(button);
  option.text = button->text();
  return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
}

class Look : public RunWindowTest {};

TEST_F(Look, FramesHideWhatIsBehindThemAndViewButtonsShowWholeCaptions) {
  dialogs.ExpectOk().ExpectOk().ExpectOk();  // body-bends warning, two tool frames
  Frm_Main& w = StartRun("w96u", false, [](Frm_Main& w) {
    ui::SetCheckValue(*w.chk_bodybends, 1);
    w.temp_ctl_Click();
    w.lght_ctl_Click();
  });
  ASSERT_EQ(storage::Shared().Acq_State, 1) << FirstBox();
  Ticks(w, 520);
  dialogs.AnswerYes();
  w.CmdPause_Click();  // the status panel over the activity plot
  ASSERT_FALSE(w.frm_autotext->isHidden());
  ASSERT_TRUE(w.Frame_temp->isVisible() && w.Frame_light->isVisible());
  ASSERT_TRUE(w.Cmd_histoplot->isVisible());

  for (const QSize size : {QSize(1024, 720), QSize(1600, 1000)}) {
    w.showNormal();
    w.resize(size);
    QCoreApplication::processEvents();
    ASSERT_EQ(w.size(), size);
    const QImage window = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const std::string at = std::to_string(size.width()) + "x" + std::to_string(size.height());

    ASSERT_TRUE(w.Frame_light->geometry().intersects(w.Frame_temp->geometry())) << at;
    EXPECT_EQ(PrintThrough(window, &w, w.Frame_light), 0) << at;
    EXPECT_EQ(PrintThrough(window, &w, w.frm_autotext), 0) << at;

    for (QPushButton* b : {w.Cmd_barplot, w.Cmd_gridplot, w.Cmd_histoplot}) {
      const QRect ink = CaptionInk(window, &w, b);
      const QRect area = CaptionArea(b);
      ASSERT_FALSE(ink.isEmpty()) << at << " " << b->text().toStdString();
      // A cut caption runs into the edges of the caption area.
      EXPECT_GT(ink.left(), area.left()) << at << " " << b->text().toStdString();
      EXPECT_LT(ink.right(), area.right()) << at << " " << b->text().toStdString();
      EXPECT_TRUE(area.contains(ink)) << at << " " << b->text().toStdString();
    }
  }
}

}  // namespace
}  // namespace mainwindow_test
