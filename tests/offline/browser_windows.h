#pragma once
// The windows a browser test may have opened (the browser, the report window it hands
// runs to, the start window it returns to), unloaded and deleted after the test.
#include <QCoreApplication>
#include <QEvent>

#include "mainwindow/frm_init.h"
#include "offline/forms/frm_offline.h"
#include "reports/forms/frm_report.h"

namespace offline_test {

inline void UnloadBrowserWindows() {
  ui::Unload<offline::Frm_offline>();
  ui::Unload<reports::frm_report>();
  ui::Unload<mainwindow::Frm_Init>();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace offline_test
