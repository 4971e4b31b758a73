// The factory window and the device test from the main window's menus, against the
// simulated instrument: what the user sees and the pictures drawn.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "link/comm_port.h"
#include "link/device_io.h"
#include "mainwindow/mainwindow_fixture.h"
#include "platform/clock.h"
#include "service/forms/frm_factory.h"
#include "support/sim_harness.h"

namespace {

using mainwindow::Frm_Main;

class ServiceWindows : public mainwindow_test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    platform::SetClock(&clock_);
    MakeProject(1, "Beams", "w96");
    WriteConfig(1);
    WriteReportConfig(0, 30);
    sim_ = std::make_unique<testsupport::SimHarness>(4, folder.path());
    ASSERT_EQ(devlink::CommOpen(4, "COM4", devlink::kInstrumentSettings), 0);
    devlink::SetInstrumentPort(4);
  }
  void TearDown() override {
    devlink::CommClose(4);
    devlink::SetInstrumentPort(0);
    ProgramTest::TearDown();
    sim_.reset();
    platform::SetClock(nullptr);
  }
  Frm_Main& Online() {
    Frm_Main& w = Start();
    storage::Shared().Offline_Mode = false;
    storage::Shared().Connected = true;
    return w;
  }

  platform::ManualClock clock_{{2026, 3, 14, 10, 5, 0}};
  std::unique_ptr<testsupport::SimHarness> sim_;
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

}  // namespace
