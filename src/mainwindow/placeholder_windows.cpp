#include "mainwindow/placeholder_windows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "mainwindow/frm_init.h"
#include "mainwindow/frm_main.h"
#include "mainwindow/program_end.h"

namespace mainwindow {

PlaceholderWindow::PlaceholderWindow(const QString& title) {
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  notice_ = new QLabel(title + " is not available yet.", this);
  layout->addWidget(notice_);
  resize(420, 160);
}

Frm_setup::Frm_setup() : PlaceholderWindow("Project setup") {
  Txt_description = new QPlainTextEdit(this);
  layout()->addWidget(Txt_description);
  frm_advance = new QGroupBox("Annotations", this);
  layout()->addWidget(frm_advance);
}

void Frm_setup::Form_Unload() {
  if (!ProgramEnded() && ui::IsLoaded<Frm_Init>()) ui::Default<Frm_Init>().Show();
}

frm_report::frm_report() : PlaceholderWindow("Report") {
  Cmb_binsize = new QComboBox(this);
  Cmb_binsize->setEditable(true);
  layout()->addWidget(Cmb_binsize);
  Txt_inputfile = new QLineEdit(this);
  layout()->addWidget(Txt_inputfile);
  const char* captions[5] = {"Groups", "Wells", "Channels", "Circadian",
                             "Histogram Body_bends (experimental)"};
  for (int i = 0; i < 5; ++i) {
    Option_output[i] = new QRadioButton(captions[i], this);
    layout()->addWidget(Option_output[i]);
  }
  Option_output[0]->setChecked(true);
  chk_autoreport = new QCheckBox("Auto report", this);
  layout()->addWidget(chk_autoreport);
}

void frm_report::Form_Activate() {
  // Nothing to generate yet: the automatic request is dropped and the window goes.
  if (chk_autoreport->isChecked()) {
    chk_autoreport->setChecked(false);
    hide();
  }
}

frm_reportset::frm_reportset() : PlaceholderWindow("Report settings") {}

Frm_offline::Frm_offline() : PlaceholderWindow("Offline browser") {}

void Frm_offline::Form_Unload() {
  if (!ProgramEnded() && ui::IsLoaded<Frm_Init>()) ui::Default<Frm_Init>().Show();
}

Frm_Tech_cal::Frm_Tech_cal() : PlaceholderWindow("Technical calibration") {}

void Frm_Tech_cal::Form_Unload() {
  if (!ProgramEnded() && ui::IsLoaded<Frm_Main>()) ui::Default<Frm_Main>().Show();
}

Frm_Factory::Frm_Factory() : PlaceholderWindow("Factory settings") { Timer_temp.setInterval(1000); }

void Frm_Factory::Form_Unload() {
  Timer_temp.stop();
  if (!ProgramEnded() && ui::IsLoaded<Frm_Main>()) ui::Default<Frm_Main>().Show();
}

}  // namespace mainwindow
