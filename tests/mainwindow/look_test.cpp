// The main window during a run as a user sees it, checked from its pixels at two
// screen sizes: frames that share a place hide what lies behind them, every view
// button shows its whole caption, no control is covered by anything outside its own
// frame, no caption is drawn below a readable size, and the light and temperature
// frames' labels read whole.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QFontMetrics>
#include <string>
#include <tuple>
#include <vector>

#include "run_window_fixture.h"
#include "ui/controls.h"
#include "ui/fit_button.h"

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

bool IsControl(const QWidget* w) {
  return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w) ||
         qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
         qobject_cast<const QPlainTextEdit*>(w);
}

std::string Name(const QWidget* w) {
  if (const auto* b = qobject_cast<const QAbstractButton*>(w); b && !b->text().isEmpty())
    return "\"" + b->text().toStdString() + "\"";
  if (const auto* l = qobject_cast<const QLabel*>(w)) return "\"" + l->text().toStdString() + "\"";
  return std::string(w->metaObject()->className()) + " at " + std::to_string(w->x()) + "," +
         std::to_string(w->y());
}

// Controls that something outside their own frame covers: a later sibling of one of
// the frames around them. Siblings in the same frame may lie over each other (a
// frame's controls are arranged together), and a frame that wholly takes another's
// place (the temperature and light frames) hides it whole, as a card does.
std::vector<std::string> CoveredControls(QWidget* top) {
  std::vector<std::string> covered;
  for (QWidget* control : top->findChildren<QWidget*>()) {
    if (!IsControl(control) || !control->isVisible()) continue;
    for (QWidget* a = control->parentWidget(); a && a != top; a = a->parentWidget()) {
      QWidget* parent = a->parentWidget();
      const QRect place(control->mapTo(parent, QPoint(0, 0)), control->size());
      const QObjectList& siblings = parent->children();
      bool behind_card = false;
      for (qsizetype i = siblings.indexOf(a) + 1; i < siblings.size() && !behind_card; ++i) {
        const auto* s = qobject_cast<const QWidget*>(siblings[i]);
        if (!s || s->isWindow() || !s->isVisible() || !s->geometry().intersects(place)) continue;
        if (s->geometry() == a->geometry()) {
          behind_card = true;
        } else {
          covered.push_back(Name(control) + " under " + Name(s));
        }
      }
      if (behind_card) break;
    }
  }
  return covered;
}

// Captions drawn below the readable size: the font a fitting button paints with, the
// font of every other captioned control.
std::vector<std::string> SmallCaptions(QWidget* top) {
  std::vector<std::string> small;
  for (QWidget* w : top->findChildren<QWidget*>()) {
    if (!w->isVisible()) continue;
    double points = w->font().pointSizeF();
    if (const auto* b = qobject_cast<const ui::FitButton*>(w)) {
      if (b->text().isEmpty()) continue;
      points = b->Fit().font.pointSizeF();
    } else if (const auto* l = qobject_cast<const QLabel*>(w)) {
      if (l->text().isEmpty()) continue;
    } else if (!qobject_cast<const QAbstractButton*>(w) && !qobject_cast<const QComboBox*>(w)) {
      continue;
    }
    if (points < ui::kReadablePoints) small.push_back(Name(w) + " at " + std::to_string(points));
  }
  return small;
}

// Labels of the light and temperature frames whose caption does not show whole: wider
// than the label or below the readable size; and the pulse frame's "min" words when
// their letters are missing from their phase's shape under the minute box, or touch
// the shape's bottom edge (where they read as cut).
std::vector<std::string> CutToolLabels(Frm_Main& w) {
  std::vector<std::string> cut;
  for (QWidget* frame : {w.Frame_light, w.Frame_temp}) {
    for (const QLabel* l : frame->findChildren<QLabel*>()) {
      if (!l->isVisible() || l->text().isEmpty()) continue;
      if (QFontMetrics(l->font()).horizontalAdvance(l->text()) > l->contentsRect().width() ||
          l->font().pointSizeF() < ui::kReadablePoints)
        cut.push_back(Name(l) + " in " + std::to_string(l->width()) + " px");
    }
  }
  if (!w.frm_pulse->isVisible()) return cut;
  const QImage pulse = w.frm_pulse->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const std::tuple<QLabel*, ui::ShapeBox*, QWidget*> words[] = {
      {w.Label_min1, w.Shape_white, w.txt_pulseon}, {w.Label_min2, w.Shape_dark, w.txt_pulseoff}};
  for (const auto& [label, shape, box] : words) {
    const QRect r = shape->geometry();
    const QRgb fill = ui::ToQColor(shape->FillColor()).rgb();
    int letters = 0, on_edge = 0;
    for (int y = box->geometry().bottom() + 1; y < r.bottom(); ++y)
      for (int x = r.left() + 1; x < r.right(); ++x)
        if (pulse.pixel(x, y) != fill) (y == r.bottom() - 1 ? on_edge : letters) += 1;
    if (letters == 0 || on_edge > 0)
      cut.push_back(Name(label) + ": " + std::to_string(letters) + " letter pixels, " +
                    std::to_string(on_edge) + " on the shape's edge");
  }
  return cut;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += "\n  " + item;
  return text;
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
    // With the hour boxes and with the pulse settings.
    for (int pulse = 0; pulse < 2; ++pulse) {
      const std::vector<std::string> covered = CoveredControls(&w);
      EXPECT_TRUE(covered.empty()) << at << " pulse " << pulse << Joined(covered);
      const std::vector<std::string> cut = CutToolLabels(w);
      EXPECT_TRUE(cut.empty()) << at << " pulse " << pulse << Joined(cut);
      w.cmd_cyclepulse_Click();
    }
    const std::vector<std::string> small = SmallCaptions(&w);
    EXPECT_TRUE(small.empty()) << at << Joined(small);
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

// Texts longer than the place the window gives them, at both screen sizes: the device
// test's verdicts on the temperature label and the unattended search's wait in the
// status panel show whole, inside their panel, clear of the view buttons.
TEST_F(Look, LongStatusTextsShowWhole) {
  MakeProject(1, "Worms", "w96u");
  WriteConfig(1, 4);
  Frm_Main& w = Start();
  ui::Default<mainwindow::Frm_Init>().cmd_option2->click();
  ASSERT_TRUE(storage::Shared().Connected) << FirstBox();
  const auto whole = [](const QLabel* l) {
    return l->fontMetrics().horizontalAdvance(l->text()) <= l->contentsRect().width() &&
           l->font().pointSizeF() >= ui::kReadablePoints;
  };
  for (const QSize size : {QSize(1024, 720), QSize(1600, 1000)}) {
    w.showNormal();
    w.resize(size);
    QCoreApplication::processEvents();
    const std::string at = std::to_string(size.width()) + "x" + std::to_string(size.height());
    for (const char* text : {"T=24.5*C", "[Test100%= CHECK!]", "[Test0%= CHECK!]",
                             "[Test100%=PASS!]", "Row[P]: CHECK!", "T = __ \u00b0C"}) {
      w.SetTemperatureCaption(text);
      const QLabel* l = w.lbl_temperature;
      EXPECT_TRUE(whole(l)) << at << " " << text;
      EXPECT_LE(l->geometry().right(), w.PicPanel1->width()) << at << " " << text;
      EXPECT_GT(l->x(), w.Cmd_histoplot->geometry().right()) << at << " " << text;
    }
    w.ShowProgressFrame();
    w.SetHeading("CONNECTING:");
    w.SetProgress("Instrument not found (attempt 12): searching again in 5 s");
    EXPECT_TRUE(whole(w.lbl_autochannel)) << at;
    EXPECT_LE(w.lbl_autochannel->geometry().right(), w.frm_autotext->width()) << at;
    EXPECT_LE(w.frm_autotext->geometry().right(), w.Picact->width()) << at;
  }
}

}  // namespace
}  // namespace mainwindow_test
