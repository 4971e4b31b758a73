#pragma once
// The offline re-analysis of the page on screen: each beam of the chosen well counted
// again, block by block, with a threshold and method of the user's choosing, on a copy
// of each block (the detection clips spikes in what it is given, and the page must stay
// as recorded). What it finds is drawn over the signal: the threshold traces, the counts
// per ten blocks and beam, the minutes of those blocks, and a colour key. Nothing is
// written; counts.bin is only read.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "offline/raw_pages.h"
#include "ui/draw_plan.h"

namespace offline {

inline constexpr double kDefaultThreshold = 1.8;
inline constexpr double kLowestThreshold = 1.1;
inline constexpr double kHighestThreshold = 6.0;

// The threshold box as the re-analysis and the tracking read it: "." or "," as the
// decimal sign; a value outside 1.1..6.0 (or no number) becomes 1.8, and the box is
// then to show ThresholdBoxText(1.8).
struct ThresholdChoice {
  double value = kDefaultThreshold;
  bool replaced = false;
};
ThresholdChoice ReadThresholdBox(std::string_view text);
// A threshold as the box shows it: one decimal, with the locale's decimal sign.
std::string ThresholdBoxText(double value, char decimal);

// The detection method of the mode combo: 1 for its second entry ("Mode:1"), else 0.
int AnalysisMethod(int mode_index);

inline constexpr int kBlocksPerSum = 10;
inline constexpr int kSumsPerPage = kPageBlocks / kBlocksPerSum;

struct PageAnalysis {
  int page = 0;
  std::vector<int> beams;  // the beam list analysed (-1: no beam)
  // Per beam entry: the threshold trace of each display block, samples 0..499.
  std::vector<std::vector<std::array<int16_t, kBlockSamples>>> traces;
  // Per beam entry: the counts of blocks 0..9, 10..19, ... of the page.
  std::vector<std::array<int32_t, kSumsPerPage>> sums;
  // The elapsed minutes of the counts record of blocks 9, 19, ..., 49 of the page; none
  // where counts.bin ends before it.
  std::array<std::optional<int32_t>, kSumsPerPage> minutes;
};

// Analyses every display block of `page` for each beam of `beams` with its own copy of
// the samples; the page is left as it was.
PageAnalysis AnalyzePage(const RawPage& page, const std::vector<int>& beams,
                         const std::filesystem::path& counts_file, double threshold, int method);

// The picture's text in the signal view's units: a line's height (y) and a digit's
// width (x). Zero: not known, the rows keep their 100 units.
struct PlotTextSize {
  double line = 0;
  double digit = 0;
};

// Where the count rows go: beam entry k stands in column k / rows, row k % rows; row i
// has its top at y = 100 + spacing x i, its key bar from 0.8 to 0.6 spacings below
// that. Rows are 100 units apart as long as they all stay below the minutes along the
// top; a well of more beams gets its rows closer, down to a line of text apart, and
// then in more columns: each column of counts one count's width left of the next (the
// last one where a single column stands), each column of key bars 700 units right of
// the one before.
struct CountRows {
  int rows = 1;  // rows a column
  int columns = 1;
  double spacing = 100;
  double column_width = 0;  // x units between columns of counts
};
CountRows CountRowsLayout(int entries, PlotTextSize text, int widest_count_digits);

// What the analysis draws over the signal view, in its scale: per block the grey
// threshold traces and the block's line, at every tenth block each beam's count (in
// the rows of CountRowsLayout) and the block's minutes along the top, then "Time(min)"
// and one bar per beam in its colour at the left.
ui::DrawPlan PageAnalysisPlan(const PageAnalysis& analysis, const std::vector<int32_t>& colours,
                              PlotTextSize text = {});

}  // namespace offline
