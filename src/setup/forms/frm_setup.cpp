#include "setup/forms/frm_setup.h"

#include <QGroupBox>
#include <QLayout>
#include <QPlainTextEdit>

#include "mainwindow/frm_init.h"
#include "mainwindow/program_end.h"

namespace setup {

Frm_setup::Frm_setup() : PlaceholderWindow("Project setup") {
  Txt_description = new QPlainTextEdit(this);
  layout()->addWidget(Txt_description);
  frm_advance = new QGroupBox("Annotations", this);
  layout()->addWidget(frm_advance);
}

void Frm_setup::Form_Unload() {
  if (!mainwindow::ProgramEnded() && ui::IsLoaded<mainwindow::Frm_Init>()) {
    ui::Default<mainwindow::Frm_Init>().Show();
  }
}

}  // namespace setup
