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
#include "offline/group_editor.h"
#include "offline/loaded_run.h"
#include "offline/offline_plots.h"
#include "offline/page_reanalysis.h"
#include "offline/path_tracking.h"
#include "offline/raw_pages.h"
#include "offline/run_catalogue.h"
#include "offline/watched_folders.h"
#include "setup/group_picture.h"
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
  // The details box's font, made smaller (to the readable floor) until its lines show
  // without scrolling.
  void FitDetailsBox();
  // The group editor's set chooser shows its widest set whole (the Go button may go
  // under it); again whenever the sets change.
  void FitSetsRow();
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
  // run's folder. A click into the box forgets nothing typed: the box is filled
  // without the change handler, so the mark only ever stands for the user's typing.
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

  // ---- The list's pop-up menu and the report hand-off (frm_offline_menu.cpp) ----
  // They act on the list line's own folders; the report and "Plate Config" on the
  // loaded run's.
  void lst_rename_Click();
  void lst_explorefind_Click();
  void tagjk_Click(int index);
  void tagjr_Click(int) {}
  void lst_plateconfig_Click();
  void lst_delete_Click();
  void Cmd_report_Click();
  void mnadvanced_Click() { Cmd_report_Click(); }

  // ---- The group editor of the loaded run (frm_offline_groups.cpp) ----
  void mn_plateedit_Click() { OpenPlateEditor(); }
  void OpenPlateEditor();
  void DrawPlateEditor();
  void ClearGroups();
  void Picreal_MouseMove(int button, int shift, double x, double y);
  void Picreal_MouseUp(int button, int shift, double x, double y);
  void cmd_goset_Click();
  void Cmd_clear_Click();
  void cmdcancelgrups_Click();
  void combogrup2_Click();
  void combogrup2_DblClick();
  void combogrup2_KeyPress(int key);
  void FillEditorGroupCombo(int group);
  void ListGroupWells(int group);
  void FillEditorGroupLists();

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
  // The plot picture's text in the channel view's units, for the analysis's rows.
  PlotTextSize AnalysisTextSize() const;
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
  int16_t Editor_Opened = 0;  // 1 once the group editor has been opened

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
  QAction* lst_rename = nullptr;
  QAction* lst_explorefind = nullptr;
  QMenu* mntag_jk = nullptr;
  std::array<QAction*, 5> tagjk{};
  QMenu* mntag_jr = nullptr;
  std::array<QAction*, 9> tagjr{};
  QAction* lst_plateconfig = nullptr;
  QAction* lst_delete = nullptr;
  QAction* mnadvanced = nullptr;
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
  // The chosen group's wells and the free channels: filled as the group list and the
  // plate change, not placed on the frame.
  QLabel* lbl_assigned = nullptr;
  QListWidget* lstgrup2 = nullptr;
  QLabel* lbl_free = nullptr;
  QListWidget* lstchgrup2 = nullptr;

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
  // The list's pop-up menu and the group editor's frame and their wiring.
  void BuildListMenu();
  void ConnectListMenu();
  void BuildGroupEditor();
  void ConnectGroupEditor();
  // The list line the menu acts on (the current one); nullptr when there is none.
  const ListLine* CurrentLine() const;
  // Its run folder and its project's, from the line's own folder.
  static std::filesystem::path ProjectFolderOf(const ListLine& line);
  setup::GroupModel EditorModel() { return RunGroupModel(run_); }
  int EditorGroup() const;
  // The press on the plate while the editor is shown.
  void EditorMouseDown(int button, double x, double y);
  void RefreshEditorLists(int group);
  // Loads the run again from its folder (after the editor), keeping its titles.
  bool ReloadRun();
  // The window as before any load: no run, nothing drawn, no command bound to a run.
  void ForgetRun();
  // The raw views' controls, menus and wiring; their places beyond the layout's.
  void BuildRawViews();
  void ArrangeRawViews();
  // The raw views read the run loaded now; false (with a message) when they cannot.
  bool RawViewsAllowed();
  void SyncChosenChannel();
  void ShowChosenWell();
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
  setup::PlatePointer editor_pointer_;
  // The run's groups as the editor found them, put back when leaving without a save
  // cannot reload the run.
  storage::ChannelTable16 editor_groups_{};
  storage::ChannelTableText editor_names_;
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
