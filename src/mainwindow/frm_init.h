#pragma once
// The start window: the hub the user chooses from once the program has started, and
// the window the others return to. Borderless, with four large rounded buttons and a
// status line about the instrument.
#include <string>

#include "storage/shared_state.h"
#include "ui/form.h"

class QLabel;
class QPushButton;

namespace mainwindow {

class Frm_Init : public ui::Form {
  Q_OBJECT

 public:
  Frm_Init();

  void Form_Load() override;
  void Form_Activate() override;

  // The four choices.
  void cmd_option1_Click() { OpenSetupWindow(); }
  void cmd_option2_Click() { OpenMainWindow(); }
  void cmd_option3_Click() { OpenOfflineWindow(); }
  void cmd_option4_Click() { QuitProgram(); }
  void Image1_DblClick();
  void Label1_DblClick() { Image1_DblClick(); }

  // The status line, repainted at once; `says_connected` marks a text that reports a
  // connection, which the next activation takes back once there is none.
  void SetNews(const std::string& text, bool says_connected = false);

  QPushButton* cmd_option1 = nullptr;
  QPushButton* cmd_option2 = nullptr;
  QPushButton* cmd_option3 = nullptr;
  QPushButton* cmd_option4 = nullptr;
  QLabel* LblNews = nullptr;
  QLabel* Label_version = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Image1 = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The window has no close box; a close from the window system is ignored, so the
  // start window stays loaded and its connection status with it.
  void closeEvent(QCloseEvent* event) override;

 private:
  void OpenSetupWindow();
  void OpenMainWindow();
  void OpenOfflineWindow();
  void QuitProgram();

  bool news_says_connected_ = false;
};

// Shown while a run goes on instead of leaving for a window that would disturb it.
inline constexpr const char* kRunningRefusal = storage::kRunningRefusal;

}  // namespace mainwindow
