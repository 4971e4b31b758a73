// The channel-calibration window reached through the technical password, against the
// simulated compact instrument: selection, the live view, the map's read-back and
// the ways out.
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <functional>

#include "link/device_frame.h"
#include "service/factory_calibration.h"
#include "service/forms/frm_factory.h"
#include "service/forms/frm_tech_cal.h"
#include "service/tech_cal_plots.h"
#include "service_fixture.h"
#include "service_window_fixture.h"
#include "tech_cal_fixture.h"
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
  // The main window shown, connected, on the real clock (the instrument's own pace).
  Frm_Main& ShownInRealTime() {
    platform::SetClock(nullptr);
    Frm_Main& w = Start();
    storage::Shared().Offline_Mode = false;
    w.show();
    return w;
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

// Calls `seen` before each paint of `widget`.
struct PaintSpy : QObject {
  PaintSpy(QWidget* widget, std::function<void()> f) : seen(std::move(f)) {
    widget->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) seen();
    return false;
  }
  std::function<void()> seen;
};

// The event loop under a 5 ms timer: the longest stretch without the window's events,
// the open one included.
struct EventGaps {
  EventGaps() {
    QObject::connect(&timer, &QTimer::timeout,
                     [this] { longest_ms = std::max(longest_ms, since_tick.restart()); });
    clock.start();
    since_tick.start();
    timer.start(5);
  }
  double longest_s() const { return std::max(longest_ms, since_tick.elapsed()) / 1000.0; }
  double seconds() const { return clock.elapsed() / 1000.0; }
  void RunUntil(const std::function<bool()>& done, double limit_s) {
    while (!done() && seconds() < limit_s)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  QTimer timer;
  QElapsedTimer clock, since_tick;
  qint64 longest_ms = 0;
};

TEST_F(TechCalWindow, HidingStopsTheLiveViewAndClosingShowsTheMainWindow) {
  Frm_Main& w = Start();
  storage::Shared().Offline_Mode = false;
  w.show();
  Frm_Tech_cal& t = Open(w);
  // The scan dots are lit a step before their read, so that the window shows them.
  bool lit_shown = false;
  PaintSpy spy(t.Picwell_out, [&] {
    const QImage& scan = t.Picwell_out->Image();
    for (int y = 0; y < scan.height(); ++y)
      for (int x = 0; x < scan.width(); ++x) lit_shown |= qGray(scan.pixel(x, y)) > 128;
  });
  t.Cmd_online->click();
  EventGaps().RunUntil([&] { return lit_shown && t.logic().traces().read_count > 1; }, 3);
  EXPECT_TRUE(lit_shown);
  const int reads = t.logic().traces().read_count;
  t.Command24_Click();  // OffLine: the browser shows, the window hides
  EXPECT_FALSE(t.logic().online());
  EXPECT_FALSE(t.logic().Stepping());
  EXPECT_TRUE(ui::IsLoaded<Frm_Tech_cal>());
  // The technical menu shows the same window again, its traces kept.
  Frm_Tech_cal& again = Open(w);
  EXPECT_EQ(&again, &t);
  EXPECT_EQ(again.logic().traces().read_count, reads);
  w.hide();
  again.close();
  EXPECT_FALSE(ui::IsLoaded<Frm_Tech_cal>());
  EXPECT_TRUE(w.isVisible());
}

using Act = std::function<void(Frm_Tech_cal&)>;

Act Click(QPushButton* Frm_Tech_cal::*button) {
  return [button](Frm_Tech_cal& t) { (t.*button)->click(); };
}

// Set All, the bars and the read-back need the live view: one without reads.
Act LiveFirst(Act act) {
  return [act](Frm_Tech_cal& t) {
    storage::Shared().Offline_Mode = true;
    t.Cmd_online->click();
    act(t);
    t.Cmd_offline->click();
  };
}

// In real time, the window's events run through every wait of its work. An instrument
// that does not answer as it should ends the work with a message within 10 s; OFFLINE
// (each machine by its own flag), a run, hiding or closing end it within a second.
TEST_F(TechCalWindow, EveryWaitLetsTheWindowRunAndTheWorkEndsWhenItShould) {
  platform::SetClock(nullptr);
  const std::string silent = service::kInstrumentSilentText;
  const std::string write0 = "Ops...Data Writing ERROR: reg(0)... Check COM and Try again";
  const Act online = Click(&Frm_Tech_cal::Cmd_online), set = Click(&Frm_Tech_cal::cmd_setcalibra),
            stepping = Click(&Frm_Tech_cal::Cmdcalibrar), scan = Click(&Frm_Tech_cal::cmdTEST),
            offline = Click(&Frm_Tech_cal::Cmd_offline);
  using sim::Fault;
  const struct {
    const char* what;
    Fault fault;  // kNone: replies at the wire's pace
    Act act;
    std::vector<std::string> messages;
    Act end = nullptr;  // 300 ms into the work
    int pace = -1;      // reply bytes a second; -1: the wire's when healthy, else at once
  } rows[] = {
      {"live view, 47-byte groups", Fault::kShortReply, online, {silent}},
      {"live view, 49-byte groups", Fault::kLongReply, online, {silent}},
      {"SET, lone echoes", Fault::kShortReply, set, {write0, service::kSetFailedMessage}},
      {"Set All, lone echoes", Fault::kShortReply, LiveFirst(Click(&Frm_Tech_cal::Cmd_setall)),
       {write0}},
      {"bar move, silent", Fault::kSilence,
       LiveFirst([](Frm_Tech_cal& t) { t.scrollgain->setValue(t.scrollgain->value() ^ 1); }),
       {write0}},
      {"read-back, silent", Fault::kSilence,
       LiveFirst([](Frm_Tech_cal& t) { t.Picwell_MouseDown(1, 0, 50, 50); }), {}},
      {"Autocalibra, silent", Fault::kSilence, Click(&Frm_Tech_cal::cmd_autocalibra), {silent}},
      {"SET, healthy", Fault::kNone, set, {}},
      {"live view, OFFLINE", Fault::kSilence, online, {}, offline},
      {"stepping calibration, OFFLINE", Fault::kSilence, stepping, {}, offline},
      {"scan test, OFFLINE", Fault::kSilence, scan, {}, offline},
      {"stepping calibration, a run", Fault::kSilence, stepping, {storage::kRunningRefusal},
       [](Frm_Tech_cal&) { storage::Shared().Acq_State = 1; }},
      {"scan test, hiding", Fault::kSilence, scan, {}, [](Frm_Tech_cal& t) { t.hide(); }},
      {"SET, closing", Fault::kSilence, set, {}, [](Frm_Tech_cal& t) { t.close(); }},
      // After silent rows, so that its replies do not queue behind earlier ones on the line.
      {"live view, bytes 20 ms apart, OFFLINE", Fault::kNone, online, {}, offline, 50},
      {"Autocalibra, a progress byte every 200 ms, OFFLINE", Fault::kNone,
       [this](Frm_Tech_cal& t) {
         (*sim_)->WithModel([](sim::InstrumentModel& m) { m.SetProgressInterval(200); });
         t.cmd_autocalibra->click();
       },
       {}, offline, 50},
      {"SET, OFFLINE", Fault::kNone, set, {}, offline},
      // Slow enough that all of it would take seconds.
      {"Set All, OFFLINE", Fault::kNone, LiveFirst(Click(&Frm_Tech_cal::Cmd_setall)), {}, offline,
       2000},
  };
  Frm_Main& w = Start();
  w.show();
  for (const auto& row : rows) {
    QPointer<Frm_Tech_cal> t = &Open(w);
    t->Combomode->setCurrentIndex(0);  // the stepping calibration's mode
    // SET shows that it waits: a wait cursor over the other work, the fan drawn as it goes.
    bool waiting_shown = false;
    PaintSpy fan(t->picturecal, [&] {
      waiting_shown |= t->logic().writing() && t->cursor().shape() == Qt::WaitCursor &&
                       !t->cmdTEST->isEnabled() && !t->Cmd_online->isEnabled() &&
                       !t->Cmdcalibrar->isEnabled();
    });
    storage::Shared().Offline_Mode = false;
    (*sim_)->SetPacing(row.pace >= 0 ? row.pace
                                     : row.fault == Fault::kNone ? sim::kWireBytesPerSecond : 0);
    (*sim_)->SetFault(row.fault);
    for (size_t i = 0; i < row.messages.size(); ++i) dialogs.ExpectOk();
    EventGaps gaps;
    double ended = 0;
    if (row.end)
      QTimer::singleShot(300, [&] {
        ASSERT_TRUE(t->logic().busy()) << row.what;
        row.end(*t);
        ended = gaps.seconds();
      });
    row.act(*t);
    gaps.RunUntil([&] {
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      return (!row.end || ended > 0) && dialogs.Exhausted() &&
             (!t || (!t->logic().busy() && !t->logic().Stepping()));
    }, 20);
    EXPECT_LT(gaps.seconds() - ended, row.end ? 1.0 : 10.0) << row.what;
    EXPECT_LT(gaps.longest_s(), 0.2) << row.what;
    // Boxes beyond those expected fail the test as they come.
    EXPECT_EQ(std::vector(dialogs.log().end() - ssize(row.messages), dialogs.log().end()),
              row.messages)
        << row.what;
    storage::Shared().Acq_State = 0;
    if (row.fault != Fault::kNone || row.end) continue;
    EXPECT_TRUE(waiting_shown);
    EXPECT_EQ(t->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(t->Cmd_setall->isEnabled());
  }
}


// Runs `act` once as soon as `when` holds, checked every 5 ms from the event loop,
// also inside the waits of the window's work.
struct Once {
  Once(std::function<bool()> when, std::function<void()> act) {
    QObject::connect(&timer, &QTimer::timeout, [this, when = std::move(when), act = std::move(act)] {
      if (!when()) return;
      timer.stop();
      act();
      done = true;
    });
    timer.start(5);
  }
  QTimer timer;
  bool done = false;
};

// A bar move writes the channel selected at the move with the value moved to, whatever
// the user does before the write's turn comes; a read-back never undoes a move made
// after it was asked. Replies 60 ms late keep the port held most of the time.
TEST_F(TechCalWindow, AMoveWritesTheChannelAndValueOfItsMoment) {
  Frm_Main& w = ShownInRealTime();
  Frm_Tech_cal& t = Open(w);
  (*sim_)->SetLateReplyMs(60);
  (*sim_)->SetFault(sim::Fault::kLateReply);
  const auto e3 = [&t] { t.Picwell_MouseDown(1, 0, 250, 450); };  // register 18
  const auto g7 = [&t] { t.Picwell_MouseDown(1, 0, 650, 650); };  // register 51
  const auto written = [this](int reg) { return servicetest::SettingsWritten((*sim_)->Received(), reg); };
  e3();
  t.Cmd_online->click();
  // During a live read: 5 for E3, then G7. During that write: 6 for G7. During the write
  // of 6: E3, then 3.
  Once first([&] { return t.logic().busy(); }, [&] {
    t.scrollgain->setValue(5);
    g7();
  });
  Once second([&] { return first.done && !written(18).empty(); }, [&] { t.scrollgain->setValue(6); });
  Once third([&] { return second.done && !written(51).empty(); }, [&] {
    e3();
    t.scrollgain->setValue(3);
  });
  mainwindow_test::ProgramTest::RunUntil([&] { return written(18).size() == 2; }, 15000);
  t.Cmd_offline->click();
  mainwindow_test::ProgramTest::RunUntil([&] { return !t.logic().busy(); }, 3000);
  EXPECT_EQ(written(18), (std::vector<int>{5 * 32, 3 * 32}));
  EXPECT_EQ(written(51), (std::vector<int>{6 * 32}));
  EXPECT_EQ(t.scrollgain->value(), 3);
  EXPECT_EQ(t.txtgain->text(), "3");
  EXPECT_EQ(t.lblcanal->text(), "36");
  t.Command2->click();
}

// The frames of one window's work from its start to its end, then the command another
// window asked for meanwhile; the factory window's reading skips its turn quietly.
TEST_F(TechCalWindow, OtherWindowsCommandsWaitForTheEndOfTheWork) {
  Frm_Main& w = ShownInRealTime();
  Frm_Tech_cal& t = Open(w);
  const auto wire = [this] { return (*sim_)->Received(); };
  const std::string light_on = devlink::DeviceFrame(0x10, 4, 0);
  const std::string light_off = devlink::DeviceFrame(0x10, 0, 0);

  // SET on a healthy instrument, Stop (outputs off) and the light clicked while it writes.
  (*sim_)->SetPacing(sim::kWireBytesPerSecond);
  (*sim_)->ClearReceived();
  t.txt_ganancia->setText("2");
  t.txt_power->setText("3");
  Once during_set([&] { return t.logic().writing(); }, [&] {
    w.CmdStop->click();
    w.cmd_luz->click();
  });
  t.cmd_setcalibra->click();
  mainwindow_test::ProgramTest::RunUntil([&] { return wire().ends_with(light_on); }, 10000);
  std::string set;
  for (int reg = 0; reg < 192; ++reg) set += Repeat(devlink::DeviceFrame(reg, 2 * 32 + 3, 0x80), 9);
  EXPECT_TRUE(during_set.done);
  EXPECT_TRUE(wire() == set + light_off + light_on) << wire().size() << " bytes";
  EXPECT_EQ(w.cmd_luz->text(), "ON");

  // The live view on a slow instrument, the light clicked during a read, the factory
  // window reading the temperature meanwhile.
  (*sim_)->SetPacing(0);
  (*sim_)->SetLateReplyMs(60);
  (*sim_)->SetFault(sim::Fault::kLateReply);
  (*sim_)->ClearReceived();
  t.Cmd_online->click();
  w.mn_factory_Click();
  auto& f = ui::Default<service::Frm_Factory>();
  const QString shown = f.txt_current_temp->text();
  Once during_read([&] { return t.logic().busy(); }, [&] { w.cmd_luz->click(); });
  mainwindow_test::ProgramTest::RunUntil([&] { return wire().find(light_off) != std::string::npos; },
                                         10000);
  const std::string frames = wire();
  const size_t at = frames.find(light_off);
  ASSERT_NE(at, std::string::npos);
  ASSERT_GE(at, 40u);
  // Right after a whole reading: the eight level requests in order.
  std::string reading;
  for (int g = 0; g <= 56; g += 8) reading += devlink::DeviceFrame(0x30, g, 0);
  EXPECT_EQ(frames.substr(at - 40, 40), reading);
  EXPECT_EQ(frames.find(light_off, at + 1), std::string::npos);
  EXPECT_EQ(w.cmd_luz->text(), "OFF");
  f.Timer_temp.start(1);
  mainwindow_test::ProgramTest::RunUntil([] { return false; }, 300);
  EXPECT_NE(f.txt_mensaje->text(), service::kInstrumentSilentText);
  EXPECT_NE(f.txt_current_temp->text(), "-0.2");
  t.Cmd_offline->click();
  ui::Unload<service::Frm_Factory>();

  // The main window connecting again while the live view runs: its exchanges, from the
  // identification to the factory record's last byte, hold the port (the live view's
  // steps come due during the connection's waits).
  (*sim_)->SetFault(sim::Fault::kNone);
  t.Cmd_online->click();
  mainwindow_test::ProgramTest::RunUntil([&] { return t.logic().traces().read_count > 2; }, 3000);
  (*sim_)->ClearReceived();
  w.cmd_connect->click();
  const std::string identify = devlink::DeviceFrame(0x00, 0, 0);
  const std::string record_end = devlink::DeviceFrame(0x20, 207, 0);
  mainwindow_test::ProgramTest::RunUntil([&] {
    const std::string f = wire();
    const size_t end = f.find(record_end);
    return end != std::string::npos && f.find(devlink::DeviceFrame(0x30, 0, 0), end) != std::string::npos;
  }, 10000);
  const std::string connecting = wire();
  const size_t from = connecting.find(identify), to = connecting.find(record_end);
  ASSERT_LT(from, to);
  EXPECT_EQ(connecting.substr(from, to - from).find(devlink::DeviceFrame(0x30, 0, 0).substr(0, 3)),
            std::string::npos);
  EXPECT_TRUE(t.logic().online());  // and it reads on
  t.Command2->click();
  EXPECT_TRUE(dialogs.Exhausted());
}

}  // namespace
