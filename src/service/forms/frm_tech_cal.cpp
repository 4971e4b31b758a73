#include "service/forms/frm_tech_cal.h"

#include "mainwindow/frm_main.h"
#include "ui/program_end.h"

namespace service {

Frm_Tech_cal::Frm_Tech_cal() : PlaceholderWindow("Technical calibration") {}

void Frm_Tech_cal::Form_Unload() {
  if (!ui::ProgramEnded() && ui::IsLoaded<mainwindow::Frm_Main>()) {
    ui::Default<mainwindow::Frm_Main>().Show();
  }
}

}  // namespace service
