#pragma once
// The report window and the report settings dialog in a started program: the main
// window (which carries "User Defined BIN size") is started once for the suite; each
// test gets scripted boxes, a recording launcher, a fixed clock and freshly loaded
// report windows, and a synthetic run folder "20261206_1000" of project 1.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "mainwindow/frm_main.h"
#include "mainwindow/mainwindow_fixture.h"
#include "platform/clock.h"
#include "platform/launcher.h"
#include "reports/forms/frm_report.h"
#include "reports/forms/frm_reportset.h"
#include "reports/run_folder.h"
#include "storage/run_files.h"
#include "storage/shared_state.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

namespace reports_test {

class ReportWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    storage::ResetSharedState();
    ui::ResetProgramEnd();
    mainwindow::Frm_Main::SetCommandLine("");
    home_ = new testsupport::TempProgramFolder;
    const std::filesystem::path& home = home_->path();
    std::filesystem::copy_file(testsupport::SourceDir() / "data" / "w96.dat", home / "w96.dat");
    testsupport::WriteBytes(home / "config.dat", mainwindow_test::ConfigBytes(1, 1, 4));
    auto& s = storage::Shared();
    const auto project = home / "p00001";
    std::filesystem::create_directories(project);
    s.Actual_Project_Number = 1;
    s.Project_Name = "Worms";
    s.Plate_format = "w96";
    s.Working_folder = project.string() + "/";
    storage::SaveProjectSetup(project.string(), 1, -1);
    storage::ResetSharedState();
    testsupport::ScriptedDialogs quiet;
    quiet.AllowAnyOk();
    ui::Default<mainwindow::Frm_Main>();
  }
  static void TearDownTestSuite() {
    mainwindow_test::UnloadWindows();
    storage::ResetSharedState();
    delete home_;
    home_ = nullptr;
  }

  void SetUp() override {
    platform::SetClock(&clock_);
    platform::SetLauncher(&launcher_);
    storage::Shared().Acq_State = 0;
    // Each test stores its own settings; without them the windows load the defaults.
    Main().mn_userbin->setChecked(false);
    std::filesystem::remove(home() / "repoconf.dat");
    WritePlateFile(home());
    run_ = home() / "p00001" / "20261206_1000";
    std::filesystem::remove_all(run_);
    texts_.run_name = "Day 1";
  }
  void TearDown() override {
    reports::SetRawDataTools(nullptr);
    ui::Unload<reports::frm_report>();
    ui::Unload<reports::frm_reportset>();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    platform::SetLauncher(nullptr);
    platform::SetClock(nullptr);
  }

  static const std::filesystem::path& home() { return home_->path(); }
  static mainwindow::Frm_Main& Main() { return ui::Default<mainwindow::Frm_Main>(); }

  // repoconf.dat with these values after the header, and the menu item's check mark.
  static std::string ConfigFile(const std::string& values) {
    return Lines(
        {"\"<User_defined>, <Bin>, <filetype>, <spacer>, <stdError>, <stdDev>, <n>, "
         "<out_format>, <organism>, <method>, <threshold>, <rawexport>\"",
         values});
  }
  static void StoreSettings(const std::string& values, bool user_bin) {
    testsupport::WriteBytes(home() / "repoconf.dat", ConfigFile(values));
    Main().mn_userbin->setChecked(user_bin);
  }
  static std::string StoredSettings() { return testsupport::ReadBytes(home() / "repoconf.dat"); }

  // The synthetic run: 60 one-minute records on the 2 x 2 test plate.
  void RecordRun() {
    WriteRunTexts(run_, texts_);
    AppendCounts(
        run_, 60, [](int r) { return r + 1; }, [](int, int ch) { return ch < 20 ? 10 : 0; },
        [](int) { return 250; });
  }
  // Blocks of zero levels, eleven to a file.
  void WriteRawBlocks(int blocks) {
    for (int f = 0; f * 11 < blocks; ++f) {
      const size_t in_file = static_cast<size_t>(std::min(11, blocks - f * 11));
      testsupport::WriteBytes(run_ / storage::RawFileName(f),
                              std::string(storage::RawBlockRecordBytes(500) * in_file, '\0'));
    }
  }
  // Polls a re-analysis under way until it has ended, as the window's timer does, however
  // long a busy machine takes.
  static void FinishReanalysis(reports::frm_report& w) {
    while (w.ReanalysisRunning()) {
      w.Timerreanalysis_Timer();
      if (w.ReanalysisRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  // The report window on the run, as the main window opens it.
  reports::frm_report& OpenOn(const std::filesystem::path& run, const char* bin = "30") {
    auto& w = ui::Default<reports::frm_report>();
    w.Cmb_binsize->setCurrentText(bin);
    w.Txt_inputfile->setText(QString::fromStdString(run.string()));
    return w;
  }

  static inline testsupport::TempProgramFolder* home_ = nullptr;
  platform::ManualClock clock_{platform::WallTime{2026, 12, 6, 10, 30, 0}};
  platform::RecordingLauncher launcher_;
  testsupport::ScriptedDialogs dialogs;
  RunTexts texts_;
  std::filesystem::path run_;
};

}  // namespace reports_test
