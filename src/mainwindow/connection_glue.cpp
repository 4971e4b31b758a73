#include "mainwindow/connection_glue.h"

#include "link/comm_port.h"

namespace mainwindow {

void ClosePort() { devlink::CommCloseAll(); }

}  // namespace mainwindow
