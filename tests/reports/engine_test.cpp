// The whole report from synthetic run folders: the file written, its copy, what is
// opened, the messages of every failure, and the basal normalisation's questions.
#include <gtest/gtest.h>

#include "storage/run_files.h"
#include "platform/clock.h"
#include "platform/launcher.h"
#include "platform/system.h"
#include "reports/report_engine.h"
#include "reports/run_folder.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

namespace reports {
namespace {

namespace fs = std::filesystem;
using reports_test::kDeg;
using reports_test::Lines;

// Per-minute counts of the analysed run: CH0 10, CH1 20, CH16 6, CH17 4.
int RunCount(int, int ch) { return ch == 0 ? 10 : ch == 1 ? 20 : ch == 16 ? 6 : ch == 17 ? 4 : 0; }

class ReportEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetClock(&clock_);
    platform::SetLauncher(&launcher_);
    SetWorkbookConverter(
        [this](const std::string& csv, const std::string& xlsx, const std::string& sep) {
          conversions_.push_back(csv + "|" + xlsx + "|" + sep);
        });
    reports_test::WritePlateFile(home_.path());
    run_ = home_ / "p00001" / "20261206_1000";
    texts_.run_name = "Day 1 test";
    reports_test::WriteRunTexts(run_, texts_);
    choices_.input_folder = run_.string();
    choices_.bin_text = "30";
  }
  void TearDown() override {
    SetWorkbookConverter(nullptr);
    platform::SetLauncher(nullptr);
    platform::SetClock(nullptr);
  }
  void RecordMinutes(const fs::path& folder, int minutes, int (*count)(int, int) = RunCount) {
    reports_test::AppendCounts(
        folder, minutes, [](int r) { return r + 1; }, count, [](int) { return 250; });
  }
  std::string Report(const std::string& name = "report.csv") {
    return testsupport::ReadBytes(run_ / name);
  }

  testsupport::TempProgramFolder home_;
  platform::ManualClock clock_{platform::WallTime{2026, 12, 6, 10, 30, 0}};
  platform::RecordingLauncher launcher_;
  std::vector<std::string> conversions_;
  reports_test::RunTexts texts_;
  fs::path run_;
  ReportChoices choices_;
  ReportEngine engine_;
};

TEST_F(ReportEngineTest, RowsReportOfARun) {
  RecordMinutes(run_, 120);
  testsupport::ScriptedDialogs dialogs;
  ASSERT_EQ(engine_.Generate(choices_), ReportStatus::kWritten);
  const std::string expected =
      Lines({"\"DATE:\",\"06/12/2026 10:30:00\"",
             "\"FILE:\",\"" + run_.string() + "\"",
             "\"SUBPROJECT:\",\"Day 1 test\"",
             "\"SETTING:\",\"Mode1 C.elegans[snr=1.8]\"",
             "",
             "\"<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>\"",
             "Group/Time[m],30,60,90,120",
             "\"000_Control\",450,450,450,450",
             "\"001_Drug\",180,180,180,180",
             "",
             "\"<<<<<< Group Activity: Standard Error >>>>>>\"",
             "Group/Time[m],30,60,90,120",
             "\"000_Control\",149.9,149.9,149.9,149.9",
             "\"001_Drug\",0.0,0.0,0.0,0.0",
             "",
             "\"<<<<<< Group Activity: Number of wells/group >>>>>>\"",
             "Group/Time[m],30,60,90,120",
             "\"000_Control\",2,2,2,2",
             "\"001_Drug\",1,1,1,1",
             "",
             "\"<<<<<< Number of Samples per Acquisition Interval [1unit=500values] >>>>>>\"",
             "Time[m],30,60,90,120,",
             "#Samples,30,30,30,30,",
             "",
             "",
             "\"<<<<<< Average Temperature [" + kDeg + "C] >>>>>>\"",
             "Time[m],30,60,90,120,",
             "Temp[" + kDeg + "C],25.0,25.0,25.0,25.0,",
             "",
             "\"<<<<<< Well Activity >>>>>>\"",
             "Well,Group/Time[m],30,60,90,120",
             "A1,\"000_Control\",300,300,300,300",
             "B1,\"000_Control\",600,600,600,600",
             "A2,\"001_Drug\",180,180,180,180",
             "B2,\"999_Free\",120,120,120,120",
             "",
             "\"<<<<<< Channel Activity >>>>>>\"",
             "Channel,Well,Group/Time[m],30,60,90,120",
             "CH0,A1.0,\"000_Control\",300,300,300,300",
             "CH1,B1.0,\"000_Control\",600,600,600,600",
             "CH16,A2.0,\"001_Drug\",180,180,180,180",
             "CH17,B2.0,\"999_Free\",120,120,120,120"});
  EXPECT_EQ(Report(), expected);
  EXPECT_EQ(Report("Day_1_test.csv"), expected);
  EXPECT_EQ(launcher_.calls,
            std::vector<std::string>{"shell: explorer " + (run_ / "report.csv").string()});
  EXPECT_TRUE(dialogs.log().empty());
  EXPECT_EQ(choices_.bin_text, "30");
}

TEST_F(ReportEngineTest, EachReportTypeIsHandedOn) {
  RecordMinutes(run_, 60);
  const std::string csv = (run_ / "report.csv").string();
  const std::string workbook = (run_ / "report_20261206103000.xlsx").string();
  const struct {
    ReportType type;
    bool autoreport;
    const char* report;
    std::vector<std::string> conversions;  // csv|xlsx|separator
    std::vector<std::string> opened;
  } cases[] = {
      {ReportType::kText,
       false,
       "report.txt",
       {},
       {"shell: notepad " + (run_ / "report.txt").string()}},
      {ReportType::kXlsx,
       false,
       "report.csv",
       {csv + "|" + workbook + "|;"},
       {"shell: explorer " + workbook}},
      // An automatic report leaves the CSV only: no workbook, nothing opened.
      {ReportType::kXlsx, true, "report.csv", {}, {}},
  };
  choices_.separator = ";";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.report);
    for (const char* old : {"report.csv", "report.txt", "Day_1_test.csv", "Day_1_test.txt"})
      fs::remove(run_ / old);
    conversions_.clear();
    launcher_.calls.clear();
    choices_.report_type = c.type;
    choices_.autoreport = c.autoreport;
    testsupport::ScriptedDialogs dialogs;
    ASSERT_EQ(engine_.Generate(choices_), ReportStatus::kWritten);
    EXPECT_TRUE(fs::exists(run_ / c.report));
    EXPECT_TRUE(fs::exists(run_ / ("Day_1_test" + fs::path(c.report).extension().string())));
    EXPECT_EQ(fs::exists(run_ / "report.csv"), c.type != ReportType::kText);
    EXPECT_EQ(conversions_, c.conversions);
    EXPECT_EQ(launcher_.calls, c.opened);
  }
}

// A machine with no file opener: the report is written and the user told its path.
TEST_F(ReportEngineTest, WithNothingToOpenTheReportTheUserIsToldWhereItIs) {
  RecordMinutes(run_, 60);
  launcher_.refuse = true;
  for (const ReportType type : {ReportType::kCsv, ReportType::kText}) {
    choices_.report_type = type;
    const std::string file = (run_ / (type == ReportType::kCsv ? "report.csv" : "report.txt")).string();
    testsupport::ScriptedDialogs dialogs;
    dialogs.ExpectOk();
    ASSERT_EQ(engine_.Generate(choices_), ReportStatus::kWritten);
    ASSERT_EQ(dialogs.log().size(), 1u);
    EXPECT_NE(dialogs.log()[0].find(file), std::string::npos) << dialogs.log()[0];
  }
}

TEST_F(ReportEngineTest, SpreadsheetExportMakesTheWorkbook) {
  RecordMinutes(run_, 60);
  SetWorkbookConverter({});  // the program's own export
  choices_.report_type = ReportType::kXlsx;
  testsupport::ScriptedDialogs dialogs;
  ASSERT_EQ(engine_.Generate(choices_), ReportStatus::kWritten);
  EXPECT_EQ(testsupport::ReadBytes(run_ / "report_20261206103000.xlsx").substr(0, 2), "PK");
  EXPECT_EQ(launcher_.calls.size(), 1u);
}

// Under either convention the report's one-decimal cells are written with the user's
// decimal sign and the workbook reads them back as numbers, not texts.
TEST_F(ReportEngineTest, ReportAndWorkbookShareTheUsersNumberConventions) {
  RecordMinutes(run_, 60);
  SetWorkbookConverter({});
  choices_.report_type = ReportType::kXlsx;
  for (const char* point : {".", ","}) {
    SCOPED_TRACE(point);
    const platform::NumberConventions conventions = platform::ConventionsFor(point);
    platform::SetNumberConventions(&conventions);
    choices_.separator = conventions.list_separator;
    const std::string s = conventions.list_separator;
    const std::string d = point;
    testsupport::ScriptedDialogs dialogs;
    ASSERT_EQ(engine_.Generate(choices_), ReportStatus::kWritten);
    platform::SetNumberConventions(nullptr);
    EXPECT_NE(Report().find("\"000_Control\"" + s + "149" + d + "9" + s + "149" + d + "9\r\n"),
              std::string::npos);
    EXPECT_NE(Report().find("C]" + s + "25" + d + "0" + s + "25" + d + "0" + s + "\r\n"),
              std::string::npos);
    // Stored entries: the sheet's text is in the archive as written.
    const std::string workbook = testsupport::ReadBytes(run_ / "report_20261206103000.xlsx");
    EXPECT_NE(workbook.find("<v>149.9</v>"), std::string::npos);
    EXPECT_NE(workbook.find("<v>25</v>"), std::string::npos);
    EXPECT_EQ(workbook.find("149" + d + "9</t>"), std::string::npos);
  }
}

TEST_F(ReportEngineTest, ReportHeldElsewhereGetsANumberedName) {
  RecordMinutes(run_, 60);
  fs::create_directories(run_ / "report.csv");  // cannot be opened as a file
  texts_.run_name.clear();
  fs::remove(run_ / "subproj.dat");
  testsupport::ScriptedDialogs dialogs;
  ASSERT_EQ(engine_.Generate(choices_), ReportStatus::kWritten);
  EXPECT_NE(Report("report_1.csv").find("\"SUBPROJECT:\",\"\""), std::string::npos);
  EXPECT_EQ(engine_.last_report_path, (run_ / "report_1.csv").string());
  // Without a run name there is no named copy.
  int files = 0;
  for (const auto& e : fs::directory_iterator(run_)) files += e.path().extension() == ".csv";
  EXPECT_EQ(files, 2);  // the directory report.csv and report_1.csv
}

TEST_F(ReportEngineTest, RunNameCannotLeaveTheFolder) {
  EXPECT_EQ(ReportCopyName("Day 1 test"), "Day_1_test");
  EXPECT_EQ(ReportCopyName("../up/..\\x"), "upx");
}

TEST_F(ReportEngineTest, FailuresShowTheirMessageAndWriteNoReport) {
  std::vector<int> hour(60);
  for (int m = 0; m < 60; ++m) hour[static_cast<size_t>(m)] = m + 1;
  const struct {
    const char* what;
    std::vector<int> minutes;  // of the counts records written
    const char* file;          // then replaced by `bytes`, or removed when `bytes` is null
    const char* bytes;
    const char* message;
    const char* plate = "wtest";
  } cases[] = {
      {"no counts.bin", {}, nullptr, nullptr, "Activity file not Found"},
      {"empty counts.bin", {}, "counts.bin", "", "Resampling ERROR"},
      {"run shorter than a minute", {0, 0, 0}, nullptr, nullptr, "Resampling ERROR"},
      {"minutes in the billions", {1, 2, 2000000000}, nullptr, nullptr, "Resampling ERROR"},
      // Two records cannot cover two million minutes: a damaged file, not a huge report.
      {"last minute beyond the records", {0, 2999999}, nullptr, nullptr, "Resampling ERROR"},
      {"no plate layout file", hour, nullptr, nullptr,
       "Multiwell Configuration File wgone.dat or .bak not found", "wgone"},
      {"garbage in setup.dat", hour, "setup.dat", "\xff\xfe garbage\r\n", "Report Error"},
      {"group number out of range", hour, "chgroup.dat",
       "\"<Channel>, <Group: -1=Free>\"\r\n0,70000\r\n", "Report Error"},
      {"groups.dat missing", hour, "groups.dat", nullptr, "Report Error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(run_);
    reports_test::RunTexts texts = texts_;
    texts.plate = c.plate;
    reports_test::WriteRunTexts(run_, texts);
    reports_test::AppendCounts(
        run_, static_cast<int>(c.minutes.size()),
        [&](int r) { return c.minutes[static_cast<size_t>(r)]; }, RunCount, [](int) { return 0; });
    if (c.file && c.bytes) testsupport::WriteBytes(run_ / c.file, c.bytes);
    if (c.file && !c.bytes) fs::remove(run_ / c.file);
    testsupport::ScriptedDialogs dialogs;
    dialogs.ExpectOk();
    EXPECT_NE(engine_.Generate(choices_), ReportStatus::kWritten);
    EXPECT_EQ(dialogs.log(), std::vector<std::string>{c.message});
    EXPECT_FALSE(fs::exists(run_ / "report.csv"));
  }
  EXPECT_TRUE(launcher_.calls.empty());
}

TEST_F(ReportEngineTest, BinTextIsClampedOrRefused) {
  struct Case {
    int minutes;
    const char* bin;
    const char* used;  // nullptr: "Report Error"
  };
  const Case cases[] = {{60, "0", "1"},         {60, "-5", "1"},      {40, "100", "30"},
                        {25, "100", "25"},      {60, "abc", nullptr}, {60, "", nullptr},
                        {60, "40000", nullptr}, {60, " 15 ", "15"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bin);
    fs::remove(run_ / "counts.bin");
    RecordMinutes(run_, c.minutes);
    choices_.bin_text = c.bin;
    testsupport::ScriptedDialogs dialogs;
    if (!c.used) {
      dialogs.ExpectOk();
      EXPECT_EQ(engine_.Generate(choices_), ReportStatus::kReportError);
      EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Report Error"});
      continue;
    }
    EXPECT_EQ(engine_.Generate(choices_), ReportStatus::kWritten);
    EXPECT_EQ(choices_.bin_text, c.used);
  }
}

TEST_F(ReportEngineTest, TruncatedCountsFileIgnoresThePartialRecord) {
  RecordMinutes(run_, 60);
  std::string bytes = testsupport::ReadBytes(run_ / "counts.bin");
  testsupport::WriteBytes(run_ / "counts.bin", bytes + bytes.substr(0, 300));
  testsupport::ScriptedDialogs dialogs;
  ASSERT_EQ(engine_.Generate(choices_), ReportStatus::kWritten);
  EXPECT_NE(Report().find("\"000_Control\",450,450\r\n"), std::string::npos);
}

// An interrupted recording: minutes 1..30, then nothing until 91..120. The bins of the
// interruption hold no data; they are skipped, not reported as an hour of no activity.
TEST_F(ReportEngineTest, InterruptedRunSkipsTheBinsWithoutRecords) {
  reports_test::AppendCounts(
      run_, 60, [](int r) { return r < 30 ? r + 1 : r + 61; }, RunCount, [](int) { return 250; });
  testsupport::ScriptedDialogs dialogs;
  ASSERT_EQ(engine_.Generate(choices_), ReportStatus::kWritten);
  const std::string report = Report();
  EXPECT_NE(report.find("Group/Time[m],30,120\r\n\"000_Control\",450,450\r\n"), std::string::npos)
      << report;
  EXPECT_NE(report.find("#Samples,30,30,\r\n"), std::string::npos);
  EXPECT_EQ(report.find(",0,0"), std::string::npos);
}

TEST_F(ReportEngineTest, SettingTextFromSetupOrOverrideForOneReport) {
  RecordMinutes(run_, 60);
  const struct {
    int method, organism, snr;
    const char* text;
  } cases[] = {{1, 0, 18, "Mode1 C.elegans[snr=1.8]"},
               {2, 1, 20, "Mode2 Zebrafish[snr=2]"},
               {0, 2, 3, "Mode0 Echinococcus[snr=1.8]"},
               // 0.5, the lowest the Drosophila box takes, is the run's own; only less
               // stands for the default.
               {3, 3, 5, "Mode3 [snr=0.5]"},
               {3, 3, 4, "Mode3 [snr=1.8]"},
               {3, 3, 8, "Mode3 [snr=0.8]"}};
  for (const auto& c : cases) {
    texts_.method = c.method;
    texts_.organism = c.organism;
    texts_.snr_x10 = c.snr;
    reports_test::WriteRunTexts(run_, texts_);
    testsupport::ScriptedDialogs dialogs;
    engine_.Generate(choices_);
    EXPECT_EQ(engine_.SettingText, c.text);
  }
  // A re-analysis' setting serves the next report only.
  testsupport::ScriptedDialogs dialogs;
  engine_.OverrideSetting("Mode2 [snr=0.5]");
  engine_.Generate(choices_);
  EXPECT_NE(Report().find("\"SETTING:\",\"Mode2 [snr=0.5]\""), std::string::npos);
  engine_.Generate(choices_);
  EXPECT_NE(Report().find("\"SETTING:\",\"Mode3 [snr=0.8]\""), std::string::npos);
}

TEST_F(ReportEngineTest, HistogramLayoutWithoutHistoFilesWritesNoReport) {
  RecordMinutes(run_, 60);
  choices_.option = OutputOption::kHistogram;
  testsupport::ScriptedDialogs dialogs;
  dialogs.ExpectOk();
  EXPECT_EQ(engine_.Generate(choices_), ReportStatus::kCalculationError);
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Error getting Histogram.bin data"});
  EXPECT_FALSE(fs::exists(run_ / "report.csv"));
}

TEST_F(ReportEngineTest, HistogramTablesTooLargeWriteNoReport) {
  RecordMinutes(run_, 3100);
  choices_.option = OutputOption::kHistogram;
  choices_.bin_text = "1";
  testsupport::ScriptedDialogs dialogs;
  dialogs.ExpectOk();
  EXPECT_EQ(engine_.Generate(choices_), ReportStatus::kCalculationError);
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Report Calculation Error"});
  EXPECT_FALSE(fs::exists(run_ / "report.csv"));
}

// ---- Basal normalisation ----

// Per-minute counts of the basal run: CH0 5, CH1 10, CH16 3, CH17 0.
int BasalCount(int, int ch) { return ch == 0 ? 5 : ch == 1 ? 10 : ch == 16 ? 3 : 0; }
int BasalWithoutDrug(int, int ch) { return ch == 0 ? 5 : ch == 1 ? 10 : 0; }

class BasalTest : public ReportEngineTest {
 protected:
  void SetUp() override {
    ReportEngineTest::SetUp();
    basal_ = home_ / "p00001" / "20261205_0900";
    reports_test::WriteRunTexts(basal_, texts_);
    choices_.basal_text = "20261205_0900 ACQ";
    choices_.autoreport = true;
  }
  std::string UsingGroups() const {
    return "Using Groups Selected in Experiment: " +
           run_.string().substr(run_.string().size() - 20);
  }
  fs::path basal_;
};

TEST_F(BasalTest, PercentOfBasalWithAskedPeriod) {
  RecordMinutes(run_, 120);
  RecordMinutes(basal_, 60, BasalCount);
  testsupport::ScriptedDialogs dialogs;
  dialogs.ExpectOk().AnswerInput("10").AnswerInput("45");
  ASSERT_EQ(engine_.Generate(choices_), ReportStatus::kWritten);
  EXPECT_EQ(dialogs.log(),
            (std::vector<std::string>{
                UsingGroups(),
                "Basal acquisition is 60min long, and BinSize=30min. \r\n\r\n"
                "How many minutes do you want to use to calculate Basal Meassurement?",
                "Enter a value between 30 and 60"}));
  EXPECT_EQ(dialogs.message_titles(), std::vector<std::string>{"<BASAL CALCULATION>"});
  EXPECT_EQ(dialogs.input_titles(),
            (std::vector<std::string>{"Basal Calculation", "Basal Calculation"}));
  EXPECT_EQ(engine_.BasalMinutes, 45);
  const std::string r = Report();
  EXPECT_NE(
      r.find(Lines({"\"TIME0(BASAL MEASSURE):\",\"20261205_0900 ACQ\"", "",
                    "\"***DATA AS % OF BASAL ACTIVITY***\"",
                    "\"<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>\"",
                    "Group/Time[m],0,30,60,90,120", "\"000_Control\",100,200,200,200,200",
                    "\"001_Drug\",100,200,200,200,200"})),
      std::string::npos);
  // The Free well keeps its counts; no channel section with a basal.
  EXPECT_NE(r.find("B2,\"999_Free\",100,120,120,120,120\r\n"), std::string::npos);
  EXPECT_EQ(r.find("Channel Activity"), std::string::npos);
}

// A basal run interrupted for an hour: its basal is the mean of the bins that hold
// records, not lowered by the empty ones.
TEST_F(BasalTest, InterruptedBasalAveragesTheBinsWithRecords) {
  RecordMinutes(run_, 120);
  reports_test::AppendCounts(
      basal_, 60, [](int r) { return r < 30 ? r + 1 : r + 61; }, BasalCount,
      [](int) { return 250; });
  testsupport::ScriptedDialogs dialogs;
  dialogs.ExpectOk().AnswerInput("120");
  ASSERT_EQ(engine_.Generate(choices_), ReportStatus::kWritten);
  EXPECT_NE(Report().find("\"000_Control\",100,200,200,200,200\r\n"), std::string::npos)
      << Report();
}

TEST_F(BasalTest, ShortBasalUsesOneBinWithoutAsking) {
  RecordMinutes(run_, 60);
  RecordMinutes(basal_, 45, BasalCount);  // rebinned to 30 minutes
  testsupport::ScriptedDialogs dialogs;
  dialogs.ExpectOk();
  ASSERT_EQ(engine_.Generate(choices_), ReportStatus::kWritten);
  EXPECT_EQ(engine_.BasalMinutes, 30);
}

TEST_F(BasalTest, NoBasalForDashOrShortEntry) {
  RecordMinutes(run_, 60);
  for (const char* entry : {"-", "", "20261205_09"}) {
    choices_.basal_text = entry;
    testsupport::ScriptedDialogs dialogs;
    ASSERT_EQ(engine_.Generate(choices_), ReportStatus::kWritten);
    EXPECT_FALSE(engine_.BasalApplied);
  }
}

TEST_F(BasalTest, ZeroBasalDeclinedOrRuled) {
  RecordMinutes(run_, 60);
  RecordMinutes(basal_, 30, BasalWithoutDrug);
  {
    testsupport::ScriptedDialogs dialogs;
    dialogs.ExpectOk().AnswerNo();
    EXPECT_EQ(engine_.Generate(choices_), ReportStatus::kCancelled);
    EXPECT_EQ(dialogs.log().back(), "You have 1 BASAL WELLS with 0 activity. Proceed anyway??");
    EXPECT_FALSE(fs::exists(run_ / "report.csv"));
  }
  using Answer = platform::Dialogs::Answer;
  const struct {
    Answer answer;
    const char* line;  // in the report
  } cases[] = {
      {Answer::kYes, "\"001_Drug\",100,100,100\r\n"},  // CH16's own maximum
      {Answer::kNo, "\"001_Drug\",100,120,120\r\n"},   // basals 150, 300, 0: average 150
      {Answer::kCancel, "A2,\"999_Free\",100,-999,-999\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    testsupport::ScriptedDialogs dialogs;
    dialogs.ExpectOk().AnswerYes().Answer3(c.answer);
    if (c.answer == Answer::kCancel) dialogs.ExpectOk();
    ASSERT_EQ(engine_.Generate(choices_), ReportStatus::kWritten);
    EXPECT_EQ(dialogs.log()[2],
              "For ZERO Activity Basal Wells:\r\n[YES] to replace <BASAL Well> with <MAX Well "
              "Activity>\r\n"
              "[NO] to replace <BASAL Well> with <BASAL Microplate Average>\r\n"
              "[CANCEL] to DISCARD Well in Calculation\r\n\r\nTO BE APPLIED TO ALL 0 ACTIVITY "
              "BASAL WELLs");
    EXPECT_NE(Report().find(c.line), std::string::npos);
    if (c.answer == Answer::kCancel) {
      EXPECT_EQ(
          dialogs.log().back(),
          "ERROR in 1 BASAL channels.\r\nChannels were discarded and transferred to Free Group");
      EXPECT_EQ(Report().find("001_Drug"), std::string::npos);
    }
  }
}

TEST_F(BasalTest, PercentIsCappedAt10000) {
  RecordMinutes(run_, 30, [](int, int ch) { return ch == 0 ? 500 : 10; });
  RecordMinutes(basal_, 30, [](int r, int ch) { return ch == 0 ? (r < 4 ? 1 : 0) : 10; });
  testsupport::ScriptedDialogs dialogs;
  dialogs.ExpectOk();
  ASSERT_EQ(engine_.Generate(choices_), ReportStatus::kWritten);
  EXPECT_NE(Report().find("A1,\"000_Control\",100,10000\r\n"), std::string::npos);
}

TEST_F(BasalTest, BasalRunThatCannotBeUsed) {
  RecordMinutes(run_, 60);
  {  // no counts.bin in the basal folder
    testsupport::ScriptedDialogs dialogs;
    dialogs.ExpectOk().ExpectOk();
    EXPECT_EQ(engine_.Generate(choices_), ReportStatus::kLoadError);
    EXPECT_EQ(dialogs.log().back(), "Error loading " + (basal_ / "counts.bin").string());
  }
  {  // a basal run of less than a minute
    reports_test::AppendCounts(
        basal_, 2, [](int) { return 0; }, BasalCount, [](int) { return 0; });
    testsupport::ScriptedDialogs dialogs;
    dialogs.ExpectOk().ExpectOk();
    EXPECT_EQ(engine_.Generate(choices_), ReportStatus::kResamplingError);
    EXPECT_EQ(dialogs.log().back(), "Resampling ERROR");
  }
  EXPECT_FALSE(fs::exists(run_ / "report.csv"));
}

}  // namespace
}  // namespace reports
