#pragma once
// quenlar-screens draws the program's windows, in named states, into PNG files: the
// program runs in a scratch program folder on the offscreen platform, with the
// simulated instrument on COM4 and a clock that moves only when told to. The states
// and how to add one are in states.cpp; scripts/screens.sh builds and runs it.
#include <QImage>
#include <QWidget>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "instrument-sim/sim_server.h"
#include "platform/clock.h"
#include "platform/dialogs.h"

namespace mainwindow {
class Frm_Main;
}

namespace screens {

// Answers every box as a user getting on with the job would, and logs it to standard
// error: OK; the answer queued for a question or a prompt whose text starts with a
// given prefix (the first one queued is used and dropped); otherwise No, and the
// default text of an input box.
class Answers final : public platform::Dialogs {
 public:
  void Queue(std::string prefix, std::string answer) {
    queued_.emplace_back(std::move(prefix), std::move(answer));
  }
  void MsgBox(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  Answer AskYesNoCancel(const std::string& text) override;
  std::optional<std::string> InputBox(const std::string& prompt,
                                      const std::string& default_text) override;

 private:
  std::optional<std::string> Take(const std::string& text);
  std::deque<std::pair<std::string, std::string>> queued_;
};

// The program as a user drives it, one stage after another. Each stage does the
// stages before it first (so a state can ask for the stage it needs whatever ran
// before it) and returns the main window. The program only moves forward: a state
// that needs an earlier stage than the one reached must come earlier in the table.
class Program {
 public:
  // Project 1 "Screens" on the 96-well plate "w96u" (body-bends mode works there),
  // its 12 columns as groups 0..11, a 5-minute recorded run.
  explicit Program(std::filesystem::path data_dir);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Start-up over: the start window waits for a choice.
  mainwindow::Frm_Main& Started();
  // The main window shown from the start window, the instrument not yet connected.
  mainwindow::Frm_Main& MainOpen();
  // Connected to the simulated instrument.
  mainwindow::Frm_Main& Connected();
  // A run two bins in, in body-bends mode, the temperature and light frames shown.
  mainwindow::Frm_Main& Running();
  // The run ended by itself at its lapse.
  mainwindow::Frm_Main& Ended();

  // Acquisition ticks, 30 ms apart on the program's clock (the window's own timer is
  // kept stopped, so what is drawn does not depend on the machine's speed).
  void Ticks(int count);
  // Moves the program's clock on.
  void Advance(int64_t ms) { clock_.Advance(ms); }
  // Lets the window events run until nothing is left.
  static void Settle();

  Answers& answers() { return answers_; }
  // The simulated instrument, for states that need it to answer otherwise.
  sim::SimServer& sim() { return sim_; }
  const std::filesystem::path& folder() const { return folder_; }

 private:
  enum class Stage { kNone, kStarted, kMainOpen, kConnected, kRunning, kEnded };
  void MakeProgramFolder();

  std::filesystem::path data_dir_;
  std::filesystem::path folder_;
  platform::ManualClock clock_;
  Answers answers_;
  sim::SimServer sim_;
  Stage stage_ = Stage::kNone;
};

// One window to draw; `name` is added to the state's name in the file name (empty
// for the state's only window). A state that shows a passing moment (a progress
// frame during a call) grabs the window itself into `image`.
struct Shot {
  std::string name;
  QWidget* window = nullptr;
  QImage image;
};
using Shots = std::vector<Shot>;

struct State {
  const char* name;  // file name part: letters, digits and '-'
  const char* what;  // one line for --list
  Shots (*put)(Program&);
};

// Every state, in the order they are drawn.
const std::vector<State>& States();

}  // namespace screens
