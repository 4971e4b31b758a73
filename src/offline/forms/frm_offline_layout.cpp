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

#include "ui/controls.h"
#include "offline/forms/frm_offline.h"
#include "offline/offline_layout.h"
#include "ui/caption_fit.h"
#include "ui/fit_button.h"
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
  FitDetailsBox();
  ArrangeRawViews();
  Listpj->repaint();
  ui::DrawRoundedFrame(*PicPanel1);
  ui::DrawRoundedFrame(*PicPanel2);
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
