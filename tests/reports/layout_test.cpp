// Report files of every layout against texts written out from the file layout: a
// 2 x 2 plate (A1 = CH0 and B1 = CH1 in "000_Control", A2 = CH16 in "001_Drug", B2 =
// CH17 Free), a 95-minute run in 30-minute bins whose second bin holds no data.
#include <gtest/gtest.h>

#include "reports/report_layout.h"
#include "reports/run_folder.h"

namespace reports {
namespace {

using reports_test::Lines;

const std::string kDeg = "\xC2\xB0";

RunPlate Plate() {
  RunPlate p;
  p.RepPlateRows = 2;
  p.RepPlateCols = 2;
  p.GroupName[0] = "Control";
  p.GroupName[1] = "Drug";
  const int channels[4] = {0, 1, 16, 17};
  const int groups[4] = {0, 0, 1, -1};
  for (int w = 0; w < 4; ++w) {
    p.Well[static_cast<size_t>(channels[w])] = static_cast<int16_t>(w);
    p.ChGroup[static_cast<size_t>(channels[w])] = static_cast<int16_t>(groups[w]);
  }
  p.MaxWell = 3;
  p.BuildWellBeamChannel();
  return p;
}

GroupStatistics Stats() {
  GroupStatistics s;
  s.slot_count = 5;
  s.BinTemperature = {0, 253, 0, 0, 0};
  s.BinRecordCount = {0, 1, 0, 1, 0};
  s.BinValid = {0, 1, 0, 1, 0};
  s.GroupMean = Table2D<int32_t>(5, kGroupEntries);
  s.GroupStdDev = Table2D<int32_t>(5, kGroupEntries);
  s.WellBinActivity = Table2D<int32_t>(5, kChannelEntries);
  s.ChannelBinActivity = Table2D<int32_t>(5, kChannelEntries);
  s.GroupWellCount.assign(kGroupEntries, 0);
  s.GroupWellCount[0] = 2;
  s.GroupWellCount[1] = 1;
  s.GroupMean(1, 0) = 15;
  s.GroupMean(3, 0) = 25;
  s.GroupMean(1, 1) = 7;
  s.GroupMean(3, 1) = 9;
  s.GroupStdDev(1, 0) = 7;
  const int well1[4] = {10, 20, 7, 5}, well3[4] = {20, 30, 9, 6};
  const int channels[4] = {0, 1, 16, 17};
  for (int w = 0; w < 4; ++w) {
    s.WellBinActivity(1, static_cast<size_t>(w)) = well1[w];
    s.WellBinActivity(3, static_cast<size_t>(w)) = well3[w];
    s.ChannelBinActivity(1, static_cast<size_t>(channels[w])) = well1[w];
    s.ChannelBinActivity(3, static_cast<size_t>(channels[w])) = well3[w];
  }
  s.ChannelHistogram = HistogramTable(5, kChannelEntries);
  s.WellHistogram = HistogramTable(5, kChannelEntries);
  s.GroupHistogram = HistogramTable(5, kGroupEntries);
  s.GroupHistogram(1, 0, 1) = 4;
  s.GroupHistogram(3, 1, 30) = 2;
  s.WellHistogram(1, 2, 0) = 3;
  s.HistoSampleSeconds = 0.25;
  return s;
}

ReportLayout Layout(OutputOption option, bool basal) {
  ReportLayout l;
  l.L = 95;
  l.B = 30;
  l.basal = basal;
  l.option = option;
  l.std_error = true;
  l.std_dev = false;
  l.well_count = true;
  l.separator = ";";
  l.date_text = "06/12/2026 21:30:00";
  l.folder_text = "/data/p00001/20261206_2130";
  l.subproject_name = "Day 1";
  l.setting_text = "Mode1 C.elegans[snr=1.8]";
  l.basal_text = "20261205_0900 ACQ";
  return l;
}

std::vector<std::string> Header(bool basal) {
  std::vector<std::string> h = {
      "\"DATE:\";\"06/12/2026 21:30:00\"", "\"FILE:\";\"/data/p00001/20261206_2130\"",
      "\"SUBPROJECT:\";\"Day 1\"", "\"SETTING:\";\"Mode1 C.elegans[snr=1.8]\""};
  if (basal) {
    h.push_back("\"TIME0(BASAL MEASSURE):\";\"20261205_0900 ACQ\"");
    h.push_back("");
    h.push_back("\"***DATA AS % OF BASAL ACTIVITY***\"");
  } else {
    h.push_back("");
  }
  return h;
}

void Append(std::vector<std::string>& to, const std::vector<std::string>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

// Channel array rows A..P with `cell(ch)` in each of the 24 columns.
std::vector<std::string> ChannelGrid(bool quoted_letters, std::string (*cell)(int)) {
  std::vector<std::string> rows;
  for (int r = 0; r < 16; ++r) {
    std::string letter(1, static_cast<char>('A' + r));
    std::string l = quoted_letters ? "\"" + letter + "\"" : letter;
    for (int c = 0; c < 24; ++c) l += ";" + cell(c * 16 + r);
    rows.push_back(l);
  }
  return rows;
}

const std::string kChannelHeader =
    "Row/Column;1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21;22;23;24;";

TEST(ReportLayout, RowsWithoutBasal) {
  std::vector<std::string> e = Header(false);
  Append(e, {"\"<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>\"",
             "Group/Time[m];30;90",
             "\"000_Control\";15;25",
             "\"001_Drug\";7;9",
             "",
             "\"<<<<<< Group Activity: Standard Error >>>>>>\"",
             "Group/Time[m];30;90",
             "\"000_Control\";4.9;0.0",
             "\"001_Drug\";0.0;0.0",
             "",
             "\"<<<<<< Group Activity: Number of wells/group >>>>>>\"",
             "Group/Time[m];30;90",
             "\"000_Control\";2;2",
             "\"001_Drug\";1;1",
             "",
             "\"<<<<<< Number of Samples per Acquisition Interval [1unit=500values] >>>>>>\"",
             "Time[m];30;90;",
             "#Samples;30;30;",
             "",
             "",
             "\"<<<<<< Average Temperature [" + kDeg + "C] >>>>>>\"",
             "Time[m];30;90;",
             "Temp[" + kDeg + "C];25.3;0.0;",
             "",
             "\"<<<<<< Well Activity >>>>>>\"",
             "Well;Group/Time[m];30;90",
             "A1;\"000_Control\";10;20",
             "B1;\"000_Control\";20;30",
             "A2;\"001_Drug\";7;9",
             "B2;\"999_Free\";5;6",
             "",
             "\"<<<<<< Channel Activity >>>>>>\"",
             "Channel;Well;Group/Time[m];30;90",
             "CH0;A1.0;\"000_Control\";10;20",
             "CH1;B1.0;\"000_Control\";20;30",
             "CH16;A2.0;\"001_Drug\";7;9",
             "CH17;B2.0;\"999_Free\";5;6"});
  EXPECT_EQ(FormatReport(Layout(OutputOption::kRows, false), Plate(), Stats()), Lines(e));
}

TEST(ReportLayout, RowsWithBasalAndStdDevWithDecimalComma) {
  ReportLayout l = Layout(OutputOption::kRows, true);
  l.std_error = false;
  l.std_dev = true;
  l.well_count = false;
  l.decimal_symbol = ',';
  std::vector<std::string> e = Header(true);
  Append(e, {"\"<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>\"",
             "Group/Time[m];0;30;90",
             "\"000_Control\";100;15;25",
             "\"001_Drug\";100;7;9",
             "",
             "\"<<<<<< Group Activity: Standard Deviation >>>>>>\"",
             "Group/Time[m];0;30;90",
             "\"000_Control\";0,0;7,0;0,0",
             "\"001_Drug\";0,0;0,0;0,0",
             "",
             "\"<<<<<< Number of Samples per Acquisition Interval [1unit=500values] >>>>>>\"",
             "Time[m];0;30;90;",
             "#Samples;30;30;30;",
             "",
             "",
             "\"<<<<<< Average Temperature [" + kDeg + "C] >>>>>>\"",
             "Time[m];0;30;90;",
             "Temp[" + kDeg + "C];?;25,3;0,0;",
             "",
             "\"<<<<<< Well Activity >>>>>>\"",
             "Well;Group/Time[m];0;30;90",
             "A1;\"000_Control\";100;10;20",
             "B1;\"000_Control\";100;20;30",
             "A2;\"001_Drug\";100;7;9",
             "B2;\"999_Free\";100;5;6",
             ""});
  EXPECT_EQ(FormatReport(l, Plate(), Stats()), Lines(e));
}

TEST(ReportLayout, ListWithBasal) {
  std::vector<std::string> e = Header(true);
  Append(e, {"\"<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>\"",
             "Time;Group;Value",
             "",
             "0;\"000_Control\";100",
             "30;\"000_Control\";15",
             "90;\"000_Control\";25",
             "",
             "0;\"001_Drug\";100",
             "30;\"001_Drug\";7",
             "90;\"001_Drug\";9",
             "",
             "\"<<<<<< Group Activity: Standard Error >>>>>>\"",
             "Time;Group;Value",
             "",
             "0;\"000_Control\";0.0",
             "30;\"000_Control\";4.9",
             "90;\"000_Control\";0.0",
             "",
             "0;\"001_Drug\";0.0",
             "30;\"001_Drug\";0.0",
             "90;\"001_Drug\";0.0",
             "",
             "\"<<<<<< Group Activity: Number of wells/group >>>>>>\"",
             "Time;Group;Value",
             "",
             "0;\"000_Control\";2",
             "30;\"000_Control\";2",
             "90;\"000_Control\";2",
             "",
             "0;\"001_Drug\";1",
             "30;\"001_Drug\";1",
             "90;\"001_Drug\";1",
             "",
             "\"<<<<<< Number of Samples per Acquisition Interval [1unit=500values] >>>>>>\"",
             "Time;#Samples",
             "",
             "0;30",
             "30;30",
             "90;30",
             "",
             "",
             "\"<<<<<< Average Temperature [" + kDeg + "C] >>>>>>\"",
             "Time;Avrg_Temp[" + kDeg + "C]",
             "",
             "0;?",
             "30;25.3",
             "90;0.0",
             "",
             "\"<<<<<< Well Activity >>>>>>\"",
             "Time;Well;Group;Value",
             "",
             "0;A1;\"000_Control\";100",
             "30;A1;\"000_Control\";10",
             "90;A1;\"000_Control\";20",
             "",
             "0;B1;\"000_Control\";100",
             "30;B1;\"000_Control\";20",
             "90;B1;\"000_Control\";30",
             "",
             "0;A2;\"001_Drug\";100",
             "30;A2;\"001_Drug\";7",
             "90;A2;\"001_Drug\";9",
             "",
             "0;B2;\"999_Free\";100",
             "30;B2;\"999_Free\";5",
             "90;B2;\"999_Free\";6",
             ""});
  EXPECT_EQ(FormatReport(Layout(OutputOption::kList, true), Plate(), Stats()), Lines(e));
}

TEST(ReportLayout, ListWithoutBasalEndsWithChannelList) {
  const std::string text = FormatReport(Layout(OutputOption::kList, false), Plate(), Stats());
  std::vector<std::string> tail = {
      "\"<<<<<< Channel Activity >>>>>>\"", "Time;Channel;Well;Group;Value",  "",
      "30 CH0;A1.0;\"000_Control\";10",     "90 CH0;A1.0;\"000_Control\";20", "",
      "30 CH1;B1.0;\"000_Control\";20",     "90 CH1;B1.0;\"000_Control\";30", ""};
  for (int ch = 2; ch < 16; ++ch) tail.push_back("");
  Append(tail, {"30 CH16;A2.0;\"001_Drug\";7", "90 CH16;A2.0;\"001_Drug\";9", "",
                "30 CH17;B2.0;\"999_Free\";5", "90 CH17;B2.0;\"999_Free\";6", ""});
  for (int ch = 18; ch < 384; ++ch) tail.push_back("");
  const std::string expected_tail = Lines(tail);
  ASSERT_GE(text.size(), expected_tail.size());
  EXPECT_EQ(text.substr(text.size() - expected_tail.size()), expected_tail);
  // The well list (no basal) comes right before it.
  EXPECT_NE(text.find(Lines({"30;B2;\"999_Free\";5", "90;B2;\"999_Free\";6", "",
                             "\"<<<<<< Channel Activity >>>>>>\""})),
            std::string::npos);
}

TEST(ReportLayout, WellArrayWithBasal) {
  std::vector<std::string> e = Header(true);
  Append(e, {"\"<<<<<<WELL ARRAY. Group Configuration>>>>>>\"",
             "Row/Column;1;2;",
             "\"A\";\"000_Control\";\"001_Drug\"",
             "\"B\";\"000_Control\";\"999_Free\"",
             "",
             "",
             "\"<<<<<< Average Temperature [" + kDeg + "C] >>>>>>\"",
             "Time[m];0;30;90;",
             "Temp[" + kDeg + "C];?;25.3;0.0;",
             "",
             "\"<<<<<<WELL ARRAY. Well Activity>>>>>>\"",
             "Time_Block[m];0",
             "Row/Column;1;2;",
             "\"A\";100;100",
             "\"B\";100;100",
             "",
             "Time_Block[m];30",
             "Row/Column;1;2;",
             "A;10;7",
             "B;20;5",
             "",
             "Time_Block[m];60",
             "Row/Column;1;2;",
             "A;-;-",
             "B;-;-",
             "",
             "Time_Block[m];90",
             "Row/Column;1;2;",
             "A;20;9",
             "B;30;6",
             ""});
  EXPECT_EQ(FormatReport(Layout(OutputOption::kWellArray, true), Plate(), Stats()), Lines(e));
}

std::string GroupCell(int ch) {
  if (ch == 0 || ch == 1) return "\"000_Control\"";
  if (ch == 16) return "\"001_Drug\"";
  if (ch == 17) return "\" 999_Free\"";
  return "-";
}
std::string Bin30Cell(int ch) {
  return ch == 0 ? "10" : ch == 1 ? "20" : ch == 16 ? "7" : ch == 17 ? "5" : "-";
}
std::string Bin90Cell(int ch) {
  return ch == 0 ? "20" : ch == 1 ? "30" : ch == 16 ? "9" : ch == 17 ? "6" : "-";
}

TEST(ReportLayout, ChannelArrayWithoutBasal) {
  std::vector<std::string> e = Header(false);
  Append(e, {"\"<<<<<<CHANNEL ARRAY. Group Configuration>>>>>>\"", kChannelHeader});
  Append(e, ChannelGrid(true, GroupCell));
  Append(e, {"", "", "\"<<<<<< Average Temperature [" + kDeg + "C] >>>>>>\"", "Time[m];30;90;",
             "Temp[" + kDeg + "C];25.3;0.0;", "", "ARRAY OUTPUT FORMAT", "Time_Block[m];30",
             kChannelHeader});
  Append(e, ChannelGrid(false, Bin30Cell));
  Append(e, {"", "Time_Block[m];90", kChannelHeader});
  Append(e, ChannelGrid(false, Bin90Cell));
  e.push_back("");
  EXPECT_EQ(FormatReport(Layout(OutputOption::kChannelArray, false), Plate(), Stats()), Lines(e));
}

TEST(ReportLayout, HistogramWithStdDevAndMultiCharacterSeparator) {
  ReportLayout l = Layout(OutputOption::kHistogram, false);
  l.std_dev = true;
  l.separator = "::";
  // Class limits k x 0.25 s at one decimal, halves to even: 0.25 -> 0.2, 0.75 -> 0.8.
  std::string limits;
  for (int k = 0; k <= 30; ++k) {
    const int hundredths = k * 25;
    int tenths = hundredths / 10;
    const int rest = hundredths % 10;
    if (rest > 5 || (rest == 5 && tenths % 2 == 1)) ++tenths;
    limits += "::" + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
  }
  auto cls = [](int at, int value) {
    std::string s;
    for (int k = 0; k <= 30; ++k) s += "::" + std::to_string(k == at ? value : 0);
    return s;
  };
  const std::vector<std::string> e = {
      "\"DATE:\"::\"06/12/2026 21:30:00\"",
      "\"FILE:\"::\"/data/p00001/20261206_2130\"",
      "\"SUBPROJECT:\"::\"Day 1\"",
      "\"SETTING:\"::\"Mode1 C.elegans[snr=1.8]\"",
      "",
      "\"<<<<<< Group Histogram: Average Number of Frequency Counts per Data Interval>>>>>>\"",
      "Time[m]::Group/Frequency:" + limits,
      "30::\"000_Control\"" + cls(1, 4),
      "30::\"001_Drug\"" + cls(-1, 0),
      "90::\"000_Control\"" + cls(-1, 0),
      "90::\"001_Drug\"" + cls(30, 2),
      "\"<<<<<< Group Activity: Standard Deviation >>>>>>\"",
      "Group/Time[m]::30::90",
      "\"000_Control\"::7.0::0.0",
      "\"001_Drug\"::0.0::0.0",
      "",
      "",
      "\"<<<<<< Average Temperature [" + kDeg + "C] >>>>>>\"",
      "Time[m]::30::90::",
      "Temp[" + kDeg + "C]::25.3::0.0::",
      "",
      "\"<<<<<< Well Histogram: Average Number of Frequency Counts per Data Interval>>>>>>\"",
      "Time[m]::Well::Group/Frequency:" + limits,
      "30::A1::\"000_Control\"" + cls(-1, 0),
      "30::B1::\"000_Control\"" + cls(-1, 0),
      "30::A2::\"001_Drug\"" + cls(0, 3),
      "30::B2::\"999_Free\"" + cls(-1, 0),
      "90::A1::\"000_Control\"" + cls(-1, 0),
      "90::B1::\"000_Control\"" + cls(-1, 0),
      "90::A2::\"001_Drug\"" + cls(-1, 0),
      "90::B2::\"999_Free\"" + cls(-1, 0)};
  EXPECT_EQ(FormatReport(l, Plate(), Stats()), Lines(e));
}

TEST(ReportLayout, EmptySeparatorAndAllFree) {
  RunPlate plate = Plate();
  for (auto& g : plate.ChGroup) g = -1;
  GroupStatistics stats = Stats();
  ReportLayout l = Layout(OutputOption::kRows, false);
  l.separator = "";
  l.std_error = false;
  l.well_count = false;
  const std::string text = FormatReport(l, plate, stats);
  // Group 0 is written even when every channel is Free.
  EXPECT_NE(text.find(Lines({"Group/Time[m]3090", "\"000_Control\"1525", ""})), std::string::npos);
  EXPECT_EQ(text.find("001_Drug"), std::string::npos);
  EXPECT_NE(text.find("CH16A2.0\"999_Free\"79"), std::string::npos);
}

TEST(ReportLayout, BinCountAndTimeLabels) {
  EXPECT_EQ(ReportBinCount(95, 30), 3);
  EXPECT_EQ(ReportBinCount(105, 30), 4);
  EXPECT_EQ(ReportBinCount(75, 30), 2);
  EXPECT_EQ(ReportBinCount(10, 30), 1);
  EXPECT_EQ(ReportTimeLabel(105, 30, 4), 105);
  EXPECT_EQ(ReportTimeLabel(95, 30, 3), 90);
  // Long runs are not limited to 16-bit labels.
  EXPECT_EQ(ReportTimeLabel(50000, 5, 10000), 50000);
}

}  // namespace
}  // namespace reports
