// The device test on the main window: its menu entry and timer, the test grid and
// the grey wells on the activity picture, the progress bar and the status labels.
#include <QAction>
#include <QLabel>

#include "mainwindow/frm_main.h"
#include "platform/waiting.h"

namespace mainwindow {
namespace {

constexpr ui::Color kGridRed = ui::RGB(255, 0, 0);
constexpr ui::Color kCentreBlue = ui::RGB(0, 0, 255);
constexpr int kColumns = 24;
constexpr int kRows = 16;
constexpr int kTestTimerMs = 100;

class DeviceTestPanel final : public service::DeviceTestView {
 public:
  explicit DeviceTestPanel(Frm_Main& w) : w_(w) {}

  void EnableTestTimer(bool on) override {
    if (on) {
      w_.Timer_test.setInterval(kTestTimerMs);
      w_.Timer_test.start();
    } else {
      w_.Timer_test.stop();
    }
  }
  void DrawTestPlateGrid() override { w_.DrawTestPlateGrid(); }
  void DrawTestChannelLevels(const service::TestLevels&) override { w_.DrawTestChannelLevels(); }
  void DrawTestProgress(double x) override { w_.DrawProgress(x); }
  void ClearTestProgress() override { w_.ClearProgress(); }
  void SetTestLabel(const std::string& text) override {
    w_.SetTemperatureCaption(text);
    w_.lbl_temperature->repaint();
  }
  void ShowDoorHint(bool show) override {
    if (show) {
      w_.lbl_autostart->setText(service::kDoorHint);
      w_.lbl_autostart->adjustSize();
      w_.lbl_autostart->show();
    } else {
      w_.lbl_autostart->hide();
    }
  }
  void RestoreActivityPicture() override {
    w_.Picact->Cls();
    w_.Picact->Scale(-30, 300, 300, -30);
    w_.Picact->SetForeColor(ui::RGB(0, 0, 0));
    w_.DrawActivityAxes();
  }

 private:
  Frm_Main& w_;
};

// Each well's red outline and blue centre.
void DrawTestWells(ui::PictureBox& pic) {
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      pic.Box(100 * c, 100 * r, 100 * c + 100, 100 * r + 100, kGridRed, false);
      pic.Circle(100 * c + 50, 100 * r + 50, 5, kCentreBlue);
    }
  }
}

void SetTestScale(ui::PictureBox& pic) { pic.Scale(-75, -75, 2400, 1600); }

}  // namespace

void Frm_Main::ConnectDeviceTest() {
  device_test_view_ = std::make_unique<DeviceTestPanel>(*this);
  device_test_ = std::make_unique<service::DeviceTest>(*io_, *device_test_view_);
  connect(mnstatustest, &QAction::triggered, this, [this] { mnstatustest_Click(); });
  connect(&Timer_test, &QTimer::timeout, this, [this] { Timer_test_Timer(); });
}

void Frm_Main::mnstatustest_Click() {
  const auto hold = HoldPort(&Frm_Main::mnstatustest_Click, mnstatustest);
  if (!hold) return;
  device_test_->mnstatustest_Click();
}

void Frm_Main::Timer_test_Timer() {
  // Another window's work holds the port: the test goes on at the next tick.
  if (platform::PortHeld()) return;
  device_test_->Tick();
}

void Frm_Main::StopDeviceTest() { device_test_->Stop(); }

void Frm_Main::DrawTestPlateGrid() {
  Picact->Cls();
  SetTestScale(*Picact);
  Picact->SetForeColor(kGridRed);
  for (int c = 0; c < kColumns; ++c) {
    Picact->SetCurrentX(100 * c + 25);
    Picact->SetCurrentY(-75);
    Picact->Print(QString::number(c + 1));
  }
  for (int r = 0; r < kRows; ++r) {
    Picact->SetCurrentX(-50);
    Picact->SetCurrentY(100 * r);
    Picact->Print(QString(QChar('A' + r)));
  }
  DrawTestWells(*Picact);
}

void Frm_Main::DrawTestChannelLevels() {
  // A relayout meanwhile may have set the plot's scale: the wells keep theirs.
  SetTestScale(*Picact);
  const service::TestLevels& levels = device_test_->Test_Levels();
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      const int g = service::TestGrey(levels[static_cast<size_t>(16 * c + r)]);
      Picact->Box(100 * c, 100 * r, 100 * c + 100, 100 * r + 100, ui::RGB(g, g, g), true);
    }
  }
  DrawTestWells(*Picact);
}

}  // namespace mainwindow
