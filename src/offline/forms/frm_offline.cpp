#include "offline/forms/frm_offline.h"

#include "mainwindow/frm_init.h"
#include "mainwindow/program_end.h"

namespace offline {

Frm_offline::Frm_offline() : PlaceholderWindow("Offline browser") {}

void Frm_offline::Form_Unload() {
  if (!mainwindow::ProgramEnded() && ui::IsLoaded<mainwindow::Frm_Init>()) {
    ui::Default<mainwindow::Frm_Init>().Show();
  }
}

}  // namespace offline
