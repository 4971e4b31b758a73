// Report files of every layout against texts written out from the file layout: a
// 2 x 2 plate (A1 = CH0 and B1 = CH1 in "000_Control", A2 = CH16 in "001_Drug", B2 =
// CH17 Free), a 95-minute run in 30-minute bins whose second bin holds no data.
#include <gtest/gtest.h>

#include "reports/report_layout.h"
#include "reports/run_folder.h"

namespace reports {
namespace {

using reports_test::kDeg;
using reports_test::Lines;
using Texts = std::vector<std::string>;

const int kPlateChannels[4] = {0, 1, 16, 17};

RunPlate Plate() {
  RunPlate p = reports_test::MakePlate(2, 2, {{0, 0, 0}, {1, 1, 0}, {16, 2, 1}, {17, 3, -1}});
  p.GroupName[0] = "Control";
  p.GroupName[1] = "Drug";
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
  for (size_t w = 0; w < 4; ++w) {
    s.WellBinActivity(1, w) = s.ChannelBinActivity(1, kPlateChannels[w]) = well1[w];
    s.WellBinActivity(3, w) = s.ChannelBinActivity(3, kPlateChannels[w]) = well3[w];
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
  l.separator = ";";
  l.date_text = "06/12/2026 21:30:00";
  l.folder_text = "/data/p00001/20261206_2130";
  l.subproject_name = "Day 1";
  l.setting_text = "Mode1 C.elegans[snr=1.8]";
  l.basal_text = "20261205_0900 ACQ";
  return l;
}

std::string Report(const ReportLayout& l) { return FormatReport(l, Plate(), Stats()); }

// The header, then `body`.
std::string Expected(bool basal, const Texts& body) {
  Texts e = {"\"DATE:\";\"06/12/2026 21:30:00\"", "\"FILE:\";\"/data/p00001/20261206_2130\"",
             "\"SUBPROJECT:\";\"Day 1\"", "\"SETTING:\";\"Mode1 C.elegans[snr=1.8]\""};
  if (basal) {
    e.push_back("\"TIME0(BASAL MEASSURE):\";\"20261205_0900 ACQ\"");
    e.push_back("");
    e.push_back("\"***DATA AS % OF BASAL ACTIVITY***\"");
  } else {
    e.push_back("");
  }
  e.insert(e.end(), body.begin(), body.end());
  return Lines(e);
}

// A list section with basal: per entity the rows of times 0, 30 and 90, then an empty line.
Texts ListSection(const std::string& title, const std::string& columns,
                  const std::vector<std::pair<std::string, Texts>>& entities) {
  Texts out = {"\"<<<<<< " + title + "\"", columns, ""};
  const char* times[3] = {"0", "30", "90"};
  for (const auto& [entity, values] : entities) {
    for (int t = 0; t < 3; ++t)
      out.push_back(std::string(times[t]) + ";" + entity + ";" + values[t]);
    out.push_back("");
  }
  return out;
}

// Channel array rows A..P with `cell(ch)` in each of the 24 columns.
Texts ChannelGrid(bool quoted_letters, std::string (*cell)(int)) {
  Texts rows;
  for (int r = 0; r < 16; ++r) {
    std::string letter(1, static_cast<char>('A' + r));
    std::string l = quoted_letters ? "\"" + letter + "\"" : letter;
    for (int c = 0; c < 24; ++c) l += ";" + cell(c * 16 + r);
    rows.push_back(l);
  }
  return rows;
}

// The full rows layout is checked through the whole report; here what a basal, the
// standard deviation and a decimal comma change in it. The empty second bin is skipped.
TEST(ReportLayout, RowsWithBasalAndStdDevWithDecimalComma) {
  ReportLayout l = Layout(OutputOption::kRows, true);
  l.std_error = false;
  l.std_dev = true;
  l.well_count = false;
  l.decimal_symbol = ',';
  const std::string text = Report(l);
  for (const Texts& part :
       {Texts{"\"***DATA AS % OF BASAL ACTIVITY***\"",
              "\"<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>\"",
              "Group/Time[m];0;30;90", "\"000_Control\";100;15;25", "\"001_Drug\";100;7;9", "",
              "\"<<<<<< Group Activity: Standard Deviation >>>>>>\"", "Group/Time[m];0;30;90",
              "\"000_Control\";0,0;7,0;0,0", "\"001_Drug\";0,0;0,0;0,0", "",
              "\"<<<<<< Number of Samples per Acquisition Interval [1unit=500values] >>>>>>\""},
        Texts{"#Samples;30;30;30;", "", "", "\"<<<<<< Average Temperature [" + kDeg + "C] >>>>>>\"",
              "Time[m];0;30;90;", "Temp[" + kDeg + "C];?;25,3;0,0;"}}) {
    EXPECT_NE(text.find(Lines(part)), std::string::npos) << part.front();
  }
  // Percentages of a basal have no channel section: the report ends with the wells.
  const std::string tail = Lines({"B2;\"999_Free\";100;5;6", ""});
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(ReportLayout, ListWithBasal) {
  Texts body = ListSection(
      "Group Activity: Average Activity Counts per Data Interval>>>>>>", "Time;Group;Value",
      {{"\"000_Control\"", {"100", "15", "25"}}, {"\"001_Drug\"", {"100", "7", "9"}}});
  for (auto more :
       {ListSection(
            "Group Activity: Standard Error >>>>>>", "Time;Group;Value",
            {{"\"000_Control\"", {"0.0", "4.9", "0.0"}}, {"\"001_Drug\"", {"0.0", "0.0", "0.0"}}}),
        ListSection("Group Activity: Number of wells/group >>>>>>", "Time;Group;Value",
                    {{"\"000_Control\"", {"2", "2", "2"}}, {"\"001_Drug\"", {"1", "1", "1"}}})})
    body.insert(body.end(), more.begin(), more.end());
  for (const std::string& line :
       {"\"<<<<<< Number of Samples per Acquisition Interval [1unit=500values] >>>>>>\"",
        "Time;#Samples", "", "0;30", "30;30", "90;30", "", "",
        "\"<<<<<< Average Temperature [\xC2\xB0"
        "C] >>>>>>\"",
        "Time;Avrg_Temp[\xC2\xB0"
        "C]",
        "", "0;?", "30;25.3", "90;0.0", ""})
    body.push_back(line);
  const Texts wells = ListSection("Well Activity >>>>>>", "Time;Well;Group;Value",
                                  {{"A1;\"000_Control\"", {"100", "10", "20"}},
                                   {"B1;\"000_Control\"", {"100", "20", "30"}},
                                   {"A2;\"001_Drug\"", {"100", "7", "9"}},
                                   {"B2;\"999_Free\"", {"100", "5", "6"}}});
  body.insert(body.end(), wells.begin(), wells.end());
  EXPECT_EQ(Report(Layout(OutputOption::kList, true)), Expected(true, body));
}

TEST(ReportLayout, ListWithoutBasalEndsWithChannelList) {
  const std::string text = Report(Layout(OutputOption::kList, false));
  Texts tail = {"\"<<<<<< Channel Activity >>>>>>\"", "Time;Channel;Well;Group;Value",  "",
                "30 CH0;A1.0;\"000_Control\";10",     "90 CH0;A1.0;\"000_Control\";20", "",
                "30 CH1;B1.0;\"000_Control\";20",     "90 CH1;B1.0;\"000_Control\";30", ""};
  for (int ch = 2; ch < 16; ++ch) tail.push_back("");
  for (const char* line : {"30 CH16;A2.0;\"001_Drug\";7", "90 CH16;A2.0;\"001_Drug\";9", "",
                           "30 CH17;B2.0;\"999_Free\";5", "90 CH17;B2.0;\"999_Free\";6", ""})
    tail.push_back(line);
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
  EXPECT_EQ(Report(Layout(OutputOption::kWellArray, true)),
            Expected(true, {"\"<<<<<<WELL ARRAY. Group Configuration>>>>>>\"",
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
                            ""}));
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
  const std::string columns =
      "Row/Column;1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21;22;23;24;";
  Texts e = {"\"<<<<<<CHANNEL ARRAY. Group Configuration>>>>>>\"", columns};
  const auto append = [&e](const Texts& more) { e.insert(e.end(), more.begin(), more.end()); };
  append(ChannelGrid(true, GroupCell));
  append({"", "", "\"<<<<<< Average Temperature [" + kDeg + "C] >>>>>>\"", "Time[m];30;90;",
          "Temp[" + kDeg + "C];25.3;0.0;", "", "ARRAY OUTPUT FORMAT", "Time_Block[m];30", columns});
  append(ChannelGrid(false, Bin30Cell));
  append({"", "Time_Block[m];90", columns});
  append(ChannelGrid(false, Bin90Cell));
  e.push_back("");
  EXPECT_EQ(Report(Layout(OutputOption::kChannelArray, false)), Expected(false, e));
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
  const Texts e = {
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
  EXPECT_EQ(Report(l), Lines(e));
}

TEST(ReportLayout, EmptySeparatorAndAllFree) {
  RunPlate plate = Plate();
  for (auto& g : plate.ChGroup) g = -1;
  ReportLayout l = Layout(OutputOption::kRows, false);
  l.separator = "";
  l.std_error = false;
  l.well_count = false;
  const std::string text = FormatReport(l, plate, Stats());
  // Group 0 is written even when every channel is Free.
  EXPECT_NE(text.find(Lines({"Group/Time[m]3090", "\"000_Control\"1525", ""})), std::string::npos);
  EXPECT_EQ(text.find("001_Drug"), std::string::npos);
  EXPECT_NE(text.find("CH16A2.0\"999_Free\"79"), std::string::npos);
}

TEST(ReportLayout, BinCountRoundsHalfToEvenAndLabelsStopAtTheRunEnd) {
  // 95 / 30 = 3.2 -> 3, 105 / 30 = 3.5 -> 4, 75 / 30 = 2.5 -> 2, at least 1.
  const int32_t cases[][3] = {{95, 30, 3}, {105, 30, 4}, {75, 30, 2}, {10, 30, 1}};
  for (const auto& c : cases) EXPECT_EQ(ReportBinCount(c[0], c[1]), c[2]) << c[0];
  EXPECT_EQ(ReportTimeLabel(105, 30, 4), 105);
  EXPECT_EQ(ReportTimeLabel(95, 30, 3), 90);
  EXPECT_EQ(ReportTimeLabel(50000, 5, 10000), 50000);  // not limited to 16 bits
}

}  // namespace
}  // namespace reports
