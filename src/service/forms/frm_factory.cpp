#include "service/forms/frm_factory.h"

#include "mainwindow/frm_main.h"
#include "mainwindow/program_end.h"

namespace service {

Frm_Factory::Frm_Factory() : PlaceholderWindow("Factory settings") { Timer_temp.setInterval(1000); }

void Frm_Factory::Form_Unload() {
  Timer_temp.stop();
  if (!mainwindow::ProgramEnded() && ui::IsLoaded<mainwindow::Frm_Main>()) {
    ui::Default<mainwindow::Frm_Main>().Show();
  }
}

}  // namespace service
