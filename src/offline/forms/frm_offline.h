#pragma once
// The offline browser: recorded projects and runs listed from the program folder, a
// chosen run loaded from its own folder, and its group activity drawn as bars, a
// plate grid, lines over time, or kinetics across the project's tagged runs, with the
// joint report and picture exports. The channel signal view with its re-analysis
// (frm_offline_raw.cpp) and the path tracking (frm_offline_track.cpp) work on the same
// loaded run and plot picture, as do the run management commands and the group
// editor of a recorded run, whose buttons and menus lead to hooks here.
#include <QTimer>
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "offline/group_activity.h"
#include "offline/loaded_run.h"
#include "offline/offline_plots.h"
#include "offline/path_tracking.h"
#include "offline/raw_pages.h"
#include "offline/run_catalogue.h"
#include "offline/watched_folders.h"
#include "ui/caption_label.h"
#include "ui/form.h"
#include "ui/picture_box.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;

namespace ui {
class Frame;
}
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;

namespace ui {
class ClickLabel;
}

namespace offline {

class Frm_offline : public ui::Form {
  Q_OBJECT

 public:
  Frm_offline();
  ~Frm_offline() override;

  void Form_Load() override;
  void Form_Unload() override;
  void Form_Resize() override;
  void ArrangeControls();
  // The back button: the start window again.
  void Cmd_main_Click();

  // ---- The list ----
  void FillProjectList(int16_t order);
  void RefreshProjectList() { FillProjectList(List_Order); }
  // The runs of Run_List_Folder, when run management has put a folder there.
  void ListRunsOfFolder(int16_t order);
  void lbl_date_Click();
  void lblproject_Click();
  void lbl_date_MouseMove();
  void lblproject_MouseMove();
  void Timer_button_Timer();
  void Listpj_DblClick();
  void Listpj_KeyPress(int key);
  void Listpj_MouseDown(int button);
  void cmd_lupa_Click();
  void txt_search_KeyPress(int key);
  void Txtfolder_Click(int index);
  // Typing in the description box marks it edited; leaving it saves it to the loaded
  // run's folder.
  void Txt_description_Change();
  void Txt_description_LostFocus();
  // The list line of a project or run folder; -1 when the list does not show it.
  int LineOfFolder(const std::filesystem::path& folder) const;
  void EnableBrowserControls();
  void DisableBrowserControls();

  // ---- The loaded run ----
  // Loads a run folder whole; on a failure says why and keeps the run loaded before.
  bool LoadRun(const std::filesystem::path& run_folder, int list_index,
               const std::string& project_text);
  bool RunLoaded() const { return run_loaded_; }
  const LoadedRun& Run() const { return run_; }
  void FillWellAndGroupCombos();
  void ShowProjectDetails(int index, const std::string& project_text);
  void List_tags_DblClick();

  // ---- The group activity plots ----
  void Cmd_leegroups_Click();
  void Cmd_barplot_Click();
  void Cmd_gridplot_Click();
  void Cmd_lineplot_Click();
  void DrawGroupBars();
  void DrawGridPlot();
  // Lines of the loaded run in bins of `bin` minutes, or with `tag_list` the kinetics
  // of the tagged runs, and the joint report when `report` is set.
  void DrawLinePlot(int32_t bin, const std::string& tag_list, bool report);
  void lstgrup_plot_DblClick();
  void lstgrup_plot_KeyPress(int key);
  void cmd_minus_Click();
  void cmd_plus_Click();
  void mnrel0_Click();
  void mn_jointexport_Click();
  void bmpexporta_Click();
  void mn_jointbmp_Click();
  void mn_linebmp_Click();
  void mn_platebmp_Click();
  // The right button on the plot picture opens the menu of the view shown.
  void Picreal_MouseDown(int button, int shift, double x, double y);
  const ActivityTables& Tables() const { return tables_; }

  // ---- Views and commands built on this window's loaded run and picture ----
  void Cmd_report_Click();
  void mn_plateedit_Click();

  // ---- The channel signal view and its re-analysis (frm_offline_raw.cpp) ----
  void cmdchannels_Click();
  void CountSignalPages();
  void ShowPageControls(bool visible);
  void scrollpage_Change();
  void Combocol_Click();
  void Combofila_Click();
  void combogrup_Click();
  void lstgrup_DblClick();
  void lstgrup_KeyPress(int key);
  void asciiexporta_Click();
  void Cmd_analyze_Click();
  // The channel the well choice names (lblcanal), -1 when none is chosen.
  int ChosenChannel() const;
  const RawFiles& SignalFiles() const { return raw_files_; }
  const RawPage& SignalPage() const { return raw_page_; }
  int Current_Page = 1;
  int Page_Count = 0;

  // ---- Path tracking (frm_offline_track.cpp) ----
  void cmd_track_Click();
  void Timer_play_Timer();
  void mn_bmptrack_Click();
  void mn_datatrack_Click();
  const PathTracker* Tracker() const { return tracker_.get(); }

  // ---- Fields of the window ----
  int16_t List_Order = 1;        // 1: last folder first ("^"), 0: first folder first ("v")
  int16_t Chosen_Line_Kind = 0;  // 0 project line (or a fresh list), 1 run line
  int16_t View_Mode = 0;  // 0 bars, 1 channel signal, 3 group editor, 4 lines, 5 grid, 6 tracking
  int Restore_Index = 0;  // the line lblproject_Click selects again
  bool Description_Edited = false;
  std::string Search_Text;
  int Bar_First_Item = 0;
  bool Tag_Mode = false;
  std::string Tag_List;
  // A folder whose runs the order toggle lists instead of the projects (set by the run
  // management commands; empty: the projects).
  std::filesystem::path Run_List_Folder;

  // ---- Controls ----
  QMenuBar* menu_bar = nullptr;
  QWidget* client = nullptr;
  QMenu* mnwatching = nullptr;
  std::array<QAction*, kWatchedFolders> Txtfolder{};
  // Pop-up menus: the list's, and one for each plot view.
  QMenu* mnrename = nullptr;
  QMenu* mnexporta = nullptr;
  QAction* bmpexporta = nullptr;
  QAction* asciiexporta = nullptr;
  QMenu* mnline = nullptr;
  QAction* mn_linebmp = nullptr;
  QMenu* mnrelativize = nullptr;
  QAction* mnrel0 = nullptr;
  QAction* mn_jointbmp = nullptr;
  QAction* mn_jointexport = nullptr;
  QMenu* Mnplate = nullptr;
  QAction* mn_platebmp = nullptr;
  QAction* mn_plateedit = nullptr;
  QMenu* mntrack = nullptr;
  QAction* mn_bmptrack = nullptr;
  QAction* mn_datatrack = nullptr;

  QLabel* lbl_pj_title = nullptr;
  QLabel* lbl_subpj_title = nullptr;
  QPlainTextEdit* txt_pj_details = nullptr;
  QPlainTextEdit* Txt_description = nullptr;
  QPushButton* Cmd_report = nullptr;
  QPushButton* Cmd_main = nullptr;

  ui::PictureBox* PicPanel1 = nullptr;
  ui::ClickLabel* lbl_orden = nullptr;
  ui::ClickLabel* lbl_date = nullptr;
  ui::ClickLabel* lblproject = nullptr;
  QLineEdit* txt_search = nullptr;
  QPushButton* cmd_lupa = nullptr;
  QListWidget* Listpj = nullptr;

  ui::PictureBox* PicPanel2 = nullptr;
  ui::PictureBox* Picreal = nullptr;
  ui::Frame* frame_plotbutton = nullptr;
  QPushButton* Cmd_barplot = nullptr;
  QPushButton* Cmd_gridplot = nullptr;
  QPushButton* Cmd_lineplot = nullptr;
  QPushButton* cmd_track = nullptr;
  QCheckBox* chk_bmp = nullptr;
  QPushButton* Cmd_cloud = nullptr;
  QLabel* lbl_tagplot = nullptr;
  QListWidget* List_tags = nullptr;
  QLabel* Label_page = nullptr;
  QLineEdit* Txtpage = nullptr;
  QScrollBar* scrollpage = nullptr;
  ui::Frame* Frame_bisize = nullptr;
  QLabel* lbl_binsize = nullptr;
  QPushButton* cmd_minus = nullptr;
  QLineEdit* txt_binsize = nullptr;
  QPushButton* cmd_plus = nullptr;

  ui::Frame* framecanal = nullptr;
  QPushButton* Cmd_leegroups = nullptr;
  QPushButton* cmdchannels = nullptr;
  QComboBox* combogrup = nullptr;
  QListWidget* lstgrup = nullptr;
  QListWidget* lstgrup_plot = nullptr;
  ui::PictureBox* Pic_status = nullptr;
  ui::Frame* fmranalizar = nullptr;
  QLabel* lbl_threshold = nullptr;
  QLineEdit* frmtxt_threshold = nullptr;
  QComboBox* cmb_modeanalisis = nullptr;
  QPushButton* Cmd_analyze = nullptr;
  // The well choice of the channel view, in its frame beside the page bar.
  ui::Frame* frame_well = nullptr;
  QLabel* lbl_well = nullptr;
  QLabel* lbl_beam = nullptr;
  QLabel* lbl_channel = nullptr;
  QComboBox* Combofila = nullptr;
  QComboBox* Combocol = nullptr;
  QLineEdit* txtsub = nullptr;
  ui::CaptionLabel* lblcanal = nullptr;

  // The group editor's frame, on the place of framecanal.
  ui::Frame* Framegrup = nullptr;
  QPushButton* Cmd_clear = nullptr;
  QPushButton* cmdcancelgrups = nullptr;
  QLabel* lblset = nullptr;
  QComboBox* Combo_sets = nullptr;
  QPushButton* cmd_goset = nullptr;
  QListWidget* combogrup2 = nullptr;

  QTimer Timer_button;
  QTimer Timer_play;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void BuildControls();
  void ConnectHandlers();
  // The list's lines as the catalogue holds them.
  void ShowCatalogue();
  void SelectLine(int index);
  void LoadRunLine(int index);
  void SaveDescription();
  void PaintPicture(const PlotPicture& picture);
  void ExportPicture(const char* file_name);
  void ShowLoadProgress(size_t done, size_t total);
  void WriteJointReport(const std::string& header_text, const std::string& data_text);
  void SetCaptionColour(QLabel* label, int32_t colour);
  std::vector<std::string> PlotItems() const;
  int32_t BinBoxValue() const;
  // "<name> is not available yet." for the views built later.
  void NotAvailable(const std::string& name);
  // The raw views' controls, menus and wiring; their places beyond the layout's.
  void BuildRawViews();
  void ArrangeRawViews();
  // The raw views read the run loaded now; false (with a message) when they cannot.
  bool RawViewsAllowed();
  void SyncChosenChannel();
  void FillGroupList();
  void LoadSignalPage(int page);
  void DrawSignalPage();
  // While a page loads or a track is run through, the controls that could start
  // other work are disabled (and enabled again as they were).
  void SetRawBusy(bool busy);
  void PrepareTrack();
  void StartPlayback();
  void ComputeTrack(bool draw);
  double TrackThreshold();

  RunCatalogue catalogue_;
  WatchedFolders folders_;
  LoadedRun run_;
  bool run_loaded_ = false;
  ActivityTables tables_;
  // The raw views' state: the files and page of `raw_run_` (the run whose damage was
  // last told too), and the track.
  std::filesystem::path raw_run_;
  RawFiles raw_files_;
  RawPage raw_page_;
  std::filesystem::path problems_shown_for_;
  bool raw_busy_ = false;
  std::vector<std::pair<QWidget*, bool>> busy_disabled_;
  std::unique_ptr<PathTracker> tracker_;
  bool pictures_failed_ = false;
  // Every control the layout places, by name.
  std::map<std::string, QWidget*> placed_;
};

}  // namespace offline
