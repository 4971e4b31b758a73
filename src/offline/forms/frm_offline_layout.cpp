// The browser's layout pass: every control placed in proportion to the window
// (offline::ArrangeOfflineControls), rounded panels and buttons, captions fitted. It
// moves and sizes controls only; no plot is redrawn.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "ui/controls.h"
#include "offline/forms/frm_offline.h"
#include "offline/offline_layout.h"
#include "ui/caption_fit.h"
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
                                       Label_page, lbl_binsize, lbl_threshold, lblset})
    ui::FitCaption(*w);
  ArrangeRawViews();
  Listpj->repaint();
  ui::DrawRoundedFrame(*PicPanel1);
  ui::DrawRoundedFrame(*PicPanel2);
}

}  // namespace offline
