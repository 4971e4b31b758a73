#include "mainwindow/connection_glue.h"

#include "link/comm_port.h"
#include "storage/shared_state.h"

namespace mainwindow {

void SearchForInstrument(const ConnectionProgress& progress) {
  storage::Shared().Offline_Mode = true;
}

void ReadFactoryRecord() {}

void ClosePort() { devlink::CommCloseAll(); }

}  // namespace mainwindow
