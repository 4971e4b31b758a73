// The browser window's raw views: the channel signal view with its page bar, well
// choice and text export, the page re-analysis, and path tracking with its playback,
// pictures and travel-distance CSV.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>

#include "browser_fixture.h"
#include "offline/forms/frm_offline.h"
#include "offline/page_reanalysis.h"
#include "offline/path_tracking.h"
#include "offline/signal_view.h"
#include "raw_fixture.h"
#include "ui/caption_label.h"
#include "ui/frame.h"

namespace offline_test {
namespace {

using offline::Frm_offline;

// Levels near 800, 1100, 1400 and 1700 (by channel) with a dip every 40 samples on
// channels below 20, deeper in later bins.
int16_t Signal(int64_t bin, int c, int s) {
  int v = 800 + 300 * (c / 2 % 4) + (s * 7 + c) % 13;
  if (c < 20 && s % 40 < 3) v -= 300 + 10 * static_cast<int>(bin % 5) + c;
  return static_cast<int16_t>(v);
}

// True when `colour` is drawn within two pixels of a user point.
bool DrawnNear(const ui::PictureBox& pic, double x, double y, int32_t colour) {
  const QPoint at = pic.PixelAt(x, y);
  for (int dx = -2; dx <= 2; ++dx)
    for (int dy = -2; dy <= 2; ++dy) {
      const QPoint p = at + QPoint(dx, dy);
      if (pic.Image().valid(p) && ui::RGB(qRed(pic.Image().pixel(p)), qGreen(pic.Image().pixel(p)),
                                          qBlue(pic.Image().pixel(p))) == colour)
        return true;
    }
  return false;
}

class RawWindow : public BrowserTest {
 protected:
  RawWindow() {
    dialogs_.AllowAnyOk(false);  // each test says which boxes it expects
    // A1 has beams 0..2 on channels 0, 2 and 4; B1, A2 and B2 one beam each.
    WritePlate("w3b", 2, 2, {{0, 0, 0}, {2, 0, 1}, {4, 0, 2}, {1, 1, 0}, {16, 2, 0}, {17, 3, 0}});
  }

  fs::path MakeRawRun(const RunSetup& setup = {}) {
    return MakeRun(MakeProject(1, "Raw"), "20240315_0930", "Signal", {}, setup);
  }

  // The run loaded in the browser; the window shown at the size of a small screen.
  Frm_offline& Load(const fs::path& run) {
    Frm_offline& w = W();
    w.showNormal();
    w.resize(1024, 720);
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.LoadRun(run, -1, "p00001_Raw"));
    return w;
  }

  // A 2 x 2 run of 55 bins: five whole raw files, two pages; counts.bin of 55 records.
  fs::path SignalRun(int rt_buffer = 500) {
    const fs::path run = MakeRawRun({"w3b"});
    AppendRawBins(run, 0, 55, Signal);
    std::vector<int32_t> minutes;
    for (int r = 0; r < 55; ++r) minutes.push_back(r / 2);
    WriteCountsMinutes(run, minutes);
    if (rt_buffer != 500) {
      // setup.dat with another bin length.
      std::string setup = testsupport::ReadBytes(run / "setup.dat");
      const size_t at = setup.find(",500,");
      EXPECT_NE(at, std::string::npos);
      setup.replace(at, 5, "," + std::to_string(rt_buffer) + ",");
      testsupport::WriteBytes(run / "setup.dat", setup);
    }
    return run;
  }
};

TEST_F(RawWindow, TheChannelViewLoadsAPageWhileOtherWorkWaits) {
  Frm_offline& w = Load(SignalRun());
  ASSERT_TRUE(w.cmdchannels->isEnabled());
  w.cmdchannels_Click();
  EXPECT_EQ(w.View_Mode, 1);
  EXPECT_EQ(w.cmdchannels->text(), "[Channel Signal]");
  EXPECT_EQ(w.Cmd_leegroups->text(), "Group Activity");
  EXPECT_EQ(w.Txtpage->text(), "1/2");
  EXPECT_EQ(w.scrollpage->maximum(), 2);
  EXPECT_EQ(w.SignalPage().page, 1);
  EXPECT_EQ(w.lblcanal->Caption(), "0");  // A1, beam 0
  for (QWidget* c : std::initializer_list<QWidget*>{w.scrollpage, w.Txtpage, w.Label_page,
                                                     w.frame_well, w.lstgrup, w.fmranalizar})
    EXPECT_TRUE(c->isVisible()) << c->objectName().toStdString();
  EXPECT_FALSE(w.lstgrup_plot->isVisible());
  // The page is drawn: A1's beams (channels 0, 2, 4) in red, blue and green, each a
  // band from its dips to its level (at this scale a block is a dozen pixels wide).
  EXPECT_TRUE(DrawnNear(*w.Picreal, 250, Signal(0, 0, 250) - 150, ui::RGB(255, 0, 0)));
  EXPECT_TRUE(DrawnNear(*w.Picreal, 250, Signal(0, 2, 250) - 150, ui::RGB(0, 0, 255)));
  EXPECT_TRUE(DrawnNear(*w.Picreal, 250, Signal(0, 4, 250) - 150, ui::RGB(0, 255, 0)));
  // The bar in the status picture is full.
  EXPECT_EQ(w.Pic_status->Point(99, 50), ui::RGB(0, 0, 255));

  // Moving the bar loads page 2; while it loads, the controls that could start more
  // work are off, and a second load asked for meanwhile does nothing.
  std::vector<bool> enabled_meanwhile;
  int page_meanwhile = 0;
  QTimer::singleShot(0, &w, [&] {
    enabled_meanwhile = {w.framecanal->isEnabled(), w.scrollpage->isEnabled(),
                         w.Listpj->isEnabled(), w.frame_plotbutton->isEnabled()};
    w.cmdchannels_Click();
    page_meanwhile = w.Current_Page;
  });
  w.scrollpage->setValue(2);
  EXPECT_EQ(enabled_meanwhile, (std::vector<bool>{false, false, false, false}));
  EXPECT_EQ(page_meanwhile, 2);
  EXPECT_EQ(w.Txtpage->text(), "2/2");
  EXPECT_EQ(w.SignalPage().page, 2);
  EXPECT_EQ(w.SignalPage().Level(0, 0, 0), Signal(50, 0, 0));  // page 2 block 0 is bin 50
  EXPECT_TRUE(w.framecanal->isEnabled());
  EXPECT_TRUE(w.scrollpage->isEnabled());
  EXPECT_TRUE(dialogs_.log().empty()) << dialogs_.log().front();

  // Back to the group view: the page controls go.
  w.Cmd_leegroups_Click();
  EXPECT_EQ(w.View_Mode, 0);
  EXPECT_FALSE(w.frame_well->isVisible());
  EXPECT_FALSE(w.scrollpage->isVisible());
  w.scrollpage->setValue(1);  // outside the view the bar springs back
  EXPECT_EQ(w.scrollpage->value(), 2);
}

TEST_F(RawWindow, RunsTheViewCannotShowAreToldSo) {
  struct Case {
    const char* what;
    std::function<fs::path()> make;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"another bin length", [&] { return SignalRun(250); },
       "Raw data can only be shown for runs of 500 samples per bin: this run has 250"},
      {"no raw files",
       [&] {
         const fs::path run = MakeRun(MakeProject(2, "Empty"), "20240401_0930", "x", {{0, {}}},
                                      {"w3b"});
         return run;
       },
       "Raw data files not found: nothing to show"},
      {"a file missing",
       [&] {
         const fs::path run = MakeRun(MakeProject(3, "Gap"), "20240402_0930", "x", {{0, {}}},
                                      {"w3b"});
         AppendRawBins(run, 0, 11, Signal);
         SparseFile(run / "2.bin", kRecordBytes);
         return run;
       },
       "Raw data file 1.bin is missing: its blocks show as flat lines"},
  };
  dialogs_.AllowAnyOk();
  for (const Case& c : cases) {
    Frm_offline& w = Load(c.make());
    const size_t before = dialogs_.log().size();
    w.cmdchannels_Click();
    ASSERT_GT(dialogs_.log().size(), before) << c.what;
    EXPECT_EQ(dialogs_.log()[before], c.message) << c.what;
  }
}

TEST_F(RawWindow, TheWellChoiceAndTheGroupList) {
  const fs::path run = SignalRun();
  WriteGroups(run, {"Control", "Drug"}, {{0, 1}, {2, 1}, {17, 1}, {1, 0}});
  Frm_offline& w = Load(run);
  w.combogrup->setCurrentIndex(w.combogrup->findText("001_Drug"));
  w.cmdchannels_Click();
  EXPECT_EQ(Entries(w.lstgrup), (std::vector<std::string>{"A1.0", "A1.1", "B2.0"}));

  // The combos choose without redrawing; a beam the well lacks is refused.
  w.Combocol->setCurrentIndex(1);
  EXPECT_EQ(w.lblcanal->Caption(), "16");  // A2
  dialogs_.AllowAnyOk();
  w.txtsub->setText("2");
  w.Combofila->setCurrentIndex(1);
  EXPECT_EQ(dialogs_.log().back(), "Well B2 has no beam 2");
  EXPECT_EQ(w.lblcanal->Caption(), "16");  // and the controls name it again: A2, beam 0
  EXPECT_EQ(w.Combofila->currentText() + w.Combocol->currentText() + w.txtsub->text(), "A20");

  // A double click on the list chooses the well, beam 0, and opens the view at page 1.
  w.scrollpage->setValue(2);
  w.lstgrup->setCurrentRow(2);
  w.lstgrup_DblClick();
  EXPECT_EQ(w.Combofila->currentText(), "B");
  EXPECT_EQ(w.Combocol->currentText(), "2");
  EXPECT_EQ(w.txtsub->text(), "0");
  EXPECT_EQ(w.lblcanal->Caption(), "17");
  EXPECT_EQ(w.Current_Page, 1);
  EXPECT_EQ(w.lstgrup->currentRow(), 2);  // the list keeps its place
}

TEST_F(RawWindow, TheTextExportOpensDatafileOrSaysWhyNot) {
  Frm_offline& w = Load(SignalRun());
  w.asciiexporta_Click();  // not in the channel view: nothing
  EXPECT_FALSE(fs::exists(Home() / "datafile.txt"));
  w.cmdchannels_Click();
  {
    const QSignalBlocker quiet(w.Combocol);  // the combos name A2: the label is A1's
    w.Combocol->setCurrentIndex(1);
  }
  w.asciiexporta_Click();
  EXPECT_NE(testsupport::ReadBytes(Home() / "datafile.txt")
                .find("Well: A1 Page[1/2] [#0k-25k]\r\n\r\nA1.0 A1.1 A1.2 \r\n"),
            std::string::npos);
  EXPECT_EQ(launcher_.calls.back(), "shell: notepad " + (Home() / "datafile.txt").string());

  fs::remove(Home() / "datafile.txt");
  fs::create_directories(Home() / "datafile.txt" / "in the way");
  dialogs_.AllowAnyOk();
  const size_t launches = launcher_.calls.size();
  w.asciiexporta_Click();
  ASSERT_FALSE(dialogs_.log().empty());
  EXPECT_EQ(dialogs_.log().back().rfind("Could not write", 0), 0u);
  EXPECT_EQ(launcher_.calls.size(), launches);
}

TEST_F(RawWindow, TheAnalysisIsDrawnOverAFreshPage) {
  Frm_offline& w = Load(SignalRun());
  w.cmdchannels_Click();
  const QImage page = w.Picreal->Image().copy();
  struct Case {
    const char* text;
    const char* shown;
  };
  for (const Case& c : std::vector<Case>{{"2,5", "2,5"}, {"7", "1.8"}, {"1.0", "1.8"}}) {
    w.frmtxt_threshold->setText(c.text);
    w.Cmd_analyze_Click();
    EXPECT_EQ(w.frmtxt_threshold->text(), c.shown) << c.text;
  }
  // The second analysis replaced the first: the picture is the page and one analysis.
  const QImage twice = w.Picreal->Image().copy();
  w.cmdchannels_Click();
  EXPECT_EQ(w.Picreal->Image(), page);
  w.Cmd_analyze_Click();
  EXPECT_EQ(w.Picreal->Image(), twice);
  EXPECT_NE(twice, page);
  EXPECT_EQ(w.SignalPage().Level(0, 0, 0), Signal(0, 0, 0));
}

// ---- Tracking ----

// The 6-well layout as installed, a Zebrafish run of `blocks` bins in which an animal
// crosses well A1's beams on channels 0 and 16 in turn (one grid column apart).
class TrackWindow : public RawWindow {
 protected:
  fs::path TrackRun(int blocks) {
    fs::copy_file(testsupport::SourceDir() / "data" / "w6.dat", Home() / "w6.dat");
    RunSetup setup;
    setup.plate = "w6";
    setup.organism = 1;
    const fs::path run = MakeRawRun(setup);
    AppendRawBins(run, 0, blocks, [](int64_t, int c, int s) {
      int v = 2000 + (s * 7 + c) % 13;
      if ((c == 0 && s % 80 < 3) || (c == 16 && s % 80 >= 40 && s % 80 < 43)) v -= 400;
      return static_cast<int16_t>(v);
    });
    std::vector<int32_t> minutes;
    for (int r = 0; r < blocks; ++r) minutes.push_back(r);
    WriteCountsMinutes(run, minutes);
    return run;
  }
};

TEST_F(TrackWindow, PlaysBackPausesAndGoesOnWhereItStopped) {
  Frm_offline& w = Load(TrackRun(2));
  ASSERT_FALSE(w.cmd_track->isHidden());
  w.cmd_track_Click();
  EXPECT_EQ(w.View_Mode, 6);
  ASSERT_TRUE(w.Tracker());
  EXPECT_EQ(w.Txtpage->text(), "0");
  EXPECT_FALSE(w.chk_bmp->isHidden());
  EXPECT_FALSE(w.Timer_play.isActive());
  // The plate: well A1's beam at channel 0 is a blue dot, the odd grid row under it
  // (on no well) a yellow one.
  EXPECT_TRUE(DrawnNear(*w.Picreal, 50, 50, ui::RGB(0, 0, 255)));
  EXPECT_TRUE(DrawnNear(*w.Picreal, 50, 150, ui::RGB(255, 255, 0)));

  w.cmd_track_Click();
  EXPECT_TRUE(w.Timer_play.isActive());
  EXPECT_EQ(w.Timer_play.interval(), 20);
  for (int i = 0; i < 120; ++i) w.Timer_play_Timer();
  EXPECT_EQ(w.Txtpage->text(), "120/1000");
  w.cmd_track_Click();  // pause
  EXPECT_FALSE(w.Timer_play.isActive());
  w.cmd_track_Click();  // go on: the play position is kept
  EXPECT_EQ(w.Tracker()->play_position, 120);
  // The animal went from channel 0 to 16 and back: whole columns.
  EXPECT_GT(w.Tracker()->Distance(0), 0);

  // Played to the end, the CSV is written beside the run and opened.
  while (w.Timer_play.isActive()) w.Timer_play_Timer();
  const fs::path csv = w.Run().Chosen_Run_Path / "report.csv";
  ASSERT_TRUE(fs::exists(csv));
  EXPECT_EQ(launcher_.calls.back(), "shell: explorer " + csv.string());
  EXPECT_NE(testsupport::ReadBytes(csv).find("Group/Time[m],0.0,1.0\r\n"), std::string::npos);
  EXPECT_EQ(w.Txtpage->text(), "1000/1000");

  // Another press starts a new track; leaving the view stops the timer at its tick.
  w.cmd_track_Click();
  EXPECT_EQ(w.Tracker()->play_position, 0);
  w.cmd_track_Click();
  w.Cmd_barplot_Click();
  w.Timer_play_Timer();
  EXPECT_FALSE(w.Timer_play.isActive());
  EXPECT_TRUE(dialogs_.log().empty()) << dialogs_.log().front();
}

TEST_F(TrackWindow, PicturesPerStepAreAskedForAboveAThousand) {
  Frm_offline& w = Load(TrackRun(3));
  w.cmd_track_Click();
  w.chk_bmp->setChecked(true);
  dialogs_.AnswerNo();
  w.cmd_track_Click();
  ASSERT_EQ(dialogs_.log().size(), 1u);
  EXPECT_EQ(dialogs_.log()[0], "Up to 1500 pictures, one per step, will be written into " +
                                   (w.Run().Chosen_Run_Path / "bmp").string() + ". Go on?");
  EXPECT_FALSE(w.Timer_play.isActive());
  EXPECT_FALSE(fs::exists(w.Run().Chosen_Run_Path / "bmp"));

  dialogs_.AnswerYes();
  w.cmd_track_Click();
  ASSERT_TRUE(w.Timer_play.isActive());
  for (int i = 0; i < 100; ++i) w.Timer_play_Timer();
  // The dips of channels 16 (sample 40) and 0 (sample 80) each drew a step's picture.
  std::vector<std::string> pictures;
  for (const auto& e : fs::directory_iterator(w.Run().Chosen_Run_Path / "bmp"))
    pictures.push_back(e.path().filename().string());
  EXPECT_FALSE(pictures.empty());
  for (const std::string& p : pictures) EXPECT_EQ(p.size(), 9u) << p;  // "00001.bmp"

  // The track picture goes to the program folder and opens.
  w.mn_bmptrack_Click();
  EXPECT_TRUE(fs::exists(Home() / "trackimg.bmp"));
  EXPECT_EQ(launcher_.calls.back(), "shell: mspaint " + (Home() / "trackimg.bmp").string());

  // Where nothing can be written, each says so once and nothing starts or opens.
  dialogs_.AllowAnyOk();
  fs::remove(Home() / "trackimg.bmp");
  fs::create_directories(Home() / "trackimg.bmp" / "in the way");
  const size_t launches = launcher_.calls.size();
  w.mn_bmptrack_Click();
  EXPECT_EQ(dialogs_.log().back(),
            "The picture could not be written: " + (Home() / "trackimg.bmp").string());
  EXPECT_EQ(launcher_.calls.size(), launches);
  w.cmd_track_Click();  // pause
  fs::remove_all(w.Run().Chosen_Run_Path / "bmp");
  testsupport::WriteBytes(w.Run().Chosen_Run_Path / "bmp", "a file in the way");
  dialogs_.AnswerYes();
  w.cmd_track_Click();
  EXPECT_EQ(dialogs_.log().back().rfind("Could not make the folder " +
                                            (w.Run().Chosen_Run_Path / "bmp").string(),
                                        0),
            0u)
      << dialogs_.log().back();
  EXPECT_FALSE(w.Timer_play.isActive());
}

TEST_F(TrackWindow, EveryCountRowAndKeyBarOfA32BeamWellIsInsideThePicture) {
  Frm_offline& w = Load(TrackRun(12));
  for (const QSize size : {QSize(1024, 720), QSize(1600, 1000)}) {
    SCOPED_TRACE(size.width());
    w.resize(size);
    QCoreApplication::processEvents();
    w.cmdchannels_Click();
    const std::vector<int> beams = offline::BeamList(w.Run(), w.ChosenChannel());
    const offline::PlotTextSize text = w.AnalysisTextSize();
    ASSERT_GT(text.line, 0);
    const ui::DrawPlan plan = offline::PageAnalysisPlan(
        offline::AnalyzePage(w.SignalPage(), beams, w.Run().Chosen_Run_Path / "counts.bin", 1.8, 0),
        offline::BeamColours(31), text);
    std::vector<const ui::DrawOp*> counts, bars;
    for (const ui::DrawOp& op : plan.Ops()) {
      if (op.kind == ui::OpKind::kText && op.y1 < 2150) counts.push_back(&op);
      if (op.kind == ui::OpKind::kFill) bars.push_back(&op);
    }
    ASSERT_EQ(counts.size(), 5u * 32u);
    ASSERT_EQ(bars.size(), 32u);
    // Counts and key bars below the minutes' line and above the picture's foot, the
    // counts of a column a line apart (or the 100 units of a few beams).
    int outside = 0, overlaps = 0;
    for (const ui::DrawOp* op : counts) {
      outside += op->y1 > 2150 - text.line || op->y1 - text.line < -150 || op->x1 < -1000;
      for (const ui::DrawOp* other : counts)
        overlaps += op != other && op->x1 == other->x1 &&
                    std::abs(op->y1 - other->y1) < std::min(100.0, text.line) - 1e-9;
    }
    for (const ui::DrawOp* op : bars) outside += op->y1 < -150 || op->y2 > 2150 - text.line;
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(overlaps, 0);
    // The columns of counts run in the key bars' order, beam 0's leftmost.
    int out_of_order = 0;
    for (size_t k = 0; k < bars.size(); ++k)
      for (size_t j = 0; j < bars.size(); ++j)
        out_of_order += (counts[k]->x1 < counts[j]->x1) != (bars[k]->x1 < bars[j]->x1);
    EXPECT_EQ(out_of_order, 0);
    // The window draws it so: beam 31's key bar (pure red on the ramp) where the plan has it.
    w.frmtxt_threshold->setText("1.8");
    w.cmb_modeanalisis->setCurrentIndex(0);
    w.Cmd_analyze_Click();
    const ui::DrawOp& last = *bars.back();
    EXPECT_EQ(w.Picreal->Point((last.x1 + last.x2) / 2, (last.y1 + last.y2) / 2),
              ui::RGB(255, 0, 0));
  }
}

TEST_F(TrackWindow, TheDataExportWritesEveryWellAndGivesTheWindowBack) {
  Frm_offline& w = Load(TrackRun(2));
  w.cmd_track_Click();
  w.mn_datatrack_Click();
  EXPECT_EQ(w.View_Mode, 99);
  EXPECT_FALSE(w.Tracker());
  const std::string csv = testsupport::ReadBytes(w.Run().Chosen_Run_Path / "report.csv");
  // Six wells, two block columns each; only A1 moved.
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4 + 1 + 6 + 1) << csv;
  EXPECT_NE(csv.find("\r\n\"000_Group0\",0,0\r\n"), std::string::npos) << csv;
  EXPECT_TRUE(w.framecanal->isEnabled());
  EXPECT_TRUE(w.cmd_track->isEnabled());
  w.cmd_track_Click();  // after the export a press prepares a new track
  EXPECT_EQ(w.View_Mode, 6);
}

}  // namespace
}  // namespace offline_test
