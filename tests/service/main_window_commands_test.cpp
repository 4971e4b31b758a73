// The main window's instrument commands one at a time, against the simulated
// instrument: a command clicked while another work holds the port waits its turn and
// is judged then, the same command is never asked twice, and the run's tick and the
// service windows keep out of each other's exchanges.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "acquisition/link_io.h"
#include "link/device_frame.h"
#include "service/factory_calibration.h"
#include "service/forms/frm_factory.h"
#include "service_window_fixture.h"
#include "storage/project_folders.h"

namespace {

using mainwindow::Frm_Main;
namespace fs = std::filesystem;

const std::string kIdentify = devlink::DeviceFrame(0x00, 0, 0);
const std::string kRecordEnd = devlink::DeviceFrame(0x20, 207, 0);
const std::string kFirstPoll = devlink::DeviceFrame(0x30, 0, 0);  // a run's tick

size_t Count(const std::string& wire, const std::string& frame) {
  size_t n = 0;
  for (size_t at = wire.find(frame); at != std::string::npos; at = wire.find(frame, at + 1)) ++n;
  return n;
}

class MainWindowCommands : public servicetest::ServiceWindowTest {
 protected:
  void SetUp() override {
    ServiceWindowTest::SetUp();
    // No calibration at the run's start: the start's only yields are its own.
    MakeProject(1, "Beams", "w96", [](storage::SharedState& s) {
      s.MnAt(1, 1) = 0;
      s.MnAt(1, 2) = 0;
      s.Aq_lapse = 1;
      s.Save_real = 0;
    });
    (*sim_)->SetReplyMode(sim::ReplyMode::kGroup);
  }
  Frm_Main& Online() {
    Frm_Main& w = Start();
    storage::Shared().Offline_Mode = false;
    storage::Shared().Connected = true;
    w.show();
    return w;
  }
  std::string Wire() { return (*sim_)->Received(); }
  // Lets queued turns run until the port is free and none waits.
  static void Settle() {
    mainwindow_test::ProgramTest::RunUntil(
        [] { return !platform::PortHeld() && !platform::PortTurnsWaiting(); }, 5000);
    mainwindow_test::ProgramTest::RunUntil([] { return false; }, 50);
  }
  std::vector<std::string> RunFolders() { return storage::ListRunFolders(folder / "p00001"); }
};

// Connect, Start and Disconnect clicked during Connect and during a run's start (at
// the first point where each lets the window's events run): none runs inside the
// command clicked first. Each outcome on the wire and in the flags.
TEST_F(MainWindowCommands, CommandsClickedDuringAnotherWaitTheirTurnAndAreJudgedThen) {
  enum class During { kConnect, kStart };
  enum class Clicked { kConnect, kStart, kDisconnect };
  const struct {
    const char* what;
    During during;
    Clicked clicked;
    std::vector<std::string> boxes;  // beyond the run's name, in order
  } rows[] = {
      {"Connect during Connect: asked once", During::kConnect, Clicked::kConnect, {}},
      {"Start during Connect: after the record", During::kConnect, Clicked::kStart, {}},
      {"Disconnect during Connect: after the record", During::kConnect, Clicked::kDisconnect, {}},
      {"Connect during the start: refused as during a run", During::kStart, Clicked::kConnect,
       {storage::kRunningRefusal}},
      {"Start during the start: asked once", During::kStart, Clicked::kStart, {}},
      {"Disconnect during the start: refused as during a run", During::kStart,
       Clicked::kDisconnect, {storage::kRunningRefusal}},
  };
  Frm_Main& w = Online();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    // Back to a stopped instrument, connected on COM4, with no run of this minute.
    if (storage::Shared().Acq_State != 0) w.CmdStop_Click();
    for (const auto& run : RunFolders()) fs::remove_all(folder / "p00001" / run);
    if (!devlink::CommIsOpen(4)) ASSERT_EQ(devlink::CommOpen(4, "COM4", devlink::kInstrumentSettings), 0);
    devlink::SetInstrumentPort(4);
    storage::Shared().Connected = true;
    QPushButton* button = row.clicked == Clicked::kConnect ? w.cmd_connect
                          : row.clicked == Clicked::kStart ? w.CmdPlay
                                                           : w.Cmd_disconnect;
    // Clicked at the first event the command clicked first lets run: for Connect, once
    // the instrument has been identified (between the factory record's reads).
    (*sim_)->ClearReceived();
    QTimer click;
    QObject::connect(&click, &QTimer::timeout, [&] {
      if (row.during == During::kConnect && Wire().find(kIdentify) == std::string::npos) return;
      click.stop();
      button->click();
    });
    click.start(0);
    const size_t logged = dialogs.log().size();
    if (row.during == During::kConnect) {
      if (row.clicked == Clicked::kStart) dialogs.AnswerInput("r1");
      w.cmd_connect->click();
    } else {
      dialogs.AnswerInput("r1");
      w.CmdPlay->click();
    }
    for (const auto& box : row.boxes) {
      (void)box;
      dialogs.ExpectOk();
    }
    Settle();
    EXPECT_FALSE(click.isActive());
    w.Timeradq.stop();
    const std::string wire = Wire();
    const auto& s = storage::Shared();
    EXPECT_EQ(std::vector(dialogs.log().end() - ssize(row.boxes), dialogs.log().end()), row.boxes);
    EXPECT_TRUE(dialogs.Exhausted());
    EXPECT_EQ(std::count_if(dialogs.log().begin() + ssize_t(logged), dialogs.log().end(),
                            [](const std::string& t) {
                              return t.find("Enter a Name for this Experiment") != std::string::npos;
                            }),
              row.clicked == Clicked::kStart || row.during == During::kStart ? 1 : 0);
    if (row.during == During::kConnect) {
      EXPECT_EQ(Count(wire, kIdentify), 1u);
      const size_t record_end = wire.find(kRecordEnd);
      EXPECT_NE(record_end, std::string::npos);
      // Only the record's reads between the identification and the record's end.
      const size_t identified = wire.find(kIdentify) + kIdentify.size();
      for (size_t at = identified; at < record_end; at += 5)
        EXPECT_EQ(wire.substr(at, 3), kRecordEnd.substr(0, 3)) << "frame at " << at;
      EXPECT_EQ(wire.find(kFirstPoll) != std::string::npos, row.clicked == Clicked::kStart);
      EXPECT_FALSE(s.Offline_Mode);
      EXPECT_EQ(s.Connected, row.clicked != Clicked::kDisconnect);
      EXPECT_EQ(devlink::CommIsOpen(4), row.clicked != Clicked::kDisconnect);
      EXPECT_EQ(s.Acq_State, row.clicked == Clicked::kStart ? 1 : 0);
    } else {
      // The run goes on, polling the port it started on.
      EXPECT_EQ(Count(wire, kIdentify), 0u);
      EXPECT_EQ(s.Acq_State, 1);
      EXPECT_TRUE(s.Connected);
      EXPECT_TRUE(devlink::CommIsOpen(4));
      EXPECT_EQ(RunFolders().size(), 1u);
    }
  }
}

// Connect and Start, each clicked twice while the factory window's SET holds the port,
// run once, after SET: one connection; one start, with one name asked and one run
// folder, where the run's counts go. A start is judged at its turn, as a click would
// be then.
TEST_F(MainWindowCommands, TwoStartsDuringASetMakeOneRun) {
  Frm_Main& w = Online();
  w.mn_factory_Click();
  auto& f = ui::Default<service::Frm_Factory>();
  f.Timer_temp.stop();
  f.txt_set_temp->setText("25.0");
  // The first replies late, so that SET lets the windows run while it waits.
  (*sim_)->SetLateReplyMs(60);
  (*sim_)->SetFault(sim::Fault::kLateReply, 2);
  int clicks = 0;
  std::function<void()> act;
  QTimer during_set;
  QObject::connect(&during_set, &QTimer::timeout, [&] {
    if (!platform::PortHeld()) return;
    during_set.stop();
    act();
    ++clicks;
  });

  // Connect asked twice while it waits: one connection.
  act = [&] {
    w.cmd_connect->click();
    w.cmd_connect->click();
  };
  during_set.start(0);
  (*sim_)->ClearReceived();
  f.Cmd_temp->click();
  Settle();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(Count(Wire(), kIdentify), 1u);
  EXPECT_TRUE(storage::Shared().Connected);

  // A Start whose button no longer takes clicks when its turn comes does nothing.
  (*sim_)->SetFault(sim::Fault::kLateReply, 2);
  act = [&] {
    w.CmdPlay->click();
    w.CmdPlay->setEnabled(false);
  };
  during_set.start(0);
  f.Cmd_temp->click();
  Settle();
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(storage::Shared().Acq_State, 0);
  EXPECT_TRUE(dialogs.log().empty());
  w.CmdPlay->setEnabled(true);

  (*sim_)->SetFault(sim::Fault::kLateReply, 2);
  act = [&] {
    w.CmdPlay->click();
    w.CmdPlay->click();
  };
  during_set.start(0);
  dialogs.AnswerInput("r1");
  (*sim_)->ClearReceived();
  f.Cmd_temp->click();
  EXPECT_EQ(clicks, 3);
  EXPECT_EQ(storage::Shared().Acq_State, 0);  // not inside SET
  Settle();
  w.Timeradq.stop();
  EXPECT_TRUE(storage::Shared().Factory_Calibrated);
  EXPECT_EQ(storage::Shared().Acq_State, 1);
  EXPECT_TRUE(dialogs.Exhausted());
  // The run starts after SET's last write.
  const std::string wire = Wire();
  EXPECT_LT(wire.rfind(devlink::DeviceFrame(206, 0, 0x80).substr(0, 3)), wire.find(kFirstPoll));
  for (int i = 0; i < 520 && storage::Shared().Acq_State == 1; ++i) {
    clock_.Advance(30);
    w.Timeradq_Timer();
  }
  ASSERT_EQ(RunFolders().size(), 1u);
  EXPECT_GE(fs::file_size(folder / "p00001" / RunFolders()[0] / "counts.bin"),
            storage::kCountsRecordBytes);
}

// While another work holds the port (its hook runs the timers of the windows): the
// run's tick and the device test's tick skip their round, nothing of theirs between
// the work's frames, no serial error counted; no factory SET starts while a run goes.
TEST_F(MainWindowCommands, TicksKeepOutOfAnotherWorksExchanges) {
  Frm_Main& w = Online();
  acquisition::LinkIo io;
  const std::string a = devlink::DeviceFrame(200, 0, 0x80), b = devlink::DeviceFrame(201, 3, 0x80);
  // Frames a and b of a work whose hook runs `tick` between them.
  const auto work = [&](const std::function<void()>& tick) {
    (*sim_)->ClearReceived();
    {
      platform::WaitHook hold([&] {
        tick();
        return true;
      });
      io.Write(a);
      platform::KeepWaiting();
      io.Write(b);
    }
    RunUntil([&] { return Wire().size() >= 10; }, 2000);
    return Wire();
  };

  // The device test, running.
  dialogs.AnswerOk();
  w.mnstatustest->trigger();
  ASSERT_TRUE(w.Timer_test.isActive());
  w.Timer_test.stop();
  const int step = w.device_test().Test_Step();
  EXPECT_EQ(work([&] { w.Timer_test_Timer(); }), a + b);
  EXPECT_EQ(w.device_test().Test_Step(), step);
  w.StopDeviceTest();

  // A run's tick, the factory window open from before the run.
  w.mn_factory_Click();
  auto& f = ui::Default<service::Frm_Factory>();
  f.Timer_temp.stop();
  dialogs.AnswerInput("r1");
  w.CmdPlay->click();
  ASSERT_EQ(storage::Shared().Acq_State, 1);
  w.Timeradq.stop();
  for (int i = 0; i < 3; ++i) {
    clock_.Advance(30);
    w.Timeradq_Timer();
  }
  EXPECT_EQ(work([&] {
              for (int i = 0; i < 20; ++i) {
                clock_.Advance(30);
                w.Timeradq_Timer();
              }
            }),
            a + b);
  EXPECT_EQ(w.engine().state.Com_Error_Count, 0);
  EXPECT_TRUE(launcher.calls.empty());  // no restart

  // The factory window's SET is refused.
  f.txt_set_temp->setText("25.0");
  dialogs.ExpectOk();
  (*sim_)->ClearReceived();
  f.Cmd_temp->click();
  EXPECT_EQ(dialogs.log().back(), service::kFactoryAccessRefusal);
  EXPECT_EQ(Wire(), "");
  EXPECT_TRUE(dialogs.Exhausted());
}

}  // namespace
