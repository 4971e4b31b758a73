// The channel-calibration window reached through the technical password, against the
// simulated compact instrument: selection, the live view, the map's read-back and
// the ways out.
#include <QComboBox>
#include <QImage>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "link/device_frame.h"
#include "service/forms/frm_tech_cal.h"
#include "service/tech_cal_plots.h"
#include "service_fixture.h"
#include "service_window_fixture.h"
#include "ui/controls.h"
#include "ui/picture_box.h"

namespace {

using mainwindow::Frm_Main;
using service::Frm_Tech_cal;
using servicetest::Repeat;

class TechCalWindow : public servicetest::ServiceWindowTest {
 protected:
  void SetUp() override {
    ServiceWindowTest::SetUp();
    (*sim_)->SetReplyMode(sim::ReplyMode::kGroup);
    (*sim_)->WithModel([](sim::InstrumentModel& m) {
      m.SetCompact(true);
      for (int r = 0; r < 192; ++r) {
        sim::CompactLevelTable t;
        t.fill(r == 0 ? 2100 : 800);
        m.compact().SetLevels(r, t);
      }
      m.compact().Write(18, 229);
    });
  }
  Frm_Tech_cal& Open(Frm_Main& w) {
    dialogs.AnswerInput("Fenix8306");
    w.mn_technical_Click();
    return ui::Default<Frm_Tech_cal>();
  }
  static void Steps(Frm_Tech_cal& t, int n) {
    for (int i = 0; i < n; ++i) {
      t.step_timer.stop();
      t.Step_Timer();
    }
    t.step_timer.stop();
  }
};

TEST_F(TechCalWindow, SelectsReadsBackAndWritesOnlyWhatTheUserMoves) {
  Frm_Main& w = Start();
  storage::Shared().Offline_Mode = false;
  storage::Shared().ThresholdAt(0, 36) = 2.6;
  w.show();
  Frm_Tech_cal& t = Open(w);
  EXPECT_TRUE(t.isVisible());
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(t.Combocol->currentText(), "0");
  EXPECT_EQ(t.Combofila->currentText(), "A");
  EXPECT_EQ(t.lblnchannel->text(), "A0");
  EXPECT_TRUE(t.shapeoffline->Filled());

  t.Combofila->setCurrentIndex(15);  // "P" before a column: channel 0
  EXPECT_EQ(t.lblcanal->text(), "0");
  t.Combocol->setCurrentIndex(23);
  EXPECT_EQ(t.lblcanal->text(), "383");

  // Idle, the map selects and shows the threshold without asking the instrument.
  t.Picwell_MouseDown(1, 0, 250, 450);
  EXPECT_EQ(t.lblcanal->text(), "36");
  EXPECT_EQ(t.lblnchannel->text(), "E3");
  EXPECT_EQ(t.Combofila->currentText(), "E");
  EXPECT_EQ(t.txt_threshold->text(), "2.6");
  EXPECT_EQ(t.Scroll_threshold->value(), 3);
  EXPECT_TRUE((*sim_)->Received().empty());

  t.Cmd_online->click();
  EXPECT_TRUE(t.step_timer.isActive());
  EXPECT_FALSE(t.Cmd_online->isEnabled());
  EXPECT_TRUE(t.shapeonline->Filled());
  Steps(t, 3);
  EXPECT_EQ(t.Picwell->Point(30, 30), ui::RGB(255, 255, 255));    // register 0 at 2100
  EXPECT_EQ(t.Picwell->Point(30, 130), ui::RGB(0, 0, 0));         // B1 has no beam
  EXPECT_EQ(t.Picwell->Point(230, 430), ui::RGB(100, 100, 100));  // E3: 800 / 8

  (*sim_)->ClearReceived();
  t.Picwell_MouseDown(1, 0, 250, 450);
  EXPECT_EQ(t.lblout->text(), "229");
  EXPECT_EQ(t.scrollgain->value(), 7);
  EXPECT_EQ(t.txtgain->text(), "7");
  EXPECT_EQ(t.scrollpower->value(), 5);
  EXPECT_EQ(t.txtpower->text(), "5");
  // Values set by the click neither write nor store a threshold.
  EXPECT_EQ((*sim_)->Received(), devlink::DeviceFrame(0x20, 18, 0));
  EXPECT_DOUBLE_EQ(storage::Shared().ThresholdAt(0, 36), 2.6);

  t.scrollgain->setValue(3);  // the user's move
  EXPECT_EQ((*sim_)->Received().substr(5), Repeat(devlink::DeviceFrame(18, 3 * 32 + 5, 0x80), 9));
  t.Scroll_threshold->setValue(5);
  EXPECT_DOUBLE_EQ(storage::Shared().ThresholdAt(0, 36), 5);

  // The map click moved the boxes' selection: the earlier picks select again.
  EXPECT_EQ(t.Combofila->currentIndex(), 4);
  EXPECT_EQ(t.Combocol->currentIndex(), 2);
  t.Combofila->setCurrentIndex(15);
  t.Combocol->setCurrentIndex(23);
  EXPECT_EQ(t.lblcanal->text(), "383");

  t.Command2->click();  // EXIT: the live view ends, the start window shows
  EXPECT_FALSE(t.isVisible());
  EXPECT_FALSE(t.logic().Stepping());
  EXPECT_TRUE(ui::Default<mainwindow::Frm_Init>().isVisible());
  EXPECT_TRUE(t.Cmd_online->isEnabled());
  EXPECT_TRUE(dialogs.Exhausted());
}

// Groups of white columns in the map's top margin, split by at least five dark columns
// (more than the gap inside a number): the column numbers as a reader tells them apart.
int NumberGroups(const QImage& map, int margin_rows) {
  constexpr int kApart = 5;
  int groups = 0, dark_run = kApart;
  for (int x = 0; x < map.width(); ++x) {
    bool white = false;
    for (int y = 0; y < margin_rows && !white; ++y) white = qGray(map.pixel(x, y)) > 200;
    if (white && dark_run >= kApart) ++groups;
    dark_run = white ? 0 : dark_run + 1;
  }
  return groups;
}

TEST_F(TechCalWindow, TheSmallScreenShowsTheWholeThresholdAndSeparateColumnNumbers) {
  Frm_Main& w = Start();
  storage::Shared().ThresholdAt(0, 36) = 15.552454200973512;
  w.show();
  Frm_Tech_cal& t = Open(w);
  t.resize(1024, 690);
  QCoreApplication::processEvents();
  EXPECT_LE(t.width(), 1024);
  // The numbers at a font as wide as a desktop screen draws them, in cells this narrow.
  t.Picwell->SetFontSize(12);
  t.Form_Resize();
  const QImage map = t.Picwell->Image();
  EXPECT_EQ(NumberGroups(map, map.height() * 75 / 1675), service::kMapColumns);
  t.Picwell_MouseDown(1, 0, 250, 450);
  ASSERT_EQ(t.txt_threshold->text(), "15.5524542009735");
  const int text = t.txt_threshold->fontMetrics().horizontalAdvance(t.txt_threshold->text());
  EXPECT_LE(text + 8, t.txt_threshold->width());
  t.Command2->click();
}

TEST_F(TechCalWindow, HidingStopsTheLiveViewAndClosingShowsTheMainWindow) {
  Frm_Main& w = Start();
  storage::Shared().Offline_Mode = false;
  w.show();
  Frm_Tech_cal& t = Open(w);
  t.Cmd_online_Click();
  Steps(t, 2);
  t.Command24_Click();  // OffLine: the browser shows, the window hides
  EXPECT_FALSE(t.logic().online());
  EXPECT_FALSE(t.logic().Stepping());
  EXPECT_TRUE(ui::IsLoaded<Frm_Tech_cal>());
  // The technical menu shows the same window again, its traces kept.
  Frm_Tech_cal& again = Open(w);
  EXPECT_EQ(&again, &t);
  EXPECT_EQ(again.logic().traces().read_count, 2);
  w.hide();
  again.close();
  EXPECT_FALSE(ui::IsLoaded<Frm_Tech_cal>());
  EXPECT_TRUE(w.isVisible());
}

}  // namespace
