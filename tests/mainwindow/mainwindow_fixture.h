#pragma once
// A program folder with config.dat, the plate layouts and one saved project, scripted
// boxes, and the windows unloaded again after each test.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <filesystem>
#include <string>

#include "mainwindow/frm_about.h"
#include "mainwindow/frm_init.h"
#include "mainwindow/frm_main.h"
#include "offline/forms/frm_offline.h"
#include "reports/forms/frm_report.h"
#include "reports/forms/frm_reportset.h"
#include "service/forms/frm_factory.h"
#include "service/forms/frm_tech_cal.h"
#include "setup/forms/frm_setup.h"
#include "ui/program_end.h"
#include "mainwindow/startup.h"
#include "platform/launcher.h"
#include "platform/shutdown.h"
#include "storage/config_file.h"
#include "storage/project_folders.h"
#include "storage/report_settings.h"
#include "storage/setup_file.h"
#include "storage/shared_state.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

namespace mainwindow_test {

inline std::string ConfigBytes(int project, int last, int com) {
  return "\"Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>\"\r\n" +
         std::to_string(project) + "," + std::to_string(last) + "," + std::to_string(com) +
         ",0\r\n";
}

// Removes every window the program may have loaded, without the exit question.
inline void UnloadWindows() {
  storage::Shared().Offline_Mode = true;
  storage::Shared().Acq_State = 0;
  if (ui::IsLoaded<mainwindow::Frm_Main>()) {
    auto& w = ui::Default<mainwindow::Frm_Main>();
    w.Timerinicio.stop();
    w.Timeradq.stop();
  }
  ui::Unload<mainwindow::Frm_Main>();
  ui::Unload<mainwindow::Frm_Init>();
  ui::Unload<mainwindow::Frm_About>();
  ui::Unload<setup::Frm_setup>();
  ui::Unload<reports::frm_report>();
  ui::Unload<reports::frm_reportset>();
  ui::Unload<offline::Frm_offline>();
  ui::Unload<service::Frm_Tech_cal>();
  ui::Unload<service::Frm_Factory>();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ui::ResetProgramEnd();
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The windows' opens are recorded: a test never starts the desktop's programs.
    platform::SetLauncher(&launcher);
    storage::ResetSharedState();
    ui::ResetProgramEnd();
    mainwindow::Frm_Main::SetCommandLine("");
    for (const char* layout : {"w96.dat", "w96u.dat", "w32_flytube.dat"}) {
      std::filesystem::copy_file(testsupport::SourceDir() / "data" / layout, folder / layout);
    }
  }

  void TearDown() override {
    UnloadWindows();
    storage::SetProjectNewsHandler({});
    storage::ResetSharedState();
    platform::SetLauncher(nullptr);
  }

  // A saved project p<number> with the given name and plate; `edit` may change the
  // shared settings before they are written.
  template <class Edit>
  void MakeProject(int number, const std::string& name, const std::string& plate, Edit edit) {
    auto& s = storage::Shared();
    const auto path = folder / storage::ProjectFolderName(number);
    std::filesystem::create_directories(path);
    s.Actual_Project_Number = static_cast<int16_t>(number);
    s.Project_Name = name;
    s.Plate_format = plate;
    s.Working_folder = path.string() + "/";
    edit(s);
    ASSERT_TRUE(storage::SaveProjectSetup(path.string(), static_cast<int16_t>(number), -1));
    storage::ResetSharedState();
  }
  void MakeProject(int number, const std::string& name, const std::string& plate) {
    MakeProject(number, name, plate, [](storage::SharedState&) {});
  }

  void WriteConfig(int project, int com = 4) {
    testsupport::WriteBytes(folder / "config.dat", ConfigBytes(project, project, com));
  }

  void WriteReportConfig(int user_defined, int bin) {
    auto& s = storage::Shared();
    s.Bin = static_cast<int16_t>(bin);
    ASSERT_TRUE(storage::SaveReportConfig(static_cast<int16_t>(user_defined)));
    storage::ResetSharedState();
  }

  // Lets the event loop run until `done` or the time is up.
  template <class Done>
  static bool RunUntil(Done done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
  }

  // Runs the program's start-up (the main window's load).
  mainwindow::Frm_Main& Start() { return ui::Default<mainwindow::Frm_Main>(); }

  testsupport::TempProgramFolder folder;
  testsupport::ScriptedDialogs dialogs;
  platform::RecordingLauncher launcher;
};

}  // namespace mainwindow_test
