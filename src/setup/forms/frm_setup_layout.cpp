// The setup window's layout pass: every control of the two panels placed in
// proportion to the window (setup::ArrangeSetupControls), rounded panels and buttons,
// the annotation grid and the plate picture redrawn.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "setup/forms/frm_setup.h"
#include "setup/setup_layout.h"
#include "ui/caption_fit.h"
#include "ui/window_shape.h"

namespace setup {

void Frm_setup::ArrangeControls() {
  const SetupLayout layout =
      ArrangeSetupControls(client->width(), client->height(), Combowell->sizeHint().height());
  for (const ui::Placement& p : layout.controls) {
    QWidget* parent =
        p.parent.empty() ? client : client->findChild<QWidget*>(QString::fromStdString(p.parent));
    QWidget* w = parent ? parent->findChild<QWidget*>(QString::fromStdString(p.name)) : nullptr;
    if (!w) continue;
    w->setGeometry(p.rect.x, p.rect.y, p.rect.width, p.rect.height);
    if (p.name == "PicPanel1" || p.name == "PicPanel2") ui::RoundFormCorners(*w);
  }
  Label_workingfolder->hide();
  Txtfolder->hide();
  ui::RoundControl(*cmd_goset);
  ui::RoundControl(*Command_main);
  ui::RoundControl(*Cmdoffline);
  ui::RoundButton(*cmdLoad);
  ui::RoundButton(*Cmdsavepj);
  ui::RoundButton(*Cmdnewpj);
  for (QWidget* w : std::initializer_list<QWidget*>{
           cmd_goset, cmd_annot_web, Cmd_clear, cmdLoad, Cmdsavepj, Cmdnewpj, chk_advance,
           Command_main, Cmdoffline, Cmd_cancel, lbl_listgrupos, chklight, chktemp,
           Check_saverealtime, Label_savereal, lbl_message, ComboDSP, Cmb_organism}) {
    ui::FitCaption(*w);
  }
  // The advanced options read at one size: the smallest their captions needed.
  {
    const std::initializer_list<QWidget*> captions{chklight, chktemp, Check_saverealtime,
                                                   Label_savereal, lbl_message};
    QFont font;
    for (const QWidget* w : captions)
      if (w->font().pointSizeF() < font.pointSizeF()) font = w->font();
    for (QWidget* w : captions) w->setFont(font);
    Combosavereal->setFont(font);
  }
  ShowAnnotationGrid();
  Frame_setup->show();
  // The project list lies over the settings frame while it is shown.
  frm_project->raise();

  Layout_Ready = 1;
  DrawPlateLayout();
  update();
  ui::DrawRoundedFrame(*PicPanel1);
  ui::DrawRoundedFrame(*PicPanel2);
}

}  // namespace setup
