// The group activity views of the loaded run on the plot picture: bars, plate grid,
// lines over time and kinetics of tagged runs, their menus, the bin-size buttons, the
// joint report and the picture exports.
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/plot_paint.h"
#include "offline/forms/frm_offline.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/numeric.h"
#include "platform/program_folder.h"
#include "reports/forms/frm_report.h"
#include "storage/file_io.h"
#include "ui/frame.h"
#include "xlsx/number_text.h"

namespace offline {

namespace {

constexpr int kEnter = 13;
constexpr const char* kNoActivity = "Activity file not Found";

}  // namespace

std::vector<std::string> Frm_offline::PlotItems() const {
  std::vector<std::string> items;
  for (int i = 0; i < lstgrup_plot->count(); ++i)
    items.push_back(lstgrup_plot->item(i)->text().toStdString());
  return items;
}

int32_t Frm_offline::BinBoxValue() const {
  return ValidBinSize(platform::Val(txt_binsize->text().toStdString()));
}

void Frm_offline::PaintPicture(const PlotPicture& picture) {
  Picreal->Scale(picture.scale.left, picture.scale.top, picture.scale.right, picture.scale.bottom);
  Picreal->Cls();
  Picreal->SetDrawWidth(1);
  ui::PaintPlan(*Picreal, picture.plan);
  Picreal->update();
}

// Reading many tagged runs takes a while: a bar along the foot of the picture, which
// the plot then replaces.
void Frm_offline::ShowLoadProgress(size_t done, size_t total) {
  if (done == 0) {
    Picreal->Scale(0, 100, 100, 0);
    Picreal->Cls();
  }
  Picreal->Box(0, 0, 100.0 * static_cast<double>(done + 1) / static_cast<double>(total), 2,
               ui::RGB(0, 0, 255), true);
  Picreal->repaint();
}

// ---- Views ----

void Frm_offline::Cmd_leegroups_Click() {
  cmdchannels->setText("Channel Signal");
  Cmd_leegroups->setText("[Group Activity]");
  View_Mode = 0;
  ShowPageControls(false);
  for (QWidget* w :
       std::initializer_list<QWidget*>{combogrup, lstgrup, Pic_status, fmranalizar, Frame_bisize})
    w->hide();
  for (QWidget* w :
       std::initializer_list<QWidget*>{lstgrup_plot, frame_plotbutton, Txt_description})
    w->show();
  Bar_First_Item = 0;
  DrawGroupBars();
}

void Frm_offline::Cmd_barplot_Click() {
  Frame_bisize->hide();
  txt_binsize->setText("5");
  View_Mode = 0;
  Bar_First_Item = 0;
  chk_bmp->hide();
  Txtpage->hide();
  DrawGroupBars();
}

void Frm_offline::Cmd_gridplot_Click() {
  View_Mode = 5;
  chk_bmp->hide();
  Txtpage->hide();
  Frame_bisize->hide();
  DrawGridPlot();
}

void Frm_offline::Cmd_lineplot_Click() {
  View_Mode = 4;
  chk_bmp->hide();
  Txtpage->hide();
  Tag_Mode = false;
  Frame_bisize->show();
  List_tags->clearSelection();
  const int32_t bin = FirstLineBin(run_.Run_Aq_lapse);
  txt_binsize->setText(QString::number(bin));
  DrawLinePlot(bin, "", false);
}

void Frm_offline::DrawGroupBars() {
  if (!run_loaded_) return;
  const ActivityLoad load =
      LoadGroupActivity(run_.Chosen_Run_Path, run_.Run_Group, 30, false, tables_);
  if (load.status == ActivityStatus::kNoFile) platform::GetDialogs().MsgBox(kNoActivity);
  const std::vector<std::string> items = PlotItems();
  BarPlotInput in;
  // Only what was read from the run now: the table of an earlier load may hold time
  // bins of this run or the points of other, tagged runs.
  in.tables = load.status == ActivityStatus::kOk ? &tables_ : nullptr;
  in.items = &items;
  in.selected = lstgrup_plot->currentRow();
  in.first_item = Bar_First_Item;
  in.max = load.max;
  in.font_size = Picreal->FontSize();
  PaintPicture(BarPlot(in));
  txt_pj_details->setPlainText(
      QString::fromStdString(DetailsBoxText(run_.Details_Text)).replace("\r\n", "\n"));
  FitDetailsBox();
}

void Frm_offline::DrawGridPlot() {
  if (!run_loaded_) return;
  const ActivityStatus load = LoadChannelTotals(run_.Chosen_Run_Path, tables_);
  if (load == ActivityStatus::kNoFile) platform::GetDialogs().MsgBox(kNoActivity);
  if (load != ActivityStatus::kOk) {
    // A plate of empty wells would read as a run without activity.
    Picreal->Cls();
    Picreal->update();
    return;
  }
  PaintPicture(GridPlot(run_, tables_));
}

void Frm_offline::DrawLinePlot(int32_t bin, const std::string& tag_list, bool report) {
  if (!run_loaded_) return;
  const std::string spacer =
      ui::Default<reports::frm_report>().txt_customspacer->text().toStdString();
  LinePlotInput in;
  in.separator = spacer.empty() ? ";" : spacer;
  in.decimal = xlsx::UserNumberLocale().decimal_point;
  in.bin = bin;
  in.tagged = !tag_list.empty();
  bool progress_shown = false;
  if (!in.tagged) {
    const ActivityLoad load =
        LoadGroupActivity(run_.Chosen_Run_Path, run_.Run_Group, bin, true, tables_);
    if (load.status == ActivityStatus::kNoFile) platform::GetDialogs().MsgBox(kNoActivity);
    if (load.status != ActivityStatus::kOk) return;
    in.max = load.max;
  } else {
    const KineticsLoad load =
        LoadTaggedKinetics(run_.ProjectFolder(), tag_list, run_.Run_Group, tables_,
                           [this, &progress_shown](size_t done, size_t total) {
                             progress_shown = true;
                             ShowLoadProgress(done, total);
                           });
    if (load.status == KineticsLoad::Status::kTooMany) {
      platform::GetDialogs().MsgBox("To many Tagged Sub_Projects! (max=99)");
      return;
    }
    if (!load.skipped.empty()) {
      std::string ids;
      for (const std::string& id : load.skipped) ids += " " + id;
      platform::GetDialogs().MsgBox("Tagged runs not found in " + run_.ProjectFolder().string() +
                                    ":" + ids);
    }
    for (const std::filesystem::path& folder : load.without_counts)
      platform::GetDialogs().MsgBox("Activity file not Found into " + folder.string());
    in.max = load.max;
  }
  const std::vector<std::string> items = PlotItems();
  in.tables = &tables_;
  in.items = &items;
  in.selected = lstgrup_plot->currentRow();
  in.relativize = in.tagged && mnrel0->isChecked();
  in.picture_width = Picreal->width();
  in.picture_height = Picreal->height();
  const LinePlot plot = LinePlotPlan(in);
  if (!plot.drawn) {
    // The progress bar is no plot: nothing is left of it.
    if (progress_shown) {
      Picreal->Cls();
      Picreal->update();
    }
    return;
  }
  PaintPicture(plot.picture);
  if (report) WriteJointReport(plot.header_text, plot.data_text);
}

void Frm_offline::lstgrup_plot_KeyPress(int key) {
  if (key == kEnter) lstgrup_plot_DblClick();
}

void Frm_offline::lstgrup_plot_DblClick() {
  const int32_t bin = BinBoxValue();
  switch (View_Mode) {
    case 0:
      Bar_First_Item = BarFirstItemFor(lstgrup_plot->currentRow());
      DrawGroupBars();
      break;
    case 4:
      DrawLinePlot(bin, Tag_Mode ? Tag_List : "", false);
      break;
    case 5:
      DrawGridPlot();
      break;
    default:
      break;
  }
}

void Frm_offline::cmd_minus_Click() {
  const int32_t bin = BinMinus(BinBoxValue(), BinSpan(tables_));
  txt_binsize->setText(QString::number(bin));
  if (!Tag_Mode) {
    DrawLinePlot(bin, "", false);
  } else if (!Tag_List.empty()) {
    DrawLinePlot(bin, Tag_List, false);
  }
}

void Frm_offline::cmd_plus_Click() {
  const int32_t bin = BinPlus(BinBoxValue(), BinSpan(tables_));
  txt_binsize->setText(QString::number(bin));
  if (!Tag_Mode) {
    DrawLinePlot(bin, "", false);
  } else if (!Tag_List.empty()) {
    DrawLinePlot(bin, Tag_List, false);
  }
}

void Frm_offline::mnrel0_Click() { DrawLinePlot(5, Tag_List, false); }

void Frm_offline::mn_jointexport_Click() { DrawLinePlot(5, Tag_List, true); }

void Frm_offline::Picreal_MouseDown(int button, int shift, double x, double y) {
  if (View_Mode == 3) {
    EditorMouseDown(button, x, y);
    return;
  }
  if (button != 2) return;
  QMenu* menu = nullptr;
  if (View_Mode < 3) {
    menu = mnexporta;
  } else if (View_Mode == 4) {
    menu = Tag_Mode ? mnrelativize : mnline;
  } else if (View_Mode == 5) {
    menu = Mnplate;
  } else if (View_Mode == 6) {
    menu = mntrack;
  }
  if (menu && !menu->actions().isEmpty()) menu->popup(QCursor::pos());
}

// ---- Files ----

void Frm_offline::WriteJointReport(const std::string& header_text, const std::string& data_text) {
  const platform::WallTime now = platform::Now();
  const std::filesystem::path file = run_.ProjectFolder() / JointReportFileName(now);
  if (!storage::WriteFileAtomic(file, JointReportBytes(now, header_text, data_text))) {
    platform::GetDialogs().MsgBox("The joint report could not be written: " + file.string());
    return;
  }
  platform::ShellOrSay(
      "explorer " + file.string(),
      "No program could open the joint report. It is saved as:\r\n" + file.string());
}

void Frm_offline::ExportPicture(const char* file_name) {
  const std::filesystem::path file = platform::ProgramFolder() / file_name;
  if (!Picreal->SavePicture(QString::fromStdString(file.string()))) {
    platform::GetDialogs().MsgBox("The picture could not be written: " + file.string());
    return;
  }
  platform::ShellOrSay("mspaint " + file.string(),
                       "No program could open the picture. It is saved as:\r\n" + file.string());
}

void Frm_offline::bmpexporta_Click() { ExportPicture("image1.bmp"); }
void Frm_offline::mn_jointbmp_Click() { ExportPicture("image1.bmp"); }
void Frm_offline::mn_linebmp_Click() { ExportPicture("lineimg.bmp"); }
void Frm_offline::mn_platebmp_Click() { ExportPicture("plateimg.bmp"); }

}  // namespace offline
