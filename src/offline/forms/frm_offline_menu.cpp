// The browser list's pop-up menu (rename, find in folder, kinetic tags, the inert
// replicate entries, the group editor, archiving) and the report hand-off of the
// loaded run. A command on a list line acts on the folders the line stands for; the
// report and the group editor on the folder the loaded run came from.
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

#include "offline/forms/frm_offline.h"
#include "offline/run_management.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "reports/forms/frm_report.h"
#include "storage/file_io.h"
#include "storage/run_description.h"
#include "storage/run_files.h"

namespace offline {

namespace fs = std::filesystem;

namespace {

constexpr int kKineticEntries = 5;
constexpr const char* kKineticCaptions[kKineticEntries] = {"CLEAR", "[K1]", "[K2]", "[K3]", "[K4]"};

}  // namespace

void Frm_offline::BuildListMenu() {
  lst_rename = mnrename->addAction("Rename");
  lst_explorefind = mnrename->addAction("Find in Folder");
  mntag_jk = mnrename->addMenu("Kinetic Group TAG");
  for (int i = 0; i < kKineticEntries; ++i)
    tagjk[static_cast<size_t>(i)] = mntag_jk->addAction(kKineticCaptions[i]);
  mntag_jr = mnrename->addMenu("Tag as  Replicate [Experiment Replication]");
  for (QAction*& entry : tagjr) entry = mntag_jr->addAction("");
  lst_plateconfig = mnrename->addAction("Plate Config");
  lst_delete = mnrename->addAction("Delete");
  mnadvanced = menu_bar->addAction("Advanced_calculation");
}

void Frm_offline::ConnectListMenu() {
  connect(lst_rename, &QAction::triggered, this, [this] { lst_rename_Click(); });
  connect(lst_explorefind, &QAction::triggered, this, [this] { lst_explorefind_Click(); });
  for (int i = 0; i < kKineticEntries; ++i)
    connect(tagjk[static_cast<size_t>(i)], &QAction::triggered, this,
            [this, i] { tagjk_Click(i); });
  for (size_t i = 0; i < tagjr.size(); ++i)
    connect(tagjr[i], &QAction::triggered, this, [this, i] { tagjr_Click(static_cast<int>(i)); });
  connect(lst_plateconfig, &QAction::triggered, this, [this] { lst_plateconfig_Click(); });
  connect(lst_delete, &QAction::triggered, this, [this] { lst_delete_Click(); });
  connect(mnadvanced, &QAction::triggered, this, [this] { mnadvanced_Click(); });
}

const ListLine* Frm_offline::CurrentLine() const {
  const int index = Listpj->currentRow();
  if (index < 0 || index >= static_cast<int>(catalogue_.Lines().size())) return nullptr;
  return &catalogue_.Lines()[static_cast<size_t>(index)];
}

fs::path Frm_offline::ProjectFolderOf(const ListLine& line) {
  return line.kind == LineKind::kProject ? line.folder : line.folder.parent_path();
}

// ---- Rename, find, archive ----

void Frm_offline::lst_rename_Click() {
  if (!CurrentLine()) return;
  const ListLine line = *CurrentLine();
  Restore_Index = Listpj->currentRow();
  Run_List_Folder = ProjectFolderOf(line);
  auto& dialogs = platform::GetDialogs();
  RenameResult result = RenameResult::kUnchanged;
  if (line.kind == LineKind::kProject) {
    if (!storage::FileExists(line.folder / "setup.dat")) return;
    // The listed name: what follows "p00007_" after the line's TAB.
    const size_t tab = line.text.find('\t');
    const std::string listed =
        tab != std::string::npos && tab + 8 <= line.text.size() ? line.text.substr(tab + 8) : "";
    const auto answer = dialogs.InputBoxTitled("Enter Name of project", "Rename", listed);
    if (answer) result = RenameProjectFolder(line.folder, *answer);
  } else {
    // The name as the run stores it: a line's tags never become part of it.
    std::string stored = storage::ReadSubprojectName(line.folder.string());
    std::erase(stored, '"');
    const auto answer = dialogs.InputBoxTitled("Enter Name of acquisition", "Rename", stored);
    if (answer) result = RenameRun(line.folder, *answer);
  }
  if (result == RenameResult::kFailed) {
    dialogs.MsgBox("Error Renaming");
    return;
  }
  if (result == RenameResult::kRenamed) RefreshProjectList();
  SelectLine(Restore_Index);
}

void Frm_offline::lst_explorefind_Click() {
  if (!CurrentLine()) return;
  const ListLine line = *CurrentLine();
  Run_List_Folder = ProjectFolderOf(line);
  std::string target = line.folder.string();
  if (line.kind == LineKind::kProject) target += fs::path::preferred_separator;
  platform::ShellOrSay("explorer /select," + target,
                       "No program could show the folder:\r\n" + line.folder.string());
}

void Frm_offline::lst_delete_Click() {
  if (!CurrentLine()) return;
  const ListLine line = *CurrentLine();
  auto& dialogs = platform::GetDialogs();
  if (line.kind == LineKind::kProject) {
    dialogs.MsgBox("Remove function only available for subprojects");
    return;
  }
  if (IsRunBeingRecorded(line.folder)) {
    dialogs.MsgBox("This run is being recorded: it cannot be archived.");
    return;
  }
  if (!dialogs.AskYesNo("Remove folder from the list?")) return;
  if (!dialogs.AskOkCancel("Files are going to be archived!")) return;
  Run_List_Folder = ProjectFolderOf(line);
  if (ArchiveRun(line.folder, platform::Now()) != ArchiveResult::kArchived) {
    dialogs.MsgBox("Error");
    return;
  }
  // The loaded run's folder has another name now: the plots and the report would look
  // for its files where they no longer are.
  if (run_loaded_ && run_.Chosen_Run_Path == line.folder) ForgetRun();
  RefreshProjectList();
  // The list highlights the run the commands act on, as after its load.
  if (run_loaded_) SelectLine(LineOfFolder(run_.Chosen_Run_Path));
}

// ---- Tags ----

void Frm_offline::tagjk_Click(int index) {
  if (Chosen_Line_Kind != 1) {
    platform::GetDialogs().MsgBox("Tags Apply only to Subprojects (acquisitions)");
    return;
  }
  const int current = Listpj->currentRow();
  if (!CurrentLine()) return;
  const std::string tag = KineticTag(index);
  const std::vector<ListLine>& lines = catalogue_.Lines();
  std::string refusal;
  for (int i = 0; i < Listpj->count() && i < static_cast<int>(lines.size()); ++i) {
    const ListLine& line = lines[static_cast<size_t>(i)];
    if (!Listpj->item(i)->isSelected() || line.kind == LineKind::kProject) continue;
    // Each run in its own project's file; a failure leaves that file as it was and ends
    // the tagging there.
    const fs::path file = ProjectFolderOf(line) / kTagFileName;
    switch (TagRun(ProjectFolderOf(line), line.run, tag)) {
      case TagFileResult::kNoKey:
        refusal = "Tags cannot be kept for a run whose folder name holds a blank:\r\n" +
                  line.folder.string();
        break;
      case TagFileResult::kTooMany:
        refusal =
            "The tag file is full (1000 lines): no run can be added to it:\r\n" + file.string();
        break;
      case TagFileResult::kFailed:
        refusal = "The tags could not be written to:\r\n" + file.string();
        break;
      case TagFileResult::kUnchanged:
      case TagFileResult::kWritten:
        break;
    }
    if (!refusal.empty()) break;
  }
  RefreshProjectList();
  SelectLine(current);
  if (!refusal.empty()) platform::GetDialogs().MsgBox(refusal);
}

// ---- The group editor from the list ----

void Frm_offline::lst_plateconfig_Click() {
  if (!CurrentLine()) return;
  if (Chosen_Line_Kind == 0 || !run_loaded_) {
    platform::GetDialogs().MsgBox("Only possible for SubProjects");
    return;
  }
  OpenPlateEditor();
}

// ---- The report hand-off ----

void Frm_offline::Cmd_report_Click() {
  View_Mode = 0;
  if (!run_loaded_) return;
  const fs::path& folder = run_.Chosen_Run_Path;
  if (!storage::FileExists(folder / storage::CountsFileName())) {
    platform::GetDialogs().MsgBox("Activity file not Found");
    return;
  }
  auto& report = ui::Default<reports::frm_report>();
  report.Txt_inputfile->setText(QString::fromStdString(folder.string()));
  report.cmbbasal->clear();
  for (const std::string& choice : BasalChoices(run_.ProjectFolder(), List_Order))
    report.cmbbasal->addItem(QString::fromStdString(choice));
  report.cmbbasal->setCurrentIndex(0);
  report.frm_report_frame->setTitle(lbl_subpj_title->text());
  const bool histograms = storage::HoldsHistoFiles(folder);
  report.Option_output[4]->setVisible(histograms);
  report.Option_output[histograms ? 4 : 0]->setChecked(true);
  report.Show();
}

}  // namespace offline
