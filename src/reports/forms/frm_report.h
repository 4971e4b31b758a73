#pragma once
// "Report Output": turns one recorded run into a report file. Its openers (the main
// window, the offline browser, the end of a run) put the run folder, the bin and the
// layout option into its controls and show it; "Generate..." runs the report engine.
// Activated with "Autoreport" ticked it makes the report by itself: the automatic
// chain, paced by Timerchain so the window thread never sleeps.
#include <QTimer>
#include <array>
#include <memory>
#include <string>

#include "reports/raw_data_tools.h"
#include "reports/report_engine.h"
#include "ui/form.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QRadioButton;

namespace reports {

class frm_report : public ui::Form {
  Q_OBJECT

 public:
  frm_report();

  void Form_Load() override;
  void Form_Activate() override;
  void Form_Unload() override;

  void Cmd_generate_Click();
  void Cmd_cancel_Click();
  void Cmb_organism_Click();
  void frmtxt_threshold_LostFocus();
  void Chk_rawexport_Click();
  void Chk_replacedata_Click();
  void Option_report_Click(int index);
  void mnrecalculate_Click();
  void cmd_runframe_Click();
  void cmd_stopframe_Click();
  void mncircadian_Click();

  // Polls a re-analysis under way (about ten times a second): its label, STOP, and its
  // end, which is finished here on the window's thread.
  void Timerreanalysis_Timer();
  bool ReanalysisRunning() const { return reanalysis_ != nullptr; }

  // One step of the automatic chain; the timer calls it, tests may too.
  void Timerchain_Timer();
  bool AutoReportRunning() const { return chain_step_ != ChainStep::kIdle; }

  // The window's content frame (the window's own name is the class's in C++).
  QGroupBox* frm_report_frame = nullptr;
  QLineEdit* Txt_inputfile = nullptr;
  QComboBox* Cmb_binsize = nullptr;
  std::array<QRadioButton*, 3> Option_report{};
  QLineEdit* txt_customspacer = nullptr;
  std::array<QRadioButton*, 5> Option_output{};
  std::array<QCheckBox*, 5> Chk_statistic{};
  QComboBox* cmbbasal = nullptr;
  QPushButton* Cmd_generate = nullptr;
  QPushButton* Cmd_cancel = nullptr;
  QCheckBox* chk_autoreport = nullptr;

  QGroupBox* Frame_run = nullptr;
  QComboBox* Cmb_organism = nullptr;
  QComboBox* Cmb_dspmethod = nullptr;
  QLineEdit* frmtxt_threshold = nullptr;
  QLineEdit* frmtxt_datalapse = nullptr;
  QCheckBox* Chk_replacedata = nullptr;
  QCheckBox* Chk_rawexport = nullptr;
  QPushButton* cmd_runframe = nullptr;
  QPushButton* cmd_stopframe = nullptr;
  QLabel* frmlbl_status = nullptr;

  QMenuBar* menu_bar = nullptr;
  QAction* mnadvance = nullptr;
  QAction* mnrecalculate = nullptr;
  QAction* mncircadian = nullptr;

  QTimer Timerchain;
  QTimer Timerreanalysis;

  // The report tables, SettingText and SettingOverride of this window.
  ReportEngine engine;
  bool StopAnalysis = false;

  // Window heights in twips: the report choices, after Cancel, with the raw frame.
  static constexpr int kLoadedHeight = 4100;
  static constexpr int kCancelledHeight = 3500;
  static constexpr int kRawFrameHeight = 6150;
  static constexpr int kReanalysisPollMs = 100;

 signals:
  // The automatic chain has ended (the window is hidden, the box unticked).
  void AutoReportDone();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Not while a re-analysis runs: its end is finished by this window.
  void closeEvent(QCloseEvent* event) override;

 private:
  enum class ChainStep { kIdle, kAfterReport, kRawPass, kRawWait, kFinish };
  void SetHeightTwips(int twips);
  ReportChoices ReadChoices() const;
  void RunRawPass();
  void FinishChain();
  void ArmChain(ChainStep next, int ms);
  // While a re-analysis runs only STOP can be used.
  void ShowReanalysisRunning(bool running);
  // Stops and forgets a re-analysis that is not being finished.
  void DropReanalysis();

  ChainStep chain_step_ = ChainStep::kIdle;
  bool chain_reported_ = false;
  std::unique_ptr<ReanalysisJob> reanalysis_;
  bool reanalysis_replaces_ = false;
  bool finishing_ = false;
};

}  // namespace reports
