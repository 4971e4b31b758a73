#include "reports/report_layout.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/numeric.h"

namespace reports {

namespace {

constexpr const char* kEol = "\r\n";
constexpr const char* kFreeLabel = "\"999_Free\"";
constexpr const char* kFreeLabelChannelArray = "\" 999_Free\"";
constexpr const char* kDegree = "\xC2\xB0";  // the degree sign

int32_t Cell(const Table2D<int32_t>& t, long long r, long long c) {
  if (r < 0 || c < 0 || static_cast<size_t>(r) >= t.rows() || static_cast<size_t>(c) >= t.cols())
    return 0;
  return t(static_cast<size_t>(r), static_cast<size_t>(c));
}

int32_t Cell(const HistogramTable& t, long long s, long long e, int k) {
  if (s < 0 || e < 0 || static_cast<size_t>(s) >= t.slot_count() ||
      static_cast<size_t>(e) >= t.entries())
    return 0;
  return t(static_cast<size_t>(s), static_cast<size_t>(e), static_cast<size_t>(k));
}

int32_t At(const std::vector<int32_t>& v, long long i) {
  return (i >= 0 && static_cast<size_t>(i) < v.size()) ? v[static_cast<size_t>(i)] : 0;
}

// The plain digits of v at p, which has room for 11 characters; returns the end. Counts
// are mostly below 10000: those take a table lookup or two.
inline char* PutDecimal(char* p, int32_t v) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  auto pair = [](char* at, unsigned two_digits) {
    at[0] = kPairs[2 * two_digits];
    at[1] = kPairs[2 * two_digits + 1];
    return at + 2;
  };
  if (v < 0 || v >= 10000) return std::to_chars(p, p + 11, v).ptr;
  const auto u = static_cast<unsigned>(v);
  if (u < 10) {
    *p = static_cast<char>('0' + u);
    return p + 1;
  }
  if (u < 100) return pair(p, u);
  if (u < 1000) {
    *p = static_cast<char>('0' + u / 100);
    return pair(p + 1, u % 100);
  }
  return pair(pair(p, u / 100), u % 100);
}

class ReportText {
 public:
  ReportText(const ReportLayout& layout, const RunPlate& plate, const GroupStatistics& stats,
             const TextSink& sink)
      : lay_(layout), plate_(plate), stats_(stats), sep_(layout.separator), sink_(sink) {
    n_ = ReportBinCount(layout.L, layout.B);
    g_ = HighestGroup(plate);
    time_.resize(static_cast<size_t>(n_) + 1);
    for (int32_t j = 1; j <= n_; ++j) {
      time_[static_cast<size_t>(j)] = std::to_string(ReportTimeLabel(layout.L, layout.B, j));
      if (stats.Valid(j)) valid_.push_back(j);
    }
  }

  void Build();

 private:
  // ---- cells and labels ----
  // "0.0" cells repeat (a group's standard error takes few values): each is made once.
  const std::string& Fixed1(double v) const {
    auto [at, made] = fixed1_.try_emplace(std::bit_cast<uint64_t>(v));
    if (made) {
      at->second = platform::FormatFixed(v, 1);
      for (char& c : at->second)
        if (c == '.') c = lay_.decimal_symbol;
    }
    return at->second;
  }
  // Time labels of the valid bins, made once: a long report repeats them on every line.
  const std::string& Time(int32_t j) const { return time_[static_cast<size_t>(j)]; }
  // A whole number in plain digits, appended without a string of its own.
  static void AppendInt(std::string& s, long long v) {
    char digits[24];
    s.append(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
  }
  // The separator and value(i) for i = 0..count-1, written straight into the line: the
  // long matrices are most of a report.
  template <typename Value>
  void AppendCells(std::string& s, size_t count, Value value) {
    constexpr size_t kWidest = 11;  // a 32-bit number
    if (cells_.size() < count * (sep_.size() + kWidest)) cells_.resize(count * (sep_.size() + kWidest));
    char* p = cells_.data();
    if (sep_.size() == 1) {
      const char sep = sep_[0];
      for (size_t i = 0; i < count; ++i) {
        *p++ = sep;
        p = PutDecimal(p, static_cast<int32_t>(value(i)));
      }
    } else {
      for (size_t i = 0; i < count; ++i) {
        p = std::copy(sep_.begin(), sep_.end(), p);
        p = PutDecimal(p, static_cast<int32_t>(value(i)));
      }
    }
    s.append(cells_.data(), p);
  }
  // The cells of a table's column for every valid bin.
  void AppendBinCells(std::string& s, const Table2D<int32_t>& t, long long column) {
    const bool inside = column >= 0 && static_cast<size_t>(column) < t.cols() &&
                        (valid_.empty() || static_cast<size_t>(valid_.back()) < t.rows());
    if (!inside) {
      AppendCells(s, valid_.size(), [&](size_t i) { return Cell(t, valid_[i], column); });
      return;
    }
    const int32_t* first = t.row(0) + column;
    const size_t stride = t.cols();
    AppendCells(s, valid_.size(),
                [&](size_t i) { return first[static_cast<size_t>(valid_[i]) * stride]; });
  }
  std::string GroupLabel(int g) const {
    return "\"" + platform::FormatZeroPadded(g, 3) + "_" +
           plate_.GroupName[static_cast<size_t>(g)] + "\"";
  }
  // Group label of a channel, Free when it has no group.
  std::string ChannelGroupLabel(int ch, const char* free_label = kFreeLabel) const {
    const int g = plate_.GroupOf(ch);
    return g < 0 ? std::string(free_label) : GroupLabel(g);
  }
  std::string RowLetter(long long r) const {
    return std::string(1, static_cast<char>('A' + static_cast<int>(r % 64)));
  }
  // Row letter and column number of the channel's well ("A1" for the first well).
  std::string WellLabel(int ch) const {
    const long long well = plate_.Well[static_cast<size_t>(ch)];
    const long long rows = plate_.RepPlateRows;
    const long long c =
        rows > 0 ? static_cast<long long>(std::floor(static_cast<double>(well) / rows)) : 0;
    const long long r = well - rows * c;
    return RowLetter(r < 0 ? 0 : r) + std::to_string(c + 1);
  }
  bool OnPlate(int ch) const { return ch >= 0 && plate_.Well[static_cast<size_t>(ch)] >= 0; }
  int WellChannel(long long w) const { return plate_.WellBeamChannel(w, 0); }

  // ---- lines ----
  void Line(const std::string& s) {
    out_ += s;
    EndLine();
  }
  // Ends the line written into out_.
  void EndLine() {
    out_ += kEol;
    if (out_.size() >= kFlushBytes) Flush();
  }
  void Empty() { out_ += kEol; }
  void Flush() {
    if (!out_.empty()) sink_(out_);
    out_.clear();
  }
  static constexpr size_t kFlushBytes = 1 << 16;
  void Title(const std::string& t) { Line("\"" + t + "\""); }

  void Header();
  // A cell of group g in bin j; j = 0 asks for the basal column.
  using GroupCell = std::string (ReportText::*)(int32_t, int) const;
  void Matrix(const std::string& title, GroupCell cell);
  void List(const std::string& title, GroupCell cell);
  void TwoRowSamples();
  void TwoRowTemperature();
  void ListSamples();
  void ListTemperature();
  void PlateArrayOfGroups();
  void ChannelArrayOfGroups();
  void PlateHeader();
  void ChannelHeader();
  void HistogramHeader(bool wells);
  void GroupHistogram();
  void WellHistogram();
  void WellMatrix();
  void WellList();
  void WellArrayPerBin();
  void ChannelMatrix();
  void ChannelList();
  void ChannelArrayPerBin();

  std::string MeanCell(int32_t j, int g) const {
    if (j == 0) return "100";
    std::string s;
    AppendInt(s, Cell(stats_.GroupMean, j, g));
    return s;
  }
  std::string StdErrorCell(int32_t j, int g) const {
    const int32_t n = At(stats_.GroupWellCount, g);
    const int32_t sd = Cell(stats_.GroupStdDev, j, g);
    if (j == 0 || n < 1 || sd < 1) return Fixed1(0.0);
    return Fixed1(sd / std::sqrt(static_cast<double>(n)));
  }
  std::string StdDevCell(int32_t j, int g) const {
    return j == 0 ? Fixed1(0.0) : Fixed1(Cell(stats_.GroupStdDev, j, g));
  }
  // The basal column of the well count is the group's count, as every bin's is.
  std::string CountCell(int32_t, int g) const {
    return std::to_string(At(stats_.GroupWellCount, g));
  }

  const ReportLayout& lay_;
  const RunPlate& plate_;
  const GroupStatistics& stats_;
  const std::string& sep_;
  int32_t n_ = 1;
  int32_t g_ = 0;
  std::vector<int32_t> valid_;
  std::vector<std::string> time_;
  std::string line_;  // the line being made, its room kept from line to line
  std::vector<char> cells_;  // room for a line's cells
  mutable std::unordered_map<uint64_t, std::string> fixed1_;
  const TextSink& sink_;
  std::string out_;
};

void ReportText::Header() {
  auto pair = [&](const char* key, const std::string& value) {
    Line(std::string("\"") + key + "\"" + sep_ + "\"" + value + "\"");
  };
  pair("DATE:", lay_.date_text);
  pair("FILE:", lay_.folder_text);
  pair("SUBPROJECT:", lay_.subproject_name);
  pair("SETTING:", lay_.setting_text);
  if (lay_.basal) {
    pair("TIME0(BASAL MEASSURE):", lay_.basal_text);
    Empty();
    Title("***DATA AS % OF BASAL ACTIVITY***");
  } else {
    Empty();
  }
}

void ReportText::Matrix(const std::string& title, GroupCell cell) {
  Title(title);
  std::string h = "Group/Time[m]";
  if (lay_.basal) h += sep_ + "0";
  for (int32_t j : valid_) h += sep_ + Time(j);
  Line(h);
  for (int g = 0; g <= g_; ++g) {
    std::string l = GroupLabel(g);
    if (lay_.basal) l += sep_ + (this->*cell)(0, g);
    for (int32_t j : valid_) {
      l += sep_;
      l += (this->*cell)(j, g);
    }
    Line(l);
  }
  Empty();
}

void ReportText::List(const std::string& title, GroupCell cell) {
  Title(title);
  Line("Time" + sep_ + "Group" + sep_ + "Value");
  Empty();
  for (int g = 0; g <= g_; ++g) {
    const std::string label = GroupLabel(g);
    if (lay_.basal) Line("0" + sep_ + label + sep_ + (this->*cell)(0, g));
    for (int32_t j : valid_) Line(Time(j) + sep_ + label + sep_ + (this->*cell)(j, g));
    Empty();
  }
}

void ReportText::TwoRowSamples() {
  Title("<<<<<< Number of Samples per Acquisition Interval [1unit=500values] >>>>>>");
  std::string first = "Time[m]" + sep_;
  std::string second = "#Samples" + sep_;
  if (lay_.basal) {
    first += "0" + sep_;
    second += std::to_string(lay_.B) + sep_;
  }
  for (int32_t j : valid_) {
    first += Time(j) + sep_;
    second += std::to_string(static_cast<int64_t>(At(stats_.BinRecordCount, j)) * lay_.B) + sep_;
  }
  Line(first);
  Line(second);
  Empty();
}

void ReportText::TwoRowTemperature() {
  Title(std::string("<<<<<< Average Temperature [") + kDegree + "C] >>>>>>");
  std::string first = "Time[m]" + sep_;
  std::string second = std::string("Temp[") + kDegree + "C]" + sep_;
  if (lay_.basal) {
    first += "0" + sep_;
    second += "?" + sep_;
  }
  for (int32_t j : valid_) {
    first += Time(j) + sep_;
    second += Fixed1(At(stats_.BinTemperature, j) / 10.0) + sep_;
  }
  Line(first);
  Line(second);
  Empty();
}

void ReportText::ListSamples() {
  Title("<<<<<< Number of Samples per Acquisition Interval [1unit=500values] >>>>>>");
  Line("Time" + sep_ + "#Samples");
  Empty();
  if (lay_.basal) Line("0" + sep_ + std::to_string(lay_.B));
  for (int32_t j : valid_)
    Line(Time(j) + sep_ +
         std::to_string(static_cast<int64_t>(At(stats_.BinRecordCount, j)) * lay_.B));
  Empty();
}

void ReportText::ListTemperature() {
  Title(std::string("<<<<<< Average Temperature [") + kDegree + "C] >>>>>>");
  Line("Time" + sep_ + "Avrg_Temp[" + kDegree + "C]");
  Empty();
  if (lay_.basal) Line("0" + sep_ + "?");
  for (int32_t j : valid_) Line(Time(j) + sep_ + Fixed1(At(stats_.BinTemperature, j) / 10.0));
  Empty();
}

void ReportText::PlateHeader() {
  std::string h = "Row/Column" + sep_;
  for (int c = 1; c <= plate_.RepPlateCols; ++c) h += std::to_string(c) + sep_;
  Line(h);
}

void ReportText::ChannelHeader() {
  std::string h = "Row/Column" + sep_;
  for (int c = 1; c <= 24; ++c) h += std::to_string(c) + sep_;
  Line(h);
}

void ReportText::PlateArrayOfGroups() {
  Title("<<<<<<WELL ARRAY. Group Configuration>>>>>>");
  PlateHeader();
  for (int r = 0; r < plate_.RepPlateRows; ++r) {
    std::string l = "\"" + RowLetter(r) + "\"";
    for (int c = 0; c < plate_.RepPlateCols; ++c) {
      const int ch = WellChannel(static_cast<long long>(plate_.RepPlateRows) * c + r);
      l += sep_ + (OnPlate(ch) ? ChannelGroupLabel(ch) : std::string("-"));
    }
    Line(l);
  }
  Empty();
}

void ReportText::ChannelArrayOfGroups() {
  Title("<<<<<<CHANNEL ARRAY. Group Configuration>>>>>>");
  ChannelHeader();
  for (int r = 0; r < 16; ++r) {
    std::string l = "\"" + RowLetter(r) + "\"";
    for (int c = 0; c < 24; ++c) {
      const int ch = c * 16 + r;
      l += sep_ + (OnPlate(ch) ? ChannelGroupLabel(ch, kFreeLabelChannelArray) : std::string("-"));
    }
    Line(l);
  }
  Empty();
}

void ReportText::HistogramHeader(bool wells) {
  std::string h = "Time[m]" + sep_ + (wells ? "Well" + sep_ : std::string()) + "Group/Frequency:";
  for (int k = 0; k <= 30; ++k) h += sep_ + Fixed1(k * stats_.HistoSampleSeconds);
  Line(h);
}

void ReportText::GroupHistogram() {
  Title("<<<<<< Group Histogram: Average Number of Frequency Counts per Data Interval>>>>>>");
  HistogramHeader(false);
  for (int32_t j : valid_) {
    for (int g = 0; g <= g_; ++g) {
      std::string& l = line_;
      l = Time(j);
      l += sep_;
      l += GroupLabel(g);
      AppendCells(l, 31, [&](size_t k) { return Cell(stats_.GroupHistogram, j, g, static_cast<int>(k)); });
      Line(l);
    }
  }
}

void ReportText::WellHistogram() {
  Title("<<<<<< Well Histogram: Average Number of Frequency Counts per Data Interval>>>>>>");
  HistogramHeader(true);
  for (int32_t j : valid_) {
    for (int32_t w = 0; w <= plate_.MaxWell; ++w) {
      const int ch = WellChannel(w);
      if (ch < 0) continue;
      std::string& l = line_;
      l = Time(j);
      l += sep_;
      l += WellLabel(ch);
      l += sep_;
      l += ChannelGroupLabel(ch);
      AppendCells(l, 31, [&](size_t k) { return Cell(stats_.WellHistogram, j, w, static_cast<int>(k)); });
      Line(l);
    }
  }
}

void ReportText::WellMatrix() {
  Title("<<<<<< Well Activity >>>>>>");
  std::string h = "Well" + sep_ + "Group/Time[m]";
  if (lay_.basal) h += sep_ + "0";
  for (int32_t j : valid_) h += sep_ + Time(j);
  Line(h);
  for (int32_t w = 0; w <= plate_.MaxWell; ++w) {
    const int ch = WellChannel(w);
    if (ch < 0) continue;
    // Straight into the text: these lines are most of a report.
    out_ += WellLabel(ch);
    out_ += sep_;
    out_ += ChannelGroupLabel(ch);
    if (lay_.basal) out_ += sep_ + "100";
    AppendBinCells(out_, stats_.WellBinActivity, w);
    EndLine();
  }
  Empty();
}

void ReportText::WellList() {
  Title("<<<<<< Well Activity >>>>>>");
  Line("Time" + sep_ + "Well" + sep_ + "Group" + sep_ + "Value");
  Empty();
  for (int32_t w = 0; w <= plate_.MaxWell; ++w) {
    const int ch = WellChannel(w);
    if (ch >= 0) {
      const std::string labels = WellLabel(ch) + sep_ + ChannelGroupLabel(ch);
      if (lay_.basal) Line("0" + sep_ + labels + sep_ + "100");
      for (int32_t j : valid_) {
        std::string& l = line_;
        l = Time(j);
        l += sep_;
        l += labels;
        l += sep_;
        AppendInt(l, Cell(stats_.WellBinActivity, j, w));
        Line(l);
      }
    }
    Empty();
  }
}

void ReportText::WellArrayPerBin() {
  Title("<<<<<<WELL ARRAY. Well Activity>>>>>>");
  const long long rows = plate_.RepPlateRows;
  if (lay_.basal) {
    Line("Time_Block[m]" + sep_ + "0");
    PlateHeader();
    for (int r = 0; r < rows; ++r) {
      std::string l = "\"" + RowLetter(r) + "\"";
      for (int c = 0; c < plate_.RepPlateCols; ++c)
        l += sep_ + (OnPlate(WellChannel(rows * c + r)) ? std::string("100") : std::string("-"));
      Line(l);
    }
    Empty();
  }
  for (int32_t j = 1; j <= n_; ++j) {
    const bool valid = stats_.Valid(j);
    Line("Time_Block[m]" + sep_ + Time(j));
    PlateHeader();
    for (int r = 0; r < rows; ++r) {
      std::string l = RowLetter(r);
      for (int c = 0; c < plate_.RepPlateCols; ++c) {
        const long long w = rows * c + r;
        l += sep_;
        if (valid && WellChannel(w) >= 0)
          AppendInt(l, Cell(stats_.WellBinActivity, j, w));
        else
          l += '-';
      }
      Line(l);
    }
    Empty();
  }
}

void ReportText::ChannelMatrix() {
  Title("<<<<<< Channel Activity >>>>>>");
  std::string h = "Channel" + sep_ + "Well" + sep_ + "Group/Time[m]";
  for (int32_t j : valid_) h += sep_ + Time(j);
  Line(h);
  for (int ch = 0; ch < kChannelCount; ++ch) {
    if (!OnPlate(ch)) continue;
    out_ += "CH" + std::to_string(ch) + sep_ + WellLabel(ch) + "." +
            std::to_string(plate_.Beam[static_cast<size_t>(ch)]) + sep_ + ChannelGroupLabel(ch);
    AppendBinCells(out_, stats_.ChannelBinActivity, ch);
    EndLine();
  }
}

void ReportText::ChannelList() {
  Title("<<<<<< Channel Activity >>>>>>");
  Line("Time" + sep_ + "Channel" + sep_ + "Well" + sep_ + "Group" + sep_ + "Value");
  Empty();
  for (int ch = 0; ch < kChannelCount; ++ch) {
    if (OnPlate(ch)) {
      const std::string rest = " CH" + std::to_string(ch) + sep_ + WellLabel(ch) + "." +
                               std::to_string(plate_.Beam[static_cast<size_t>(ch)]) + sep_ +
                               ChannelGroupLabel(ch) + sep_;
      for (int32_t j : valid_) {
        std::string& l = line_;
        l = Time(j);
        l += rest;
        AppendInt(l, Cell(stats_.ChannelBinActivity, j, ch));
        Line(l);
      }
    }
    Empty();
  }
}

void ReportText::ChannelArrayPerBin() {
  Line("ARRAY OUTPUT FORMAT");
  for (int32_t j : valid_) {
    Line("Time_Block[m]" + sep_ + Time(j));
    ChannelHeader();
    for (int r = 0; r < 16; ++r) {
      std::string l = RowLetter(r);
      for (int c = 0; c < 24; ++c) {
        const int ch = c * 16 + r;
        l += sep_;
        if (OnPlate(ch))
          AppendInt(l, Cell(stats_.ChannelBinActivity, j, ch));
        else
          l += '-';
      }
      Line(l);
    }
    Empty();
  }
}

void ReportText::Build() {
  const OutputOption opt = lay_.option;
  const bool rows = opt == OutputOption::kRows;
  const bool list = opt == OutputOption::kList;
  Header();

  const std::string activity =
      "<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>";
  const std::string std_error = "<<<<<< Group Activity: Standard Error >>>>>>";
  const std::string std_dev = "<<<<<< Group Activity: Standard Deviation >>>>>>";
  const std::string wells = "<<<<<< Group Activity: Number of wells/group >>>>>>";

  if (rows) Matrix(activity, &ReportText::MeanCell);
  if (list) List(activity, &ReportText::MeanCell);
  if (opt == OutputOption::kWellArray) PlateArrayOfGroups();
  if (opt == OutputOption::kChannelArray) ChannelArrayOfGroups();
  if (opt == OutputOption::kHistogram) GroupHistogram();
  if (lay_.std_error && rows) Matrix(std_error, &ReportText::StdErrorCell);
  if (lay_.std_error && list) List(std_error, &ReportText::StdErrorCell);
  if (lay_.std_dev && (rows || opt == OutputOption::kHistogram))
    Matrix(std_dev, &ReportText::StdDevCell);
  if (lay_.std_dev && list) List(std_dev, &ReportText::StdDevCell);
  if (lay_.well_count && rows) Matrix(wells, &ReportText::CountCell);
  if (lay_.well_count && list) List(wells, &ReportText::CountCell);
  if (rows) TwoRowSamples();
  if (list) ListSamples();
  Empty();
  if (list)
    ListTemperature();
  else
    TwoRowTemperature();
  switch (opt) {
    case OutputOption::kRows:
      WellMatrix();
      break;
    case OutputOption::kList:
      WellList();
      break;
    case OutputOption::kWellArray:
      WellArrayPerBin();
      break;
    case OutputOption::kChannelArray:
      break;
    case OutputOption::kHistogram:
      WellHistogram();
      break;
  }
  if (!lay_.basal) {
    if (rows) ChannelMatrix();
    if (list) ChannelList();
    if (opt == OutputOption::kChannelArray) ChannelArrayPerBin();
  }
  Flush();
}

}  // namespace

int32_t ReportBinCount(int32_t L, int32_t B) {
  if (B < 1) return 1;
  return std::max<int32_t>(1, platform::RoundToInt(static_cast<double>(L) / B));
}

int64_t ReportTimeLabel(int32_t L, int32_t B, int32_t j) {
  return std::min<int64_t>(static_cast<int64_t>(B) * j, L);
}

int32_t HighestGroup(const RunPlate& plate) {
  int32_t g = 0;
  for (int ch = 0; ch < kChannelCount; ++ch) g = std::max(g, plate.GroupOf(ch));
  return g;
}

void WriteReportText(const ReportLayout& layout, const RunPlate& plate,
                     const GroupStatistics& stats, const TextSink& sink) {
  ReportText(layout, plate, stats, sink).Build();
}

std::string FormatReport(const ReportLayout& layout, const RunPlate& plate,
                         const GroupStatistics& stats) {
  std::string text;
  WriteReportText(layout, plate, stats, [&text](std::string_view piece) { text += piece; });
  return text;
}

}  // namespace reports
