// A 6-well Zebrafish run recorded with its raw blocks against the simulated instrument,
// then browsed: its signal page, the re-analysis and the tracking with its CSV.
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

#include "acquisition/run_fixture.h"
#include "mainwindow/frm_init.h"
#include "browser_windows.h"
#include "offline/forms/frm_offline.h"
#include "reports/forms/frm_report.h"
#include "storage/plate_layout.h"
#include "storage/run_files.h"

namespace offline_test {
namespace {

namespace fs = std::filesystem;
using offline::Frm_offline;

class RecordedRaw : public acqtest::SimRunFixture {
 protected:
  void SetUp() override {
    SimRunFixture::SetUp();
    fs::copy_file(testsupport::SourceDir() / "data" / "w6.dat", folder_ / "w6.dat");
    auto& sh = storage::Shared();
    const auto layout = storage::ReadPlateLayoutFile(folder_ / "w6.dat", nullptr);
    ASSERT_TRUE(layout.has_value());
    sh.Plate_format = "w6";
    storage::ApplyPlateLayout(*layout);
    sh.MnAt(1, 0) = 1;  // Zebrafish
    sh.Save_real = 1;
    (*sim_)->SetReplyMode(sim::ReplyMode::kGroup);
  }
  void TearDown() override {
    UnloadBrowserWindows();
    SimRunFixture::TearDown();
  }
};

TEST_F(RecordedRaw, ThreeBinsAreShownAnalysedAndTracked) {
  Start();
  // Three bins of 500 ticks and the run's two priming samples.
  Ticks(3 * 500 + 10);
  engine_.Stop();
  const fs::path run = RunFolder();
  ASSERT_EQ(storage::ReadCountsFile(run / "counts.bin").size(), 3u);

  dialogs_.AllowAnyOk();
  Frm_offline& w = ui::Default<Frm_offline>();
  ASSERT_TRUE(w.LoadRun(run, -1, "p00001"));
  w.cmdchannels_Click();
  EXPECT_EQ(w.Txtpage->text(), "1/1");
  EXPECT_TRUE(w.SignalPage().HasBlock(2));
  EXPECT_FALSE(w.SignalPage().HasBlock(3));
  // Well A1's beam 0 is channel 0: lit by the simulator in every recorded block.
  EXPECT_EQ(w.ChosenChannel(), 0);
  for (int b = 0; b < 3; ++b) EXPECT_GT(w.SignalPage().Level(0, b, 250), 100) << b;
  w.Cmd_analyze_Click();

  ASSERT_FALSE(w.cmd_track->isHidden());
  w.Cmd_leegroups_Click();
  w.cmd_track_Click();
  ASSERT_TRUE(w.Tracker());
  EXPECT_EQ(w.Tracker()->Blocks(), 3);
  w.mn_datatrack_Click();
  const std::string csv = testsupport::ReadBytes(run / "report.csv");
  ASSERT_FALSE(csv.empty());
  // Three block columns for each of the six wells.
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4 + 1 + 6 + 1);
  const size_t times = csv.find("Group/Time[m]");
  ASSERT_NE(times, std::string::npos);
  const std::string header = csv.substr(times, csv.find("\r\n", times) - times);
  EXPECT_EQ(std::count(header.begin(), header.end(), ','), 3) << header;
  EXPECT_TRUE(dialogs_.log().empty()) << dialogs_.log().front();
}

}  // namespace
}  // namespace offline_test
