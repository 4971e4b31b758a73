#include "reports/forms/frm_report.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QRadioButton>

namespace reports {

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

}  // namespace reports
