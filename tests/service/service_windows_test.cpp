// The factory window and the device test from the main window's menus, against the
// simulated instrument: what the user sees and the pictures drawn.
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "acquisition/verified_write.h"
#include "link/device_frame.h"
#include "service/forms/frm_factory.h"
#include "service_window_fixture.h"

namespace {

using mainwindow::Frm_Main;

class ServiceWindows : public servicetest::ServiceWindowTest {
 protected:
  Frm_Main& Online() {
    Frm_Main& w = Start();
    storage::Shared().Offline_Mode = false;
    storage::Shared().Connected = true;
    return w;
  }
  // The factory window of an uncalibrated instrument reading 24.09 degrees.
  service::Frm_Factory& Factory() {
    (*sim_)->SetTemperature(24.09);
    Frm_Main& w = Online();
    storage::Shared().Factory_Calibrated = false;
    w.mn_factory_Click();
    return ui::Default<service::Frm_Factory>();
  }
};

TEST_F(ServiceWindows, TheDeviceTestEntryAppearsWithTheTechnicalPasswordAndRunsOnTheMainWindow) {
  Frm_Main& w = Online();
  EXPECT_FALSE(w.mnstatustest->isVisible());
  dialogs.AnswerInput("Fenix8307").ExpectOk();
  w.mn_technical_Click();
  EXPECT_FALSE(w.mnstatustest->isVisible());
  dialogs.AnswerInput("Fenix8306");
  w.mn_technical_Click();
  EXPECT_TRUE(w.mnstatustest->isVisible());

  w.show();
  (*sim_)->SetReplyMode(sim::ReplyMode::kBlock);
  (*sim_)->WithModel([](sim::InstrumentModel& m) {
    m.SetAnimalsPresent(false);
    m.SetBeamFault(37, sim::BeamFault::kDark);  // column 3, row F
  });
  w.picturetime->Box(0, 0, 100, 100, ui::RGB(0, 0, 255), true);  // a run's full bar
  dialogs.AnswerOk().ExpectOk().ExpectOk().AnswerYes();
  w.mnstatustest->trigger();
  EXPECT_TRUE(w.Timer_test.isActive());
  EXPECT_EQ(w.Timer_test.interval(), 100);
  EXPECT_TRUE(w.lbl_autostart->isVisible());
  EXPECT_EQ(w.lbl_autostart->text(), "Open and close Quenlar Door to see sensing changes");
  EXPECT_EQ(w.lbl_temperature->text(), "SN77");
  EXPECT_EQ(w.picturetime->Point(50, 50), ui::RGB(255, 255, 255));
  // The empty grid: red outlines on white.
  EXPECT_EQ(w.Picact->Point(100, 100), ui::RGB(255, 0, 0));
  EXPECT_EQ(w.Picact->Point(225, 525), ui::RGB(255, 255, 255));

  while (w.device_test().Test_Step() < 20 && w.Timer_test.isActive()) w.Timer_test_Timer();
  w.Timer_test_Timer();  // step 20 judges the picture of every beam on
  EXPECT_EQ(w.lbl_temperature->text(), "[Test100%= CHECK!]");
  EXPECT_EQ(w.Picact->Point(225, 525), ui::RGB(4, 4, 4));        // the dark beam: 30 / 8
  EXPECT_EQ(w.Picact->Point(325, 525), ui::RGB(255, 255, 255));  // its neighbour, fully lit
  EXPECT_EQ(w.picturetime->Point(15, 50), ui::RGB(0, 0, 255));   // progress to 19 x 0.83
  EXPECT_EQ(w.picturetime->Point(17, 50), ui::RGB(255, 255, 255));

  while (w.Timer_test.isActive()) w.Timer_test_Timer();
  EXPECT_EQ(w.device_test().Test_Step(), 111);
  EXPECT_FALSE(w.lbl_autostart->isVisible());
  EXPECT_EQ(w.lbl_temperature->text(), QString::fromUtf8("T = __ \xC2\xB0"
                                                         "C"));
  EXPECT_DOUBLE_EQ(w.Picact->ScaleLeft(), -30);
  EXPECT_DOUBLE_EQ(w.Picact->ScaleTop(), 300);
  EXPECT_TRUE(std::filesystem::exists(folder / "testdev77.txt"));
  EXPECT_TRUE(dialogs.Exhausted());
}

TEST_F(ServiceWindows, FactoryWindowShowsTheTemperatureAndWritesTheCalibration) {
  (*sim_)->WithModel([](sim::InstrumentModel& m) {
    m.SetSensor(0.0, 0.219);
    m.SetFactoryRecord(sim::InstrumentModel::EncodeFactoryRecord(0.0, 0.219, 1, 20));
  });
  (*sim_)->SetTemperature(24.09);
  Frm_Main& w = Online();
  auto& s = storage::Shared();
  s.Serial_Number = 77;
  s.Factory_Calibrated = true;
  s.Cal_Month = 1;
  s.Cal_Year = 20;
  w.show();
  w.mn_factory_Click();
  auto& f = ui::Default<service::Frm_Factory>();
  EXPECT_EQ(f.windowTitle(), "Factory Settings");
  EXPECT_EQ(f.lblserial->text(), "SERIAL : QNLR00077");
  EXPECT_EQ(f.txt_mensaje->text(), "OK Last Factory Calibration 01/20 [mm/yy]");
  EXPECT_EQ(f.txt_set_temp->text(), "25.0");
  EXPECT_EQ(f.txt_current_temp->text(), "0.0");
  EXPECT_TRUE(f.Timer_temp.isActive());
  f.Timer_temp_Timer();
  EXPECT_EQ(f.txt_current_temp->text(), "24.1");

  f.txt_set_temp->setText("25.0");
  f.Cmd_temp->click();
  EXPECT_EQ(f.txt_mensaje->text(), "OK Last Factory Calibration 03/26 [mm/yy]");
  EXPECT_TRUE(f.Timer_temp.isActive());
  f.Timer_temp_Timer();
  EXPECT_EQ(f.txt_current_temp->text(), "25.0");

  EXPECT_FALSE(w.isVisible());
  ui::Unload<service::Frm_Factory>();
  EXPECT_TRUE(w.isVisible());
}

TEST_F(ServiceWindows, WhileSetRunsTheWindowShowsItIsBusyAndReadsNoTemperature) {
  auto& f = Factory();
  const struct {
    const char* what;
    const char* target;
    bool deaf_203;  // register 203 is never echoed
    std::string box;
    int temperature_reads;  // SET's own, and the resync reads of the failing register
  } cases[] = {
      {"a write that fails", "25.0", true, acquisition::WriteErrorText(203), 1 + 2},
      {"a target out of range", "3.9", false, service::kTargetRangeMessage, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    (*sim_)->SetIntercept(
        [deaf = c.deaf_203](const std::array<uint8_t, 5>& frame, std::string& reply) {
          if (!deaf || frame[1] != 0x80 || frame[2] != 203) return false;
          reply = std::string(2, '\0');
          return true;
        });
    (*sim_)->ClearReceived();
    testsupport::ScriptedDialogs boxes;
    // A real box runs the window's events while it waits: timers included.
    boxes.ExpectOk().WhileShown([] { QTest::qWait(20); });
    // Due at once, a temperature reading would run at the first chance it got.
    f.Timer_temp.start(1);
    // The first event the window gets during SET: a pause between the writes, or the box.
    bool busy = false;
    bool before_the_box = false;
    QTimer::singleShot(0, &f, [&] {
      busy = !f.Cmd_temp->isEnabled() && f.cursor().shape() == Qt::WaitCursor;
      before_the_box = boxes.log().empty();
    });
    QCoreApplication::postEvent(&f, new QCloseEvent);
    f.txt_set_temp->setText(c.target);
    f.Cmd_temp->click();
    const std::string wire = (*sim_)->Received();
    int reads = 0;
    const std::string read = devlink::DeviceFrame(0x21, 0, 0);
    for (auto p = wire.find(read); p != std::string::npos; p = wire.find(read, p + 1)) ++reads;
    EXPECT_EQ(reads, c.temperature_reads);
    EXPECT_TRUE(busy);
    EXPECT_EQ(before_the_box, c.deaf_203);
    EXPECT_EQ(boxes.log(), std::vector<std::string>{c.box});
    EXPECT_EQ(f.txt_mensaje->text().toStdString(), service::kNonCalibrated);
    EXPECT_TRUE(f.Cmd_temp->isEnabled());
    EXPECT_EQ(f.cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(f.Timer_temp.isActive());
    ASSERT_TRUE(ui::IsLoaded<service::Frm_Factory>());  // the close waited
  }
}

TEST_F(ServiceWindows, ASilentInstrumentIsReadLessOftenAndTheWindowSaysSo) {
  (*sim_)->WithModel([](sim::InstrumentModel& m) { m.SetSensor(0.0, 0.219); });
  auto& f = Factory();
  const struct {
    bool silent;
    const char* shown;
    const char* message;
    int next_ms;
  } readings[] = {
      {false, "24.1", service::kNonCalibrated, 1000},
      {true, "-0.2", service::kInstrumentSilentText, 5000},
      {true, "-0.2", service::kInstrumentSilentText, 5000},
      {false, "24.1", service::kNonCalibrated, 1000},
  };
  for (const auto& r : readings) {
    if (r.silent) (*sim_)->SetFault(sim::Fault::kSilence, 1);
    f.Timer_temp_Timer();
    EXPECT_EQ(f.txt_current_temp->text().toStdString(), r.shown);
    EXPECT_EQ(f.txt_mensaje->text().toStdString(), r.message);
    EXPECT_TRUE(f.Timer_temp.isActive());
    EXPECT_EQ(f.Timer_temp.interval(), r.next_ms);
  }
}

}  // namespace
