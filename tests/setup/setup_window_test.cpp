// The setup window in the running program: reached from the start and main windows,
// its widgets following the controller both ways, its exits, the plate timer, its
// layout, and a run that goes on while the window is open.
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <set>

#include "mainwindow/mainwindow_fixture.h"
#include "mainwindow/run_window_fixture.h"
#include "setup/setup_layout.h"
#include "support/typing.h"
#include "ui/caption_fit.h"
#include "ui/fit_button.h"

namespace setuptest {
namespace {

namespace fs = std::filesystem;
using mainwindow::Frm_Init;
using mainwindow::Frm_Main;
using setup::Frm_setup;

class SetupWindow : public mainwindow_test::ProgramTest {
 protected:
  // Project 1 on the given plate (the 96-well one unless told), started, with the setup
  // window open from the start window.
  Frm_setup& Open(const std::string& plate = "w96") {
    MakeProject(1, "Worms", plate, [](storage::SharedState& s) {
      s.MnAt(1, 1) = 0;
      s.MnAt(1, 2) = 0;
      s.Save_real = 0;
    });
    WriteConfig(1);
    WriteReportConfig(0, 30);
    Start();
    // Start-up loads the project first; the setup window comes after it, hidden.
    EXPECT_TRUE(ui::IsLoaded<Frm_setup>());
    EXPECT_FALSE(ui::Default<Frm_setup>().isVisible());
    ui::Default<Frm_Init>().cmd_option1->click();
    return ui::Default<Frm_setup>();
  }

  // A pick as the list delivers it: the popup opened and the entry clicked.
  static void PickFromList(QComboBox* box, const QString& entry) {
    box->showPopup();
    QAbstractItemView* list = box->view();
    const QRect place = list->visualRect(box->model()->index(box->findText(entry), 0));
    ASSERT_TRUE(list->isVisible() && place.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, place.center());
  }

  static void LeaveBox(QWidget* box) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &out);
  }
};

TEST_F(SetupWindow, ShowsTheOpenProjectAndFollowsTheUsersChanges) {
  Frm_setup& w = Open();
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(ui::Default<Frm_Init>().isVisible());
  EXPECT_EQ(w.txtprj->text(), "1_Worms");
  EXPECT_EQ(w.Combowell->currentText(), "w96");
  EXPECT_EQ(w.Cmb_organism->currentText(), "C.elegans");
  EXPECT_EQ(w.ComboDSP->currentIndex(), 1);
  EXPECT_FALSE(w.lbl_snr->isEnabled());
  EXPECT_TRUE(w.chkcalib->isChecked());
  EXPECT_FALSE(w.chkcalib->isEnabled());
  EXPECT_TRUE(w.frm_project->isHidden());

  // Emptying the lapse box puts "2" in at once.
  w.Txtlapse->setText("");
  EXPECT_EQ(w.Txtlapse->text(), "2");
  EXPECT_EQ(storage::Shared().Aq_lapse, 2);
  // The organism's defaults reach the SNR box and the method list.
  w.Cmb_organism->setCurrentIndex(3);
  EXPECT_EQ(w.lbl_snr->text(), "0.8");
  EXPECT_EQ(w.ComboDSP->currentIndex(), 3);
  // A double-click on "SNR" opens the box; leaving it checks the entry.
  QTest::mouseDClick(w.txt_snr, Qt::LeftButton);
  EXPECT_TRUE(w.lbl_snr->isEnabled());
  w.lbl_snr->setText("2");
  dialogs.ExpectOk();
  LeaveBox(w.lbl_snr);
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Enter a valid SNR: 0.5 to 0.9"});
  EXPECT_EQ(w.lbl_snr->text(), "0.8");
  // The advanced menu shows and hides its frame.
  w.mn_advanced->trigger();
  EXPECT_FALSE(w.Frame_advanced->isHidden());
  w.mn_advanced->trigger();
  EXPECT_TRUE(w.Frame_advanced->isHidden());
}

TEST_F(SetupWindow, ContinueWritesTheMainWindowAndSavesTheProject) {
  Frm_setup& w = Open();
  storage::Shared().Connected = true;  // no connect on the way
  auto& main = ui::Default<Frm_Main>();
  w.Cmb_organism->setCurrentIndex(1);
  w.Txt_description->setPlainText("dose 3");
  fs::remove(folder / "p00001" / "setup.dat");
  w.Command_main->click();
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(main.isVisible());
  EXPECT_EQ(main.txt_detection->text(), "Detection Mode1, Zebrafish [snr 2.8]");
  EXPECT_EQ(main.Cmb_organism->currentIndex(), 1);
  EXPECT_EQ(main.Txt_description->toPlainText(), "dose 3");
  EXPECT_TRUE(fs::exists(folder / "p00001" / "setup.dat"));
  EXPECT_TRUE(dialogs.log().empty());
  // ">Edit" opens it again without the annotation panel, with the main window's notes.
  main.Txt_description->setPlainText("dose 4");
  main.Cmdsetup_Click();
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.frm_advance->isHidden());
  EXPECT_EQ(w.Txt_description->toPlainText(), "dose 4");
}

TEST_F(SetupWindow, ClosingShowsTheStartWindowAndHandsTheNotesBack) {
  Frm_setup& w = Open();
  w.Txt_description->setPlainText("closing notes");
  w.close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(ui::IsLoaded<Frm_setup>());
  EXPECT_TRUE(ui::Default<Frm_Init>().isVisible());
  EXPECT_EQ(ui::Default<Frm_Main>().Txt_description->toPlainText(), "closing notes");
}

// A pick from the list asks, from the timer, and takes effect, here from a plate the
// list does not offer; "Continue to Run..." before the timer fires asks first and saves
// the plate the box shows. Another list's pick holds too.
TEST_F(SetupWindow, PicksFromTheListsTakeEffectAndTheShownPlateIsSaved) {
  fs::copy_file(folder / "w96.dat", folder / "w96f.dat");
  Frm_setup& w = Open("w96f");
  dialogs.AnswerYes().ExpectOk();  // the question, the adapter note
  PickFromList(w.Combowell, "w96u");
  EXPECT_TRUE(w.Timer1.isActive());
  EXPECT_TRUE(dialogs.log().empty());
  ASSERT_TRUE(RunUntil([&] { return dialogs.Exhausted(); }, 5000));
  EXPECT_FALSE(w.Timer1.isActive());
  EXPECT_EQ(storage::Shared().Plate_format, "w96u");
  EXPECT_EQ(w.Combowell->currentText(), "w96u");
  w.mn_advanced->trigger();
  PickFromList(w.Combosavereal, "YES");
  EXPECT_EQ(storage::Shared().Save_real, 1);
  dialogs.AnswerYes();
  PickFromList(w.Combowell, "w96");
  ASSERT_TRUE(w.Timer1.isActive());
  storage::Shared().Connected = true;  // no connect on the way
  w.Command_main->click();
  const std::string saved = testsupport::ReadBytes(folder / "p00001" / "setup.dat");
  EXPECT_NE(saved.find(",\"w96\""), std::string::npos) << saved;
}

// Typed text runs nothing while it is typed; when the typing ends, what the box shows is
// what is kept: an entry's name is its pick, any other text gives way to the current one.
TEST_F(SetupWindow, TextTypedIntoAListIsTakenWhenTheTypingEnds) {
  Frm_setup& w = Open();
  const auto& s = storage::Shared();
  // The start of an entry, typed into the focused box, is not completed to the entry.
  testsupport::TypeIntoList(*w.Combowell, "w");
  EXPECT_EQ(w.Combowell->currentText().toStdString(), "w");
  EXPECT_FALSE(w.Timer1.isActive());
  QTest::keyClick(w.Combowell->lineEdit(), Qt::Key_Escape);
  const struct {
    QComboBox* box;
    const char* typed;
    const char* shown;
    int16_t aq_mode, save_real;
  } cases[] = {{w.Combo_aqmode, "3_Fast(32.63)", "3_Fast(32.63)", 3, 0},
               {w.Combosavereal, "YES", "YES", 3, 1},
               {w.Combosavereal, "MAYBE", "YES", 3, 1}};
  for (const auto& c : cases) {
    c.box->lineEdit()->clear();
    QTest::keyClicks(c.box->lineEdit(), c.typed);
    QTest::keyClick(c.box, Qt::Key_Return);
    EXPECT_EQ(c.box->currentText(), c.shown) << c.typed;
    EXPECT_EQ(s.Aq_mode, c.aq_mode) << c.typed;
    EXPECT_EQ(s.Save_real, c.save_real) << c.typed;
  }
  EXPECT_TRUE(dialogs.log().empty());
}

// The format box takes what is typed once the typing ends (Enter, leaving the box, a
// save): a listed format's name is its pick, any other text gives way to the format in
// use, so a save writes the format the box shows.
TEST_F(SetupWindow, ATypedFormatIsTakenAsItsPickOrGivesWay) {
  Frm_setup& w = Open();
  const auto& s = storage::Shared();
  storage::Shared().Connected = true;  // no connect on the way
  enum class End { kEnter, kLeave, kSave };
  const struct {
    const char* typed;
    End end;
    int boxes;  // 1: the plate question; 2: and the adapter note
    const char* format;
  } rows[] = {{"w6", End::kEnter, 0, "w96"},
              {"w96u", End::kLeave, 2, "w96u"},
              {"w96", End::kSave, 1, "w96"}};
  for (const auto& row : rows) {
    testsupport::TypeIntoList(*w.Combowell, row.typed);
    if (row.boxes > 0) dialogs.AnswerYes();
    if (row.boxes > 1) dialogs.ExpectOk();
    if (row.end == End::kEnter) QTest::keyClick(w.Combowell, Qt::Key_Return);
    if (row.end == End::kLeave) w.Txtlapse->setFocus(Qt::TabFocusReason);
    if (row.end == End::kSave) w.Command_main->click();
    ASSERT_TRUE(RunUntil([&] { return dialogs.Exhausted() && !w.Timer1.isActive(); }, 5000))
        << row.typed;
    EXPECT_EQ(s.Plate_format, row.format) << row.typed;
    EXPECT_EQ(w.Combowell->currentText().toStdString(), row.format) << row.typed;
  }
  const std::string saved = testsupport::ReadBytes(folder / "p00001" / "setup.dat");
  EXPECT_NE(saved.find(",\"w96\""), std::string::npos) << saved;
}

TEST_F(SetupWindow, LoadingAProjectBringsItsLightScheduleToTheMainWindow) {
  MakeProject(2, "Dark", "w96", [](storage::SharedState& s) {
    s.MnAt(2, 0) = 0;
    s.Menu2 = 0;
  });
  MakeProject(1, "Lit", "w96", [](storage::SharedState& s) {
    s.MnAt(2, 0) = 1;
    s.Menu2 = 1;
  });
  WriteConfig(1);
  WriteReportConfig(0, 30);
  Frm_Main& main = Start();
  ui::Default<Frm_Init>().cmd_option1->click();
  Frm_setup& w = ui::Default<Frm_setup>();
  ASSERT_TRUE(main.Chk_lenabled->isChecked());
  for (const auto& [project, lit] : {std::pair{2, false}, std::pair{1, true}}) {
    dialogs.Answer3(platform::Dialogs::Answer::kNo);
    w.cmdLoad->click();
    const auto entries = w.List_project->findItems(
        QString::fromStdString(storage::ProjectFolderName(project)), Qt::MatchStartsWith);
    ASSERT_EQ(entries.size(), 1);
    w.List_project->setCurrentItem(entries[0]);
    emit w.List_project->itemDoubleClicked(entries[0]);
    EXPECT_EQ(storage::Shared().Actual_Project_Number, project);
    EXPECT_EQ(main.Chk_lenabled->isChecked(), lit) << project;
    EXPECT_EQ(main.engine().controls.Light_Enabled, lit) << project;
    EXPECT_EQ(storage::Shared().MnAt(2, 0), lit ? 1 : 0) << project;
  }
}

TEST_F(SetupWindow, LayoutPlacesEveryControlAsComputed) {
  Frm_setup& w = Open();
  for (const QSize size : {QSize(1024, 720), QSize(1600, 1000)}) {
    w.resize(size);
    w.ArrangeControls();
    const setup::SetupLayout layout = setup::ArrangeSetupControls(
        w.client->width(), w.client->height(), w.Combowell->sizeHint().height());
    for (const ui::Placement& p : layout.controls) {
      const auto* c = w.client->findChild<QWidget*>(QString::fromStdString(p.name));
      ASSERT_NE(c, nullptr) << p.name;
      EXPECT_EQ(c->geometry(), QRect(p.rect.x, p.rect.y, p.rect.width, p.rect.height)) << p.name;
      if (p.hidden) EXPECT_TRUE(c->isHidden()) << p.name;
    }
  }
  EXPECT_EQ(w.Layout_Ready, 1);
}

// The annotation panel and the advanced options frame at both screen sizes: every
// caption whole (the field chooser's longest field name too) at a readable size, the
// annotation column headers apart, one size for the whole advanced frame.
TEST_F(SetupWindow, AnnotationAndAdvancedCaptionsShowWhole) {
  Frm_setup& w = Open();
  w.chk_advance->setChecked(true);
  w.Chk_global_strain->setChecked(false);
  const auto span = [](const QLabel* l) {
    const int advance = l->fontMetrics().horizontalAdvance(l->text());
    const int start = (l->alignment() & Qt::AlignRight) ? l->geometry().right() + 1 - advance : l->x();
    return std::pair{start, start + advance};
  };
  for (const QSize size : {QSize(1024, 720), QSize(1600, 1000)}) {
    w.resize(size);
    w.ArrangeControls();
    const std::string at = std::to_string(size.width()) + "x" + std::to_string(size.height());
    int checked = 0;
    for (QWidget* c : w.frm_advance->findChildren<QWidget*>()) {
      const bool captioned = qobject_cast<QLabel*>(c) || qobject_cast<QCheckBox*>(c) ||
                             qobject_cast<QComboBox*>(c);
      if (!captioned || !c->isVisibleTo(w.frm_advance) || ui::CaptionWidth(*c) == 0) continue;
      ++checked;
      EXPECT_LE(ui::CaptionWidth(*c), c->width()) << at << " " << c->objectName().toStdString();
      EXPECT_GE(c->font().pointSizeF(), ui::kReadablePoints)
          << at << " " << c->objectName().toStdString();
    }
    EXPECT_GE(checked, 9) << at;
    const std::vector<QLabel*> headers{w.lbl_group, w.lbl_compound, w.lbl_conc, w.lbl_strain};
    for (size_t i = 0; i + 1 < headers.size(); ++i)
      EXPECT_LT(span(headers[i]).second + 1, span(headers[i + 1]).first) << at << " " << i;

    std::set<double> sizes;
    for (QWidget* c : w.Frame_advanced->findChildren<QWidget*>()) {
      if (ui::CaptionWidth(*c) == 0 && !qobject_cast<QComboBox*>(c)) continue;
      sizes.insert(c->font().pointSizeF());
      EXPECT_LE(ui::CaptionWidth(*c), c->width()) << at << " " << c->objectName().toStdString();
    }
    EXPECT_EQ(sizes.size(), 1u) << at;
    EXPECT_GE(*sizes.begin(), ui::kReadablePoints) << at;
  }
}

// The project frame at both screen sizes: every caption whole at a readable size, the
// method list's entries ("1_Threshold Avrg (Default.Agar&Liquid)") among them.
TEST_F(SetupWindow, ProjectFrameCaptionsShowWhole) {
  Frm_setup& w = Open();
  for (const QSize size : {QSize(1024, 720), QSize(1600, 1000)}) {
    w.resize(size);
    w.ArrangeControls();
    const std::string at = std::to_string(size.width()) + "x" + std::to_string(size.height());
    int checked = 0;
    for (QWidget* c : w.Frame_setup->findChildren<QWidget*>()) {
      if (!c->isVisibleTo(w.Frame_setup) || ui::CaptionWidth(*c) == 0) continue;
      ++checked;
      EXPECT_LE(ui::CaptionWidth(*c), c->width()) << at << " " << c->objectName().toStdString();
      EXPECT_GE(c->font().pointSizeF(), ui::kReadablePoints)
          << at << " " << c->objectName().toStdString();
    }
    EXPECT_GE(checked, 10) << at;
    EXPECT_EQ(w.ComboDSP->currentText().toStdString(), "1_Threshold Avrg (Default.Agar&Liquid)");
  }
}

using SetupDuringRun = mainwindow_test::RunWindowTest;

TEST_F(SetupDuringRun, ProjectsAndPlatesAreRefusedAndTheRunGoesOn) {
  Frm_Main& main = StartRun("w96", false, [](Frm_Main&) {});
  ASSERT_EQ(storage::Shared().Acq_State, 1) << FirstBox();
  const fs::path run = folder / "p00001" / main.engine().state.Run_Folder;
  Ticks(main, 510);
  const auto recorded = fs::file_size(run / "counts.bin");
  ASSERT_GT(recorded, 0u);

  // The setup window shown during the run (as the calibration window's button does).
  auto& w = ui::Default<Frm_setup>();
  w.Show();
  const size_t seen = dialogs.log().size();
  const auto groups = storage::Shared().Group;
  dialogs.ExpectOk().ExpectOk().ExpectOk().ExpectOk().ExpectOk();
  w.Cmdnewpj->click();
  w.cmdLoad->click();
  emit w.Combowell->activated(w.Combowell->findText("w96u"));
  w.controller().Timer1_Timer();
  w.Cmd_clear->click();
  w.combogrup_DblClick();
  EXPECT_EQ(std::vector<std::string>(dialogs.log().begin() + static_cast<long>(seen),
                                     dialogs.log().end()),
            std::vector<std::string>(5, storage::kRunningRefusal));
  EXPECT_EQ(storage::Shared().Group, groups);
  EXPECT_EQ(storage::Shared().Plate_format, "w96");
  EXPECT_EQ(w.Combowell->currentText(), "w96");
  EXPECT_FALSE(fs::exists(folder / "p00002"));
  EXPECT_TRUE(w.frm_project->isHidden());

  Ticks(main, 500);
  EXPECT_GT(fs::file_size(run / "counts.bin"), recorded);
}

TEST_F(SetupDuringRun, SettingsTypedWhileARunGoesOnLeaveItsLapse) {
  Frm_Main& main = StartRun("w96", false, [](Frm_Main&) {});
  ASSERT_EQ(storage::Shared().Acq_State, 1) << FirstBox();
  Ticks(main, 500);
  auto& w = ui::Default<Frm_setup>();
  w.Show();
  const size_t seen = dialogs.log().size();
  dialogs.ExpectOk().ExpectOk().ExpectOk().ExpectOk().ExpectOk();
  QTest::keyClicks(w.Txtlapse, "30");  // each keystroke refused
  w.Cmb_organism->setCurrentIndex(1);
  // An entry's name typed into a list meets the refusal its pick would, once, whether
  // the typing ends with Enter or by leaving the box.
  const int16_t mode = storage::Shared().Aq_mode;
  const QString shown = w.Combo_aqmode->currentText();
  const QString typed = w.Combo_aqmode->itemText(w.Combo_aqmode->currentIndex() == 3 ? 2 : 3);
  for (const bool enter : {true, false}) {
    testsupport::TypeIntoList(*w.Combo_aqmode, typed);
    if (enter)
      QTest::keyClick(w.Combo_aqmode, Qt::Key_Return);
    else
      w.Txtsample->setFocus(Qt::TabFocusReason);
  }
  EXPECT_EQ(std::vector<std::string>(dialogs.log().begin() + static_cast<long>(seen),
                                     dialogs.log().end()),
            std::vector<std::string>(5, storage::kRunningRefusal));
  EXPECT_EQ(w.Txtlapse->text(), "1");
  EXPECT_EQ(w.Cmb_organism->currentIndex(), 0);
  EXPECT_EQ(w.Combo_aqmode->currentText(), shown);
  EXPECT_EQ(storage::Shared().Aq_lapse, 1);
  EXPECT_EQ(storage::Shared().MnAt(1, 0), 0);
  EXPECT_EQ(storage::Shared().Aq_mode, mode);

  // The one-minute run ends at its first bin end past the minute.
  dialogs.ExpectOk();
  clock.Advance(60 * 1000);
  Ticks(main, 501);
  EXPECT_EQ(storage::Shared().Acq_State, 0);
  EXPECT_EQ(dialogs.log().back(), "Acquisition finished");
}

}  // namespace
}  // namespace setuptest
