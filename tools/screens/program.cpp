#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "ui/controls.h"
#include "mainwindow/frm_init.h"
#include "mainwindow/frm_main.h"
#include "ui/program_end.h"
#include "platform/program_folder.h"
#include "screens.h"
#include "storage/plate_layout.h"
#include "storage/project_folders.h"
#include "storage/report_settings.h"
#include "storage/setup_file.h"
#include "storage/shared_state.h"

namespace screens {

namespace fs = std::filesystem;

// ---- Answers ----

std::optional<std::string> Answers::Take(const std::string& text) {
  for (auto it = queued_.begin(); it != queued_.end(); ++it) {
    if (text.rfind(it->first, 0) == 0) {
      std::string answer = it->second;
      queued_.erase(it);
      return answer;
    }
  }
  return std::nullopt;
}

void Answers::MsgBox(const std::string& text) { std::fprintf(stderr, "[box] %s\n", text.c_str()); }

bool Answers::AskYesNo(const std::string& text) {
  const bool yes = Take(text).value_or("no") == "yes";
  std::fprintf(stderr, "[question, %s] %s\n", yes ? "Yes" : "No", text.c_str());
  return yes;
}

platform::Dialogs::Answer Answers::AskYesNoCancel(const std::string& text) {
  const std::string a = Take(text).value_or("no");
  std::fprintf(stderr, "[question, %s] %s\n", a.c_str(), text.c_str());
  if (a == "yes") return Answer::kYes;
  if (a == "cancel") return Answer::kCancel;
  return Answer::kNo;
}

std::optional<std::string> Answers::InputBox(const std::string& prompt,
                                             const std::string& default_text) {
  const std::string a = Take(prompt).value_or(default_text);
  std::fprintf(stderr, "[input, \"%s\"] %s\n", a.c_str(), prompt.c_str());
  return a;
}

// ---- Program ----

namespace {

constexpr int kCom = 4;
constexpr int kTickMs = 30;
constexpr int kBinTicks = 500;

void WriteText(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace

Program::Program(fs::path data_dir) : data_dir_(std::move(data_dir)) {
  std::string templ = (fs::temp_directory_path() / "quenlar-screens-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("no scratch folder");
  folder_ = templ;
  platform::SetProgramFolder(folder_);
  platform::SetClock(&clock_);
  platform::SetDialogs(&answers_);
  MakeProgramFolder();
  std::string error;
  if (!sim_.Start(folder_, kCom, &error)) throw std::runtime_error("simulator: " + error);
}

Program::~Program() {
  sim_.Stop();
  platform::SetDialogs(nullptr);
  platform::SetClock(nullptr);
  platform::SetProgramFolder({});
  std::error_code ec;
  if (!std::getenv("QUENLAR_SCREENS_KEEP")) fs::remove_all(folder_, ec);
}

void Program::MakeProgramFolder() {
  for (const auto& entry : fs::directory_iterator(data_dir_)) {
    if (entry.path().extension() == ".dat")
      fs::copy_file(entry.path(), folder_ / entry.path().filename());
  }
  WriteText(folder_ / "config.dat",
            "\"Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>\"\r\n"
            "1,1," +
                std::to_string(kCom) + ",0\r\n");

  auto& s = storage::Shared();
  storage::ResetSharedState();
  if (!storage::SaveReportConfig(0)) throw std::runtime_error("cannot write repoconf.dat");

  const fs::path project = folder_ / storage::ProjectFolderName(1);
  fs::create_directories(project);
  s.Actual_Project_Number = 1;
  s.Project_Name = "Screens";
  s.Plate_format = "w96u";
  s.Working_folder = project.string() + "/";
  s.Aq_lapse = 5;
  s.Save_real = 0;
  s.MnAt(1, 1) = 0;  // no calibration or zeroing at the start
  s.MnAt(1, 2) = 0;
  s.MnAt(2, 0) = 1;
  s.MnAt(3, 0) = 1;
  storage::ApplyPlateLayout(storage::BuiltInPlateLayout("w96u"));
  // One group per plate column.
  s.Group.fill(-1);
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    const int well = s.Channel_Well[static_cast<std::size_t>(ch)];
    if (well >= 0 && s.Plate_Rows > 0)
      s.Group[static_cast<std::size_t>(ch)] = int16_t(well / s.Plate_Rows);
  }
  if (!storage::SaveProjectSetup(project.string(), 1, -1))
    throw std::runtime_error("cannot write the project");
  storage::ResetSharedState();
}

void Program::Settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
}

mainwindow::Frm_Main& Program::Started() {
  auto& main = ui::Default<mainwindow::Frm_Main>();
  if (stage_ == Stage::kNone) {
    if (ui::ProgramEnded()) throw std::runtime_error("the program ended at its start");
    stage_ = Stage::kStarted;
    Settle();
  }
  return main;
}

mainwindow::Frm_Main& Program::MainOpen() {
  auto& main = Started();
  if (stage_ < Stage::kMainOpen) {
    // "Run Latest Project" up to the point where it connects.
    ui::Default<mainwindow::Frm_Init>().hide();
    main.Show();
    stage_ = Stage::kMainOpen;
    Settle();
  }
  return main;
}

mainwindow::Frm_Main& Program::Connected() {
  auto& main = MainOpen();
  if (stage_ < Stage::kConnected) {
    main.cmd_connect_Click();
    if (!storage::Shared().Connected) throw std::runtime_error("the simulator did not answer");
    stage_ = Stage::kConnected;
    Settle();
  }
  return main;
}

mainwindow::Frm_Main& Program::Running() {
  auto& main = Connected();
  if (stage_ < Stage::kRunning) {
    ui::SetCheckValue(*main.chk_bodybends, 1);
    main.lght_ctl_Click();
    main.temp_ctl_Click();
    answers_.Queue("", "Screens run");
    main.CmdPlay_Click();
    main.Timeradq.stop();
    if (storage::Shared().Acq_State != 1) throw std::runtime_error("the run did not start");
    stage_ = Stage::kRunning;
    Ticks(2 * kBinTicks + 40);
  }
  return main;
}

mainwindow::Frm_Main& Program::Ended() {
  auto& main = Running();
  if (stage_ < Stage::kEnded) {
    if (storage::Shared().Acq_State == 2) main.CmdPause_Click();
    main.Timeradq.stop();
    Advance(int64_t(storage::Shared().Aq_lapse) * 60 * 1000);
    Ticks(kBinTicks + 1);
    if (storage::Shared().Acq_State != 0) throw std::runtime_error("the run did not end");
    stage_ = Stage::kEnded;
    Settle();
  }
  return main;
}

void Program::Ticks(int count) {
  auto& main = ui::Default<mainwindow::Frm_Main>();
  main.Timeradq.stop();
  for (int i = 0; i < count && main.engine().TimerEnabled(); ++i) {
    main.Timeradq_Timer();
    clock_.Advance(kTickMs);
    if (i % 100 == 99) Settle();
  }
  main.Timeradq.stop();
  Settle();
}

}  // namespace screens
