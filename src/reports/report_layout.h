#pragma once
// The report file's text: a header and the sections of the chosen output layout,
// formatted from tables the pipeline filled before. Only formatting happens here.
//
// Every line ends with CR LF. Cells are joined by the separator exactly as typed
// (any length, also empty); texts are written unescaped. Whole numbers are plain
// digits, "0.0" values use the decimal symbol given. Sections, in order, by layout
// (0 Rows, 1 List, 2 W.Array, 3 CH.Array, 4 Histogram):
//   1 group activity          matrix / list          (0, 1)
//   2 well array of groups    plate array            (2)
//   3 channel array of groups channel array          (3)
//   4 group histogram         histogram              (4)
//   5 standard error          matrix / list          (0, 1; when asked)
//   6 standard deviation      matrix / list / matrix (0, 1, 4; when asked)
//   7 wells per group         matrix / list          (0, 1; when asked)
//   8 samples per interval    two-row matrix / list  (0, 1), then one empty line always
//   9 average temperature     two-row matrix / list  (all)
//  10 well activity           matrix / list / plate array per bin / well histogram
//  11 channel activity        matrix / list / channel array per bin (0, 1, 3; not basal)
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "reports/group_statistics.h"
#include "reports/report_tables.h"

namespace reports {

struct ReportLayout {
  int32_t L = 0;       // run length in minutes as the rebinning left it
  int32_t B = 1;       // report bin in minutes
  bool basal = false;  // data are percentages of a basal period
  OutputOption option = OutputOption::kRows;
  bool std_error = true;   // "Std Error" ticked
  bool std_dev = false;    // "Std Dev" ticked
  bool well_count = true;  // "N" ticked
  std::string separator = ",";
  char decimal_symbol = '.';
  std::string date_text;        // DATE:
  std::string folder_text;      // FILE: the run folder as given
  std::string subproject_name;  // SUBPROJECT:
  std::string setting_text;     // SETTING:
  std::string basal_text;       // TIME0(BASAL MEASSURE): the basal entry as chosen
};

// Bins written: L / B rounded half to even, at least 1.
int32_t ReportBinCount(int32_t L, int32_t B);
// Time label of bin j (1-based): B x j, never more than L.
int64_t ReportTimeLabel(int32_t L, int32_t B, int32_t j);
// Highest group number over the channels (0..384; groups above count as Free), at least 0.
int32_t HighestGroup(const RunPlate& plate);

// Hands the report file's text to `sink` piece by piece, so a long report is never
// held whole.
using TextSink = std::function<void(std::string_view)>;
void WriteReportText(const ReportLayout& layout, const RunPlate& plate,
                     const GroupStatistics& stats, const TextSink& sink);

// The whole report file as one text.
std::string FormatReport(const ReportLayout& layout, const RunPlate& plate,
                         const GroupStatistics& stats);

}  // namespace reports
