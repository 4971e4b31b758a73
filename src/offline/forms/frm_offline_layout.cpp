// The browser's layout pass: every control placed in proportion to the window
// (offline::ArrangeOfflineControls), rounded panels and buttons, captions fitted. It
// moves and sizes controls only; no plot is redrawn.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QFontMetricsF>
#include <QPushButton>
#include <algorithm>

#include "ui/controls.h"
#include "offline/forms/frm_offline.h"
#include "offline/offline_layout.h"
#include "ui/caption_fit.h"
#include "ui/fit_button.h"
#include "ui/frame.h"
#include "ui/window_shape.h"

namespace offline {

void Frm_offline::ArrangeControls() {
  const OfflineLayout layout =
      ArrangeOfflineControls(client->width(), client->height(), combogrup->sizeHint().height());
  for (const ui::Placement& p : layout.controls) {
    const auto found = placed_.find(p.name);
    if (found == placed_.end()) continue;
    QWidget* w = found->second;
    w->setGeometry(p.rect.x, p.rect.y, p.rect.width, p.rect.height);
  }
  ui::RoundFormCorners(*PicPanel1);
  ui::RoundFormCorners(*PicPanel2);
  ui::RoundControl(*cmd_lupa);
  for (QWidget* b :
       std::initializer_list<QWidget*>{Cmd_report, Cmd_main, Cmd_leegroups, cmdchannels})
    ui::RoundButton(*b);
  for (QWidget* w :
       std::initializer_list<QWidget*>{lbl_orden, lbl_date, lblproject, lbl_tagplot, chk_bmp,
                                       Label_page, lbl_binsize, lbl_threshold, lblset,
                                       Combo_sets})
    ui::FitCaption(*w);
  FitSetsRow();
  FitDetailsBox();
  ArrangeRawViews();
  Listpj->repaint();
  ui::DrawRoundedFrame(*PicPanel1);
  ui::DrawRoundedFrame(*PicPanel2);
}

// The group editor's set chooser shows its widest set whole: it takes the room the
// "SET:" label and the Go button leave in their row (the button as wide as its caption,
// at the frame's right); when that is still too narrow, the button goes under the
// chooser, which then reaches the frame's right, and the group list starts below it.
// It starts again from the table's places, so it runs whenever the sets change.
void Frm_offline::FitSetsRow() {
  const OfflineLayout layout =
      ArrangeOfflineControls(client->width(), client->height(), combogrup->sizeHint().height());
  for (QWidget* w : std::initializer_list<QWidget*>{lblset, Combo_sets, cmd_goset, combogrup2}) {
    const ui::PixelRect r = layout.Find(w->objectName().toStdString())->rect;
    w->setGeometry(r.x, r.y, r.width, r.height);
  }
  const int right = Framegrup->contentsRect().right() - 2;
  const int go_width = std::min(cmd_goset->width(), ui::CaptionWidth(*cmd_goset) + 4);
  cmd_goset->setGeometry(right - go_width + 1, cmd_goset->y(), go_width, cmd_goset->height());
  const int left = std::min(Combo_sets->x(), lblset->x() + ui::CaptionWidth(*lblset) + 4);
  lblset->resize(std::min(lblset->width(), left - 2 - lblset->x()), lblset->height());
  const auto span_to = [&](int last) {
    Combo_sets->setGeometry(left, Combo_sets->y(), last - left + 1, Combo_sets->height());
    ui::FitCaption(*Combo_sets);
    return ui::CaptionWidth(*Combo_sets) <= Combo_sets->width();
  };
  if (span_to(cmd_goset->x() - 3)) return;
  span_to(right);
  const int go_top = Combo_sets->geometry().bottom() + 3;
  cmd_goset->move(cmd_goset->x(), go_top);
  const int list_top = std::max(combogrup2->y(), cmd_goset->geometry().bottom() + 5);
  combogrup2->setGeometry(combogrup2->x(), list_top, combogrup2->width(),
                          std::max(0, combogrup2->geometry().bottom() + 1 - list_top));
}

void Frm_offline::FitDetailsBox() {
  QFont font = QFont();
  // The text ends with a line break: the empty line after it need not show.
  QStringList lines = txt_pj_details->toPlainText().split('\n');
  while (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
  const QMargins frame = txt_pj_details->contentsMargins();
  const double margin = 2 * txt_pj_details->document()->documentMargin() + frame.top() + frame.bottom();
  const double room_x = txt_pj_details->width() - 2 * txt_pj_details->document()->documentMargin() -
                        frame.left() - frame.right();
  const auto fits = [&](const QFont& f) {
    const QFontMetricsF m(f);
    for (const QString& line : lines)
      if (m.horizontalAdvance(line) > room_x) return false;
    return m.lineSpacing() * lines.size() + margin <= txt_pj_details->height();
  };
  while (font.pointSizeF() - 0.5 >= ui::kReadablePoints && !fits(font))
    font.setPointSizeF(font.pointSizeF() - 0.5);
  txt_pj_details->setFont(font);
  // A scroll bar would cover the lines' ends, and there is nothing more to scroll to.
  txt_pj_details->setVerticalScrollBarPolicy(fits(font) ? Qt::ScrollBarAlwaysOff
                                                        : Qt::ScrollBarAsNeeded);
}

}  // namespace offline
