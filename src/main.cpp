// The Quenlar acquisition program. The main window's load starts everything: the
// configuration check, the start window, the project, and with "/run" an unattended
// run. Without a screen the program runs on Qt's offscreen platform, answers its own
// boxes (logged to standard error) and ends once an unattended run is over.
#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <string>

#include "mainwindow/connection_glue.h"
#include "mainwindow/frm_main.h"
#include "ui/program_end.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/program_folder.h"
#include "platform/shutdown.h"
#include "storage/project_folders.h"
#include "ui/events.h"
#include "ui/form.h"
#include "ui/qt_dialogs.h"

namespace {

bool HasDisplay() {
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wayland && *wayland);
}

bool IsHeadlessPlatform() {
  const QString name = QGuiApplication::platformName();
  return name == "offscreen" || name == "minimal";
}

}  // namespace

int main(int argc, char** argv) {
  if (!HasDisplay() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  // Title bars of windows and boxes without a title of their own show this name.
  QApplication::setApplicationDisplayName("Quenlar");
  // Windows are hidden and shown, never the last one closed: the program ends itself.
  QApplication::setQuitOnLastWindowClosed(false);
  platform::InitProgramFolder(argv[0]);
  // What a kill during a rewrite left behind is never the file of record.
  storage::RemoveStaleTemporaries(platform::ProgramFolder());

  const bool headless = IsHeadlessPlatform();
  ui::QtDialogs screen_dialogs;
  if (!headless) platform::SetDialogs(&screen_dialogs);
  // While a file opener is given time to fail, the windows paint; clicks wait.
  platform::SetLaunchWaitHook([] { ui::DoEvents(false); });

  std::string command_line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) command_line += ' ';
    command_line += argv[i];
  }
  mainwindow::Frm_Main::SetCommandLine(command_line);

  // SIGTERM and SIGINT: outputs off, port closed, no questions.
  platform::InstallShutdownSignals();
  platform::AddShutdownHook([] {
    if (ui::IsLoaded<mainwindow::Frm_Main>()) {
      ui::Default<mainwindow::Frm_Main>().ShutdownRun();
    } else {
      mainwindow::ClosePort();
    }
  });
  QTimer shutdown_poll;
  QObject::connect(&shutdown_poll, &QTimer::timeout, [] {
    if (!platform::ShutdownRequested()) return;
    platform::RunShutdownHooks();
    ui::EndProgram(0);
  });
  shutdown_poll.start(100);

  auto& main_window = ui::Default<mainwindow::Frm_Main>();
  main_window.SetExitWhenRunEnds(headless);
  int code = 0;
  if (!ui::ProgramEnded()) code = app.exec();
  platform::RunShutdownHooks();
  platform::SetDialogs(nullptr);
  return ui::ProgramEnded() ? ui::ProgramExitCode() : code;
}
