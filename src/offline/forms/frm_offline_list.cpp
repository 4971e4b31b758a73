// The browser list (projects, runs, order, search), the watched folders, the run
// description, and loading the run a line names.
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "ui/controls.h"
#include "offline/forms/frm_offline.h"
#include "offline/run_management.h"
#include "platform/dialogs.h"
#include "platform/program_folder.h"
#include "reports/forms/frm_report.h"
#include "storage/run_description.h"
#include "ui/frame.h"

namespace offline {

namespace {

constexpr int kEnter = 13;
constexpr const char* kNoComments = "Protocol Comments:";

QString Text(const std::string& s) { return QString::fromStdString(s); }

// The box shows line breaks as its own; the run's file keeps CR LF.
QString ToBox(const std::string& crlf) {
  QString text = Text(crlf);
  text.replace("\r\n", "\n");
  return text;
}

std::string FromBox(const QString& text) {
  QString crlf = text;
  crlf.replace("\n", "\r\n");
  return crlf.toStdString();
}

}  // namespace

void Frm_offline::ShowCatalogue() {
  Listpj->clear();
  for (const ListLine& line : catalogue_.Lines()) {
    // A list box of this toolkit shows no tab stops: the TABs of a line become blanks
    // on screen, and the line itself stays with the item.
    auto* item = new QListWidgetItem(Text(line.text).replace('\t', "    "));
    item->setData(Qt::UserRole, Text(line.text));
    Listpj->addItem(item);
  }
}

int Frm_offline::LineOfFolder(const std::filesystem::path& folder) const {
  const std::vector<ListLine>& lines = catalogue_.Lines();
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].folder == folder) return static_cast<int>(i);
  return -1;
}

void Frm_offline::SelectLine(int index) {
  if (index < 0 || index >= Listpj->count()) return;
  Listpj->setCurrentRow(index);
  Listpj->item(index)->setSelected(true);
}

void Frm_offline::FillProjectList(int16_t order) {
  catalogue_.FillProjectList(order);
  ShowCatalogue();
  Chosen_Line_Kind = 0;
}

void Frm_offline::ListRunsOfFolder(int16_t order) {
  if (Listpj->currentRow() < 0 || Run_List_Folder.empty() || !Run_List_Folder.is_absolute()) return;
  if (!catalogue_.ListRunsOfFolder(Run_List_Folder, order)) return;
  ShowCatalogue();
  Chosen_Line_Kind = 1;
}

void Frm_offline::lbl_date_Click() {
  List_Order = List_Order == 1 ? 0 : 1;
  lbl_orden->setText(List_Order == 1 ? "^" : "v");
  lbl_orden->repaint();
  if (Chosen_Line_Kind == 0) {
    FillProjectList(List_Order);
  } else {
    ListRunsOfFolder(List_Order);
  }
}

void Frm_offline::lblproject_Click() {
  txt_search->clear();
  catalogue_.CollapseAll();
  FillProjectList(List_Order);
  SelectLine(Restore_Index);
}

void Frm_offline::Listpj_KeyPress(int key) {
  if (key == kEnter) Listpj_DblClick();
}

void Frm_offline::Listpj_MouseDown(int button) {
  if (button != 2) return;
  mntag_jk->menuAction()->setVisible(Chosen_Line_Kind != 0);
  mnrename->popup(QCursor::pos());
}

void Frm_offline::Listpj_DblClick() {
  const int index = Listpj->currentRow();
  if (index < 0 || index >= static_cast<int>(catalogue_.Lines().size())) return;
  const ListLine line = catalogue_.Lines()[static_cast<size_t>(index)];
  if (line.kind != LineKind::kProject) {
    LoadRunLine(index);
    return;
  }
  Chosen_Line_Kind = 0;
  const int count = catalogue_.CountProjects();
  if (count > Listpj->count()) {
    platform::GetDialogs().MsgBox("ERROR:#pj" + std::to_string(count) + ">" +
                                  std::to_string(Listpj->count()));
    lblproject_Click();
    return;
  }
  // Only the list changes: the loaded run and its plot stay as they are.
  catalogue_.ToggleExpanded(line.project);
  FillProjectList(List_Order);
  cmdchannels->setEnabled(false);
  Cmd_analyze->setEnabled(false);
  Cmd_leegroups->setEnabled(true);
  Cmd_report->setEnabled(false);
  Cmd_report->setText("[ REPORT ]");
  SelectLine(index);
}

void Frm_offline::LoadRunLine(int index) {
  const ListLine line = catalogue_.Lines()[static_cast<size_t>(index)];
  std::string project_text;
  if (line.kind == LineKind::kRun) {
    const int project = catalogue_.ProjectLineAbove(index);
    if (project < 0) return;
    const std::string& text = catalogue_.Lines()[static_cast<size_t>(project)].text;
    const size_t at = text.find(line.project);
    project_text = at == std::string::npos ? text : text.substr(at);
  } else {
    project_text = ProjectText(line.folder.parent_path());
  }
  LoadRun(line.folder, index, project_text);
}

bool Frm_offline::LoadRun(const std::filesystem::path& run_folder, int list_index,
                          const std::string& project_text) {
  SaveDescription();
  RunLoad load = LoadAcquisitionSetup(run_folder, platform::ProgramFolder());
  if (!load.run) {
    platform::GetDialogs().MsgBox(load.message);
    return false;
  }
  run_ = std::move(*load.run);
  run_loaded_ = true;
  tables_ = ActivityTables{};
  Tag_Mode = false;
  Tag_List.clear();
  Chosen_Line_Kind = 1;
  // The order toggle lists a folder's runs only after run management named one.
  Run_List_Folder.clear();

  for (QWidget* w :
       std::initializer_list<QWidget*>{cmdchannels, Cmd_analyze, Cmd_report, Cmd_leegroups})
    w->setEnabled(true);
  ShowPageControls(false);
  FillWellAndGroupCombos();
  ShowProjectDetails(list_index, project_text);
  chk_bmp->hide();
  cmd_track->setVisible(OffersTracking(run_));
  Cmd_leegroups_Click();

  const std::string tags = storage::GetTagText(run_.ProjectFolder().string(), run_.Chosen_Run);
  if (!tags.empty()) {
    List_tags->clear();
    for (const std::string& item : TagItems(tags)) List_tags->addItem(Text(item));
    lbl_tagplot->show();
    List_tags->show();
  } else {
    lbl_tagplot->hide();
    List_tags->hide();
  }
  View_Mode = 0;
  SelectLine(list_index);
  return true;
}

void Frm_offline::ForgetRun() {
  Timer_play.stop();
  tracker_.reset();
  run_ = LoadedRun{};
  run_loaded_ = false;
  tables_ = ActivityTables{};
  Tag_Mode = false;
  Tag_List.clear();
  Cmd_leegroups_Click();
  Picreal->Cls();
  Picreal->update();
  for (QWidget* w : std::initializer_list<QWidget*>{cmdchannels, Cmd_analyze, Cmd_report})
    w->setEnabled(false);
  for (QWidget* w :
       std::initializer_list<QWidget*>{cmd_track, lbl_tagplot, List_tags, Txt_description})
    w->hide();
  lbl_pj_title->clear();
  lbl_subpj_title->clear();
  txt_pj_details->clear();
  lstgrup_plot->clear();
  const QSignalBlocker quiet(Txt_description);
  Txt_description->clear();
  Description_Edited = false;
}

void Frm_offline::FillWellAndGroupCombos() {
  const auto selectors = offline::FillWellAndGroupCombos(run_);
  if (!selectors) return;
  const auto fill = [](auto* box, const std::vector<std::string>& items) {
    const QSignalBlocker quiet(box);
    box->clear();
    for (const std::string& item : items) box->addItem(Text(item));
  };
  fill(Combofila, selectors->rows);
  fill(Combocol, selectors->cols);
  Combofila->setCurrentIndex(0);
  Combocol->setCurrentIndex(0);
  fill(combogrup, selectors->group_items);
  combogrup->setCurrentIndex(0);
  fill(lstgrup_plot, selectors->plot_items);
  lstgrup_plot->setCurrentRow(0);
}

void Frm_offline::ShowProjectDetails(int index, const std::string& project_text) {
  SelectLine(index);
  lbl_pj_title->setText(Text(project_text));
  std::string run_title;
  if (index >= 0 && index < static_cast<int>(catalogue_.Lines().size())) {
    const ListLine& line = catalogue_.Lines()[static_cast<size_t>(index)];
    run_title =
        line.kind == LineKind::kRun && line.text.size() > 3 ? line.text.substr(3) : line.text;
  }
  lbl_subpj_title->setText(Text(run_title).left(50));

  // The report window follows the run: its organism (which resets the threshold to the
  // organism's default), its method, then the run's SNR.
  auto& report = ui::Default<reports::frm_report>();
  report.Cmb_organism->setCurrentIndex(ChoiceIndex(run_.Organism()));
  report.Cmb_dspmethod->setCurrentIndex(ChoiceIndex(run_.Run_DSP_Method));
  report.frmtxt_threshold->setText(Text(SnrText(run_)));

  const std::string comments = storage::ReadSubprojectComments(run_.Chosen_Run_Path.string());
  const QSignalBlocker quiet(Txt_description);
  Txt_description->setPlainText(comments.empty() ? kNoComments : ToBox(comments));
}

void Frm_offline::List_tags_DblClick() {
  const QListWidgetItem* item = List_tags->currentItem();
  const std::string tag = item ? item->text().toStdString() : "";
  if (tag.empty()) return;
  mnrel0->setChecked(false);
  Tag_List = LiveTaggedRuns(run_.ProjectFolder(), tag);
  if (Tag_List.empty()) return;
  View_Mode = 4;
  txt_binsize->setText("5");
  Frame_bisize->hide();
  Tag_Mode = true;
  DrawLinePlot(5, Tag_List, false);
}

// ---- Search ----

void Frm_offline::txt_search_KeyPress(int key) {
  if (key == kEnter) cmd_lupa_Click();
}

void Frm_offline::cmd_lupa_Click() {
  const std::string text = txt_search->text().toStdString();
  if (text.empty()) {
    Search_Text.clear();
    lblproject_Click();
    return;
  }
  FillProjectList(List_Order);
  Search_Text = text;
  const std::vector<int> found = catalogue_.Search(SplitSearchTerms(text));
  for (int i : found) Listpj->item(i)->setSelected(true);
  if (!found.empty()) Listpj->scrollToItem(Listpj->item(found.front()));
  txt_search->clear();
}

// ---- Watched folders ----

void Frm_offline::Txtfolder_Click(int index) {
  if (index < 0 || index >= kWatchedFolders) return;
  std::string& caption = folders_[static_cast<size_t>(index)];
  const auto answer =
      platform::GetDialogs().InputBoxTitled("Write folder to watch:", "Folder", caption);
  if (!answer || !IsWatchable(*answer)) return;
  caption = *answer;
  Txtfolder[static_cast<size_t>(index)]->setText(Text(caption));
  if (!WriteWatchedFolders(platform::ProgramFolder(), folders_))
    platform::GetDialogs().MsgBox("foldview.dat could not be written");
}

// ---- Description ----

void Frm_offline::Txt_description_Change() { Description_Edited = true; }

void Frm_offline::Txt_description_LostFocus() { SaveDescription(); }

void Frm_offline::SaveDescription() {
  if (!Description_Edited) return;
  Description_Edited = false;
  const std::string text = FromBox(Txt_description->toPlainText());
  // The placeholder of a run without comments is no comment of the user's.
  if (!run_loaded_ || text == kNoComments) return;
  if (storage::SetSubprojectComments(run_.Chosen_Run_Path.string(), text) != "OK")
    platform::GetDialogs().MsgBox("The description could not be saved in " +
                                  run_.Chosen_Run_Path.string());
}

}  // namespace offline
