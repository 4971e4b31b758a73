// The channel-calibration window reached through the technical password, against the
// simulated compact instrument: selection, the live view, the map's read-back and
// the ways out.
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "link/device_frame.h"
#include "service/factory_calibration.h"
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
  Steps(t, 4);  // two reads, each a step after its lit dots
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

// Paints of a widget, each after `seen` has looked at what it is about to show.
class PaintSpy : public QObject {
 public:
  PaintSpy(QWidget* widget, std::function<void()> seen) : seen_(std::move(seen)) {
    widget->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) seen_();
    return false;
  }

 private:
  std::function<void()> seen_;
};

TEST_F(TechCalWindow, TheLitScanDotReachesTheScreenWhileItsGroupIsRead) {
  Frm_Main& w = Start();
  storage::Shared().Offline_Mode = false;
  w.show();
  Frm_Tech_cal& t = Open(w);
  bool lit_shown = false;
  PaintSpy spy(t.Picwell_out, [&] {
    const QImage& scan = t.Picwell_out->Image();
    for (int y = 0; y < scan.height(); ++y)
      for (int x = 0; x < scan.width(); ++x) lit_shown |= qGray(scan.pixel(x, y)) > 128;
  });
  t.Cmd_online->click();
  QElapsedTimer clock;
  clock.start();
  while (!lit_shown && clock.elapsed() < 3000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  t.Command2->click();
  EXPECT_TRUE(lit_shown);
}

// The longest stretch without the window's events, seen by a 5 ms timer, and the
// moment of the first box.
class EventGaps {
 public:
  explicit EventGaps(std::function<void()> tick = {}) : tick_(std::move(tick)) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 now = clock_.elapsed();
      longest_ms_ = std::max(longest_ms_, now - last_);
      last_ = now;
      if (tick_) tick_();
    });
    clock_.start();
    timer_.start();
  }
  // Also the stretch still open.
  double longest_s() const { return std::max(longest_ms_, clock_.elapsed() - last_) / 1000.0; }
  double seconds() const { return clock_.elapsed() / 1000.0; }
  // Runs the event loop until `done` or `limit_s`.
  void RunUntil(const std::function<bool()>& done, double limit_s) {
    while (!done() && seconds() < limit_s)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }

 private:
  std::function<void()> tick_;
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ = 0;
  qint64 longest_ms_ = 0;
};

// A misbehaving instrument, in real time: the window keeps its events running and ends
// the work with a message within 10 s; a healthy SET shows it waits and draws as it goes.
class TechCalBadInstrument : public TechCalWindow {
 protected:
  void SetUp() override {
    TechCalWindow::SetUp();
    platform::SetClock(nullptr);
  }
  static std::vector<std::string> Since(const std::vector<std::string>& log, size_t from) {
    return {log.begin() + static_cast<long>(from), log.end()};
  }
};

TEST_F(TechCalBadInstrument, EveryWaitLetsTheWindowRunAndSilenceEndsTheWorkWithAMessage) {
  using service::kSetFailedMessage;
  const std::string silent = service::kInstrumentSilentText;
  const std::string write0 = "Ops...Data Writing ERROR: reg(0)... Check COM and Try again";
  auto online = [](Frm_Tech_cal& t) { t.Cmd_online->click(); };
  auto set = [](Frm_Tech_cal& t) { t.cmd_setcalibra->click(); };
  // The live view without reads, as Set All, the bars and the read-back need it.
  auto offline_live = [](Frm_Tech_cal& t) {
    storage::Shared().Offline_Mode = true;
    t.Cmd_online->click();
  };
  struct Row {
    const char* what;
    sim::Fault fault;
    std::function<void(Frm_Tech_cal&)> act;
    std::vector<std::string> messages;
  };
  const Row rows[] = {
      {"live view, silent", sim::Fault::kSilence, online, {silent}},
      {"live view, 47-byte groups", sim::Fault::kShortReply, online, {silent}},
      {"live view, 49-byte groups", sim::Fault::kLongReply, online, {silent}},
      {"SET, silent", sim::Fault::kSilence, set, {write0, kSetFailedMessage}},
      {"SET, lone echoes", sim::Fault::kShortReply, set, {write0, kSetFailedMessage}},
      {"Set All, lone echoes", sim::Fault::kShortReply,
       [&](Frm_Tech_cal& t) {
         offline_live(t);
         t.Cmd_setall->click();
       },
       {write0}},
      {"bar move, silent", sim::Fault::kSilence,
       [&](Frm_Tech_cal& t) {
         offline_live(t);
         t.scrollgain->setValue(t.scrollgain->value() == 3 ? 4 : 3);
       },
       {write0}},
      {"read-back, silent", sim::Fault::kSilence,
       [&](Frm_Tech_cal& t) {
         offline_live(t);
         t.Picwell_MouseDown(1, 0, 50, 50);
       },
       {silent}},
      {"Autocalibra, silent", sim::Fault::kSilence,
       [](Frm_Tech_cal& t) { t.cmd_autocalibra->click(); }, {silent}},
      {"SET, healthy, at the wire's pace", sim::Fault::kNone,
       [&](Frm_Tech_cal& t) {
         (*sim_)->SetPacing(sim::kWireBytesPerSecond);
         set(t);
       },
       {}},
  };
  Frm_Main& w = Start();
  w.show();
  Frm_Tech_cal& t = Open(w);
  bool waited = false, drawn = false;
  PaintSpy fan(t.picturecal, [&] { drawn |= t.logic().writing(); });
  for (const Row& row : rows) {
    storage::Shared().Offline_Mode = false;
    (*sim_)->SetPacing(0);
    (*sim_)->SetFault(row.fault);
    for (size_t i = 0; i < row.messages.size(); ++i) dialogs.ExpectOk();
    const size_t logged = dialogs.log().size();
    double boxed = -1;
    bool fired = false;
    waited = drawn = false;
    EventGaps gaps([&] {
      waited |= t.logic().writing() && t.cursor().shape() == Qt::WaitCursor &&
                !t.cmdTEST->isEnabled() && !t.Cmd_online->isEnabled() &&
                !t.Cmdcalibrar->isEnabled();
    });
    dialogs.WhileShown([&] { if (boxed < 0) boxed = gaps.seconds(); });
    QTimer::singleShot(1, [&] {
      row.act(t);
      fired = true;
    });
    gaps.RunUntil(
        [&] {
          return fired && !t.logic().busy() && dialogs.Exhausted() &&
                 (row.messages.empty() || boxed >= 0);
        },
        20);
    EXPECT_LT(gaps.longest_s(), 0.2) << row.what;
    EXPECT_EQ(Since(dialogs.log(), logged), row.messages) << row.what;
    if (!row.messages.empty()) EXPECT_LT(boxed, 10) << row.what;
    t.Cmd_offline->click();
    gaps.RunUntil([&] { return !t.logic().Stepping(); }, 5);
  }
  // The healthy SET, last: a wait cursor over disabled work, and the fan drawn as it goes.
  EXPECT_TRUE(waited);
  EXPECT_TRUE(drawn);
  EXPECT_EQ(t.cursor().shape(), Qt::ArrowCursor);
  EXPECT_TRUE(t.Cmd_setall->isEnabled());
}

TEST_F(TechCalBadInstrument, OfflineARunHidingOrClosingEndsTheWorkWithinASecond) {
  (*sim_)->SetFault(sim::Fault::kSilence);
  const std::pair<const char*, std::function<void(Frm_Tech_cal&)>> machines[] = {
      {"live view", [](Frm_Tech_cal& t) { t.Cmd_online->click(); }},
      {"stepping calibration",
       [](Frm_Tech_cal& t) {
         t.Combomode->setCurrentIndex(0);
         t.Cmdcalibrar->click();
       }},
      {"scan test", [](Frm_Tech_cal& t) { t.cmdTEST->click(); }},
  };
  struct Ending {
    const char* what;
    std::function<void(Frm_Tech_cal&)> end;
    std::vector<std::string> messages;
  };
  const Ending endings[] = {
      {"OFFLINE", [](Frm_Tech_cal& t) { t.Cmd_offline->click(); }, {}},
      {"a run", [](Frm_Tech_cal&) { storage::Shared().Acq_State = 1; }, {storage::kRunningRefusal}},
      {"hiding", [](Frm_Tech_cal& t) { t.hide(); }, {}},
      {"closing", [](Frm_Tech_cal& t) { t.close(); }, {}},
  };
  Frm_Main& w = Start();
  storage::Shared().Offline_Mode = false;
  w.show();
  for (const auto& [machine, start] : machines) {
    for (const Ending& ending : endings) {
      const std::string what = std::string(machine) + ", " + ending.what;
      QPointer<Frm_Tech_cal> t = &Open(w);
      for (size_t i = 0; i < ending.messages.size(); ++i) dialogs.ExpectOk();
      EventGaps gaps;
      double ended = -1;
      QTimer::singleShot(1, [&] { start(*t); });
      QTimer::singleShot(300, [&] {
        ASSERT_TRUE(t->logic().busy()) << what;
        ending.end(*t);
        ended = gaps.seconds();
      });
      gaps.RunUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return ended >= 0 && (!t || (!t->logic().Stepping() && !t->logic().busy()));
      }, 10);
      EXPECT_LT(gaps.seconds() - ended, 1.0) << what;
      EXPECT_LT(gaps.longest_s(), 0.2) << what;
      EXPECT_TRUE(dialogs.Exhausted()) << what;
      storage::Shared().Acq_State = 0;
    }
  }
}

}  // namespace
